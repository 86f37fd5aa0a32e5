// The AY-3-8910 on emulated microseconds: tone pitch, envelope shapes, noise,
// the mixer, register masks and the bus cycles the PPI drives.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "machine/cpc.h"
#include "machine/keyboard.h"
#include "sound/ay8910.h"
#include "support/machine_fixture.h"

namespace {

void busWrite(ay8910& ay, uint8_t reg, uint8_t value) {
    ay.bdir = 1;
    ay.bc1 = 1;
    ay.dataBus = reg;
    ay.write();
    ay.bc1 = 0;
    ay.dataBus = value;
    ay.write();
    ay.bdir = 0;
}

uint8_t busRead(ay8910& ay, uint8_t reg) {
    ay.bdir = 1;
    ay.bc1 = 1;
    ay.dataBus = reg;
    ay.write();
    ay.bdir = 0;
    ay.dataBus = 0x00;
    ay.read();
    ay.bc1 = 0;
    return ay.dataBus;
}

// Levels of channel A, one per microsecond, as the audio path samples them.
std::vector<uint8_t> channelA(ay8910& ay, int microseconds) {
    std::vector<uint8_t> out(microseconds);
    for (int i = 0; i < microseconds; ++i) {
        ay.clock();
        ay.mixer();
        out[i] = ay.level[0];
    }
    return out;
}

int risingEdges(const std::vector<uint8_t>& levels) {
    int n = 0;
    for (size_t i = 1; i < levels.size(); ++i) n += levels[i - 1] == 0 && levels[i] != 0;
    return n;
}

// Envelope levels after each envelope step, with the fastest envelope (one step per 16 us).
std::vector<int> envelope(ay8910& ay, uint8_t shape, int steps) {
    ay.writeRegister(11, 1);
    ay.writeRegister(12, 0);
    ay.writeRegister(13, shape);
    std::vector<int> out;
    for (int s = 0; s < steps; ++s) {
        for (int i = 0; i < 16; ++i) ay.clock();
        out.push_back(ay.envVolume);
    }
    return out;
}

TEST(Ay, ToneOf440HzFromPeriod142) {
    ay8910 ay;
    busWrite(ay, 7, 0x38);
    busWrite(ay, 8, 15);
    busWrite(ay, 0, 142);
    busWrite(ay, 1, 0);
    const std::vector<uint8_t> second = channelA(ay, 1000000);
    EXPECT_EQ(risingEdges(second), 440);
    for (uint8_t l : second) ASSERT_TRUE(l == 0 || l == 15) << int(l);
    // A square wave: half of the time high.
    int high = 0;
    for (uint8_t l : second) high += l != 0;
    EXPECT_NEAR(high, 500000, 2272);
}

TEST(Ay, AllOffPlaysTheVolumeRegister) {
    ay8910 ay;
    ay.writeRegister(7, 0x3F);
    ay.writeRegister(8, 11);
    for (uint8_t l : channelA(ay, 5000)) ASSERT_EQ(l, 11);
    ay.writeRegister(8, 3);
    ay.clock();
    ay.mixer();
    EXPECT_EQ(ay.level[0], 3) << "a sample changes the output at once";
}

TEST(Ay, PeriodZeroHoldsTheToneHigh) {
    ay8910 ay;
    ay.writeRegister(7, 0x3E);  // tone A on, noise off
    ay.writeRegister(8, 9);
    const std::vector<uint8_t> levels = channelA(ay, 2000);
    for (size_t i = 16; i < levels.size(); ++i) ASSERT_EQ(levels[i], 9) << i;
}

TEST(Ay, NoiseRateFollowsItsPeriod) {
    for (uint8_t period : {1, 8, 31}) {
        ay8910 ay;
        ay.writeRegister(7, 0x37);  // noise on A only
        ay.writeRegister(8, 15);
        ay.writeRegister(6, static_cast<uint8_t>(0xE0 | period));
        ASSERT_EQ(ay.noisePeriod, period);
        const std::vector<uint8_t> levels = channelA(ay, 1000000);
        int changes = 0, high = 0;
        for (size_t i = 1; i < levels.size(); ++i) changes += levels[i] != levels[i - 1];
        for (uint8_t l : levels) high += l != 0;
        // The shift register steps at 125 kHz / period; the output flips on about half the steps.
        const double steps = 125000.0 / period;
        EXPECT_NEAR(changes, steps / 2, steps * 0.05) << "period " << int(period);
        EXPECT_NEAR(high, 500000, 50000) << "period " << int(period);
    }
}

// Envelope levels step by step (one hex digit each), from a fresh generator or
// after other shapes ran first: saw-tooths and triangles repeat, one-shot shapes
// hold, and a shape taken over runs on from where the envelope was.
TEST(AyEnvelope, ShapesStepByStep) {
    struct Case {
        const char* name;
        std::vector<std::pair<uint8_t, int>> before;  // shape, steps
        uint8_t shape;
        const char* levels;
    };
    const Case cases[] = {
        {"0", {}, 0, "FEDCBA9876543210000000000000000000000000000000000000000000000000"},
        {"1", {}, 1, "FEDCBA9876543210000000000000000000000000000000000000000000000000"},
        {"2", {}, 2, "FEDCBA9876543210000000000000000000000000000000000000000000000000"},
        {"3", {}, 3, "FEDCBA9876543210000000000000000000000000000000000000000000000000"},
        {"4", {}, 4, "0123456789ABCDEF000000000000000000000000000000000000000000000000"},
        {"8", {}, 8, "0FEDCBA9876543210FEDCBA9876543210FEDCBA9876543210FEDCBA987654321"},
        {"9", {}, 9, "FEDCBA9876543210000000000000000000000000000000000000000000000000"},
        {"10", {}, 10, "00123456789ABCDEFFEDCBA98765432100123456789ABCDEFFEDCBA987654321"},
        {"11", {}, 11, "FEDCBA9876543210FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"},
        {"12", {}, 12, "0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF"},
        {"13", {}, 13, "0123456789ABCDEFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"},
        {"14", {}, 14, "00123456789ABCDEFFEDCBA98765432100123456789ABCDEFFEDCBA987654321"},
        {"14 after a held envelope", {{0, 20}}, 14, "0123456789ABCDEFFEDCBA98765432100123456789ABCDEFFEDCBA9876543210"},
        {"8 taken over while rising",
         {{12, 50}},
         8,
         "210FEDCBA9876543210FEDCBA9876543210FEDCBA9876543210FEDCBA9876543"},
        {"12 taken over while falling",
         {{12, 50}, {8, 50}},
         12,
         "0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ay8910 ay;
        for (auto [shape, steps] : c.before) envelope(ay, shape, steps);
        std::string levels;
        for (int v : envelope(ay, c.shape, 64)) levels += "0123456789ABCDEF"[v];
        EXPECT_EQ(levels, c.levels);
    }
}

TEST(AyEnvelope, RepeatingShapeRewriteDoesNotRestartIt) {
    ay8910 ay;
    envelope(ay, 14, 7);
    const uint8_t step = ay.envStep, direction = ay.envDirection;
    ay.writeRegister(13, 14);
    ay.writeRegister(13, 10);
    EXPECT_EQ(std::make_tuple(ay.envStep, ay.envDirection), std::make_tuple(step, direction));
}

TEST(AyEnvelope, StepLastsSixteenTimesThePeriod) {
    ay8910 ay;
    ay.writeRegister(11, 10);
    ay.writeRegister(13, 13);  // rising
    int changes = 0;
    uint8_t last = ay.envVolume;
    for (int i = 0; i < 160 * 10; ++i) {
        ay.clock();
        changes += ay.envVolume != last;
        last = ay.envVolume;
    }
    EXPECT_EQ(changes, 9) << "one step every 160 us (the first repeats level 0)";
    EXPECT_EQ(ay.envPeriod, 10);
}

TEST(AyEnvelope, ChannelFollowsEnvelopeWithBit4) {
    ay8910 ay;
    ay.writeRegister(7, 0x3F);
    ay.writeRegister(9, 0x1F);  // B follows the envelope; the fixed bits are ignored
    ay.writeRegister(11, 1);
    ay.writeRegister(13, 8);
    for (int i = 0; i < 2000; ++i) {
        ay.clock();
        ay.mixer();
        ASSERT_EQ(ay.level[1], ay.envVolume);
    }
    ay.writeRegister(9, 0x3F);
    EXPECT_EQ(ay.regs[9], 0x1F) << "volume registers keep five bits";
}

TEST(AyRegisters, RewritingR7KeepsEverything) {
    ay8910 ay;
    ay.writeRegister(7, 0x38);
    ay.writeRegister(8, 15);
    ay.writeRegister(0, 30);
    channelA(ay, 777);
    const ay8910 before = ay;
    ay.writeRegister(7, 0x38);
    const auto toneAndNoise = [](const ay8910& g) {
        return std::make_tuple(std::to_array(g.toneOut), std::to_array(g.toneCounter), std::to_array(g.toneDisable),
                               std::to_array(g.noiseDisable), g.noiseOut, g.noiseShift);
    };
    EXPECT_EQ(toneAndNoise(before), toneAndNoise(ay));
    ay.writeRegister(7, 0xC9);
    EXPECT_EQ(std::make_tuple(ay.toneDisable[0], ay.toneDisable[1], ay.noiseDisable[0], ay.noiseDisable[2],
                              ay.portAOutput, ay.portBOutput),
              std::make_tuple(1, 0, 1, 0, true, true));
}

TEST(AyRegisters, RegistersAbove15ReadFFAndIgnoreWrites) {
    ay8910 ay;
    busWrite(ay, 3, 0x0A);
    const ay8910 before = ay;
    busWrite(ay, 16, 0x55);
    EXPECT_EQ(ay.selectedReg, 16) << "the address latch is not masked";
    EXPECT_EQ(std::memcmp(before.regs, ay.regs, sizeof ay.regs), 0);
    const int r16 = busRead(ay, 16), r83 = busRead(ay, 0x83), r3 = busRead(ay, 3);
    EXPECT_EQ(std::make_tuple(r16, r83, r3), std::make_tuple(0xFF, 0xFF, 0x0A));
}

TEST(AyRegisters, StoredMasks) {
    ay8910 ay;
    const uint8_t expected[14] = {0xFF, 0x0F, 0xFF, 0x0F, 0xFF, 0x0F, 0x1F, 0xFF, 0x1F, 0x1F, 0x1F, 0xFF, 0xFF, 0x0F};
    for (uint8_t r = 0; r < 14; ++r) {
        busWrite(ay, r, 0xFF);
        EXPECT_EQ(busRead(ay, r), expected[r]) << "R" << int(r);
    }
    EXPECT_EQ(std::make_tuple(ay.tonePeriod[2], ay.envPeriod, ay.noisePeriod), std::make_tuple(0xFFF, 0xFFFF, 31));
}

using AyKeyboardPort = test_support::BareMachine;

TEST_F(AyKeyboardPort, PortsReadKeysAndLatches) {
    cPCKeyBoard->key_down(0x85);
    cPCKeyBoard->select_line(8);
    EXPECT_EQ(busRead(*ay, 14), 0xDF) << "port A an input";
    busWrite(*ay, 14, 0xF0);
    EXPECT_EQ(busRead(*ay, 14), 0xDF) << "the latch matters only for an output";
    busWrite(*ay, 7, 0x40);
    EXPECT_EQ(busRead(*ay, 14), 0xD0) << "output: keys AND latch";
    cPCKeyBoard->select_line(10);
    EXPECT_EQ(busRead(*ay, 14), 0xF0);

    busWrite(*ay, 15, 0x12);
    EXPECT_EQ(busRead(*ay, 15), 0xFF) << "port B an input";
    busWrite(*ay, 7, 0x80);
    EXPECT_EQ(busRead(*ay, 15), 0x12);
}

}  // namespace

// The frame clock runs the generator in arrears, in pieces of any length
// between the processor's accesses: the same sound as one clock at a time.
// A third generator never takes the silent channels' short cut.
TEST(Ay, RunningInPiecesMatchesClockingEachMicrosecond) {
    ay8910 stepped, batched, everyToneStep;
    uint32_t seed = 12345;
    const auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 16; };
    for (int write = 0; write < 400; ++write) {
        const uint32_t microseconds = next() % 300;
        for (uint32_t i = 0; i < microseconds; ++i) stepped.clock();
        everyToneStep.run(microseconds);
        for (uint32_t left = microseconds; left;) {
            const uint32_t piece = 1 + next() % left;
            batched.run(piece);
            left -= piece;
        }
        stepped.mixer();
        batched.mixer();
        const auto state = [](const ay8910& g) {
            return std::make_tuple(std::to_array(g.level), g.prescaler, g.noiseShift, g.envCounter);
        };
        const auto tone = [](const ay8910& g) {
            return std::make_tuple(std::to_array(g.toneOut), std::to_array(g.toneCounter));
        };
        ASSERT_EQ(state(stepped), state(batched)) << "write " << write;
        ASSERT_EQ(tone(stepped), tone(batched)) << "write " << write;
        ASSERT_EQ(tone(stepped), tone(everyToneStep)) << "write " << write;
        // Small periods, so that every counter wraps within a piece; any
        // mixer and volume (with or without the envelope).
        const uint8_t reg = static_cast<uint8_t>(next() % 14);
        const uint8_t value = static_cast<uint8_t>(reg == 7 || (reg >= 8 && reg <= 10) ? next() : next() % 8);
        busWrite(stepped, reg, value);
        busWrite(batched, reg, value);
        busWrite(everyToneStep, reg, value);
        everyToneStep.toneInert = 0;
    }
    // Period 0 with tone and noise off: channel B is silent, channel A's
    // envelope bit still toggles its output at every step.
    ay8910 shortCut, full;
    for (ay8910* g : {&shortCut, &full}) {
        busWrite(*g, 7, 0x3F);
        busWrite(*g, 8, 0x10);
        busWrite(*g, 9, 0x0F);
    }
    full.toneInert = 0;
    for (int i = 0; i < 5; ++i) {
        shortCut.run(8);
        full.run(8);
        ASSERT_EQ(0, std::memcmp(shortCut.toneOut, full.toneOut, sizeof full.toneOut)) << "step " << i;
    }
    EXPECT_EQ(shortCut.toneInert, 6);
}
