// The ASIC's HSYNC work: the raster interrupt and the three DMA sound
// channels, which play instruction lists from RAM into the AY.
#include "asic/asic.h"
#include "machine/memory.h"
#include "sound/ay8910.h"
#include "video/frame_step.h"

namespace {

constexpr uint16_t kDmaPage = 0x2C00;

uint8_t ramByte(uint16_t address) { return mem->banks[address >> 14][address & 0x3FFF]; }

}  // namespace

void asicCPC::hsyncWork() {
    if (rasterArmed && hsyncOut && pri && pri == (rasterLine & 0x3FF)) {
        rasterArmed = false;
        raiseVideoInterrupt();
    }
    if (dmaPhase > 1) return;
    for (int c = dmaCursor; c >= 0; --c) {
        if (!(dcsrShadow & (1 << c))) continue;
        dmaCursor = static_cast<int8_t>(c - 1);
        if (dmaPhase == 0) {
            dmaFetchOpcode(c);
        } else if (dmaChannels[c].fetched) {
            dmaExecute(c);
        }
        return;
    }
    dmaCursor = 2;
    ++dmaPhase;
}

namespace {
void mirrorAddress(uint8_t* page, int channel, uint16_t address) {
    page[kDmaPage + 4 * channel] = static_cast<uint8_t>(address);
    page[kDmaPage + 4 * channel + 1] = static_cast<uint8_t>(address >> 8);
}
}  // namespace

void asicCPC::dmaFetchOpcode(int channel) {
    dmaChannel& ch = dmaChannels[channel];
    if (ch.pauseCount) {
        if (ch.prescalerCounter) {
            --ch.prescalerCounter;
            return;
        }
        if (--ch.pauseCount) {
            ch.prescalerCounter = ch.prescaler;
            return;
        }
    }
    ch.opcode = static_cast<uint16_t>(ramByte(ch.address) | ramByte(static_cast<uint16_t>(ch.address + 1)) << 8);
    ch.address = static_cast<uint16_t>(ch.address + 2);
    mirrorAddress(asicPage, channel, ch.address);
    ch.fetched = true;
}

void asicCPC::dmaExecute(int channel) {
    dmaChannel& ch = dmaChannels[channel];
    const uint16_t op = ch.opcode;
    if (!(op & 0x7000)) {
        // LOAD: a register write through the AY's bus, its own lines left as they were.
        syncSound();
        const uint8_t bdir = ay->bdir, bc1 = ay->bc1, selected = ay->selectedReg;
        ay->writeRegister((op >> 8) & 15, static_cast<uint8_t>(op));
        ay->bdir = bdir;
        ay->bc1 = bc1;
        ay->selectedReg = selected;
        ay->dataBus = static_cast<uint8_t>(op);
        return;
    }
    ch.fetched = false;
    const uint16_t n = op & 0x0FFF;
    if (op & 0x1000) {
        ch.pauseCount = n;
        if (n) ch.prescalerCounter = ch.prescaler;
    }
    if (op & 0x2000) {
        ch.repeatCount = n ? static_cast<uint16_t>(n - 1) : 0;
        ch.loopAddress = ch.address;
    }
    if ((op & 0x4000) && (op & 0x31)) {
        if ((op & 0x01) && ch.repeatCount) {
            --ch.repeatCount;
            ch.address = ch.loopAddress;
            mirrorAddress(asicPage, channel, ch.address);
        }
        if (op & 0x10) {
            cpu->intLine = true;
            dcsr = static_cast<uint8_t>((dcsr & 0x7F) | (0x40 >> channel));
        }
        if (op & 0x20) {
            dcsr &= static_cast<uint8_t>(~(1 << channel));
            dcsrShadow = dcsr;
        }
    }
}
