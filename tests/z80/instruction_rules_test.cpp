// Instruction behaviour the FUSE suite and the exercisers do not pin down:
// the SCF/CCF rule after POP AF, LD A,I during INT, bus order, prefix
// endings, and the block instructions' flags, ports and repeat mechanics.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "z80_test_bench.h"

namespace {

class Rig {
public:
    Rig() : b(std::make_unique<Z80TestBench>()), cpu(b->cpu) { cpu.setSP(0x8000); }

    // Code at 0000h; returns the T-states of the first instruction.
    uint64_t run(std::initializer_list<uint8_t> code) {
        b->load(0, code);
        return b->runInstruction();
    }
    uint64_t next() { return b->runInstruction(); }

    std::unique_ptr<Z80TestBench> b;
    Z80CPU& cpu;
};

}  // namespace

TEST(z80, scf_after_flag_write) {
    Rig r;  // SCF after a flag-writing instruction: X, Y from A alone
    r.cpu.A = 0x00;
    r.cpu.F = 0x28;
    r.run({0xAF, 0x37});  // XOR A; SCF
    r.next();
    EXPECT_EQ(r.cpu.F, 0x45);
}

TEST(z80, scf_after_flags_untouched) {
    Rig r;  // SCF after LD A,n (flags untouched): X, Y from A OR F
    r.cpu.F = 0x20;
    r.run({0x3E, 0x08, 0x37});
    r.next();
    EXPECT_EQ(r.cpu.F, 0x29);
}

TEST(z80, pop_af_is_no_flag_write) {
    Rig r;                            // POP AF does not count as writing the flags
    r.b->load(0x8000, {0x28, 0x00});  // F = 28h, A = 00h
    r.run({0xF1, 0x3F});              // POP AF; CCF
    r.next();
    EXPECT_EQ(r.cpu.F, 0x29);  // C was 0: H = 0, C = 1, X and Y leak from F
}

TEST(z80, bit_hl_shows_w) {
    Rig r;  // BIT n,(HL) shows W in X and Y
    r.cpu.setHL(0x0100);
    r.b->mem[0x0100] = 0x01;
    r.run({0x3A, 0x00, 0x28, 0xCB, 0x46});  // LD A,(2800h); BIT 0,(HL)
    EXPECT_EQ(r.cpu.getWZ(), 0x2801);
    EXPECT_EQ(r.next(), 11u);
    EXPECT_EQ(r.cpu.F & 0x28, 0x28);
    EXPECT_EQ(r.cpu.F & 0x40, 0x00);
}

TEST(z80, ld_a_i_under_int) {
    Rig r;  // LD A,I reports IFF2, but not while INT is asserted
    r.cpu.I = 0x80;
    r.cpu.iff2 = 1;
    r.run({0xED, 0x57, 0xED, 0x57});
    EXPECT_EQ(r.cpu.F & 0x04, 0x04);
    EXPECT_EQ(r.cpu.F & 0x80, 0x80);
    r.cpu.intLine = 1;
    r.next();
    EXPECT_EQ(r.cpu.F & 0x04, 0x00);
}

TEST(z80, bus_order) {
    {
        Rig r;  // PUSH writes the high byte first, EX (SP),HL likewise
        std::vector<Z80TestBench::BusEvent> ev;
        r.b->events = &ev;
        r.cpu.setBC(0x1234);
        r.run({0xC5});
        ASSERT_EQ(ev.size(), 2u);
        EXPECT_EQ(ev[0].address, 0x7FFF);
        EXPECT_EQ(ev[0].data, 0x12);
        EXPECT_EQ(ev[1].address, 0x7FFE);
        EXPECT_EQ(ev[1].data, 0x34);
        ev.clear();
        r.cpu.setHL(0xABCD);
        r.b->load(1, {0xE3});  // EX (SP),HL with (SP) = 1234h
        r.next();
        ASSERT_EQ(ev.size(), 2u);
        EXPECT_EQ(ev[0].address, 0x7FFF);
        EXPECT_EQ(ev[0].data, 0xAB);
        EXPECT_EQ(ev[1].address, 0x7FFE);
        EXPECT_EQ(ev[1].data, 0xCD);
        EXPECT_EQ(r.cpu.getHL(), 0x1234);
        EXPECT_EQ(r.cpu.getWZ(), 0x1234);
    }
}

