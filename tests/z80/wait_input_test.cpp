// clockWith() with a fixed WAIT input, as the gate array's step runs it,
// against clock() reading the WAIT pin: the same pins after every T-state
// and the same state at the end, on random code with WAIT, interrupts in all
// three modes and port traffic, and on the start of zexdoc.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/shared_files.h"
#include "z80_test_bench.h"

namespace {

// What the pins and the state visible between T-states look like.
struct TState {
    uint16_t address;
    uint8_t data;
    uint8_t pins;
    uint8_t step;
    uint8_t fetchState;
    uint8_t busState;
    uint16_t pc;
    bool operator==(const TState&) const = default;
};

TState snapshot(const Z80CPU& c) {
    const uint8_t pins =
        uint8_t(c.m1 | c.mreq << 1 | c.iorq << 2 | c.rd << 3 | c.wr << 4 | c.rfsh << 5 | c.halt << 6 | c.fetching << 7);
    return {c.addressBus, c.dataBus, pins, c.step, c.fetchState(), c.busState(), c.PC};
}

// The world around the CPU, driven the same way by both drivers: WAIT and
// INT for each T-state come from the T-state's index.
struct World {
    bool useWait = false;
    bool useInterrupts = false;
    uint8_t mem[65536];
    bool iorqBefore = false;
    std::vector<TState> trace;

    bool waitAt(uint64_t t) const { return useWait && (t % 4 != 0) && (t % 7 != 3); }
    bool intAt(uint64_t t) const { return useInterrupts && t % 1500 < 40; }

    void serve(Z80CPU& c, uint64_t t) {
        const bool firstQuarter = !waitAt(t);
        if (firstQuarter && c.mreq) {
            if (c.rd) c.dataBus = mem[c.addressBus];
            else if (c.wr) mem[c.addressBus] = c.dataBus;
        }
        if (c.iorq != iorqBefore) {
            iorqBefore = c.iorq;
            if (iorqBefore) {
                if (c.m1) {
                    c.intLine = 0;
                    c.dataBus = uint8_t(t * 0x5B) | 1;  // IM 2 vector / IM 0 opcode
                } else if (c.rd) {
                    c.dataBus = uint8_t(c.addressBus ^ (c.addressBus >> 8) ^ t);
                } else if (c.wr) {
                    mem[uint16_t(0x8000 | (c.addressBus & 0x7FFF))] ^= c.dataBus;
                }
            }
        }
        trace.push_back(snapshot(c));
    }
};

void prepare(Z80CPU& cpu, const World& w, uint16_t pc, uint8_t im) {
    cpu.reset();
    cpu.PC = pc;
    cpu.setSP(0xF000);
    cpu.setAF(0x1234);
    cpu.setBC(0x0102);
    cpu.setHL(0x4000);
    cpu.setIX(0x5000);
    cpu.setIY(0x6000);
    cpu.I = 0x70;
    cpu.interruptMode = im;
    cpu.iff1 = cpu.iff2 = w.useInterrupts;
}

std::string describe(Z80CPU& c) {
    char buf[200];
    std::snprintf(buf, sizeof buf,
                  "AF %04X BC %04X DE %04X HL %04X IX %04X IY %04X SP %04X PC %04X WZ %04X R %02X IFF1 %d IM %d",
                  c.getAF(), c.getBC(), c.getDE(), c.getHL(), c.getIX(), c.getIY(), c.getSP(), c.PC, c.getWZ(), c.R,
                  c.iff1, c.interruptMode);
    return buf;
}

void compareDrivers(const std::vector<uint8_t>& image, uint16_t origin, uint16_t pc, bool useWait, bool useInterrupts,
                    uint8_t im, uint64_t tstates) {
    auto a = std::make_unique<World>();
    a->useWait = useWait;
    a->useInterrupts = useInterrupts;
    std::memset(a->mem, 0, sizeof a->mem);
    std::memcpy(a->mem + origin, image.data(), image.size());
    auto b = std::make_unique<World>(*a);

    auto cpuA = std::make_unique<Z80CPU>();
    auto cpuB = std::make_unique<Z80CPU>();
    prepare(*cpuA, *a, pc, im);
    prepare(*cpuB, *b, pc, im);

    for (uint64_t t = 0; t < tstates; ++t) {
        const bool waitHigh = a->waitAt(t);
        if (a->intAt(t)) {
            cpuA->intLine = 1;
            cpuB->intLine = 1;
        }
        cpuA->wait = waitHigh;
        cpuA->clock();
        a->serve(*cpuA, t);
        // The pin says the opposite: the fixed input alone must count.
        cpuB->wait = !waitHigh;
        if (waitHigh) cpuB->clockWith<Z80CPU::WaitHigh>();
        else cpuB->clockWith<Z80CPU::WaitLow>();
        cpuB->wait = waitHigh;
        b->serve(*cpuB, t);
    }

    ASSERT_EQ(a->trace.size(), b->trace.size());
    for (size_t t = 0; t < a->trace.size(); ++t)
        ASSERT_TRUE(a->trace[t] == b->trace[t]) << "first difference after T-state " << t;
    EXPECT_EQ(describe(*cpuA), describe(*cpuB));
    EXPECT_EQ(std::memcmp(a->mem, b->mem, sizeof a->mem), 0);
}

}  // namespace

TEST(z80, fixed_wait_matches_wait_pin) {
    // Random code, so that every table and most steps are reached; each
    // seed is run plain, with WAIT, and with interrupts in IM 0, 1 and 2.
    for (unsigned seed = 1; seed <= 6; ++seed) {
        std::mt19937 rng(seed);
        std::vector<uint8_t> code(0x4000);
        for (auto& byte : code) byte = uint8_t(rng());
        SCOPED_TRACE("seed " + std::to_string(seed));
        compareDrivers(code, 0x0000, 0x0000, false, false, 0, 20000);
        compareDrivers(code, 0x0000, 0x0000, true, false, 0, 20000);
        for (uint8_t im = 0; im < 3; ++im) compareDrivers(code, 0x0000, 0x0000, seed & 1, true, im, 20000);
    }

    // A real instruction mix: the start of the exerciser.
    SKIP_WITHOUT_SHARED("z80/zexdoc.com");
    std::ifstream in(sharedPath("z80/zexdoc.com"), std::ios::binary);
    const std::vector<uint8_t> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    compareDrivers(image, 0x0100, 0x0100, false, false, 0, 300000);
    compareDrivers(image, 0x0100, 0x0100, true, false, 0, 300000);
}
