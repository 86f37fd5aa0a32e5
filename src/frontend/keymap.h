// Host keys into the CPC matrix, by position (the default) or by the
// character the host layout produces, and pasting the host clipboard.
#pragma once
#include <SDL.h>

#include <string>

extern bool keymapByCharacter;

// "char" or "position" (case-insensitive); false, changing nothing, otherwise.
bool setKeymapMode(const char* text);

// A key event of the main window; false when the key presses no CPC key
// (function keys and the like, which the main loop handles).
bool hostKeyEvent(const SDL_KeyboardEvent& key);
// Text the host produced (character mode types it).
void hostTextInput(const char* text);
// Once per pass of the main loop: hands queued key changes to the matrix.
void applyHostKeyQueue();

// The clipboard text as autorun lines: newlines end lines, characters the
// CPC keyboard cannot type are dropped, empty lines are skipped.
std::string pasteFilter(const char* text);
// Shift+Insert: types the clipboard through the autorun, line by line.
bool pasteClipboard();
bool pasteInProgress();
// Starts the next line once the autorun has typed the last one.
void pasteStep();
