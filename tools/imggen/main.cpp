// Writes the run-time images of Kestrix (fonts, icons, keyboard pictures) as
// BMP files into the directory given as the only argument.
#include <SDL.h>

#include <cstdio>
#include <filesystem>

#include "images.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIRECTORY\n", argv[0]);
        return 2;
    }
    std::filesystem::path dir(argv[1]);
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        std::fprintf(stderr, "kestrix_imggen: cannot create %s: %s\n", argv[1], ec.message().c_str());
        return 1;
    }
    std::vector<NamedImage> images;
    images.push_back(makeCharset());
    for (auto& i : makeStatusIcons()) images.push_back(std::move(i));
    for (auto& i : makeKeyboardPictures()) images.push_back(std::move(i));
    int failures = 0;
    for (const NamedImage& i : images) {
        std::string path = (dir / (i.name + ".bmp")).string();
        if (!i.image.saveBMP(path, i.withAlpha)) {
            std::fprintf(stderr, "kestrix_imggen: cannot write %s: %s\n", path.c_str(), SDL_GetError());
            ++failures;
        }
    }
    return failures ? 1 : 0;
}
