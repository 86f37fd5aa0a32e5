#include "frontend/ui_install.h"

#include <imgui.h>

#include "frontend/debugger_window.h"
#include "frontend/menu.h"
#include "frontend/ui_hooks.h"

namespace {

// Each UI window in turn; the first that takes an event has it.
bool handleEvent(const SDL_Event& event) { return debuggerWindowEvent(event); }

void drawWindows() { drawDebuggerWindow(); }

void drawOverMainWindow() { drawBeamCross(); }

void shutdown() { closeDebuggerWindow(); }

}  // namespace

void installUserInterface() {
    // The headers the program was built with match the library it links.
    IMGUI_CHECKVERSION();
    uiHooks.handleEvent = handleEvent;
    uiHooks.drawWindows = drawWindows;
    uiHooks.drawOverMainWindow = drawOverMainWindow;
    uiHooks.showDebugger = showDebuggerWindow;
    uiHooks.shutdown = shutdown;
    // The menu goes over the debugger's entries, handing on what is not its own.
    installMainMenu();
}
