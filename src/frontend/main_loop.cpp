#include "frontend/main_loop.h"

#include <SDL.h>

#include "machine/emulation_thread.h"

void runMainLoop() {
    while (!mainLoopEnd) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            if (event.type == SDL_QUIT) mainLoopEnd = 1;
            if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE) mainLoopEnd = 1;
        }
        SDL_Delay(10);
    }
}
