// Tape side of media loading: insert, eject, flip and autorun of tape images.
#pragma once
#include <cstdint>
#include <string>

// A tape is in the deck.
extern bool t_loadeject_cdt;

// Loads a tape image by its extension (cdt and tzx, csw, wav): opens it,
// replaces the tape, closes it and shows the tape's name or the loader's
// wrong-format text. Stops the emulation meanwhile and restarts it if it ran.
// True when this file was loaded.
bool load_tape_file(const char* path);
// Replaces the tape with the image open in the file layer; kind 'c' CDT/TZX,
// 'w' WAV, 's' CSW; true when it was loaded. A refused file leaves the deck
// empty, but an image with nothing to play leaves the tape that was in it.
bool loadeject_cdt(const char* name, char kind);
void eject_cdt();
// The file the tape in the deck came from; empty without a tape.
std::string loadedTapePath();

// Tape autorun (Home key, -e): the deck goes into play after delayMs, and
// 512 ms later the load command is typed. Does nothing while an autorun is
// in progress (autorunInProgress()).
void autorun_cdt(uint32_t delayMs);
// The same as autorunInProgress(): the tape autorun types through it.
bool autorunTapeInProgress();

// Shift+F3: loads the other side or part of the tape's set ("Side 1" and
// "Side 2", "Face A" and "Face B", "Disk 1A" and "Disk 1B") from the tape's
// directory when it exists. Ignored for a second after a flip.
bool flipTapeSide();
