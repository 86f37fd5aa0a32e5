#include "frontend/window.h"

#include <cstring>

#include "frontend/icons.h"
#include "frontend/osd.h"
#include "machine/base_path.h"
#include "machine/emulation_thread.h"
#include "machine/text_buffers.h"
#include "sound/audio_output.h"
#include "video/monitor.h"

const char* KestrixVersionText = "Kestrix v" KESTRIX_VERSION;

SDL_Window* mWindow = nullptr;
SDL_Window* kWindow = nullptr;
SDL_Renderer* mRenderer = nullptr;
SDL_Renderer* kRenderer = nullptr;
SDL_Texture* mTexture = nullptr;
SDL_Texture* mStatusLayer = nullptr;
Uint32 mWindowID = 0;
int mWindowDisplayID = 0;
SDL_Rect mWDRect = {0, 0, 0, 0};
SDL_DisplayMode current = {};
int mWindowOldX = 0;
int mWindowOldY = 0;
bool fullscreen = false;
bool maximize = false;
SDL_Rect rect_xy = {56, 12, kPictureWidth, kPictureHeight};
SDL_Rect rectdest_xy = {0, 0, kPictureWidth, kPictureHeight};
bool windowNeedsPresent = true;

namespace {

// What the texture holds of the frame buffer (same layout), so that only the
// rows that changed are uploaded and an unchanged picture is known as such.
// A texture that holds it carries its address as user data (a new one has none).
uint32_t uploadedPixels[kFrameWidth * kFrameHeight];

constexpr Uint32 kWindowFlags = SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI;

// An accelerated renderer when the machine has one; otherwise SDL's software
// renderer, which is slower but shows the same picture.
SDL_Renderer* createRenderer(SDL_Window* window, Uint32 flags) {
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED | flags);
    if (!renderer) {
        SDL_Log("main: no accelerated renderer (%s), using the software renderer", SDL_GetError());
        renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE | (flags & SDL_RENDERER_TARGETTEXTURE));
    }
    return renderer;
}

void clearToWhite(SDL_Renderer* renderer) {
    SDL_SetRenderDrawColor(renderer, 255, 255, 255, 255);
    SDL_RenderClear(renderer);
}

bool initialiseSdl() {
    if (SDL_Init(SDL_INIT_EVERYTHING) < 0) {
        // A machine without sound or haptic devices still gets its window.
        SDL_Log("main: full SDL initialisation failed (%s), trying without audio and haptics", SDL_GetError());
        if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO | SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER | SDL_INIT_EVENTS) < 0) {
            SDL_PrintError("SDL could not be initialized!");
            return false;
        }
    }
    SDL_LogSetAllPriority(SDL_LOG_PRIORITY_CRITICAL);
    SDL_LogSetPriority(SDL_LOG_CATEGORY_APPLICATION, SDL_LOG_PRIORITY_VERBOSE);
    if (SDL_JoystickEventState(SDL_ENABLE) < 0) SDL_PrintError("SDL Joystick not enable!");
    mWindow = SDL_CreateWindow(KestrixVersionText, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kPictureWidth,
                               kMainWindowHeight, kWindowFlags);
    if (!mWindow) {
        SDL_PrintError("mWindow could not be created!");
        SDL_end();
        return false;
    }
    kWindow = SDL_CreateWindow("Virtual Keyboard Window", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                               kKeyboardWindowWidth, kKeyboardWindowHeight, kWindowFlags);
    if (!kWindow) {
        SDL_PrintError("kWindow could not be created!");
        SDL_end();
        return false;
    }
    return true;
}

void readDisplayOfWindow() {
    mWindowDisplayID = SDL_GetWindowDisplayIndex(mWindow);
    if (mWindowDisplayID < 0) mWindowDisplayID = 0;
    SDL_GetDisplayBounds(mWindowDisplayID, &mWDRect);
    if (SDL_GetCurrentDisplayMode(mWindowDisplayID, &current) == 0) {
        // Without a refresh rate the picture is presented once per emulated frame.
        double period = current.refresh_rate > 0 ? 1000.0 / current.refresh_rate : static_cast<double>(kFramePeriodMs);
        if (period != fpsDisplay) {
            SDL_Log("main: display %d is %d x %d at %d Hz, presenting every %.2f ms", mWindowDisplayID, current.w,
                    current.h, current.refresh_rate, period);
        }
        fpsDisplay = period;
    }
}

}  // namespace

