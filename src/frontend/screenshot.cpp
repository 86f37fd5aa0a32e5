#include "frontend/screenshot.h"

#include <SDL.h>
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <string>
#include <vector>

#include "frontend/media_loader.h"
#include "frontend/window.h"
#include "machine/base_path.h"
#include "machine/emulation_thread.h"
#include "machine/frontend_hooks.h"
#include "machine/safe_file.h"
#include "machine/text_buffers.h"
#include "video/monitor.h"

namespace {

// Where the window's picture area lies in the frame buffer.
constexpr int kPictureSourceX = 56;
constexpr int kPictureSourceY = 12;

// The encoded file is kept in memory and written whole, so that a failure leaves any file of that name as it was.
struct PngWriteTarget {
    std::vector<uint8_t> bytes;
};

[[noreturn]] void pngError(png_structp png, png_const_charp message) {
    SDL_SetError("libpng: %s\n", message);
    png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp) {}

void pngWrite(png_structp png, png_bytep data, png_size_t length) {
    auto* target = static_cast<PngWriteTarget*>(png_get_io_ptr(png));
    target->bytes.insert(target->bytes.end(), data, data + length);
}

void pngFlush(png_structp) {}

// Everything that may be jumped over by libpng's error exit lives in the
// caller; this only encodes.
bool encodePng(png_structp png, png_infop info, SDL_Surface* rgba, const char* path) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_IHDR(png, info, static_cast<png_uint_32>(rgba->w), static_cast<png_uint_32>(rgba->h), 8,
                 PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_compression_level(png, 9);
    png_text text[2];
    std::memset(text, 0, sizeof text);
    text[0].compression = PNG_TEXT_COMPRESSION_NONE;
    text[0].key = const_cast<png_charp>("Title");
    text[0].text = const_cast<png_charp>(fileNamePart(path));
    text[1].compression = PNG_TEXT_COMPRESSION_NONE;
    text[1].key = const_cast<png_charp>("Author");
    text[1].text = const_cast<png_charp>(KestrixVersionText);
    png_set_text(png, info, text, 2);
    png_write_info(png, info);
    for (int y = 0; y < rgba->h; ++y) {
        png_write_row(png, static_cast<png_bytep>(rgba->pixels) + static_cast<size_t>(y) * rgba->pitch);
    }
    png_write_end(png, info);
    return true;
}

}  // namespace

bool SDL_SavePNG(SDL_Surface* surface, const char* path) {
    if (!surface || !path) {
        SDL_SetError("libpng: %s\n", "no picture");
        return false;
    }
    SDL_Surface* rgba = SDL_ConvertSurfaceFormat(surface, SDL_PIXELFORMAT_RGBA32, 0);
    if (!rgba) return false;
    PngWriteTarget target;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = false;
    if (png && info) {
        png_set_write_fn(png, &target, pngWrite, pngFlush);
        if (SDL_LockSurface(rgba) == 0) {
            ok = encodePng(png, info, rgba, path);
            SDL_UnlockSurface(rgba);
        }
    } else {
        SDL_SetError("libpng: %s\n", "out of memory");
    }
    png_destroy_write_struct(&png, &info);
    SDL_FreeSurface(rgba);
    std::string error;
    if (ok && !writeFileSafely(path, target.bytes, true, error)) {
        SDL_SetError("%s", error.c_str());
        ok = false;
    }
    return ok;
}

bool writeScreenshotPNG(const char* path) {
    // The frame buffer's aBGR words are R, G, B, A bytes in memory.
    SDL_Surface* picture = SDL_CreateRGBSurfaceWithFormatFrom(
        &cpcscreenpixels[kPictureSourceY * kFrameWidth + kPictureSourceX], kPictureWidth, kPictureHeight, 32,
        kFrameWidth * static_cast<int>(sizeof(uint32_t)), SDL_PIXELFORMAT_RGBA32);
    if (!picture) {
        SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "screenshot: %s", SDL_GetError());
        return false;
    }
    const bool ok = SDL_SavePNG(picture, path);
    if (!ok) SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "screenshot: cannot write %s: %s", path, SDL_GetError());
    SDL_FreeSurface(picture);
    return ok;
}

void save_scr() {
    stopRun();
    // Only what the output shows: a full-screen picture may reach below the
    // screen edge (or past its sides), and those rows were never drawn.
    SDL_Rect area = rectdest_xy;
    int outputW = 0, outputH = 0;
    if (mRenderer && SDL_GetRendererOutputSize(mRenderer, &outputW, &outputH) == 0) {
        const SDL_Rect output = {0, 0, outputW, outputH};
        if (!SDL_IntersectRect(&rectdest_xy, &output, &area)) area = {0, 0, 0, 0};
    }
    SDL_Surface* picture =
        mRenderer && area.w > 0 && area.h > 0
            ? SDL_CreateRGBSurfaceWithFormat(0, area.w, area.h, 32, SDL_PIXELFORMAT_ARGB8888)
            : nullptr;
    // Read back what the window shows; when that fails nothing is written.
    if (picture && SDL_RenderReadPixels(mRenderer, &area, SDL_PIXELFORMAT_ARGB8888, picture->pixels, picture->pitch) == 0) {
        const char* directory = nullptr;
        if (defaultFilePathSCR && (std::strchr(defaultFilePathSCR, '/') || std::strchr(defaultFilePathSCR, '\\'))) {
            directory = defaultFilePathSCR;
        }
        char name[kTextBufferSize];
        if (!save_find_enum(name, 'p', directory)) {
            textShowOSD("\366 Error writing PNG image %s ! \367", "(no free name)");
        } else if (SDL_SavePNG(picture, name)) {
            textShowOSD("\366 Writing PNG image %s ok ! \367", name);
        } else {
            SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "save_scr: %s", SDL_GetError());
            textShowOSD("\366 Error writing PNG image %s ! \367", name);
        }
    }
    if (picture) SDL_FreeSurface(picture);
    run();
}
