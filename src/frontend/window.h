// SDL set-up and the main window.
#pragma once
#include <SDL.h>

extern SDL_Window* mainWindow;
extern const char* KestrixVersionText;

// Opens SDL, the windows, renderers and textures; false on failure.
bool SDL_begin();
// Headless: only what the machine needs (timers and events), no window.
bool SDL_beginHeadless();
void SDL_end();
