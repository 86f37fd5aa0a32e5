#include "frontend/ui_install.h"

#include <imgui.h>

#include "frontend/menu.h"
#include "frontend/ui_hooks.h"

void installUserInterface() {
    // The headers the program was built with match the library it links.
    IMGUI_CHECKVERSION();
    installMainMenu();
}
