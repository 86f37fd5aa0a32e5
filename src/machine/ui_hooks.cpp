#include "machine/ui_hooks.h"

#include <SDL.h>
#include <cstdarg>
#include <cstdio>

UiHooks uiHooks;

void textShowOSD(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    SDL_Log("OSD: %s", text);
    uiCall(uiHooks.showOSDText, static_cast<const char*>(text));
}