TEST(z80, index_cb_copies_to_real_register) {
    Rig r;  // DD CB d op with a register copy: memory and the real H
    r.cpu.setIX(0x5000);
    r.cpu.H = 0x99;
    r.b->mem[0x5005] = 0x81;
    EXPECT_EQ(r.run({0xDD, 0xCB, 0x05, 0x04}), 24u);
    EXPECT_EQ(r.b->mem[0x5005], 0x03);
    EXPECT_EQ(r.cpu.H, 0x03);
    EXPECT_EQ(r.cpu.getIX(), 0x5000);
    EXPECT_EQ(r.cpu.getWZ(), 0x5005);
    EXPECT_EQ(r.cpu.R, 3);
}

TEST(z80, index_negative_displacement) {
    Rig r;  // negative displacements, and BIT on (IY+d) shows W
    r.cpu.setIY(0x2810);
    r.b->mem[0x27FF] = 0x00;
    EXPECT_EQ(r.run({0xFD, 0xCB, 0xEF, 0x46}), 20u);  // BIT 0,(IY-11h)
    EXPECT_EQ(r.cpu.getWZ(), 0x27FF);
    EXPECT_EQ(r.cpu.F & 0x68, 0x40 | 0x20);
}

TEST(z80, index_prefix_before_ed_dropped) {
    Rig r;  // DD before ED is dropped: ED 6B loads HL, not IX
    r.b->load(0x3000, {0xCD, 0xAB});
    EXPECT_EQ(r.run({0xDD, 0xED, 0x6B, 0x00, 0x30}), 24u);
    EXPECT_EQ(r.cpu.getHL(), 0xABCD);
    EXPECT_EQ(r.cpu.getIX(), 0x0000);
}

TEST(z80, ed_unassigned_change_only_r_pc) {
    Rig r;  // the unassigned ED opcodes change only R and PC
    for (int op : {0x00, 0x3F, 0x77, 0x7F, 0x80, 0x9F, 0xA4, 0xAF, 0xB4, 0xBF, 0xC0, 0xED, 0xFF}) {
        r.cpu.PC = 0;
        r.cpu.R = 0;
        r.cpu.F = 0x00;
        r.cpu.A = 0x11;
        EXPECT_EQ(r.run({0xED, uint8_t(op)}), 8u) << std::hex << op;
        EXPECT_EQ(r.cpu.PC, 2);
        EXPECT_EQ(r.cpu.R, 2);
        EXPECT_EQ(r.cpu.A, 0x11);
        EXPECT_EQ(r.cpu.F, 0x00);
        EXPECT_EQ(r.cpu.prefix, 0);
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

TEST(z80, ldir_single_byte) {
    Rig r;  // LDIR with BC = 1: one byte, no repeat, WZ untouched
    r.cpu.setHL(0x4000);
    r.cpu.setDE(0x5000);
    r.cpu.setBC(1);
    r.cpu.WZ = 0x7777;
    r.b->mem[0x4000] = 0x42;
    EXPECT_EQ(r.run({0xED, 0xB0}), 16u);
    EXPECT_EQ(r.b->mem[0x5000], 0x42);
    EXPECT_EQ(r.cpu.F & 0x04, 0);
    EXPECT_EQ(r.cpu.getWZ(), 0x7777);
    EXPECT_EQ(r.cpu.PC, 2);
}

TEST(z80, ldir_repeats_onto_its_ed_byte) {
    Rig r;  // LDIR with BC = 2: the first iteration goes back to its ED byte
    r.cpu.setHL(0x4000);
    r.cpu.setDE(0x5000);
    r.cpu.setBC(2);
    r.cpu.PC = 0x0100;
    r.b->load(0x0100, {0xED, 0xB0});
    EXPECT_EQ(r.next(), 21u);
    EXPECT_EQ(r.cpu.PC, 0x0100);
    EXPECT_EQ(r.cpu.getWZ(), 0x0101);
    EXPECT_EQ(r.cpu.F & 0x04, 0x04);
    EXPECT_EQ(r.next(), 16u);
    EXPECT_EQ(r.cpu.PC, 0x0102);
    EXPECT_EQ(r.cpu.getBC(), 0);
}

TEST(z80, cpir_matches_at_once) {
    Rig r;  // CPIR that matches at once
    r.cpu.A = 0x3C;
    r.cpu.setHL(0x4000);
    r.cpu.setBC(10);
    r.cpu.WZ = 0x1000;
    r.b->mem[0x4000] = 0x3C;
    EXPECT_EQ(r.run({0xED, 0xB1}), 15u);
    EXPECT_EQ(r.cpu.F & 0x40, 0x40);
    EXPECT_EQ(r.cpu.getWZ(), 0x1001);
    EXPECT_EQ(r.cpu.PC, 2);
}

TEST(z80, ini_port_before_decrement) {
    Rig r;  // INI: port from the B before the decrement (flags: block_flags)
    std::vector<uint16_t> ports;
    r.b->portIn = [&](uint16_t p) {
        ports.push_back(p);
        return uint8_t(0xF7);
    };
    r.cpu.setBC(0x02C5);
    r.cpu.setHL(0x4000);
    r.cpu.F = 0;
    EXPECT_EQ(r.run({0xED, 0xA2}), 16u);
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0], 0x02C5);
    EXPECT_EQ(r.b->mem[0x4000], 0xF7);
    EXPECT_EQ(r.cpu.B, 1);
    EXPECT_EQ(r.cpu.getWZ(), 0x02C6);
    EXPECT_EQ(r.cpu.getHL(), 0x4001);
}

