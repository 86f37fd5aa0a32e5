#include "frontend/media_tape.h"

#include <SDL.h>

bool load_tape_file(const char* path) {
    SDL_Log("tape: %s not loaded, tapes are not supported yet", path);
    return false;
}
void loadeject_cdt() {}
void eject_cdt() {}
