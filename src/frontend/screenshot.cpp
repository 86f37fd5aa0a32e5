#include "frontend/screenshot.h"

#include <SDL.h>
#include <png.h>
#include <cstdio>
#include <vector>

#include "video/monitor.h"

namespace {
constexpr int kPictureX = 56;
constexpr int kPictureY = 12;
constexpr int kPictureWidth = 768;
constexpr int kPictureHeight = 548;
}  // namespace

bool writeScreenshotPNG(const char* path) {
    FILE* file = std::fopen(path, "wb");
    if (!file) {
        SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "screenshot: cannot write %s", path);
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "screenshot: libpng failed on %s", path);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, kPictureWidth, kPictureHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(kPictureWidth * 3);
    for (int y = 0; y < kPictureHeight; ++y) {
        const uint32_t* src = &cpcscreenpixels[(kPictureY + y) * kFrameWidth + kPictureX];
        for (int x = 0; x < kPictureWidth; ++x) {
            uint32_t abgr = src[x];
            row[x * 3 + 0] = static_cast<png_byte>(abgr & 0xFF);
            row[x * 3 + 1] = static_cast<png_byte>((abgr >> 8) & 0xFF);
            row[x * 3 + 2] = static_cast<png_byte>((abgr >> 16) & 0xFF);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return true;
}
