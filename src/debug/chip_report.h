// The state of each chip in words, for the debugger's monitor: one fact per
// line as "key=value", keys short and stable, values hex as &XX / &XXXX
// (registers, addresses, bytes) or decimal (counts, flags as 0/1). Each
// report reads the machine's global chips and changes nothing; call it with
// the emulation stopped, as the chips are not guarded against the thread.
// A chip the machine does not have gives one line "<chip>=none".
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Type, R0-R17, the selected register, the counters, the sync outputs, MA/RA
// and the internal state behind them (skew, vertical adjust, interlace).
std::vector<std::string> reportCrtc();
// Pens and border as hardware colours, mode, ROM enables and selection, RAM
// configuration and the interrupt counters (the ASIC's on a Plus).
std::vector<std::string> reportGateArray();
// The Plus additions: unlock, RMR2, sprites, scroll, split, raster interrupt,
// DMA channels, vector and palette page ("asic=none" on the CPC models).
std::vector<std::string> reportAsic();
// Registers, the tone, noise and envelope generators and the bus lines.
std::vector<std::string> reportAy();
// Ports, control word and directions, the keyboard line selected.
std::vector<std::string> reportPpi();
// Phase, command and parameters, status and result bytes, then each drive
// ("drive0." and "drive1." keys); "fdc=none" on a machine without one.
std::vector<std::string> reportFdc();
// Tape in the deck, position, current block, motor, play key and levels.
std::vector<std::string> reportTape();

// Sprite `sprite` (0-15) of the Plus as 16 x 16 aBGR pixels (bytes R, G, B,
// A), row by row, in the sprite pens' colours; pen 0, which shows the
// picture beneath, is transparent. False (nothing written) on the CPC
// models or for a sprite out of range.
bool asicSpritePicture(int sprite, uint32_t pixels[256]);
