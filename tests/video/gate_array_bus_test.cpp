// The gate array's decoding of the processor's memory and I/O cycles.
#include <gtest/gtest.h>
#include <tuple>

#include "machine/cpu.h"
#include "machine/memory.h"
#include "machine/ppi8255.h"
#include "support/machine_fixture.h"
#include "video/crtc6845.h"
#include "video/frame_step.h"
#include "video/gate_array.h"

using test_support::BareMachine;
using test_support::ioCycle;

namespace {

class GateArrayBus : public BareMachine {};

TEST_F(GateArrayBus, PenColourAndModeRegisterFunctions) {
    ioCycle(0x7F00, 0x03);
    EXPECT_EQ(ga->penSelect, 3);
    ioCycle(0x7F00, 0x1F);  // bit 4: the border, whatever the low bits say
    EXPECT_EQ(ga->penSelect, 16);

    ioCycle(0x7F00, 0x40 | 0x0B);
    EXPECT_EQ(std::make_tuple(ga->colorValue, ga->pens[16], ga->borderColor),
              std::make_tuple(11, monitor_aBGR[11], monitor_aBGR[11]));

    ioCycle(0x7F00, 0x80 | 0x0D);
    EXPECT_EQ(ga->modeRomReg, 0x0D);
    EXPECT_EQ(ga->mode, 0) << "the mode changes only at HSYNC";

    ga->intCounter = 40;
    cpu->intLine = true;
    ioCycle(0x7F00, 0x80 | 0x10 | 0x01);
    EXPECT_EQ(std::make_tuple(ga->intCounter, cpu->intLine, ga->modeRomReg), std::make_tuple(0, false, 0x01));
}

TEST_F(GateArrayBus, OneServicePerIoCycle) {
    cpu->addressBus = 0x7F00;
    cpu->dataBus = 0x05;
    cpu->wr = true;
    cpu->iorq = true;
    ga->serviceIoEdge();
    EXPECT_EQ(ga->penSelect, 5);
    cpu->dataBus = 0x07;  // IORQ still high: the same cycle, not served again
    ga->serviceIoEdge();
    ga->serviceIoEdge();
    EXPECT_EQ(ga->penSelect, 5);
    cpu->iorq = false;
    ga->serviceIoEdge();
    cpu->iorq = true;
    ga->serviceIoEdge();
    EXPECT_EQ(ga->penSelect, 7);
}

TEST_F(GateArrayBus, InterruptAcknowledgeClearsOnlyBitFive) {
    ga->intCounter = 40;
    cpu->intLine = true;
    cpu->m1 = true;
    cpu->iorq = true;
    cpu->dataBus = 0x12;
    ga->serviceIoEdge();
    EXPECT_EQ(std::make_tuple(ga->intCounter, cpu->intLine, cpu->dataBus), std::make_tuple(8, false, 0xFF));
}

TEST_F(GateArrayBus, RamConfigurationNeedsMoreThan64K) {
    ioCycle(0x7F00, 0xC1);
    EXPECT_EQ(std::make_tuple(mem->page[3], mem->ramConfig), std::make_tuple(mem->banks[7], 0xC1));

    ioCycle(0x7F00, 0xC0);
    mem->init(64);
    mem->updateRamConfiguration(127, 0);
    ioCycle(0x7F00, 0xC1);
    EXPECT_EQ(std::make_tuple(mem->ramConfig, mem->page[3]), std::make_tuple(0, mem->banks[3]));
}

TEST_F(GateArrayBus, RamConfigurationAndCrtcShareA14Low) {
    // &3Cxx: A15 = 0 selects the RAM configuration, A14 = 0 the CRTC (register select).
    ioCycle(0x3C00, 0xC1);
    EXPECT_EQ(std::make_tuple(mem->page[3], crtc->selectedReg), std::make_tuple(mem->banks[7], 0xC1 & 31));
    ioCycle(0x3F00, 0xC3);
    EXPECT_EQ(mem->page[1], mem->banks[3]);
    // A15 = 1 never reaches the RAM configuration, nor does a mode/ROM byte (bits 7-6 are 10).
    ioCycle(0xBF00, 0xC2);
    ioCycle(0x3F00, 0x8C);
    EXPECT_EQ(mem->ramConfig, 0xC3);
}

TEST_F(GateArrayBus, UpperRomSelectFallsBackToSlotZero) {
    mem->init_urom(0);
    mem->init_urom(7);
    ioCycle(0xDF00, 7);
    EXPECT_EQ(mem->uromSelected, 7);
    ioCycle(0xDF00, 5);  // empty slot
    EXPECT_EQ(mem->uromSelected, 0);
    ioCycle(0xFF00, 7);  // A13 = 1: not the ROM select
    EXPECT_EQ(mem->uromSelected, 0);
}

TEST_F(GateArrayBus, RomSelectAndPrinterDecodeTogether) {
    mem->init_urom(7);
    ioCycle(0xCF00, 7);  // A13 = 0 and A12 = 0
    EXPECT_EQ(std::make_tuple(mem->uromSelected, printerData), std::make_tuple(7, 7));
    ioCycle(0xEF00, 0x55);  // A12 = 0 only
    EXPECT_EQ(std::make_tuple(mem->uromSelected, printerData), std::make_tuple(7, 0x55));
}

TEST_F(GateArrayBus, CrtcAndPpiBothTakeA14AndA11Low) {
    // &34xx: A14 = 0 (CRTC, A9-A8 = 00: register select) and A11 = 0 (PPI port A).
    ioCycle(0x3400, 0x0C);
    EXPECT_EQ(std::make_tuple(crtc->selectedReg, ppi->portA), std::make_tuple(12, 0x0C));
    // Reads go to the CRTC as well: &BFxx returns R12 on type 0.
    test_support::crtcWrite(12, 0x2A);
    ioCycle(0xBC00, 12);
    ioCycle(0xBF00, 0x00, false);
    EXPECT_EQ(cpu->dataBus, 0x2A);
    ioCycle(0x7F00, 0x99, false);  // the gate array is write-only: the read leaves the bus
    EXPECT_EQ(cpu->dataBus, 0x99);
}

TEST_F(GateArrayBus, ReadsSeeEnabledRomsAndWritesReachRam) {
    mem->initLromData();
    mem->lowerRom = mem->lowerRomData;
    mem->lowerRom[0x10] = 0xA1;
    mem->init_urom(0);
    mem->urom[0][0x20] = 0xB2;
    mem->banks[0][0x10] = 0x01;
    mem->banks[3][0x20] = 0x02;
    mem->banks[1][0x30] = 0x03;

    // Both ROMs on, the lower one off (bit 2), the upper one off (bit 3).
    const auto reads = [] {
        return std::make_tuple(ga->readMemory(0x0010), ga->readMemory(0xC020), ga->readMemory(0x4030));
    };
    EXPECT_EQ(reads(), std::make_tuple(0xA1, 0xB2, 0x03));
    ga->modeRomReg = 0x04;
    EXPECT_EQ(reads(), std::make_tuple(0x01, 0xB2, 0x03));
    ga->modeRomReg = 0x08;
    EXPECT_EQ(reads(), std::make_tuple(0xA1, 0x02, 0x03));

    ga->modeRomReg = 0;
    cpu->mreq = true;
    cpu->wr = true;
    cpu->addressBus = 0x0010;
    cpu->dataBus = 0x77;
    ga->serviceMemory();
    EXPECT_EQ(mem->banks[0][0x10], 0x77) << "a write under the lower ROM reaches RAM";
    EXPECT_EQ(mem->lowerRom[0x10], 0xA1);

    cpu->wr = false;
    cpu->rd = true;
    ga->mapReads();  // the step does so after I/O edges and at frame starts
    ga->serviceMemory();
    EXPECT_EQ(cpu->dataBus, 0xA1);
}

TEST_F(GateArrayBus, MissingRomsReadTheRamUnderneath) {
    mem->lowerRom = nullptr;
    mem->delete_urom(0);
    mem->uromSelected = 0;
    mem->banks[0][0x0100] = 0x11;
    mem->banks[3][0x0100] = 0x33;
    EXPECT_EQ(std::make_tuple(ga->readMemory(0x0100), ga->readMemory(0xC100)), std::make_tuple(0x11, 0x33));
}

}  // namespace
