// Pin-level behaviour: what the CPU shows on its outputs after each clock()
// call, how WAIT stretches cycles, the interrupt acknowledge, the EI delay,
// prefixes, HALT and the refresh register.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "z80_test_bench.h"

namespace {

struct Pins {
    bool m1, mreq, iorq, rd, wr, rfsh;
    uint16_t address;
};

Pins pins(const Z80CPU& c) { return {c.m1, c.mreq, c.iorq, c.rd, c.wr, c.rfsh, c.addressBus}; }

std::string str(const Pins& p) {
    std::string s;
    s += p.m1 ? "M1 " : "";
    s += p.mreq ? "MREQ " : "";
    s += p.iorq ? "IORQ " : "";
    s += p.rd ? "RD " : "";
    s += p.wr ? "WR " : "";
    s += p.rfsh ? "RFSH " : "";
    char buf[16];
    std::snprintf(buf, sizeof buf, "@%04X", p.address);
    return s + buf;
}

// The pins after each of n T-states.
std::string ticks(Z80TestBench& b, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) {
        b.tick();
        s += (i ? " | " : "") + str(pins(b.cpu));
    }
    return s;
}

std::unique_ptr<Z80TestBench> freshBench() {
    auto b = std::make_unique<Z80TestBench>();
    b->cpu.reset();
    return b;
}

}  // namespace

// A NOP at 0 after reset: fetch, opcode latch, refresh with R already 1
TEST(z80, pins_nop_after_reset) {
    auto b = freshBench();
    b->cpu.I = 0x3F;
    EXPECT_EQ(ticks(*b, 4), "M1 MREQ RD @0000 | M1 MREQ RD @0000 | MREQ RFSH @3F01 | @3F01");
    EXPECT_EQ(std::make_tuple(b->cpu.opcode, b->cpu.PC, b->cpu.R, b->atBoundary()), std::make_tuple(0, 1, 1, true));
}

// WAIT high stretches T2 and changes nothing else
TEST(z80, pins_wait_stretches_fetch) {
    auto b = freshBench();
    b->cpu.wait = 1;
    b->cpu.clock();  // T1
    for (int i = 0; i < 50; ++i) {
        b->cpu.clock();
        ASSERT_EQ(std::make_tuple(str(pins(b->cpu)), b->cpu.PC, b->cpu.R), std::make_tuple("M1 MREQ RD @0000", 1, 0));
    }
    b->cpu.wait = 0;
    b->cpu.dataBus = 0x00;
    b->cpu.clock();  // T2 completes
    b->cpu.clock();  // T3
    EXPECT_EQ(std::make_tuple(b->cpu.rfsh, b->cpu.R), std::make_tuple(true, 1));
}

// A memory write repeats T2 with WR and the byte held; it reaches
// memory once on the gate array bus
TEST(z80, pins_write_repeats_t2) {
    auto b = freshBench();
    b->load(0, {0x36, 0xA5});  // LD (HL),A5h
    b->cpu.setHL(0x4000);
    std::vector<Z80TestBench::BusEvent> events;
    b->events = &events;
    b->runInstruction();  // LD (HL),n: M1 P W = 10 T-states
    EXPECT_EQ(b->mem[0x4000], 0xA5);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].t, 8u);  // T2 of the write cycle

    auto g = freshBench();
    g->load(0, {0x36, 0xA5});
    g->cpu.setHL(0x4000);
    g->gateArrayWait = true;
    g->events = &events;
    events.clear();
    int wrCalls = 0;
    do {
        g->tick();
        if (g->cpu.wr) {
            ++wrCalls;
            EXPECT_EQ(std::make_tuple(g->cpu.dataBus, g->cpu.mreq, g->cpu.addressBus),
                      std::make_tuple(0xA5, true, 0x4000));
        }
    } while (!g->atBoundary());
    EXPECT_GT(wrCalls, 1);
    EXPECT_EQ(events.size(), 1u);
    EXPECT_EQ(g->mem[0x4000], 0xA5);
}

// Operand reads from PC raise M1 in T1 only
TEST(z80, pins_operand_read_m1) {
    auto b = freshBench();
    b->load(0, {0x3E, 0x77});  // LD A,77h
    ticks(*b, 4);
    EXPECT_EQ(ticks(*b, 3), "M1 MREQ RD @0001 | MREQ RD @0001 | @0001");
    EXPECT_EQ(b->cpu.A, 0x77);
    EXPECT_TRUE(b->atBoundary());
}

// An I/O cycle is served once, right after its T2
TEST(z80, pins_io_served_once) {
    auto b = freshBench();
    b->load(0, {0xD3, 0xFE});  // OUT (FEh),A
    b->cpu.A = 0x12;
    std::vector<Z80TestBench::BusEvent> events;
    b->events = &events;
    b->gateArrayWait = true;
    b->runInstruction();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(std::tie(events[0].kind, events[0].address, events[0].data), std::make_tuple('O', 0x12FE, 0x12));
}

