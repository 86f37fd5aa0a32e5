// Plus cartridges: the CPR loader (a RIFF file of form "AMS!" whose chunks
// "cb00" to "cb31" carry 16 KB banks) and the stand-in cartridge built from the
// 6128's own ROMs when no system cartridge is available.
#pragma once
#include <cstdint>

// Reads the cartridge open in the file layer into the memory map's cartridge
// banks: true on success, false when the file is not RIFF (nothing changed) or
// has no bank 0.
bool fileCPR();

// Builds the stand-in cartridge: bank 0 the 6128 OS, bank 1 BASIC, bank 3 the
// disk ROM (each 16384 bytes or null when missing), the rest as a loaded file
// would leave it. False when the OS or BASIC is missing.
bool buildStandInCartridge(const uint8_t* os, const uint8_t* basic, const uint8_t* disk);

// When the system cartridge `missingPath` cannot be read: the stand-in built
// from the 6128 ROM files of the current language, logged and shown. False
// when those are missing too.
bool loadStandInCartridge(const char* missingPath);
