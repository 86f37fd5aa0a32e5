// What the front-end tests share: SDL events, the on-screen messages, the key
// matrix and a window drawn by SDL's software renderer into a plain surface.
#pragma once
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "frontend/window.h"
#include "machine/keyboard.h"
#include "support/window_test_images.h"
#include "video/monitor.h"

namespace frontend_test {

inline SDL_Event keyEvent(Uint32 type, SDL_Scancode key, Uint16 modifiers = 0) {
    SDL_Event e{};
    e.type = type;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.scancode = key;
    e.key.keysym.mod = modifiers;
    return e;
}

// Every message given to the on-screen text while captureShownText is its hook.
inline std::vector<std::string> shownTexts;
inline void captureShownText(const char* text) { shownTexts.emplace_back(text); }
inline long timesShown(const std::string& text) { return std::count(shownTexts.begin(), shownTexts.end(), text); }

inline bool keyDown(uint8_t code) { return !(cPCKeyBoard->matrix[code >> 4] & (1 << (code & 7))); }
// The CPC keys held, as hex codes in matrix order ("" for none).
inline std::string heldKeys() {
    std::string held;
    for (int code = 0; code < 0xA0; ++code) {
        if ((code & 15) > 7 || !keyDown(static_cast<uint8_t>(code))) continue;
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", code);
        if (!held.empty()) held += ' ';
        held += hex;
    }
    return held;
}
inline bool allKeysUp() {
    return std::all_of(cPCKeyBoard->matrix, cPCKeyBoard->matrix + 16, [](uint8_t line) { return line == 0xFF; });
}

inline void linkGeneratedImages(const std::string& home) {
    std::error_code ec;
    std::filesystem::create_directory_symlink(window_test::generatedImageDir(), std::filesystem::path(home) / "IMG",
                                              ec);
}

inline std::string rectText(const SDL_Rect& r) {
    return std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.w) + "x" + std::to_string(r.h);
}

// The main window off screen: mRenderer draws into `surface`; with `textures`
// the picture's texture and the status strip's layer are made too.
struct OffscreenWindow {
    SDL_Surface* surface;
    explicit OffscreenWindow(int w = kPictureWidth, int h = kMainWindowHeight, bool textures = true)
        : surface(SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_RGBA8888)) {
        mRenderer = surface ? SDL_CreateSoftwareRenderer(surface) : nullptr;
        if (!mRenderer || !textures) return;
        mTexture = SDL_CreateTexture(mRenderer, SDL_PIXELFORMAT_ABGR8888, SDL_TEXTUREACCESS_STREAMING, kFrameWidth,
                                     kFrameHeight);
        mStatusLayer = SDL_CreateTexture(mRenderer, SDL_PIXELFORMAT_RGBA8888, SDL_TEXTUREACCESS_TARGET, kPictureWidth,
                                         kMainWindowHeight);
    }
    ~OffscreenWindow() {
        if (mTexture) SDL_DestroyTexture(mTexture);
        if (mStatusLayer) SDL_DestroyTexture(mStatusLayer);
        if (mRenderer) SDL_DestroyRenderer(mRenderer);
        mTexture = mStatusLayer = nullptr;
        mRenderer = nullptr;
        if (surface) SDL_FreeSurface(surface);
    }
    OffscreenWindow(const OffscreenWindow&) = delete;
    OffscreenWindow& operator=(const OffscreenWindow&) = delete;
    Uint32 pixel(int x, int y) const {
        return static_cast<const Uint32*>(surface->pixels)[static_cast<size_t>(y) * (surface->pitch / 4) + x];
    }
};

}  // namespace frontend_test