// Interrupt acknowledge: PC held, IORQ with M1 in the third
// T-state, the vector taken when WAIT is low in the fourth
TEST(z80, pins_interrupt_acknowledge) {
    auto b = freshBench();
    b->cpu.iff1 = b->cpu.iff2 = 1;
    b->cpu.interruptMode = 2;
    b->cpu.intLine = 1;
    b->clearIntOnAck = false;
    b->runInstruction();  // NOP at 0; the interrupt is accepted at its end
    EXPECT_EQ(std::make_tuple(b->cpu.intAckPending, b->cpu.iff1, b->cpu.iff2), std::make_tuple(true, false, false));
    const uint16_t pc = b->cpu.PC;
    b->cpu.clock();  // T1
    EXPECT_EQ(std::make_tuple(str(pins(b->cpu)), b->cpu.PC), std::make_tuple("M1 @0001", pc));
    b->cpu.clock();  // T2
    EXPECT_EQ(str(pins(b->cpu)), "M1 @0001");
    b->cpu.clock();  // first wait state
    EXPECT_EQ(str(pins(b->cpu)), "M1 IORQ @0001");
    b->cpu.dataBus = 0x5A;
    b->cpu.wait = 1;
    b->cpu.clock();  // second wait state, stretched
    b->cpu.clock();
    EXPECT_EQ(std::make_tuple(b->cpu.intVector, b->cpu.iorq), std::make_tuple(0x00, true));
    b->cpu.wait = 0;
    b->cpu.clock();
    EXPECT_EQ(b->cpu.intVector, 0x5A);
    b->cpu.clock();  // T3: refresh, IORQ dropped
    EXPECT_EQ(std::make_tuple(str(pins(b->cpu)), b->cpu.PC), std::make_tuple("MREQ RFSH @0002", pc));
}

// The gate array's acknowledge: INT cleared, return address pushed; IM 1
// goes to 0038h whatever is on the bus (the ASIC puts its vector there)
TEST(z80, pins_acknowledge_im1_ignores_bus_byte) {
    for (uint8_t vector : {0xFF, 0x00, 0x42, 0xFE}) {
        SCOPED_TRACE(int(vector));
        auto b = freshBench();
        b->ackByte = vector;
        b->cpu.iff1 = b->cpu.iff2 = 1;
        b->cpu.interruptMode = 1;
        b->cpu.intLine = 1;
        b->cpu.setSP(0x8000);
        b->runInstruction();
        EXPECT_EQ(b->runInstruction(), 13u);
        // INT cleared, in the handler, returning to the instruction after the NOP.
        EXPECT_EQ(
            std::make_tuple(b->cpu.intLine, b->cpu.PC, b->cpu.getWZ(), b->mem[0x7FFF], b->mem[0x7FFE], b->acknowledges),
            std::make_tuple(false, 0x0038, 0x0038, 0x00, 0x01, 1u));
    }
}

// IM 2 reads the handler address from I * 256 + vector through PC
TEST(z80, pins_im2_vector_through_pc) {
    auto b = freshBench();
    b->cpu.iff1 = b->cpu.iff2 = 1;
    b->cpu.interruptMode = 2;
    b->cpu.I = 0x20;
    b->cpu.intLine = 1;
    b->cpu.setSP(0x8000);
    b->load(0x20FF, {0x34, 0x12});
    b->runInstruction();
    std::vector<uint16_t> m1Reads;
    uint64_t t = 0;
    do {
        b->tick();
        if (b->cpu.m1 && b->cpu.mreq && b->cpu.rd) m1Reads.push_back(b->cpu.addressBus);
        ++t;
    } while (!b->atBoundary());
    EXPECT_EQ(std::make_tuple(t, b->cpu.PC, b->cpu.getWZ()), std::make_tuple(19u, 0x1234, 0x1234));
    ASSERT_GE(m1Reads.size(), 2u);
    EXPECT_EQ(m1Reads[m1Reads.size() - 2], 0x20FF);
    EXPECT_EQ(m1Reads.back(), 0x2100);
}

// Prefixes: no interrupt between them, the last one wins
TEST(z80, pins_prefixes_block_interrupts) {
    auto b = freshBench();
    b->load(0, {0xDD, 0xFD, 0x21, 0x34, 0x12});  // LD IY,1234h
    b->cpu.iff1 = b->cpu.iff2 = 1;
    b->cpu.intLine = 1;
    b->clearIntOnAck = false;
    for (int i = 0; i < 4; ++i) b->tick();
    EXPECT_FALSE(b->cpu.intAckPending) << "after the first prefix";
    for (int i = 0; i < 4; ++i) b->tick();
    EXPECT_FALSE(b->cpu.intAckPending) << "after the second prefix";
    while (!b->atBoundary()) b->tick();
    EXPECT_EQ(std::make_tuple(b->cpu.getIY(), b->cpu.getIX(), b->cpu.intAckPending, b->tstates),
              std::make_tuple(0x1234, 0x0000, true, 18u));
}

