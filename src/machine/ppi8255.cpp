#include "machine/ppi8255.h"

#include "machine/cpu.h"
#include "machine/keyboard.h"
#include "machine/model.h"
#include "sound/ay8910.h"
#include "tape/tape_drive.h"
#include "video/crtc6845.h"

namespace {

// The Plus ASIC's PPI keeps port B an input and port C an output.
bool plusPpi() { return crtcType == 3; }

}  // namespace

void PPIi8255::reset() {
    if (plusPpi()) {
        control = kPpiPortAInput | kPpiPortBInput;
    } else {
        control = 0;
        portA = portB = portC = 0;
    }
    portBInputs = kPpiPortBInputsReset;
}

void PPIi8255::enable() {
    const uint8_t reg = (cpu->addressBus >> 8) & 3;
    if (cpu->rd) {
        cpu->dataBus = read(reg);
    } else if (cpu->wr) {
        write(reg, cpu->dataBus);
    }
}

uint8_t PPIi8255::read(uint8_t reg) {
    switch (reg) {
    case 0:
        if (control & kPpiPortAInput) {
            ay->read();
            portA = ay->dataBus;
        }
        return portA;
    case 1:
        if (control & kPpiPortBInput) {
            portB = static_cast<uint8_t>(((tape->readLevel & 1) << 7) | portBInputs | (crtc->vsync ? 1 : 0));
        }
        return portB;
    case 2: {
        const uint8_t low = (control & kPpiPortCLowInput) ? 0x0F : (portC & 0x0F);
        const uint8_t high = (control & kPpiPortCHighInput) ? 0xF0 : (portC & 0xF0);
        return low | high;
    }
    default:
        return (plusPpi() && (control & kPpiPortAInput)) ? 0xFF : 0x00;
    }
}

void PPIi8255::write(uint8_t reg, uint8_t data) {
    switch (reg) {
    case 0:
        if (control & kPpiPortAInput) {
            portA = 0xFF;
            return;
        }
        portA = data;
        ay->dataBus = data;
        ay->write();
        return;
    case 1:
        portB = data;
        if (!(control & kPpiPortBInput)) portBInputs = static_cast<uint8_t>((portBInputs & ~0x20) | (data & 0x20));
        return;
    case 2:
        portC = data;
        portCChanged();
        return;
    default:
        if (data & 0x80) {
            if (plusPpi()) {
                control = static_cast<uint8_t>((data & 0xF6) | kPpiPortBInput);
            } else {
                control = data;
                portA = portB = portC = 0;
            }
            return;
        }
        {
            const uint8_t bit = static_cast<uint8_t>(1u << ((data >> 1) & 7));
            portC = (data & 1) ? (portC | bit) : static_cast<uint8_t>(portC & ~bit);
        }
        portCChanged();
        return;
    }
}

void PPIi8255::portCChanged() {
    if (!(control & kPpiPortCLowInput)) cPCKeyBoard->select_line(portC & 0x0F);
    if (!(control & kPpiPortCHighInput)) applyPortCOutputs();
}

void PPIi8255::applyPortCOutputs() {
    tape->writeLevel = (portC >> 5) & 1;
    tape->motorLine = (portC >> 4) & 1;
    // Against the target, not the moving state: a motor switched on again
    // while it still runs down must cancel the stop.
    if ((tape->motorLine && tape->playKey) != tape->motorTarget) tape->setPlaymotorChange();

    ay->bdir = (portC >> 7) & 1;
    ay->bc1 = (portC >> 6) & 1;
    if (ay->bdir) {
        ay->dataBus = portA;
        ay->write();
        ay->dataBus = cpu->dataBus;
    } else if (ay->bc1) {
        ay->read();
    }
}