bool SDL_begin() {
    if (!SDL_WasInit(SDL_INIT_VIDEO) || !mWindow) {
        if (!initialiseSdl()) return false;
    }
    mWindowID = SDL_GetWindowID(mWindow);
    readDisplayOfWindow();

    if (!mRenderer) {
        mRenderer = createRenderer(mWindow, SDL_RENDERER_PRESENTVSYNC | SDL_RENDERER_TARGETTEXTURE);
        if (!mRenderer) {
            SDL_PrintError("mRenderer could not be created!");
            SDL_end();
            return false;
        }
        clearToWhite(mRenderer);
    }
    if (!mTexture) {
        mTexture = SDL_CreateTexture(mRenderer, SDL_PIXELFORMAT_ABGR8888, SDL_TEXTUREACCESS_STREAMING, kFrameWidth,
                                     kFrameHeight);
        if (!mTexture) {
            SDL_PrintError("mTexture could not be created!");
            SDL_end();
            return false;
        }
        windowNeedsPresent = true;
        // The picture is opaque: copied over, not blended.
        SDL_SetTextureBlendMode(mTexture, SDL_BLENDMODE_NONE);
        // A new texture after a full-screen switch keeps a paused picture dimmed.
        if (pauseScreenShown()) SDL_SetTextureColorMod(mTexture, 128, 128, 128);
    }
    if (!mStatusLayer && !fullscreen) {
        mStatusLayer = SDL_CreateTexture(mRenderer, SDL_PIXELFORMAT_RGBA8888, SDL_TEXTUREACCESS_TARGET, kPictureWidth,
                                         kMainWindowHeight);
        if (!mStatusLayer) SDL_Log("main: no status layer (%s), the strip is drawn into the window", SDL_GetError());
    }
    if (!kRenderer) {
        kRenderer = createRenderer(kWindow, 0);
        if (!kRenderer) {
            SDL_PrintError("kRenderer could not be created!");
            SDL_end();
            return false;
        }
        clearToWhite(kRenderer);
    }
    if (!getbasepath) initBasePath();

    loadStatusImages(!fullscreen);
    computeIndicatorRects();
    refreshImageAll();
    return true;
}

bool SDL_beginHeadless() {
    if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_EVENTS) < 0) {
        SDL_PrintError("SDL could not be initialized!");
        return false;
    }
    return true;
}

// The main window's renderer and the textures made with it; the window stays.
static void destroyMainRenderer() {
    if (mTexture) SDL_DestroyTexture(mTexture);
    mTexture = nullptr;
    if (mStatusLayer) SDL_DestroyTexture(mStatusLayer);
    mStatusLayer = nullptr;
    if (mRenderer) SDL_DestroyRenderer(mRenderer);
    mRenderer = nullptr;
}

void SDL_end() {
    disable_sound();
    freeBasePath();
    forgetStatusImages(true);
    if (kRenderer) SDL_DestroyRenderer(kRenderer);  // its textures go with it
    kRenderer = nullptr;
    if (kWindow) SDL_DestroyWindow(kWindow);
    kWindow = nullptr;
    destroyMainRenderer();
    if (mWindow) SDL_DestroyWindow(mWindow);
    mWindow = nullptr;
    SDL_Quit();
}

SDL_Rect fullscreenPictureRect(int displayW, int displayH, bool stretched) {
    if (stretched) return {0, 0, displayW, displayH};
    // A display narrower or lower than one step still gets the picture at 1:1.
    int across = displayW / kPictureWidth > 0 ? displayW / kPictureWidth : 1;
    int down = displayH / 540 > 0 ? displayH / 540 : 1;
    int width = kPictureWidth * across;
    return {(displayW - width) / 2, 0, width, kPictureHeight * down};
}

SDL_Point windowPlacement(const SDL_Rect& display, int w, int h, int oldX, int oldY) {
    int cx = (display.w - w) / 2;
    int cy = (display.h - h) / 2;
    bool onDisplay = oldX >= display.x && oldY >= display.y && oldX + cx < display.x + display.w &&
                     oldY + cy < display.y + display.h;
    if (onDisplay) return {oldX, oldY};
    return {display.x + cx, display.y + cy};
}

void SDL_fullscreen(bool on, bool stretched) {
    fullscreen = on;
    maximize = stretched;
    if (!mWindow) return;
    forgetStatusImages();
    destroyMainRenderer();
    readDisplayOfWindow();
    if (on) {
        SDL_GetWindowPosition(mWindow, &mWindowOldX, &mWindowOldY);
        SDL_GetCurrentDisplayMode(mWindowDisplayID, &current);
        rectdest_xy = fullscreenPictureRect(current.w, current.h, stretched);
        // Without a window manager nobody else moves the window to the corner.
        SDL_SetWindowPosition(mWindow, mWDRect.x, mWDRect.y);
        SDL_SetWindowSize(mWindow, current.w, current.h);
        SDL_SetWindowFullscreen(mWindow, SDL_WINDOW_FULLSCREEN);
    } else {
        rectdest_xy = {0, 0, kPictureWidth, kPictureHeight};
        SDL_SetWindowFullscreen(mWindow, 0);
        SDL_SetWindowSize(mWindow, kPictureWidth, kMainWindowHeight);
        SDL_setWindowXY();
        SDL_FreeMouseCursor();
    }
    SDL_begin();
}

void SDL_setWindowXY() {
    if (!mWindow) return;
    SDL_Point at = windowPlacement(mWDRect, rectdest_xy.w, rectdest_xy.h, mWindowOldX, mWindowOldY);
    SDL_SetWindowPosition(mWindow, at.x, at.y);
}

