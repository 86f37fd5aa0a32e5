// One Dear ImGui context bound to one SDL window and its renderer, so that
// each window with a user interface (the main window's menu, the debugger)
// keeps its own widgets, fonts and input. Every call makes its own context
// current first, so surfaces never see each other's state. Main thread only.
//
// Each pass of the main loop, for a shown surface:
//     for each event: if (surface.handleEvent(e)) continue;  // ImGui took it
//     surface.beginFrame();  ImGui::Begin(...) ... ImGui::End();
//     surface.endFrame();    // draws into the renderer
//     SDL_RenderPresent(renderer);
// A surface that is not drawn costs nothing.
#pragma once
#include <SDL.h>

struct ImGuiContext;

class UiSurface {
public:
    UiSurface() = default;
    UiSurface(const UiSurface&) = delete;
    UiSurface& operator=(const UiSurface&) = delete;
    ~UiSurface() { close(); }

    // Creates the context and binds it to the window and renderer (both stay
    // the caller's); false when ImGui's SDL back ends cannot start. Opening
    // an open surface closes it first.
    bool open(SDL_Window* window, SDL_Renderer* renderer);
    void close();
    bool isOpen() const { return context != nullptr; }

    // Passes the event to ImGui when it belongs to this window (events of
    // other windows are left alone). True when ImGui wants that input
    // (keyboard, text or mouse over a widget), so the emulator must not see
    // it; window events (close, expose) are never taken.
    bool handleEvent(const SDL_Event& event);

    // Starts an ImGui frame for this window: between beginFrame and
    // endFrame, the ImGui:: calls build this window's widgets.
    void beginFrame();
    // Ends the frame and draws it into the renderer (over whatever the
    // caller drew before); the caller presents.
    void endFrame();

    SDL_Window* window() const { return sdlWindow; }
    SDL_Renderer* renderer() const { return sdlRenderer; }

private:
    void makeCurrent() const;

    ImGuiContext* context = nullptr;
    SDL_Window* sdlWindow = nullptr;
    SDL_Renderer* sdlRenderer = nullptr;
    Uint32 windowId = 0;
    bool inFrame = false;
    // Where the pointer is in this window, from its own events: SDL's
    // back end looks only when the window has the keyboard or the mouse
    // focus, which a second window may lack without a window manager.
    bool pointerInside = false;
    int pointerX = 0, pointerY = 0;
};
