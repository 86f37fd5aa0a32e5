#include "frontend/window.h"

#include "machine/base_path.h"

SDL_Window* mainWindow = nullptr;
const char* KestrixVersionText = "Kestrix v2005";

bool SDL_begin() {
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER | SDL_INIT_EVENTS) < 0) {
        SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "main: %s - SDL_Error: %s\n", "SDL could not be initialized!",
                     SDL_GetError());
        return false;
    }
    mainWindow = SDL_CreateWindow(KestrixVersionText, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 768, 582,
                                  SDL_WINDOW_HIDDEN);
    if (!mainWindow) {
        SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "main: %s - SDL_Error: %s\n", "Window could not be created!",
                     SDL_GetError());
        return false;
    }
    return true;
}

bool SDL_beginHeadless() {
    if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_EVENTS) < 0) {
        SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "main: %s - SDL_Error: %s\n", "SDL could not be initialized!",
                     SDL_GetError());
        return false;
    }
    return true;
}

void SDL_end() {
    if (mainWindow) SDL_DestroyWindow(mainWindow);
    mainWindow = nullptr;
    freeBasePath();
    SDL_Quit();
}