TEST(z80, outi_port_after_decrement) {
    Rig r;  // OUTI: port from the decremented B (flags: block_flags)
    std::vector<std::pair<uint16_t, uint8_t>> outs;
    r.b->portOut = [&](uint16_t p, uint8_t v) { outs.push_back({p, v}); };
    r.cpu.setBC(0x1034);
    r.cpu.setHL(0x4000);
    r.b->mem[0x4000] = 0x99;
    EXPECT_EQ(r.run({0xED, 0xA3}), 16u);
    ASSERT_EQ(outs.size(), 1u);
    EXPECT_EQ(outs[0].first, 0x0F34);
    EXPECT_EQ(outs[0].second, 0x99);
    EXPECT_EQ(r.cpu.getWZ(), 0x0F35);
}

TEST(z80, otir_repeats_until_b_zero) {
    Rig r;  // OTIR: repeats with S after the first iteration from 81h, ends at B = 0
    int outs = 0;
    r.b->portOut = [&](uint16_t, uint8_t) { ++outs; };
    r.cpu.setBC(0x8100);
    r.cpu.setHL(0x4000);
    EXPECT_EQ(r.run({0xED, 0xB3}), 21u);
    EXPECT_EQ(r.cpu.F & 0x80, 0x80);
    EXPECT_EQ(r.cpu.PC, 0);
    EXPECT_EQ(r.cpu.getWZ(), 1);
    r.cpu.B = 1;
    EXPECT_EQ(r.next(), 16u);
    EXPECT_EQ(r.cpu.F & 0x40, 0x40);
    EXPECT_EQ(r.cpu.PC, 2);
    EXPECT_EQ(outs, 2);
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
    EXPECT_EQ(r.cpu.PC, 0x0038);
    EXPECT_EQ(r.b->mem[0x7FFE], 0x00);  // returns onto the LDIR
    EXPECT_EQ(r.b->mem[0x7FFF], 0x02);
    EXPECT_EQ(r.cpu.getBC(), 1);
}

TEST(z80, in_n_and_out_c_0) {
    Rig r;  // IN A,(n) and OUT (C),0
    std::vector<uint16_t> ports;
    std::vector<uint8_t> data;
    r.b->portIn = [&](uint16_t p) {
        ports.push_back(p);
        return uint8_t(0x5E);
    };
    r.b->portOut = [&](uint16_t p, uint8_t v) {
        ports.push_back(p);
        data.push_back(v);
    };
    r.cpu.A = 0x12;
    r.cpu.setBC(0xBC00);
    r.run({0xDB, 0xFE, 0xED, 0x71, 0xED, 0x70});
    EXPECT_EQ(r.cpu.A, 0x5E);
    EXPECT_EQ(r.cpu.getWZ(), 0x12FF);
    r.next();
    ASSERT_EQ(data.size(), 1u);
    EXPECT_EQ(data[0], 0x00);
    EXPECT_EQ(r.cpu.getWZ(), 0xBC01);
    r.next();  // IN (C): flags only
    EXPECT_EQ(r.cpu.A, 0x5E);
    EXPECT_EQ(r.cpu.F & 0xFE, 0x08);  // 5Eh: X from the byte, odd parity
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(ports[0], 0x12FE);
    EXPECT_EQ(ports[1], 0xBC00);
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
