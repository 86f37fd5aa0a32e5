#include "asic/cartridge.h"

#include <SDL.h>

// Not built yet: no cartridge loads, so the Plus models cannot start.
bool fileCPR() {
    SDL_Log("fileCPR: cartridges are not supported yet");
    return false;
}
