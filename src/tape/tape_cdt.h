// CDT/TZX tape images: TZX blocks turned into the deck's pulse table.
#pragma once
#include <cstdint>

// Reads the image open in the file layer (length bytes); 0 when it is not a
// TZX image (the deck is then untouched), 1 when the tape is in the deck.
int fileCDT(const char* name, int64_t length);
