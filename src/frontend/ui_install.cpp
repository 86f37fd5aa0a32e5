#include "frontend/ui_install.h"

#include <imgui.h>

#include "frontend/debugger_window.h"
#include "frontend/menu.h"
#include "frontend/ui_hooks.h"

void installUserInterface() {
    // The headers the program was built with match the library it links.
    IMGUI_CHECKVERSION();
    uiHooks.handleEvent = debuggerWindowEvent;
    uiHooks.drawWindows = drawDebuggerWindow;
    uiHooks.drawOverMainWindow = drawBeamCross;
    uiHooks.showDebugger = showDebuggerWindow;
    uiHooks.shutdown = closeDebuggerWindow;
    // The menu goes over the debugger's entries, handing on what is not its own.
    installMainMenu();
}
