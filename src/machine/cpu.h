// The machine's processor, whose pins every chip of the bus reads and drives.
// The Z80 itself knows nothing of the machine; the pointer lives here.
#pragma once
#include "z80/z80cpu.h"

// Built by beginCPC.
extern Z80CPU* cpu;