// EI delays acceptance by one instruction; a chain of EIs further
TEST(z80, pins_ei_delay) {
    auto b = freshBench();
    b->load(0, {0xFB, 0xFB, 0x00, 0x00});  // EI; EI; NOP
    b->cpu.intLine = 1;
    b->cpu.setSP(0x8000);
    b->runInstruction();
    EXPECT_FALSE(b->cpu.intAckPending) << "not right after EI";
    b->runInstruction();
    EXPECT_FALSE(b->cpu.intAckPending) << "not after a second EI";
    b->runInstruction();
    EXPECT_TRUE(b->cpu.intAckPending) << "after the instruction that follows EI";
    EXPECT_EQ(b->cpu.PC, 3);
}

// HALT refetches itself with refresh; the interrupt returns past it
TEST(z80, pins_halt_refetches) {
    auto b = freshBench();
    b->load(0x0100, {0x76});
    b->cpu.PC = 0x0100;
    b->cpu.R = 0x7E;
    b->cpu.setSP(0x8000);
    for (int n = 0; n < 5; ++n) EXPECT_EQ(b->runInstruction(), 4u);
    // Five increments of R, bit 7 kept at 0.
    EXPECT_EQ(std::make_tuple(b->cpu.halt, b->cpu.PC, b->cpu.R), std::make_tuple(true, 0x0100, 0x03));
    b->cpu.iff1 = b->cpu.iff2 = 1;
    b->cpu.interruptMode = 1;
    b->cpu.intLine = 1;
    b->runInstruction();  // one more HALT, then acceptance
    EXPECT_EQ(std::make_tuple(b->cpu.halt, b->cpu.PC), std::make_tuple(false, 0x0101));
    b->runInstruction();  // acknowledge and RST 38h
    EXPECT_EQ(std::make_tuple(b->cpu.PC, b->mem[0x7FFE], b->mem[0x7FFF]), std::make_tuple(0x0038, 0x01, 0x01));
}

// R keeps bit 7
TEST(z80, pins_r_keeps_bit7) {
    auto b = freshBench();
    b->cpu.R = 0xFF;
    b->runInstruction();
    EXPECT_EQ(b->cpu.R, 0x80);
    b->load(1, {0xED, 0x5F});  // LD A,R sees both fetches
    b->runInstruction();
    EXPECT_EQ(std::make_tuple(b->cpu.A, b->cpu.R), std::make_tuple(0x82, 0x82));
}

TEST(z80, exchanges) {
    // EX DE,HL; EXX; EX DE,HL; EXX restores DE and HL; WZ travels with EXX.
    auto b = freshBench();
    b->load(0, {0xEB, 0xD9, 0xEB, 0xD9});
    Z80CPU& c = b->cpu;
    c.setDE(0x1111);
    c.setHL(0x2222);
    c.D_ = 0x33, c.E_ = 0x33, c.H_ = 0x44, c.L_ = 0x44;
    c.WZ = 0xAAAA;
    c.WZ_ = 0xBBBB;
    auto pairs = [&c] {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%04X %04X %04X %04X %04X", c.getDE(), c.getHL(), c.getAltDE(), c.getAltHL(),
                      c.getWZ());
        return std::string(buf);
    };
    const char* const after[4] = {"2222 1111 3333 4444 AAAA", "3333 4444 2222 1111 BBBB", "4444 3333 2222 1111 BBBB",
                                  "2222 1111 4444 3333 AAAA"};  // DE HL DE' HL' WZ
    for (const char* expected : after) {
        b->runInstruction();
        EXPECT_EQ(pairs(), expected);
    }

    // Nothing was copied: the exchanges only toggled flags.
    EXPECT_EQ(std::make_tuple(c.D, c.H, c.deHlSwapped, c.deHlSwappedAlt, c.exxSwapped),
              std::make_tuple(0x11, 0x22, true, true, false));

    // EX AF,AF' switches which storage A and F mean.
    b->load(4, {0x08, 0x3C});  // EX AF,AF'; INC A
    c.A = 0x10;
    c.A_ = 0x20;
    b->runInstruction();
    EXPECT_EQ(std::make_tuple(c.getAF() >> 8, c.getA()), std::make_tuple(0x20, 0x20));
    b->runInstruction();
    EXPECT_EQ(std::make_tuple(c.A_, c.A, c.getAltAF() >> 8), std::make_tuple(0x21, 0x10, 0x10));
}