bool SDL_readFileBMP(SDL_Renderer* renderer, const char* name, SDL_Texture** texture, SDL_Rect* rect, int x, int y) {
    char path[kTextBufferSize];
    char file[kTextBufferSize];
    SDL_snprintf(file, sizeof file, "%s.bmp", name);
    buildBasePath(path, "IMG", file);
    *texture = nullptr;
    *rect = {x, y, 0, 0};
    SDL_RWops* stream = SDL_RWFromFile(path, "rb");
    SDL_Surface* surface = stream ? SDL_LoadBMP_RW(stream, 1) : nullptr;
    if (!surface) {
        SDL_PrintError("SDL_readFileBMP:");
        return false;
    }
    *rect = {x, y, surface->w, surface->h};
    if (std::strcmp(name, "Lumarch") == 0) {
        if (mWindow) SDL_SetWindowIcon(mWindow, surface);
        SDL_FreeSurface(surface);
        return true;
    }
    *texture = SDL_CreateTextureFromSurface(renderer, surface);
    SDL_FreeSurface(surface);
    if (!*texture) {
        SDL_PrintError("SDL_readFileBMP:");
        return false;
    }
    SDL_SetTextureAlphaMod(*texture, 255);
    if (std::strcmp(name, "Charset") == 0) {
        SDL_SetTextureBlendMode(*texture, SDL_BLENDMODE_BLEND);
        return true;
    }
    if (renderer == mRenderer) {
        beginStatusDrawing();
        SDL_RenderCopy(renderer, *texture, nullptr, rect);
        endStatusDrawing();
    } else {
        SDL_RenderCopy(renderer, *texture, nullptr, rect);
    }
    return true;
}

void SDL_PrintError(const char* text) {
    SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "main: %s - SDL_Error: %s\n", text, SDL_GetError());
}

void SDL_FreeMouseCursor() {
    if (mWindow) SDL_SetWindowGrab(mWindow, SDL_FALSE);
    SDL_ShowCursor(SDL_ENABLE);
}

bool sdlRaisesWindows(const SDL_version& version) {
    return SDL_VERSIONNUM(version.major, version.minor, version.patch) >= SDL_VERSIONNUM(2, 0, 5);
}

void SDL_SetWindowFocus(SDL_Window* window) {
    SDL_version version;
    SDL_GetVersion(&version);
    if (window && sdlRaisesWindows(version)) SDL_RaiseWindow(window);
}

void beginStatusDrawing() {
    windowNeedsPresent = true;
    if (mStatusLayer) SDL_SetRenderTarget(mRenderer, mStatusLayer);
}

void endStatusDrawing() {
    if (mStatusLayer) SDL_SetRenderTarget(mRenderer, nullptr);
}

namespace {

// Copies the shown rows that differ from what the texture holds and uploads
// them (from the copy, which the emulation cannot change meanwhile); true when
// there were any.
bool uploadChangedRows() {
    const int x = rect_xy.x, w = rect_xy.w;
    const size_t bytes = static_cast<size_t>(w) * sizeof(uint32_t);
    static SDL_Rect uploadedRect = {};
    const bool valid = SDL_GetTextureUserData(mTexture) == uploadedPixels && SDL_RectEquals(&uploadedRect, &rect_xy);
    uploadedRect = rect_xy;
    int first = -1, last = -1;
    for (int y = rect_xy.y; y < rect_xy.y + rect_xy.h; ++y) {
        const uint32_t* shown = &cpcscreenpixels[y * kFrameWidth + x];
        uint32_t* held = &uploadedPixels[y * kFrameWidth + x];
        if (valid && std::memcmp(shown, held, bytes) == 0) continue;
        std::memcpy(held, shown, bytes);
        if (first < 0) first = y;
        last = y;
    }
    if (first < 0) return false;
    const SDL_Rect rows = {x, first, w, last - first + 1};
    SDL_UpdateTexture(mTexture, &rows, &uploadedPixels[first * kFrameWidth + x], kFrameWidth * 4);
    SDL_SetTextureUserData(mTexture, uploadedPixels);
    return true;
}

}  // namespace

bool uploadPicture() {
    if (!mTexture) return false;
    // Once per picture the monitor finished (or now and then, should the beam
    // find no frame end).
    static uint32_t uploadedFrame = 0;
    static Uint32 uploadedAt = 0;
    const uint32_t frame = monitorFinishedFrames;
    const Uint32 now = SDL_GetTicks();
    if (frame == uploadedFrame && running && now - uploadedAt <= 40) return false;
    uploadedFrame = frame;
    uploadedAt = now;
    return uploadChangedRows();
}

void renderPictureAndStrip(bool upload) {
    if (!mRenderer || !mTexture) return;
    if (fullscreen) {
        SDL_SetRenderDrawColor(mRenderer, 0, 0, 0, 255);
        SDL_RenderClear(mRenderer);
    }
    if (upload) uploadPicture();
    SDL_RenderCopy(mRenderer, mTexture, &rect_xy, &rectdest_xy);
    if (!fullscreen && mStatusLayer) {
        const SDL_Rect strip = {0, kStripTop, kPictureWidth, kStripHeight};
        SDL_RenderCopy(mRenderer, mStatusLayer, &strip, &strip);
    }
    if (fullscreen) drawIndicatorsInFullscreen();
}
