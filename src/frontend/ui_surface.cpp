#include "frontend/ui_surface.h"

#include <backends/imgui_impl_sdl.h>
#include <imgui.h>

#include "frontend/imgui_sdl_renderer.h"

namespace {

// The window an event is for, 0 for events without one.
Uint32 windowOf(const SDL_Event& e) {
    switch (e.type) {
        case SDL_WINDOWEVENT: return e.window.windowID;
        case SDL_KEYDOWN: case SDL_KEYUP: return e.key.windowID;
        case SDL_TEXTINPUT: return e.text.windowID;
        case SDL_TEXTEDITING: return e.edit.windowID;
        case SDL_MOUSEMOTION: return e.motion.windowID;
        case SDL_MOUSEBUTTONDOWN: case SDL_MOUSEBUTTONUP: return e.button.windowID;
        case SDL_MOUSEWHEEL: return e.wheel.windowID;
        default: return 0;
    }
}

}  // namespace

void UiSurface::makeCurrent() const { ImGui::SetCurrentContext(context); }

bool UiSurface::open(SDL_Window* window, SDL_Renderer* renderer) {
    close();
    if (!window || !renderer) return false;
    ImGuiContext* previous = ImGui::GetCurrentContext();
    context = ImGui::CreateContext();
    makeCurrent();
    ImGuiIO& io = ImGui::GetIO();
    // No imgui.ini beside the program: the layout is the program's.
    io.IniFilename = nullptr;
    io.ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard;
    // The emulator hides and grabs the pointer itself; ImGui leaves it alone.
    io.ConfigFlags |= ImGuiConfigFlags_NoMouseCursorChange;
    ImGui::StyleColorsDark();
    if (!ImGui_ImplSDL2_InitForSDLRenderer(window)) {
        ImGui::DestroyContext(context);
        context = nullptr;
        ImGui::SetCurrentContext(previous);
        return false;
    }
    if (!imguiSdlRendererInit(renderer)) {
        ImGui_ImplSDL2_Shutdown();
        ImGui::DestroyContext(context);
        context = nullptr;
        ImGui::SetCurrentContext(previous);
        return false;
    }
    sdlWindow = window;
    sdlRenderer = renderer;
    windowId = SDL_GetWindowID(window);
    return true;
}

void UiSurface::close() {
    if (!context) return;
    makeCurrent();
    if (inFrame) ImGui::EndFrame();
    inFrame = false;
    imguiSdlRendererShutdown();
    ImGui_ImplSDL2_Shutdown();
    ImGui::DestroyContext(context);
    context = nullptr;
    sdlWindow = nullptr;
    sdlRenderer = nullptr;
    windowId = 0;
}

bool UiSurface::handleEvent(const SDL_Event& event) {
    if (!context || windowOf(event) != windowId || windowId == 0) return false;
    makeCurrent();
    ImGui_ImplSDL2_ProcessEvent(&event);
    if (event.type == SDL_MOUSEMOTION) {
        pointerInside = true;
        pointerX = event.motion.x;
        pointerY = event.motion.y;
    } else if (event.type == SDL_MOUSEBUTTONDOWN || event.type == SDL_MOUSEBUTTONUP) {
        pointerInside = true;
        pointerX = event.button.x;
        pointerY = event.button.y;
    } else if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_LEAVE) {
        pointerInside = false;
    }
    const ImGuiIO& io = ImGui::GetIO();
    switch (event.type) {
        case SDL_KEYDOWN: case SDL_KEYUP: return io.WantCaptureKeyboard;
        case SDL_TEXTINPUT: case SDL_TEXTEDITING: return io.WantTextInput || io.WantCaptureKeyboard;
        case SDL_MOUSEMOTION: case SDL_MOUSEBUTTONDOWN: case SDL_MOUSEBUTTONUP: case SDL_MOUSEWHEEL:
            return io.WantCaptureMouse;
        default: return false;
    }
}

void UiSurface::beginFrame() {
    if (!context || inFrame) return;
    makeCurrent();
    ImGui_ImplSDL2_NewFrame();
    if (pointerInside) ImGui::GetIO().MousePos = ImVec2(float(pointerX), float(pointerY));
    ImGui::NewFrame();
    inFrame = true;
}

void UiSurface::endFrame() {
    if (!context || !inFrame) return;
    makeCurrent();
    inFrame = false;
    ImGui::Render();
    imguiSdlRendererDraw(ImGui::GetDrawData());
}
