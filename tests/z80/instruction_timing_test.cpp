// Every opcode of the five tables against the instruction timing table: the
// CPU's own T-states (WAIT always low) and the microseconds on a bus that
// drives WAIT like the gate array (low only in the first of four calls),
// taken and not-taken forms and repeating block iterations included.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "z80_test_bench.h"

namespace {

struct Expected {
    int tEnd, tTaken;    // T-states: condition false / block instruction ending; condition true / repeating
    int usEnd, usTaken;  // microseconds on the gate array bus, likewise
};

// Generated from the instruction timing table; prefix M1s included. One
// row of eight opcodes per line.
// clang-format off
const Expected kMain[256] = {
    {4, 4, 1, 1}, {10, 10, 3, 3}, {7, 7, 2, 2}, {6, 6, 2, 2}, {4, 4, 1, 1}, {4, 4, 1, 1}, {7, 7, 2, 2}, {4, 4, 1, 1}, // 00
    {4, 4, 1, 1}, {11, 11, 3, 3}, {7, 7, 2, 2}, {6, 6, 2, 2}, {4, 4, 1, 1}, {4, 4, 1, 1}, {7, 7, 2, 2}, {4, 4, 1, 1}, // 08
    {8, 13, 3, 4}, {10, 10, 3, 3}, {7, 7, 2, 2}, {6, 6, 2, 2}, {4, 4, 1, 1}, {4, 4, 1, 1}, {7, 7, 2, 2}, {4, 4, 1, 1}, // 10
    {12, 12, 3, 3}, {11, 11, 3, 3}, {7, 7, 2, 2}, {6, 6, 2, 2}, {4, 4, 1, 1}, {4, 4, 1, 1}, {7, 7, 2, 2}, {4, 4, 1, 1}, // 18
    {7, 12, 2, 3}, {10, 10, 3, 3}, {16, 16, 5, 5}, {6, 6, 2, 2}, {4, 4, 1, 1}, {4, 4, 1, 1}, {7, 7, 2, 2}, {4, 4, 1, 1}, // 20
    {7, 12, 2, 3}, {11, 11, 3, 3}, {16, 16, 5, 5}, {6, 6, 2, 2}, {4, 4, 1, 1}, {4, 4, 1, 1}, {7, 7, 2, 2}, {4, 4, 1, 1}, // 28
    {7, 12, 2, 3}, {10, 10, 3, 3}, {13, 13, 4, 4}, {6, 6, 2, 2}, {11, 11, 3, 3}, {11, 11, 3, 3}, {10, 10, 3, 3}, {4, 4, 1, 1}, // 30
    {7, 12, 2, 3}, {11, 11, 3, 3}, {13, 13, 4, 4}, {6, 6, 2, 2}, {4, 4, 1, 1}, {4, 4, 1, 1}, {7, 7, 2, 2}, {4, 4, 1, 1}, // 38
    {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {7, 7, 2, 2}, {4, 4, 1, 1}, // 40
    {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {7, 7, 2, 2}, {4, 4, 1, 1}, // 48
    {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {7, 7, 2, 2}, {4, 4, 1, 1}, // 50
    {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {7, 7, 2, 2}, {4, 4, 1, 1}, // 58
    {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {7, 7, 2, 2}, {4, 4, 1, 1}, // 60
    {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {7, 7, 2, 2}, {4, 4, 1, 1}, // 68
    {7, 7, 2, 2}, {7, 7, 2, 2}, {7, 7, 2, 2}, {7, 7, 2, 2}, {7, 7, 2, 2}, {7, 7, 2, 2}, {4, 4, 1, 1}, {7, 7, 2, 2}, // 70
    {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {7, 7, 2, 2}, {4, 4, 1, 1}, // 78
    {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {7, 7, 2, 2}, {4, 4, 1, 1}, // 80
    {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {7, 7, 2, 2}, {4, 4, 1, 1}, // 88
    {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {7, 7, 2, 2}, {4, 4, 1, 1}, // 90
    {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {7, 7, 2, 2}, {4, 4, 1, 1}, // 98
    {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {7, 7, 2, 2}, {4, 4, 1, 1}, // A0
    {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {7, 7, 2, 2}, {4, 4, 1, 1}, // A8
    {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {7, 7, 2, 2}, {4, 4, 1, 1}, // B0
    {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {4, 4, 1, 1}, {7, 7, 2, 2}, {4, 4, 1, 1}, // B8
    {5, 11, 2, 4}, {10, 10, 3, 3}, {10, 10, 3, 3}, {10, 10, 3, 3}, {10, 17, 3, 5}, {11, 11, 4, 4}, {7, 7, 2, 2}, {11, 11, 4, 4}, // C0
    {5, 11, 2, 4}, {10, 10, 3, 3}, {10, 10, 3, 3}, {0, 0, 0, 0}, {10, 17, 3, 5}, {17, 17, 5, 5}, {7, 7, 2, 2}, {11, 11, 4, 4}, // C8
    {5, 11, 2, 4}, {10, 10, 3, 3}, {10, 10, 3, 3}, {11, 11, 3, 3}, {10, 17, 3, 5}, {11, 11, 4, 4}, {7, 7, 2, 2}, {11, 11, 4, 4}, // D0
    {5, 11, 2, 4}, {4, 4, 1, 1}, {10, 10, 3, 3}, {11, 11, 3, 3}, {10, 17, 3, 5}, {0, 0, 0, 0}, {7, 7, 2, 2}, {11, 11, 4, 4}, // D8
    {5, 11, 2, 4}, {10, 10, 3, 3}, {10, 10, 3, 3}, {20, 20, 6, 6}, {10, 17, 3, 5}, {11, 11, 4, 4}, {7, 7, 2, 2}, {11, 11, 4, 4}, // E0
    {5, 11, 2, 4}, {4, 4, 1, 1}, {10, 10, 3, 3}, {4, 4, 1, 1}, {10, 17, 3, 5}, {0, 0, 0, 0}, {7, 7, 2, 2}, {11, 11, 4, 4}, // E8
    {5, 11, 2, 4}, {10, 10, 3, 3}, {10, 10, 3, 3}, {4, 4, 1, 1}, {10, 17, 3, 5}, {11, 11, 4, 4}, {7, 7, 2, 2}, {11, 11, 4, 4}, // F0
    {5, 11, 2, 4}, {6, 6, 2, 2}, {10, 10, 3, 3}, {4, 4, 1, 1}, {10, 17, 3, 5}, {0, 0, 0, 0}, {7, 7, 2, 2}, {11, 11, 4, 4}, // F8
};

// ED: only 40h-7Fh and the block instructions A0h-BFh are not the 8 T-state NOPs.
const Expected kEd40To7F[64] = {
    {12, 12, 4, 4}, {12, 12, 4, 4}, {15, 15, 4, 4}, {20, 20, 6, 6}, {8, 8, 2, 2}, {15, 15, 4, 4}, {8, 8, 2, 2}, {9, 9, 3, 3}, // 40
    {12, 12, 4, 4}, {12, 12, 4, 4}, {15, 15, 4, 4}, {20, 20, 6, 6}, {8, 8, 2, 2}, {15, 15, 4, 4}, {8, 8, 2, 2}, {9, 9, 3, 3}, // 48
    {12, 12, 4, 4}, {12, 12, 4, 4}, {15, 15, 4, 4}, {20, 20, 6, 6}, {8, 8, 2, 2}, {15, 15, 4, 4}, {8, 8, 2, 2}, {9, 9, 3, 3}, // 50
    {12, 12, 4, 4}, {12, 12, 4, 4}, {15, 15, 4, 4}, {20, 20, 6, 6}, {8, 8, 2, 2}, {15, 15, 4, 4}, {8, 8, 2, 2}, {9, 9, 3, 3}, // 58
    {12, 12, 4, 4}, {12, 12, 4, 4}, {15, 15, 4, 4}, {20, 20, 6, 6}, {8, 8, 2, 2}, {15, 15, 4, 4}, {8, 8, 2, 2}, {16, 16, 5, 5}, // 60
    {12, 12, 4, 4}, {12, 12, 4, 4}, {15, 15, 4, 4}, {20, 20, 6, 6}, {8, 8, 2, 2}, {15, 15, 4, 4}, {8, 8, 2, 2}, {16, 16, 5, 5}, // 68
    {12, 12, 4, 4}, {12, 12, 4, 4}, {15, 15, 4, 4}, {20, 20, 6, 6}, {8, 8, 2, 2}, {15, 15, 4, 4}, {8, 8, 2, 2}, {8, 8, 2, 2}, // 70
    {12, 12, 4, 4}, {12, 12, 4, 4}, {15, 15, 4, 4}, {20, 20, 6, 6}, {8, 8, 2, 2}, {15, 15, 4, 4}, {8, 8, 2, 2}, {8, 8, 2, 2}, // 78
};

const Expected kEdA0ToBF[32] = {
    {16, 16, 5, 5}, {15, 15, 4, 4}, {16, 16, 5, 5}, {16, 16, 5, 5}, {8, 8, 2, 2}, {8, 8, 2, 2}, {8, 8, 2, 2}, {8, 8, 2, 2}, // A0
    {16, 16, 5, 5}, {15, 15, 4, 4}, {16, 16, 5, 5}, {16, 16, 5, 5}, {8, 8, 2, 2}, {8, 8, 2, 2}, {8, 8, 2, 2}, {8, 8, 2, 2}, // A8
    {16, 21, 5, 6}, {15, 21, 4, 6}, {16, 21, 5, 6}, {16, 21, 5, 6}, {8, 8, 2, 2}, {8, 8, 2, 2}, {8, 8, 2, 2}, {8, 8, 2, 2}, // B0
    {16, 21, 5, 6}, {15, 21, 4, 6}, {16, 21, 5, 6}, {16, 21, 5, 6}, {8, 8, 2, 2}, {8, 8, 2, 2}, {8, 8, 2, 2}, {8, 8, 2, 2}, // B8
};
// clang-format on

// CB: 8 T-states on a register, (HL) BIT 11 and the others 15; DD/FD CB d: BIT 20, the others 24.
std::array<Expected, 256> cbTable(bool indexed) {
    std::array<Expected, 256> t;
    for (int op = 0; op < 256; ++op) {
        const bool bit = (op >> 6) == 1;
        if (indexed) t[op] = bit ? Expected{20, 20, 6, 6} : Expected{24, 24, 7, 7};
        else if ((op & 7) != 6) t[op] = {8, 8, 2, 2};
        else t[op] = bit ? Expected{11, 11, 3, 3} : Expected{15, 15, 4, 4};
    }
    return t;
}

std::array<Expected, 256> edTable() {
    std::array<Expected, 256> t;
    t.fill({8, 8, 2, 2});
    std::copy(std::begin(kEd40To7F), std::end(kEd40To7F), t.begin() + 0x40);
    std::copy(std::begin(kEdA0ToBF), std::end(kEdA0ToBF), t.begin() + 0xA0);
    return t;
}
const std::array<Expected, 256> kEd = edTable();

// DD/FD: the unprefixed timing plus the prefix M1, but (IX+d) in place of
// (HL): INC/DEC 20 T-states, LD (IX+d),n 19, every other access 17.
std::array<Expected, 256> indexTable() {
    std::array<Expected, 256> t;
    for (int op = 0; op < 256; ++op) {
        const Expected& m = kMain[op];
        const int x = op >> 6, y = (op >> 3) & 7, z = op & 7;
        const bool hl = (x == 1 && (y == 6 || z == 6) && op != 0x76) || (x == 2 && z == 6);
        if (m.tEnd == 0) t[op] = m;
        else if (op == 0x34 || op == 0x35) t[op] = {20, 20, 6, 6};
        else if (op == 0x36) t[op] = {19, 19, 6, 6};
        else if (hl) t[op] = {17, 17, 5, 5};
        else t[op] = {m.tEnd + 4, m.tTaken + 4, m.usEnd + 1, m.usTaken + 1};
    }
    return t;
}
const std::array<Expected, 256> kIndex = indexTable();

enum class Table { Main, Index, Cb, IndexCb, Ed };

constexpr uint16_t kCode = 0x8000;

// F value that makes condition y (NZ Z NC C PO PE P M) true or false.
uint8_t conditionFlags(int y, bool holds) {
    static const uint8_t mask[8] = {0x40, 0x40, 0x01, 0x01, 0x04, 0x04, 0x80, 0x80};
    return ((y & 1) != 0) == holds ? mask[y] : 0;
}

void prepare(Z80TestBench& b, const std::vector<uint8_t>& code, Table table, uint8_t op, bool taken) {
    std::memset(b.mem, 0, sizeof b.mem);
    uint16_t a = kCode;
    for (uint8_t v : code) b.mem[a++] = v;
    // Displacement, then operand bytes nn = 9000h, for whichever the opcode takes.
    b.mem[a++] = 0x10;
    b.mem[a++] = 0x00;
    b.mem[a++] = 0x90;
    Z80CPU& cpu = b.cpu;
    cpu.reset();
    b.tstates = 0;
    b.lastIorq = false;
    cpu.PC = kCode;
    cpu.setSP(0x4000);
    cpu.setHL(0x5000);
    cpu.setDE(0x6000);
    cpu.setBC(0x0000);
    cpu.setIX(0x7000);
    cpu.setIY(0x7100);
    cpu.A = 0xFF;  // never equal to the zero-filled memory, so CPIR keeps searching
    cpu.F = 0;
    const int x = op >> 6, y = (op >> 3) & 7, z = op & 7;
    if (table == Table::Main || table == Table::Index) {
        if (x == 3 && (z == 0 || z == 2 || z == 4)) cpu.F = conditionFlags(y, taken);
        if (x == 0 && z == 0 && y >= 4) cpu.F = conditionFlags(y - 4, taken);
        if (op == 0x10) cpu.B = taken ? 2 : 1;
    }
    if (table == Table::Ed && x == 2) cpu.setBC(z < 2 ? (taken ? 2 : 1) : (taken ? 0x0200 : 0x0100));
}

struct Measured {
    uint64_t tstates = 0;
    uint64_t micros = 0;
};

Measured measure(Z80TestBench& b, const std::vector<uint8_t>& code, Table table, uint8_t op, bool taken,
                 bool interrupt = false, uint8_t mode = 0) {
    Measured m;
    auto arm = [&]() {
        if (interrupt) {
            b.cpu.iff1 = b.cpu.iff2 = 1;
            b.cpu.interruptMode = mode;
            b.cpu.intLine = 1;
            b.cpu.I = 0x20;
        }
    };
    // The CPU's own timing.
    prepare(b, code, table, op, taken);
    b.gateArrayWait = false;
    arm();
    if (interrupt) b.runInstruction();  // the instruction before the acknowledge
    m.tstates = b.runInstruction();

    // On the gate array bus an instruction owns the microseconds from the one
    // after its first T1 (where that fetch's WAIT-sampled T2 completes) to the
    // one after the next instruction's T1.
    prepare(b, code, table, op, taken);
    b.gateArrayWait = true;
    arm();
    if (interrupt) b.runInstruction();
    const uint64_t start = b.tstates / 4 + 1;
    b.runInstruction();
    m.micros = b.tstates / 4 + 1 - start;
    return m;
}

void checkTable(Table table, const Expected* expected, std::vector<uint8_t> prefix) {
    auto bench = std::make_unique<Z80TestBench>();
    int checked = 0;
    for (int op = 0; op < 256; ++op) {
        const Expected& e = expected[op];
        if (e.tEnd == 0) continue;  // a prefix byte, checked as its own table
        for (int taken = 0; taken < 2; ++taken) {
            if (taken && e.tTaken == e.tEnd && e.usTaken == e.usEnd) continue;
            std::vector<uint8_t> code = prefix;
            if (table == Table::IndexCb) code.push_back(0x10);  // d
            code.push_back(uint8_t(op));
            const Measured m = measure(*bench, code, table, uint8_t(op), taken);
            SCOPED_TRACE(testing::Message() << "opcode " << std::hex << op << (taken ? " taken" : ""));
            EXPECT_EQ(m.tstates, uint64_t(taken ? e.tTaken : e.tEnd));
            EXPECT_EQ(m.micros, uint64_t(taken ? e.usTaken : e.usEnd));
            ++checked;
        }
    }
    EXPECT_GT(checked, 200);
}

}  // namespace

TEST(z80, timing_unprefixed) { checkTable(Table::Main, kMain, {}); }

TEST(z80, timing_cb) { checkTable(Table::Cb, cbTable(false).data(), {0xCB}); }

TEST(z80, timing_ed) { checkTable(Table::Ed, kEd.data(), {0xED}); }

TEST(z80, timing_index) {
    for (uint8_t p : {0xDD, 0xFD}) {
        SCOPED_TRACE(testing::Message() << std::hex << int(p));
        checkTable(Table::Index, kIndex.data(), {p});
    }
}

TEST(z80, timing_index_cb) {
    for (uint8_t p : {0xDD, 0xFD}) {
        SCOPED_TRACE(testing::Message() << std::hex << int(p));
        checkTable(Table::IndexCb, cbTable(true).data(), {p, 0xCB});
    }
}

// A prefix before ED is discarded; a prefix before a prefix is one more M1.
TEST(z80, timing_prefix_chains) {
    auto bench = std::make_unique<Z80TestBench>();
    for (uint8_t op : {0x44, 0x4B, 0x57, 0xA1, 0xB0, 0xB1}) {
        for (uint8_t p : {0xDD, 0xFD}) {
            const Measured m = measure(*bench, {p, 0xED, op}, Table::Ed, op, false);
            EXPECT_EQ(m.tstates, uint64_t(kEd[op].tEnd + 4)) << std::hex << int(p) << " ED " << int(op);
            EXPECT_EQ(m.micros, uint64_t(kEd[op].usEnd + 1)) << std::hex << int(p) << " ED " << int(op);
        }
    }
    for (uint8_t op : {0x21, 0x34, 0x7E, 0xE3}) {
        const Measured m = measure(*bench, {0xDD, 0xFD, op}, Table::Index, op, false);
        EXPECT_EQ(m.tstates, uint64_t(kIndex[op].tEnd + 4)) << std::hex << int(op);
        EXPECT_EQ(m.micros, uint64_t(kIndex[op].usEnd + 1)) << std::hex << int(op);
    }
    EXPECT_EQ(measure(*bench, {0xDD, 0xDD, 0x21}, Table::Index, 0x21, false).tstates, 18u);
}

// Interrupt acknowledge and the handler's first instruction-like sequence:
// IM 0 and IM 1 RST 38h 13 T-states / 5 us, IM 2 19 T-states / 7 us.
TEST(z80, timing_interrupt_acknowledge) {
    auto bench = std::make_unique<Z80TestBench>();
    for (uint8_t mode : {0, 1, 2}) {
        const Measured m = measure(*bench, {0x00}, Table::Main, 0x00, false, true, mode);
        EXPECT_EQ(m.tstates, mode == 2 ? 19u : 13u) << "IM " << int(mode);
        EXPECT_EQ(m.micros, mode == 2 ? 7u : 5u) << "IM " << int(mode);
        EXPECT_EQ(bench->acknowledges, 2u);  // one per bench run
        bench->acknowledges = 0;
    }
}
