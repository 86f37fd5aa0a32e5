// The panes of the debugger window (debugger_panes.cpp), drawn between the
// window's ImGui beginFrame and endFrame. `live`: the machine is held and
// may be read (debugger_window.h).
#pragma once
#include <SDL.h>

#include <string>

// Runs a monitor command from the window and keeps its answer for the
// console in the control pane.
void debuggerIssue(const std::string& command);
// The window draws its next frames (debugger_window.cpp).
void requestDebuggerRedraw();

void drawControlPane(bool live);
void drawDisassemblyPane(bool live);
void drawRegisterPane(bool live);
void drawStackPane(bool live);
void drawBreakPointPane(bool live);
void drawMemoryPane(bool live);
void drawChipPane(bool live, SDL_Renderer* renderer);
// The sprite textures of the ASIC pane, made in the window's renderer.
void forgetPaneTextures();
