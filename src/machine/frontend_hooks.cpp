#include "machine/frontend_hooks.h"

#include <SDL.h>
#include <cstdarg>
#include <cstdio>

FrontendHooks frontendHooks;

void textShowOSD(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    SDL_Log("OSD: %s", text);
    frontendHooks.showOSDText(text);
}
