// The ASIC's side of the processor bus: the memory map with RMR2's lower-ROM
// placement, the register page and the cartridge banks as upper ROMs, and the
// I/O decoding where it differs from the gate array's.
#include "asic/asic.h"
#include "machine/memory.h"
#include "video/monitor.h"

// Null for the register page, which answers itself.
const uint8_t* asicCPC::readBlock(unsigned pageIndex) const {
    const uint8_t* block = mem->page[pageIndex];
    const bool lowerRomOn = !(modeRomReg & 4) && mem->lowerRom;
    // RMR2 bits 5-3: 1xx places the lower ROM (01 &4000, 10 &8000, 11 register page).
    const uint8_t placement = (rmr2 & 0x20) ? (rmr2 >> 3) & 3 : 0;
    switch (pageIndex) {
        case 0:
            if (lowerRomOn && (placement == 0 || placement == 3)) block = mem->lowerRom;
            break;
        case 1:
            if (placement == 3) return nullptr;
            if (lowerRomOn && placement == 1) block = mem->lowerRom;
            break;
        case 2:
            if (lowerRomOn && placement == 2) block = mem->lowerRom;
            break;
        default:
            if (!(modeRomReg & 8)) {
                const uint8_t selection = mem->uromSelected;
                const uint8_t* upper = selection >= 128 ? mem->cbBank[selection & 31] : mem->urom[selection];
                if (upper) block = upper;
            }
            break;
    }
    return block;
}

uint8_t asicCPC::readMemory(uint16_t address) const {
    const uint8_t* block = readBlock(address >> 14);
    return block ? block[address & 0x3FFF] : mRead(address & 0x3FFF, cpu->dataBus);
}

void asicCPC::mapReads() {
    if (!mem) return;
    for (unsigned i = 0; i < 4; ++i) derived.readPages[i] = readBlock(i);
}

void asicCPC::writeMemory(uint16_t address) {
    if ((address >> 14) == 1 && pageMapped()) {
        mWrite(address & 0x3FFF, cpu->dataBus);
    } else {
        mem->page[address >> 14][address & 0x3FFF] = cpu->dataBus;
    }
}

// The vector: IVR bits 7-3, then the source in bits 2-1 (DMA channel flags
// 4, 5, 6 give 0, 2, 4; the video interrupt 6).
void asicCPC::acknowledgeInterrupt() {
    cpu->intLine = false;
    const uint8_t flags = dcsr;
    if (videoIntPending) {
        videoIntPending = false;
        intCounter &= 0x1F;
        dcsr |= 0x80;
        if (dcsr & 0x70) cpu->intLine = true;
    } else {
        dcsr &= 0x7F;
        if (!(ivr & 1)) dcsr &= 0x8F;
    }
    // The source comes from the flags as they stood when acknowledged, so a DMA
    // interrupt whose flag the acknowledge clears still gets its own vector.
    uint8_t vector = ivr & 0xF8;
    if (flags & 0x10) {
    } else if (flags & 0x20) {
        vector |= 2;
    } else if (flags & 0x40) {
        vector |= 4;
    }
    if (dcsr & 0x80) vector |= 6;
    cpu->dataBus = vector;
}

void asicCPC::selectUpperRom(uint8_t value) {
    if (value == mem->uromSelected) return;
    if (value < 128) {
        if (mem->urom[value]) mem->uromSelected = value;
    } else if (mem->cbBank[value & 31]) {
        mem->uromSelected = value;
    }
}

void asicCPC::serviceIoEdge() {
    const uint8_t level = cpu->iorq ? 1 : 0;
    if (level == lastIorq) return;
    lastIorq = level;
    if (!level) return;

    if (cpu->m1) {
        acknowledgeInterrupt();
        return;
    }
    const uint16_t port = cpu->addressBus;
    if (cpu->wr) {
        ioWrite(port, cpu->dataBus);
    } else if ((port & 0xC000) == 0x4000 && cpu->rd) {
        // An IN on the gate-array port takes the byte on the bus as a pen or colour write.
        const uint8_t data = cpu->dataBus;
        if ((data >> 6) == 0) {
            penSelect = (data & 0x10) ? 16 : (data & 15);
        } else if ((data >> 6) == 1) {
            colorValue = data & 31;
            setPenColour();
            writeColourPage(penSelect, colorValue);
        }
    }
    ioDevices(port);
}

void asicCPC::ioWrite(uint16_t port, uint8_t data) {
    bool gateArrayTookIt = false;
    if ((port & 0xC000) == 0x4000) {
        gateArrayTookIt = true;
        switch (data >> 6) {
            case 0: penSelect = (data & 0x10) ? 16 : (data & 15); break;
            case 1:
                colorValue = data & 31;
                setPenColour();
                writeColourPage(penSelect, colorValue);
                break;
            case 2:
                if (unlocked && (data & 0x20)) {
                    writeRmr2(data);
                } else {
                    writeModeRom(data);
                }
                break;
            default: gateArrayTookIt = false; break;
        }
    }
    if (!(port & 0x2000)) selectUpperRom(data);
    ioWriteRamAndPrinter(port, data, gateArrayTookIt);
}
