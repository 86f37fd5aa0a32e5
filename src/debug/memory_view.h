// The debugger's view of the machine's memories, one byte at a time. Each
// space names a memory the machine has: what the processor sees, a RAM bank,
// a ROM, a cartridge bank or the Plus register page. Call with the emulation
// stopped. On an error nothing is read or changed and `error` holds a short
// phrase ("no RAM bank 9 on this model", "address out of range").
#pragma once
#include <cstdint>
#include <string>

enum class MemorySpace {
    // The processor's 64 KB as it reads them now (ROM overlays, on a Plus the
    // register page and cartridge) and as it writes them (RAM under ROM, the
    // ASIC's registers with their effects). Index unused.
    Cpu,
    // 16 KB bank `index` of the model's RAM, address &0000-&3FFF.
    RamBank,
    // Upper ROM slot `index` (0-255), &0000-&3FFF.
    RomSlot,
    // 16 KB bank `index` of the Plus cartridge, &0000-&3FFF.
    CartridgeBank,
    // The Plus register page, &4000-&7FFF, mapped or not. Index unused.
    AsicPage,
    // The ROM the gate array pages in at the bottom (on a Plus the
    // cartridge bank RMR2 chose), &0000-&3FFF. Index unused.
    LowerRom,
};

// A poke into a ROM or cartridge changes only the emulator's copy.
bool peekMemory(MemorySpace space, int index, uint32_t address, uint8_t& value, std::string& error);
bool pokeMemory(MemorySpace space, int index, uint32_t address, uint8_t value, std::string& error);
