#include "support/window_test_images.h"

#include <filesystem>

namespace window_test {

namespace {

// RGBA8888 keeps red on top; the picture keeps it in the low byte.
Uint32 asPicture(Uint32 w) { return (w >> 24) | ((w >> 8) & 0xFF00) | ((w << 8) & 0xFF0000); }

const Uint32* pixelRow(SDL_Surface* image, int j) {
    return static_cast<const Uint32*>(image->pixels) + static_cast<size_t>(j) * (image->pitch / 4);
}

}  // namespace

std::string generatedImageDir() { return KESTRIX_IMG_DIR; }

bool generatedImagesPresent() { return std::filesystem::exists(generatedImageDir() + "/Charset.bmp"); }

SDL_Surface* loadGeneratedImage(const std::string& name, Uint32 format) {
    SDL_Surface* raw = SDL_LoadBMP((generatedImageDir() + "/" + name + ".bmp").c_str());
    if (!raw) return nullptr;
    SDL_Surface* converted = SDL_ConvertSurfaceFormat(raw, format, 0);
    SDL_FreeSurface(raw);
    return converted;
}

bool loadCharsetFont(test_support::RomFont& font) {
    SDL_Surface* sheet = loadGeneratedImage("Charset", SDL_PIXELFORMAT_RGBA8888);
    if (!sheet || sheet->w != 128 || sheet->h != 128) {
        if (sheet) SDL_FreeSurface(sheet);
        return false;
    }
    uint8_t glyphs[2048] = {};
    for (int code = 0; code < 256; ++code) {
        for (int row = 0; row < 8; ++row) {
            uint8_t bits = 0;
            for (int col = 0; col < 8; ++col) {
                if (pixelRow(sheet, (code / 16) * 8 + row)[(code % 16) * 8 + col] & 0xFF) bits |= 0x80 >> col;
            }
            glyphs[code * 8 + row] = bits;
        }
    }
    SDL_FreeSurface(sheet);
    font.loadFromBytes(glyphs);
    return true;
}

int mismatchedPixels(SDL_Surface* surface, SDL_Surface* image, int x, int y, SDL_Rect covered) {
    if (!surface || !image || x < 0 || y < 0 || x + image->w > surface->w || y + image->h > surface->h) return -1;
    int bad = 0;
    for (int j = 0; j < image->h; ++j) {
        const Uint32 *want = pixelRow(image, j), *got = pixelRow(surface, y + j) + x;
        for (int i = 0; i < image->w; ++i) {
            const SDL_Point p = {i, j};
            bad += !SDL_PointInRect(&p, &covered) && (want[i] | 0xFF) != (got[i] | 0xFF);  // alpha aside
        }
    }
    return bad;
}

int mismatchedPixels(const test_support::RgbaImage& picture, SDL_Surface* image, int x, int y, SDL_Rect covered) {
    if (!image || x < 0 || y < 0 || x + image->w > picture.width || y + image->h > picture.height) return -1;
    int bad = 0;
    for (int j = 0; j < image->h; ++j) {
        const Uint32* want = pixelRow(image, j);
        for (int i = 0; i < image->w; ++i) {
            const SDL_Point p = {i, j};
            bad += !SDL_PointInRect(&p, &covered) && (picture.at(x + i, y + j) & 0xFFFFFF) != asPicture(want[i]);
        }
    }
    return bad;
}

test_support::RgbaImage crop(const test_support::RgbaImage& picture, int x, int y, int w, int h) {
    test_support::RgbaImage out;
    if (x < 0 || y < 0 || x + w > picture.width || y + h > picture.height) return out;
    out.width = w;
    out.height = h;
    out.pixels.resize(static_cast<size_t>(w) * h);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) out.pixels[static_cast<size_t>(j) * w + i] = picture.at(x + i, y + j);
    return out;
}

int findIcon(const test_support::RgbaImage& shot, const std::string& name, SDL_Rect covered, int top) {
    SDL_Surface* icon = loadGeneratedImage(name);
    if (!icon) return -1;
    int found = -1;
    for (int y = top; y <= top + 1 && found < 0; ++y) {
        for (int x = 0; x + icon->w <= shot.width && found < 0; ++x) {
            if (mismatchedPixels(shot, icon, x, y, covered) == 0) found = x;
        }
    }
    SDL_FreeSurface(icon);
    return found;
}

}  // namespace window_test
