// PNG pictures of the emulated screen.
#pragma once
#include <SDL.h>

// Writes `surface` as an 8-bit RGBA PNG (no filtering, zlib level 9, with the
// "Title" and "Author" text entries); false with the SDL error set
// ("libpng: ...") when it cannot be written.
bool SDL_SavePNG(SDL_Surface* surface, const char* path);

// Writes the picture area as the window shows it (x 56, y 12, 768 x 548 of the
// frame buffer) to `path`; false when it cannot be written.
bool writeScreenshotPNG(const char* path);

// F7 and the screenshot icon, after the next drawn frame: the window's picture
// area to the next numbered PNG beside the last loaded file (or in the
// configured screenshot directory), with the outcome on the OSD.
void save_scr();
