// The debugger window, "Kestrix Debugger": a second SDL window with ImGui
// panes over the debugger's engine (src/debug/). Made on first use and
// hidden, not destroyed, when closed; closing it changes nothing in the
// run. Every action is a monitor command (runWindowMonitorCommand), so the
// window, the keys and a monitor client do one thing one way. Main thread.
//
// The panes read the machine only while no frame runs (`!running &&
// !cpcIsRunning`: stopped by the debugger, F8 or a command), when the main
// thread owns every chip. While it runs they say so and show nothing of it:
// holding the machine for each redraw would stall the sound, and reading it
// under the running thread is a race.
#pragma once
#include <SDL.h>

// Makes the window (the first time) and shows it; false when it cannot.
bool showDebuggerWindow();
bool debuggerWindowShown();
// True for every event of the debugger window (which then has it).
bool debuggerWindowEvent(const SDL_Event& event);
// Redraws the window when shown and something may have changed; nothing
// when hidden.
void drawDebuggerWindow();
// A cross over the main window's picture where the beam is, while the
// debugger holds the machine (the frame buffer itself is left alone).
void drawBeamCross();
void closeDebuggerWindow();
