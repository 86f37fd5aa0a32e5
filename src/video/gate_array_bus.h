// The gate array's memory side of the processor bus, inline as the step
// serves one request each microsecond (the I/O side is gate_array_bus.cpp).
#pragma once

#include "machine/cpu.h"
#include "machine/memory.h"
#include "video/crtc6845.h"
#include "video/gate_array.h"

// Memory reads with the ROM overlays, writes into RAM. The step reads
// through derived.readPages, which mapReads() works out from the same rules.
inline const uint8_t* gaCPC::readBlock(unsigned pageIndex) const {
    const uint8_t* block = mem->page[pageIndex];
    // A half-built machine may lack a ROM: the RAM underneath answers then.
    if (pageIndex == 0) {
        if (!(modeRomReg & 4) && mem->lowerRom) block = mem->lowerRom;
    } else if (pageIndex == 3) {
        if (!(modeRomReg & 8)) {
            const uint8_t* upper = mem->urom[mem->uromSelected];
            if (upper) block = upper;
        }
    }
    return block;
}

inline uint8_t gaCPC::readMemory(uint16_t address) const { return readBlock(address >> 14)[address & 0x3FFF]; }

inline void gaCPC::mapReads() {
    if (!mem) return;
    for (unsigned i = 0; i < 4; ++i) derived.readPages[i] = readBlock(i);
}

inline void gaCPC::serviceMemory() {
    if (!cpu->mreq) return;
    const uint16_t address = cpu->addressBus;
    if (cpu->rd) {
        cpu->dataBus = derived.readPages[address >> 14][address & 0x3FFF];
    } else if (cpu->wr) {
        // Writes always reach RAM, also under an enabled ROM.
        mem->page[address >> 14][address & 0x3FFF] = cpu->dataBus;
    }
}

// The video reads the base 64 KB whatever the RAM configuration: bank from
// MA bits 13-12, offset from MA bits 9-0 and the low three raster bits. MA
// and RA only move in the CRTC clock, so the address is worked out once per
// step, after it, for both bytes (the second one read at the next step's
// start); a frame or a single step starts by working it out afresh.
inline void gaCPC::latchVideoAddress() {
    const uint16_t ma = crtc->MA;
    const unsigned offset = ((ma & 0x3FFu) << 1) | ((crtc->RA & 7u) << 11);
    derived.videoPair = &mem->banks[(ma >> 12) & 3][offset];
}
