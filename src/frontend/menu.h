// The main window's menu (F1 without a modifier) and its file browser, drawn
// with Dear ImGui over the dimmed picture. The machine is held while it is
// open and runs on when it closes if it ran before. Every entry calls the
// function the function keys, the icons or the command line call.
#pragma once
#include "machine/media_kind.h"

// Chains the menu into uiHooks (event first look, drawing, the icons' browser).
void installMainMenu();
bool mainMenuOpen();
// Opens the menu, on its first page or on the browser for a kind (and drive).
void openMainMenu();
void openMainMenuBrowser(MediaClass kind, int unit);
void closeMainMenu();
