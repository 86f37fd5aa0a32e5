#include "frontend/debugger_window.h"

#include <imgui.h>

#include "debug/debugger.h"
#include "frontend/debugger_panes.h"
#include "frontend/ui_surface.h"
#include "frontend/window.h"
#include "machine/emulation_thread.h"
#include "video/monitor.h"

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
// Redraws while nothing happens: the frame count and the run state.
constexpr Uint32 kIdleRedrawMs = 250;
// ImGui settles a click or a hover over a few frames.
constexpr int kFramesAfterInput = 3;

SDL_Window* window = nullptr;
SDL_Renderer* renderer = nullptr;
UiSurface surface;
bool shown = false;
int framesDue = 0;
Uint32 drawnAt = 0;
bool wasLive = false;

bool machineHeld() { return !running && !cpcIsRunning; }

// Beside the main window when the display has room, else centred on it.
SDL_Point placement() {
    SDL_Rect display;
    int x = 0, y = 0, w = 0, h = 0;
    SDL_GetWindowPosition(mWindow, &x, &y);
    SDL_GetWindowSize(mWindow, &w, &h);
    const int index = SDL_GetWindowDisplayIndex(mWindow);
    if (index < 0 || SDL_GetDisplayBounds(index, &display) != 0) return {SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED};
    const int top = y + kHeight <= display.y + display.h ? y : display.y;
    if (x + w + kWidth <= display.x + display.w) return {x + w, top};
    if (x - kWidth >= display.x) return {x - kWidth, top};
    return {int(SDL_WINDOWPOS_CENTERED_DISPLAY(index)), int(SDL_WINDOWPOS_CENTERED_DISPLAY(index))};
}

bool create() {
    const SDL_Point at = placement();
    window = SDL_CreateWindow("Kestrix Debugger", at.x, at.y, kWidth, kHeight, SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
    if (!window) return false;
    // No vertical sync: a second window's wait would slow the main loop down.
    renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED);
    if (!renderer) renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    if (!renderer || !surface.open(window, renderer)) {
        SDL_Log("debugger: no window (%s)", SDL_GetError());
        closeDebuggerWindow();
        return false;
    }
    return true;
}

bool isCommandKey(const SDL_Event& e) {
    if (e.type != SDL_KEYDOWN || e.key.repeat) return false;
    const bool shift = e.key.keysym.mod & KMOD_SHIFT;
    switch (e.key.keysym.scancode) {
        case SDL_SCANCODE_F5: debuggerIssue(shift ? "break" : "continue"); return true;
        case SDL_SCANCODE_F6: debuggerIssue("line"); return true;
        case SDL_SCANCODE_F7: debuggerIssue("frame"); return true;
        case SDL_SCANCODE_F8: debuggerIssue("micro"); return true;
        case SDL_SCANCODE_F10: debuggerIssue("next"); return true;
        case SDL_SCANCODE_F11: debuggerIssue(shift ? "finish" : "step"); return true;
        default: return false;
    }
}

}  // namespace

bool showDebuggerWindow() {
    if (!mWindow) return false;
    if (!window && !create()) return false;
    SDL_ShowWindow(window);
    SDL_RaiseWindow(window);
    shown = true;
    framesDue = kFramesAfterInput;
    return true;
}

bool debuggerWindowShown() { return shown; }

bool debuggerWindowEvent(const SDL_Event& event) {
    if (!window) return false;
    const Uint32 id = SDL_GetWindowID(window);
    const bool ours = (event.type == SDL_WINDOWEVENT && event.window.windowID == id) ||
                      ((event.type == SDL_KEYDOWN || event.type == SDL_KEYUP) && event.key.windowID == id) ||
                      (event.type == SDL_TEXTINPUT && event.text.windowID == id) ||
                      (event.type == SDL_TEXTEDITING && event.edit.windowID == id) ||
                      (event.type == SDL_MOUSEMOTION && event.motion.windowID == id) ||
                      ((event.type == SDL_MOUSEBUTTONDOWN || event.type == SDL_MOUSEBUTTONUP) &&
                       event.button.windowID == id) ||
                      (event.type == SDL_MOUSEWHEEL && event.wheel.windowID == id);
    if (!ours) return false;
    framesDue = kFramesAfterInput;
    if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE) {
        SDL_HideWindow(window);
        shown = false;
        return true;
    }
    surface.handleEvent(event);
    // The run keys act unless a field is being typed into.
    if (!ImGui::GetIO().WantTextInput) isCommandKey(event);
    return true;
}

void drawDebuggerWindow() {
    if (!shown || !window) return;
    const bool live = machineHeld();
    const Uint32 now = SDL_GetTicks();
    if (live != wasLive) framesDue = kFramesAfterInput;
    if (framesDue <= 0 && now - drawnAt < kIdleRedrawMs) return;
    wasLive = live;
    drawnAt = now;
    if (framesDue > 0) --framesDue;

    surface.beginFrame();
    drawControlPane(live);
    drawDisassemblyPane(live);
    drawRegisterPane(live);
    drawStackPane(live);
    drawBreakPointPane(live);
    drawMemoryPane(live);
    drawChipPane(live, renderer);
    SDL_SetRenderDrawColor(renderer, 24, 24, 32, 255);
    SDL_RenderClear(renderer);
    surface.endFrame();
    SDL_RenderPresent(renderer);
}

void requestDebuggerRedraw() { framesDue = kFramesAfterInput; }

void drawBeamCross() {
    if (!mRenderer || !debugger.stopped() || !machineHeld()) return;
    const uint32_t xy = cpcscreenpixels_xy < kFramePixels ? cpcscreenpixels_xy : kFramePixels - 1;
    const int x = int(xy % kFrameWidth), y = int(xy / kFrameWidth);
    if (rect_xy.w <= 0 || rect_xy.h <= 0) return;
    // A beam outside the part of the frame the window shows (in a retrace)
    // is marked at the picture's edge.
    const int px = x < rect_xy.x ? 0 : x >= rect_xy.x + rect_xy.w ? rect_xy.w - 1 : x - rect_xy.x;
    const int py = y < rect_xy.y ? 0 : y >= rect_xy.y + rect_xy.h ? rect_xy.h - 1 : y - rect_xy.y;
    const int wx = rectdest_xy.x + px * rectdest_xy.w / rect_xy.w;
    const int wy = rectdest_xy.y + py * rectdest_xy.h / rect_xy.h;
    constexpr int kArm = 12;
    // Black under white, so that it shows on any colour.
    SDL_SetRenderDrawColor(mRenderer, 0, 0, 0, 255);
    const SDL_Rect shadows[2] = {{wx - kArm, wy - 1, 2 * kArm + 1, 3}, {wx - 1, wy - kArm, 3, 2 * kArm + 1}};
    SDL_RenderFillRects(mRenderer, shadows, 2);
    SDL_SetRenderDrawColor(mRenderer, 255, 255, 255, 255);
    SDL_RenderDrawLine(mRenderer, wx - kArm + 1, wy, wx + kArm - 1, wy);
    SDL_RenderDrawLine(mRenderer, wx, wy - kArm + 1, wx, wy + kArm - 1);
}

void closeDebuggerWindow() {
    forgetPaneTextures();
    surface.close();
    if (renderer) SDL_DestroyRenderer(renderer);
    renderer = nullptr;
    if (window) SDL_DestroyWindow(window);
    window = nullptr;
    shown = false;
}
