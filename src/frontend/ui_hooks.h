// The front-end's calls into the windows drawn with Dear ImGui (kestrix_ui),
// which the rest of the front-end and its tests build without. Every entry
// does nothing until installUserInterface() (frontend/ui_install.h, in the
// program only) fills it in. Main thread only.
#pragma once
#include <SDL.h>

#include "machine/media_kind.h"

struct UiHooks {
    // Offered each event first; true when a UI window took it, so the
    // emulator does not see it.
    bool (*handleEvent)(const SDL_Event& event) = [](const SDL_Event&) { return false; };
    // Once per pass of the main loop: draws and presents the UI windows that
    // are shown (nothing when none is).
    void (*drawWindows)() = [] {};
    // Draws over the main window's picture before it is presented (the beam
    // cross while the machine is stopped).
    void (*drawOverMainWindow)() = [] {};
    // Shows the debugger window (its key and the monitor's `ui`); false when
    // there is none (no window, or a program without the UI).
    bool (*showDebugger)() = [] { return false; };
    // Opens the main window's menu on the file browser for loading a file of
    // `kind` (into drive `unit` for a disk): a click on an empty drive or deck.
    void (*openFileBrowser)(MediaClass kind, int unit) = [](MediaClass, int) {};
    // Closes the UI windows before SDL goes away.
    void (*shutdown)() = [] {};
};

extern UiHooks uiHooks;
