// The main thread's loop: events, presentation at the display's refresh rate,
// and pacing, until the program ends.
#pragma once
#include <SDL.h>
#include <cstdint>

extern int mouseX;  // last mouse x over the main window
extern int button_x;  // last click position
extern int button_y;
extern bool mainWindow_drop_mfile;  // a file was already dropped in this drop

void runMainLoop();
// One event, as the loop dispatches it.
void dispatchEvent(const SDL_Event& event);
// A function key released in the main window, with the modifiers held.
void handleFunctionKey(SDL_Scancode key, uint16_t modifiers);
// The CPC key a host key presses (FFh: none).
uint8_t hostKeyToCpcKey(SDL_Scancode key);
// Presents the running emulation: picture, strip, LEDs and the fading text.
void presentRunningFrame();
