// Cartridge side of media loading: a .cpr file given on the command line, in
// the configuration or dropped on the window.
#pragma once
#include <string>

// The caller has stopped the emulation. A file that is not RIFF shows the
// wrong-format text and changes nothing. Otherwise a CPC model first becomes
// the 6128+, the cartridge replaces the current one and the machine is reset;
// a cartridge that fails to load is replaced by the model's own again. True
// when the cartridge is in.
bool load_cartridge_file(const char* path);
// The file of the last cartridge loaded while a Plus runs; empty otherwise.
std::string loadedCartridgePath();
