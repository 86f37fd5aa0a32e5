// The PPI as the firmware drives it through the processor's pins: port B
// inputs, port C line select and AY bus cycles, Plus behaviour.
#include <gtest/gtest.h>

#include <tuple>
#include <utility>

#include "support/machine_fixture.h"

namespace {

class Ppi : public test_support::BareMachine {
protected:
    void SetUp() override {
        BareMachine::SetUp();
        tape->init(false, false, false);
        crtc->vsync = false;
    }

    static void out(uint16_t port, uint8_t data) {
        cpu->addressBus = port;
        cpu->dataBus = data;
        cpu->rd = false;
        cpu->wr = true;
        ppi->enable();
        cpu->wr = false;
    }
    static uint8_t in(uint16_t port) {
        cpu->addressBus = port;
        cpu->dataBus = 0x5A;  // what an unanswered read would leave
        cpu->rd = true;
        cpu->wr = false;
        ppi->enable();
        cpu->rd = false;
        return cpu->dataBus;
    }
    // The firmware's way of writing an AY register.
    static void ayWrite(uint8_t reg, uint8_t value) {
        out(0xF400, reg);
        out(0xF600, 0xC0);
        out(0xF600, 0x00);
        out(0xF400, value);
        out(0xF600, 0x80);
        out(0xF600, 0x00);
    }
    static std::tuple<int, int, int> latches() { return {ppi->control, ppi->portA, ppi->portC}; }
    // The firmware's keyboard scan of one line.
    static uint8_t scanLine(uint8_t line) {
        out(0xF400, 14);
        out(0xF600, 0xC0);
        out(0xF600, 0x00);
        out(0xF700, 0x92);
        out(0xF600, static_cast<uint8_t>(0x40 | line));
        uint8_t v = in(0xF400);
        out(0xF700, 0x82);
        out(0xF600, 0x00);
        return v;
    }
};

TEST_F(Ppi, PortBReadsLatchUntilItIsAnInput) {
    tape->readLevel = 1;
    crtc->vsync = true;
    EXPECT_EQ(in(0xF500), 0x00) << "control 0 makes port B an output";

    out(0xF700, 0x82);
    EXPECT_EQ(in(0xF500), 0xDF) << "tape level, links 5Eh and VSYNC";
    tape->readLevel = 0;
    crtc->vsync = false;
    EXPECT_EQ(in(0xF500), 0x5E);
    EXPECT_EQ(ppi->portB, 0x5E) << "the value read is latched";
}

TEST_F(Ppi, PortBWriteAsOutputChangesOnlyTheExpansionLink) {
    out(0xF500, 0xFF);
    EXPECT_EQ(ppi->portBInputs, 0x7E);
    out(0xF500, 0x00);
    EXPECT_EQ(ppi->portBInputs, 0x5E);

    out(0xF700, 0x82);
    out(0xF500, 0xFF);
    EXPECT_EQ(ppi->portBInputs, 0x5E) << "ignored while port B is an input";
}

TEST_F(Ppi, ModeSetClearsLatchesOnCpc) {
    out(0xF400, 0x12);
    out(0xF600, 0x34);
    out(0xF700, 0x82);
    EXPECT_EQ(latches(), std::tuple(0x82, 0, 0));
    EXPECT_EQ(in(0xF700), 0x00) << "the control register reads 0 on a CPC";
}

TEST_F(Ppi, PortCReadsOnesForInputHalves) {
    // Control 80h: both halves output; 81h: lower half input; 88h: upper half input.
    for (auto [control, read] : {std::pair{0x80, 0xA5}, {0x81, 0xAF}, {0x88, 0xF5}}) {
        out(0xF700, static_cast<uint8_t>(control));
        out(0xF600, 0xA5);
        EXPECT_EQ(in(0xF600), read) << std::hex << control;
    }
}

TEST_F(Ppi, KeyboardScanThroughAyPortAOnTheLinePortCSelects) {
    cPCKeyBoard->key_down(0x85);  // A
    EXPECT_EQ(scanLine(8), 0xDF);
    EXPECT_EQ(scanLine(7), 0xFF);
    EXPECT_EQ(scanLine(12), 0xFF) << "lines above 9 have no keys";
    cPCKeyBoard->key_up(0x85);
    EXPECT_EQ(scanLine(8), 0xFF);
    // Only while the low half of port C is an output.
    out(0xF600, 0x07);
    out(0xF700, 0x81);
    out(0xF600, 0x03);
    EXPECT_EQ(cPCKeyBoard->selectedLine, 7);
}

TEST_F(Ppi, BitSetOfPortCDrivesAyCycles) {
    out(0xF400, 8);
    out(0xF600, 0xC0);  // latch register 8
    out(0xF600, 0x00);
    out(0xF400, 0x0C);
    out(0xF700, 0x0F);  // bit 7 set: write cycle
    EXPECT_EQ(ay->regs[8], 0x0C);
    EXPECT_EQ(ay->bdir, 1);
    out(0xF700, 0x0E);  // bit 7 clear

    out(0xF700, 0x92);  // port A input
    out(0xF700, 0x0D);  // bit 6 set: read cycle
    EXPECT_EQ(ay->bc1, 1);
    EXPECT_EQ(ay->dataBus, 0x0C);
    EXPECT_EQ(in(0xF400), 0x0C);
}

TEST_F(Ppi, PortCUpperHalfDrivesTape) {
    out(0xF600, 0x30);
    EXPECT_TRUE(tape->motorLine);
    EXPECT_EQ(tape->writeLevel, 1);
    out(0xF600, 0x00);
    EXPECT_FALSE(tape->motorLine);

    tape->playKey = true;
    out(0xF700, 0x09);  // bit 4 set through bit set/reset
    EXPECT_TRUE(tape->motorLine);
    EXPECT_TRUE(tape->motorTarget) << "the deck was told the motor started";

    out(0xF700, 0x88);  // upper half input: port C no longer drives the deck
    out(0xF600, 0x00);
    EXPECT_TRUE(tape->motorLine);
}

TEST_F(Ppi, PortAWriteWhileInputIsDropped) {
    ayWrite(0, 0x55);
    ASSERT_EQ(ay->regs[0], 0x55);
    out(0xF600, 0x80);  // BDIR stays high through the mode set below
    out(0xF700, 0x92);
    ASSERT_EQ(ay->bdir, 1);
    out(0xF400, 0x66);
    EXPECT_EQ(ppi->portA, 0xFF);
    EXPECT_EQ(ay->regs[0], 0x55);
}

TEST_F(Ppi, PlusKeepsPortDirectionsAndLatches) {
    crtcType = 3;
    ppi->portA = 0x11;
    ppi->portC = 0x22;
    ppi->reset();
    EXPECT_EQ(latches(), std::tuple(0x12, 0x11, 0x22));
    EXPECT_EQ(ppi->portBInputs, 0x5E);
    EXPECT_EQ(in(0xF700), 0xFF) << "port A input shows in the control read";

    out(0xF700, 0x80);
    EXPECT_EQ(latches(), std::tuple(0x82, 0x11, 0x22));
    EXPECT_EQ(in(0xF700), 0x00);

    out(0xF700, 0x99);
    EXPECT_EQ(ppi->control, 0x92) << "port C stays an output";
}

}  // namespace
