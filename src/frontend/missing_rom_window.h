// What a windowed start shows when the machine's ROM images are not there:
// the folder that was searched and the files it should hold, until the user
// closes the window or presses a key.
#pragma once
#include <SDL.h>

#include <string>
#include <vector>

extern const char* const kMissingRomWindowTitle;

// The text of that window for the model the start-up tried (cpcType, cpcLang).
std::vector<std::string> missingRomText();

// Shows the text in the main window and waits for the user (or a stop
// signal); returns at once without a window.
void showMissingRomWindow();
