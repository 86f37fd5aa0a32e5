// The debugger's engine on a booted 6128: where its stops fall, checked
// against the chips themselves.
#include <gtest/gtest.h>

#include "debug/debugger.h"
#include "debug/machine_environment.h"
#include "debug/memory_view.h"
#include "machine/emulation_thread.h"
#include "support/asic_test_support.h"
#include "support/machine_fixture.h"

namespace {

class Debugging : public test_support::Machine {
protected:
    Debugging() : Machine({.sharedRoms = true, .toBasic = true}) {}
    void TearDown() override {
        debugger.clear();
        if (debugger.stopped()) debugger.resume();
        Machine::TearDown();
    }
    // Runs until the debugger stops the machine; false when `frames` frames pass without a stop.
    bool runToStop(int frames = 10) {
        for (int i = 0; i < frames; ++i)
            if (!runOneFrame() || debugger.stopped()) return true;
        return false;
    }
};

TEST_F(Debugging, MappingFilterFollowsTheGateArraysRomEnable) {
    BreakPoint lower, ram;
    lower.first = lower.last = ram.first = ram.last = 0x0038;
    lower.mapping = MappingKind::LowerRom;
    ram.mapping = MappingKind::Ram;
    const int lowerNumber = debugger.add(lower);
    const int ramNumber = debugger.add(ram);
    int stops[2] = {};
    auto countStops = [&](int count) {
        for (int i = 0; i < count && runToStop(); ++i) {
            const StopReport r = debugger.lastStop();
            ASSERT_EQ(r.reason, StopReason::Break);
            EXPECT_EQ(r.pc, 0x0038);
            // Bit 2 of the mode and ROM register turns the lower ROM off.
            const bool romOn = !(ga->modeRomReg & 4);
            EXPECT_EQ(r.number == lowerNumber, romOn) << "stop " << i;
            ++stops[r.number == ramNumber];
            debugger.resume();
        }
    };
    // BASIC waits for a key in the lower ROM; then a loop of ours with both ROMs off
    // takes its interrupts from the RAM under it.
    countStops(20);
    // LD BC,&7F8C: EI: loop: OUT (C),C: JR loop (the firmware's handler puts its own ROM state back).
    const uint8_t romsOffLoop[] = {0x01, 0x8C, 0x7F, 0xFB, 0xED, 0x49, 0x18, 0xFC};
    std::string error;
    for (uint16_t i = 0; i < sizeof romsOffLoop; ++i)
        ASSERT_TRUE(pokeMemory(MemorySpace::Cpu, 0, 0x4000 + i, romsOffLoop[i], error)) << error;
    ASSERT_TRUE(writeRegister("PC", 0x4000, error)) << error;
    countStops(20);
    EXPECT_EQ(stops[0], 20);
    EXPECT_EQ(stops[1], 20);
}

TEST_F(Debugging, IgnoreCountDisableAndSteps) {
    BreakPoint entry;
    entry.first = entry.last = 0x0038;
    entry.ignoreCount = 5;
    const int n = debugger.add(entry);
    ASSERT_TRUE(runToStop());
    EXPECT_EQ(debugger.find(n)->hitCount, 6u);
    uint32_t pc = 0;
    ASSERT_TRUE(readRegister("PC", pc));
    EXPECT_EQ(pc, 0x0038u);

    // One instruction: the interrupt entry's first is a jump or a DI, either way not at &0038 any more.
    debugger.stepInto();
    ASSERT_TRUE(runToStop());
    EXPECT_EQ(debugger.lastStop().reason, StopReason::Step);
    EXPECT_NE(debugger.lastStop().pc, 0x0038);

    // One microsecond: the frame has one step fewer left.
    const uint32_t left = ga->frameStepsLeft;
    debugger.stepMicro();
    ASSERT_TRUE(runToStop());
    EXPECT_EQ(ga->frameStepsLeft, left - 1);

    // To the next line and frame: the CRTC's sync has just begun.
    debugger.setEnabled(n, false);
    debugger.stepLine();
    ASSERT_TRUE(runToStop());
    EXPECT_TRUE(crtc->hsync);
    debugger.stepFrame();
    ASSERT_TRUE(runToStop());
    EXPECT_TRUE(crtc->vsync);

    // Disabled, the break point lets whole frames pass.
    debugger.resume();
    EXPECT_FALSE(runToStop(3));
    EXPECT_FALSE(debugger.armed());
}

// The Plus test cartridge raises the raster interrupt and the DMA channels'
// ones; each filter stops only on its own, as the vector the ASIC gave shows
// (&x6 video, &x0-&x4 the DMA channels).
class PlusDebugging : public asic_test::PlusMachine {
protected:
    void TearDown() override {
        debugger.clear();
        if (debugger.stopped()) debugger.resume();
        PlusMachine::TearDown();
    }
};

TEST_F(PlusDebugging, InterruptFiltersTellRasterFromDma) {
    SKIP_WITHOUT_ASIC_PROGRAMS();
    insert(asic_test::cartridgeWith(asic_test::program("asic_interrupts")));
    BreakPoint raster, dma;
    raster.kind = dma.kind = BreakKind::Interrupt;
    raster.source = InterruptSource::Raster;
    dma.source = InterruptSource::Dma;
    const int rasterNumber = debugger.add(raster);
    debugger.add(dma);
    int stops[2] = {};
    for (int frame = 0; frame < 60 && (stops[0] < 20 || stops[1] < 20);) {
        if (as->clock()) ++frame;
        if (!debugger.stopped()) continue;
        const StopReport r = debugger.lastStop();
        ASSERT_EQ(r.reason, StopReason::Interrupt);
        const bool rasterStop = r.number == rasterNumber;
        EXPECT_EQ(r.source, rasterStop ? InterruptSource::Raster : InterruptSource::Dma);
        EXPECT_EQ((cpu->intVector & 6) == 6, rasterStop) << "vector " << int(cpu->intVector);
        ++stops[rasterStop ? 0 : 1];
        debugger.resume();
    }
    EXPECT_GE(stops[0], 20);
    EXPECT_GE(stops[1], 20);
}

}  // namespace
