// The gate array's side of the processor bus: the I/O decoding by address
// lines (the memory side is inline in video/gate_array_bus.h).
#include "disk/fdc765.h"
#include "machine/cpu.h"
#include "machine/memory.h"
#include "machine/ppi8255.h"
#include "video/crtc6845.h"
#include "video/gate_array.h"

void gaCPC::serviceIoEdge() {
    const uint8_t level = cpu->iorq ? 1 : 0;
    if (level == lastIorq) return;
    lastIorq = level;
    if (!level) return;

    if (cpu->m1) {  // interrupt acknowledge
        intCounter &= 0x1F;
        cpu->intLine = false;
        cpu->dataBus = 0xFF;
        return;
    }
    const uint16_t port = cpu->addressBus;
    if (cpu->wr) ioWrite(port, cpu->dataBus);
    ioDevices(port);
}

// The devices every I/O cycle reaches by its address lines, IN and OUT alike.
void gaCPC::ioDevices(uint16_t port) {
    if (!(port & 0x4000) && (cpu->rd || cpu->wr)) crtc->crtc_enable();
    if (!(port & 0x0800)) ppi->enable();
    if (fdc && !(port & 0x0400) && !(port & 0x0080)) {
        if (port & 0x0100) {
            fdc->enable();
        } else if (cpu->wr) {
            const bool on = cpu->dataBus != 0;
            for (int unit = 0; unit < 2; ++unit) {
                if (fdc->units[unit] && fdc->units[unit]->drive) fdc->units[unit]->drive->start_motor(on);
            }
        }
    }
}

// An OUT the gate array's own functions did not take: RAM configuration and printer.
void gaCPC::ioWriteRamAndPrinter(uint16_t port, uint8_t data, bool gateArrayTookIt) {
    if (!gateArrayTookIt && mem->ramOver64 && (data & 0xC0) == 0xC0 && !(port & 0x8000)) {
        mem->updateRamConfiguration(static_cast<uint8_t>(port >> 8), data);
    }
    if (!(port & 0x1000)) printerData = data;
}

void gaCPC::ioWrite(uint16_t port, uint8_t data) {
    bool gateArrayTookIt = false;
    if ((port & 0xC000) == 0x4000) {
        switch (data >> 6) {
            case 0:
                penSelect = (data & 0x10) ? 16 : (data & 15);
                gateArrayTookIt = true;
                break;
            case 1:
                colorValue = data & 31;
                setPenColour();
                gateArrayTookIt = true;
                break;
            case 2:
                modeRomReg = data & 15;
                if (data & 0x10) {
                    intCounter = 0;
                    cpu->intLine = false;
                }
                gateArrayTookIt = true;
                break;
            default:
                break;
        }
    }
    if (!(port & 0x2000) && data != mem->uromSelected) {
        // An empty slot selects slot 0.
        mem->uromSelected = mem->urom[data] ? data : 0;
    }
    ioWriteRamAndPrinter(port, data, gateArrayTookIt);
}
