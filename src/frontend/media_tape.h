// Tape side of media loading: insert, eject and autorun of tape images.
#pragma once

// Loads a tape image (cdt, tzx, csw, wav) into the deck; true on success.
bool load_tape_file(const char* path);
void loadeject_cdt();
void eject_cdt();
