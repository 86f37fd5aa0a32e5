// Where the program's log lines go: standard error, one line each, with the
// priority in front as SDL writes it.
#pragma once
#include <SDL.h>
#include <cstddef>

// Copies a log message for a terminal: the frame bytes F6h and F7h of the
// on-screen messages are glyphs of the font, not characters, and are left out.
// Returns the length written (the text is cut to fit `size`).
size_t plainLogText(const char* message, char* out, size_t size);

// Sends SDL's log output through plainLogText to standard error.
void installLogOutput();
