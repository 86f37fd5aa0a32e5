// Instruction behaviour the FUSE suite and the exercisers do not pin down:
// the SCF/CCF rule after POP AF, LD A,I during INT, bus order, prefix
// endings, and the block instructions' flags, ports and repeat mechanics.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "z80_test_bench.h"

namespace {

class Rig {
public:
    Rig() : b(std::make_unique<Z80TestBench>()), cpu(b->cpu) {
        cpu.setSP(0x8000);
        b->events = &events;
        b->portIn = [this](uint16_t) { return portByte; };
    }

    // Code at 0000h; returns the T-states of the first instruction.
    uint64_t run(std::initializer_list<uint8_t> code) {
        b->load(0, code);
        return b->runInstruction();
    }
    uint64_t next() { return b->runInstruction(); }

    // The registers, then the memory writes and port cycles in bus order.
    std::string state() {
        char buf[160];
        std::snprintf(buf, sizeof buf,
                      "A %02X F %02X BC %04X DE %04X HL %04X IX %04X IY %04X SP %04X WZ %04X PC %04X R %02X", cpu.A,
                      cpu.F, cpu.getBC(), cpu.getDE(), cpu.getHL(), cpu.getIX(), cpu.getIY(), cpu.getSP(), cpu.getWZ(),
                      cpu.PC, cpu.R);
        std::string s = buf;
        for (const Z80TestBench::BusEvent& e : events) {
            std::snprintf(buf, sizeof buf, " %c%04X=%02X", e.kind, e.address, e.data);
            s += buf;
        }
        return s;
    }

    std::unique_ptr<Z80TestBench> b;
    Z80CPU& cpu;
    std::vector<Z80TestBench::BusEvent> events;
    uint8_t portByte = 0xFF;
};

}  // namespace

// Instructions run from a set-up state: the T-states of each, then the
// whole state and bus traffic after the last.
TEST(z80, instruction_results) {
    struct Regs {
        uint16_t af, bc, de, hl, ix, iy, wz, pc;  // the code is at pc
    };
    struct Case {
        const char* name;
        std::vector<uint8_t> code;
        Regs regs;
        std::vector<std::pair<uint16_t, std::vector<uint8_t>>> memory;
        uint8_t port;  // what port reads return
        const char* tstates;
        const char* state;
    };
    // clang-format off
    const Case cases[] = {
        {"SCF after a flag write: X, Y from A alone",
         {0xAF, 0x37}, {0x0028, 0, 0, 0, 0, 0, 0, 0}, {}, 0xFF, "4 4",
         "A 00 F 45 BC 0000 DE 0000 HL 0000 IX 0000 IY 0000 SP 8000 WZ 0000 PC 0002 R 02"},
        {"SCF after LD A,n (flags untouched): X, Y from A OR F",
         {0x3E, 0x08, 0x37}, {0x0020, 0, 0, 0, 0, 0, 0, 0}, {}, 0xFF, "7 4",
         "A 08 F 29 BC 0000 DE 0000 HL 0000 IX 0000 IY 0000 SP 8000 WZ 0000 PC 0003 R 02"},
        {"POP AF is no flag write: CCF leaks X, Y from F",
         {0xF1, 0x3F}, {0, 0, 0, 0, 0, 0, 0, 0}, {{0x8000, {0x28, 0x00}}}, 0xFF, "10 4",
         "A 00 F 29 BC 0000 DE 0000 HL 0000 IX 0000 IY 0000 SP 8002 WZ 0000 PC 0002 R 02"},
        {"BIT n,(HL) shows W in X and Y",
         {0x3A, 0x00, 0x28, 0xCB, 0x46}, {0, 0, 0, 0x0100, 0, 0, 0, 0}, {{0x0100, {0x01}}}, 0xFF, "13 11",
         "A 00 F 38 BC 0000 DE 0000 HL 0100 IX 0000 IY 0000 SP 8000 WZ 2801 PC 0005 R 03"},
        {"PUSH and EX (SP),HL write the high byte first",
         {0xC5, 0xE3}, {0, 0x1234, 0, 0xABCD, 0, 0, 0, 0}, {}, 0xFF, "11 20",
         "A 00 F 00 BC 1234 DE 0000 HL 1234 IX 0000 IY 0000 SP 7FFE WZ 1234 PC 0002 R 02 W7FFF=12 W7FFE=34 "
         "W7FFF=AB W7FFE=CD"},
        {"DD CB d op with a register copy sets memory and the real H",
         {0xDD, 0xCB, 0x05, 0x04}, {0, 0, 0, 0x9900, 0x5000, 0, 0, 0}, {{0x5005, {0x81}}}, 0xFF, "24",
         "A 00 F 05 BC 0000 DE 0000 HL 0300 IX 5000 IY 0000 SP 8000 WZ 5005 PC 0004 R 03 W5005=03"},
        {"BIT on (IY-d) shows W",
         {0xFD, 0xCB, 0xEF, 0x46}, {0, 0, 0, 0, 0, 0x2810, 0, 0}, {}, 0xFF, "20",
         "A 00 F 74 BC 0000 DE 0000 HL 0000 IX 0000 IY 2810 SP 8000 WZ 27FF PC 0004 R 03"},
        {"DD before ED is dropped: ED 6B loads HL",
         {0xDD, 0xED, 0x6B, 0x00, 0x30}, {0, 0, 0, 0, 0, 0, 0, 0}, {{0x3000, {0xCD, 0xAB}}}, 0xFF, "24",
         "A 00 F 00 BC 0000 DE 0000 HL ABCD IX 0000 IY 0000 SP 8000 WZ 3001 PC 0005 R 03"},
        {"LDIR with BC = 1: one byte, no repeat, WZ untouched",
         {0xED, 0xB0}, {0, 1, 0x5000, 0x4000, 0, 0, 0x7777, 0}, {{0x4000, {0x42}}}, 0xFF, "16",
         "A 00 F 20 BC 0000 DE 5001 HL 4001 IX 0000 IY 0000 SP 8000 WZ 7777 PC 0002 R 02 W5000=42"},
        {"LDIR with BC = 2 goes back to its ED byte once",
         {0xED, 0xB0}, {0, 2, 0x5000, 0x4000, 0, 0, 0, 0x0100}, {}, 0xFF, "21 16",
         "A 00 F 00 BC 0000 DE 5002 HL 4002 IX 0000 IY 0000 SP 8000 WZ 0101 PC 0102 R 04 W5000=00 W5001=00"},
        {"CPIR that matches at once",
         {0xED, 0xB1}, {0x3C00, 10, 0, 0x4000, 0, 0, 0x1000, 0}, {{0x4000, {0x3C}}}, 0xFF, "15",
         "A 3C F 46 BC 0009 DE 0000 HL 4001 IX 0000 IY 0000 SP 8000 WZ 1001 PC 0002 R 02"},
        {"INI takes its port from B before the decrement",
         {0xED, 0xA2}, {0, 0x02C5, 0, 0x4000, 0, 0, 0, 0}, {}, 0xF7, "16",
         "A 00 F 13 BC 01C5 DE 0000 HL 4001 IX 0000 IY 0000 SP 8000 WZ 02C6 PC 0002 R 02 I02C5=F7 W4000=F7"},
        {"OUTI takes its port from the decremented B",
         {0xED, 0xA3}, {0, 0x1034, 0, 0x4000, 0, 0, 0, 0}, {{0x4000, {0x99}}}, 0xFF, "16",
         "A 00 F 0A BC 0F34 DE 0000 HL 4001 IX 0000 IY 0000 SP 8000 WZ 0F35 PC 0002 R 02 O0F34=99"},
        {"IN A,(n) puts A on the high address lines",
         {0xDB, 0xFE}, {0x1200, 0, 0, 0, 0, 0, 0, 0}, {}, 0x5E, "11",
         "A 5E F 00 BC 0000 DE 0000 HL 0000 IX 0000 IY 0000 SP 8000 WZ 12FF PC 0002 R 01 I12FE=5E"},
        {"OUT (C),0",
         {0xED, 0x71}, {0, 0xBC00, 0, 0, 0, 0, 0, 0}, {}, 0xFF, "12",
         "A 00 F 00 BC BC00 DE 0000 HL 0000 IX 0000 IY 0000 SP 8000 WZ BC01 PC 0002 R 02 OBC00=00"},
        {"IN (C) sets the flags only",
         {0xED, 0x70}, {0, 0xBC00, 0, 0, 0, 0, 0, 0}, {}, 0x5E, "12",
         "A 00 F 08 BC BC00 DE 0000 HL 0000 IX 0000 IY 0000 SP 8000 WZ BC01 PC 0002 R 02 IBC00=5E"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        std::copy(c.code.begin(), c.code.end(), r.b->mem + c.regs.pc);
        for (const auto& [address, bytes] : c.memory) std::copy(bytes.begin(), bytes.end(), r.b->mem + address);
        r.cpu.setAF(c.regs.af);
        r.cpu.setBC(c.regs.bc);
        r.cpu.setDE(c.regs.de);
        r.cpu.setHL(c.regs.hl);
        r.cpu.setIX(c.regs.ix);
        r.cpu.setIY(c.regs.iy);
        r.cpu.WZ = c.regs.wz;
        r.cpu.PC = c.regs.pc;
        r.portByte = c.port;
        std::string tstates;
        for (auto n = std::count(c.tstates, c.tstates + std::strlen(c.tstates), ' ') + 1; n--;)
            tstates += std::to_string(r.next()) + (n ? " " : "");
        EXPECT_EQ(tstates, c.tstates);
        EXPECT_EQ(r.state(), c.state);
    }
}

TEST(z80, ld_a_i_under_int) {
    Rig r;  // LD A,I reports IFF2, but not while INT is asserted
    r.cpu.I = 0x80;
    r.cpu.iff2 = 1;
    r.run({0xED, 0x57, 0xED, 0x57});
    EXPECT_EQ(r.cpu.F & 0x84, 0x84);  // P/V from IFF2, and S
    r.cpu.intLine = 1;
    r.next();
    EXPECT_EQ(r.cpu.F & 0x04, 0x00);
}

TEST(z80, ed_unassigned_change_only_r_pc) {
    Rig r;  // the unassigned ED opcodes change only R and PC
    for (int op : {0x00, 0x3F, 0x77, 0x7F, 0x80, 0x9F, 0xA4, 0xAF, 0xB4, 0xBF, 0xC0, 0xED, 0xFF}) {
        r.cpu.PC = 0;
        r.cpu.R = 0;
        r.cpu.F = 0x00;
        r.cpu.A = 0x11;
        EXPECT_EQ(r.run({0xED, uint8_t(op)}), 8u) << std::hex << op;
        EXPECT_EQ(std::make_tuple(r.cpu.PC, r.cpu.R, r.cpu.A, r.cpu.F, r.cpu.prefix), std::make_tuple(2, 2, 0x11, 0, 0))
            << std::hex << op;
    }
}

TEST(z80, prefix_marker_opcodes_end_instructions) {
    // SET 7,A, ED FF and DD CB d FF end as instructions: an interrupt is
    // accepted after them and no index mode survives.
    const std::vector<std::vector<uint8_t>> codes = {
        {0xCB, 0xFF}, {0xED, 0xFF}, {0xDD, 0xCB, 0x01, 0xFF}, {0xFD, 0xCB, 0x01, 0xFF}, {0xCB, 0xCB}};
    for (const auto& code : codes) {
        Rig r;
        for (size_t i = 0; i < code.size(); ++i) r.b->mem[i] = code[i];
        r.cpu.iff1 = r.cpu.iff2 = 1;
        r.cpu.intLine = 1;
        r.cpu.interruptMode = 1;
        r.b->clearIntOnAck = false;
        r.next();
        EXPECT_EQ(r.cpu.PC, code.size()) << std::hex << int(code.back());
        EXPECT_TRUE(r.cpu.intAckPending) << std::hex << int(code.back());
        EXPECT_FALSE(r.cpu.ixMode || r.cpu.iyMode);
        EXPECT_EQ(r.cpu.prefix, 0);
    }
}

TEST(z80, otir_repeats_until_b_zero) {
    Rig r;  // OTIR: repeats with S after the first iteration from 81h, ends at B = 0
    int outs = 0;
    r.b->portOut = [&](uint16_t, uint8_t) { ++outs; };
    r.cpu.setBC(0x8100);
    r.cpu.setHL(0x4000);
    EXPECT_EQ(r.run({0xED, 0xB3}), 21u);
    EXPECT_EQ(std::make_tuple(r.cpu.F & 0x80, r.cpu.PC, r.cpu.getWZ()), std::make_tuple(0x80, 0, 1));
    r.cpu.B = 1;
    EXPECT_EQ(r.next(), 16u);
    EXPECT_EQ(std::make_tuple(r.cpu.F & 0x40, r.cpu.PC, outs), std::make_tuple(0x40, 2, 2));
}

TEST(z80, interrupt_between_block_iterations) {
    Rig r;  // an interrupt is taken between block iterations
    r.cpu.setHL(0x4000);
    r.cpu.setDE(0x5000);
    r.cpu.setBC(3);
    r.cpu.iff1 = r.cpu.iff2 = 1;
    r.cpu.interruptMode = 1;
    r.cpu.PC = 0x0200;
    r.b->load(0x0200, {0xED, 0xB0});
    r.next();
    r.cpu.intLine = 1;
    r.next();
    EXPECT_TRUE(r.cpu.intAckPending);
    r.next();
    // In the handler, returning onto the LDIR, one byte left.
    EXPECT_EQ(std::make_tuple(r.cpu.PC, r.b->mem[0x7FFE], r.b->mem[0x7FFF], r.cpu.getBC()),
              std::make_tuple(0x0038, 0x00, 0x02, 1));
}

// The block instructions' flags as the NMOS Z80 sets them, one iteration from
// F = 00h, DE = 5000h. v is the byte transferred (port or (HL)), B' the
// decremented B. I/O forms: k = v + ((C +/- 1) & FFh) for INI/IND, v + L (L
// after HL moved) for OUTI/OUTD; S, Z, Y, X from B'; N = bit 7 of v; H = C =
// (k > FFh); P/V = parity((k & 7) ^ B'). A repeating iteration takes Y and X
// from bits 13 and 11 of its own address, and an I/O one adjusts H and P/V
// by B'. Parity "even" sets P/V.
TEST(z80, block_flags) {
    struct Case {
        const char* name;
        uint8_t op;  // the byte after ED
        uint16_t pc;
        uint8_t a, b, c;
        uint16_t hl;
        uint8_t v, f;
    };
    const Case cases[] = {
        // B' = 01h; k = F7h + C6h = 1BDh: H, C; N from F7h; (5 ^ 01h) = 4 is odd: no P/V.
        {"INI", 0xA2, 0x2800, 0x00, 0x02, 0xC5, 0x4000, 0xF7, 0x13},
        // B' = 0Fh: X; L' = F1h, k = 99h + F1h = 18Ah: H, C; N; (2 ^ 0Fh) = 0Dh is odd.
        {"OUTI", 0xA3, 0x2800, 0x00, 0x10, 0x34, 0x40F0, 0x99, 0x1B},
        // The last INDR iteration ignores its address. B' = 00h: Z; C - 1 wraps to FFh, so
        // k = 01h + FFh = 100h: H, C; (0 ^ 0) is even: P/V.
        {"INDR_last", 0xBA, 0x2800, 0x00, 0x01, 0x00, 0x4000, 0x01, 0x55},
        // B' = 00h: Z; L' = FFh, k = 01h + FFh = 100h: H, C; P/V as above.
        {"OUTD", 0xAB, 0x2800, 0x00, 0x01, 0x34, 0x4000, 0x01, 0x55},
        // B' = 12h; k = 90h + 81h = 111h: C; N; (1 ^ 12h) = 13h is odd: P/V 0. Repeats at
        // 2000h: Y only. C set, bit 7 of v set: P/V ^= not parity((B' - 1) & 7 = 1) = 1, so
        // P/V; H = (B' & 0Fh = 00h) = 0.
        {"INIR_repeat_C_v7", 0xB2, 0x2000, 0x00, 0x13, 0x80, 0x4000, 0x90, 0x27},
        // B' = 06h; k = 20h + F1h = 111h: C; (1 ^ 6) = 7 is odd: P/V 0. At 0800h: X only.
        // C set, bit 7 of v clear: P/V ^= not parity((B' + 1) & 7 = 7) = 1, so P/V;
        // H = (B' & 0Fh = 0Fh) = 0.
        {"INIR_repeat_C_not_v7", 0xB2, 0x0800, 0x00, 0x07, 0xF0, 0x4000, 0x20, 0x0D},
        // B' = 02h; k = 01h + 11h = 12h: no H, C; (2 ^ 2) = 0 is even: P/V. At 2800h: Y, X.
        // C clear: P/V ^= not parity(B' & 7 = 2) = 1, so no P/V.
        {"INIR_repeat_no_C", 0xB2, 0x2800, 0x00, 0x03, 0x10, 0x4000, 0x01, 0x28},
        // B' = 01h; L' = 00h (HL = 40FFh moves to 4100h), k = 80h: no H, C; N; (0 ^ 1) is
        // odd: P/V 0. At 2800h: Y, X. C clear: P/V ^= not parity(1) = 1, so P/V.
        {"OTIR_repeat", 0xB3, 0x2800, 0x00, 0x02, 0x00, 0x40FF, 0x80, 0x2E},
        // BC 2 -> 1: P/V. n = A + v = 02h would give Y; at 0800h X instead.
        {"LDIR_repeat", 0xB0, 0x0800, 0x00, 0x00, 0x02, 0x4000, 0x02, 0x0C},
        // BC 3 -> 2: P/V. n = 08h would give X; at 2000h Y instead.
        {"LDDR_repeat", 0xB8, 0x2000, 0x00, 0x00, 0x03, 0x4000, 0x08, 0x24},
        // 10h - 01h = 0Fh: H, N; BC 5 -> 4: P/V. n = 0Fh - 1 = 0Eh would give Y, X; at 0000h none.
        {"CPIR_repeat", 0xB1, 0x0000, 0x10, 0x00, 0x05, 0x4000, 0x01, 0x16},
        // 08h - 00h = 08h: N; P/V. n = 08h would give X; at 2000h Y instead.
        {"CPDR_repeat", 0xB9, 0x2000, 0x08, 0x00, 0x05, 0x4000, 0x00, 0x26},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        Rig r;
        const uint8_t v = t.v;
        r.b->portIn = [v](uint16_t) { return v; };
        r.cpu.A = t.a;
        r.cpu.F = 0x00;
        r.cpu.setBC(uint16_t((t.b << 8) | t.c));
        r.cpu.setDE(0x5000);
        r.cpu.setHL(t.hl);
        r.b->mem[t.hl] = t.v;
        r.cpu.PC = t.pc;
        r.b->load(t.pc, {0xED, t.op});
        r.next();
        EXPECT_EQ(int(r.cpu.F), int(t.f));
    }
}
