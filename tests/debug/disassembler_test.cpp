// The disassembler against a table of known texts, and its lengths and
// flows against the processor itself: every encoding of every table runs
// once and the PC must land where the disassembly says.
#include "debug/disassembler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "debug/symbol_table.h"
#include "z80/z80_test_bench.h"

namespace {

struct Row {
    std::vector<uint8_t> bytes;
    const char* text;
    int length;
    HexStyle style = HexStyle::Ampersand;
    bool withSymbols = false;
};

constexpr uint16_t kAt = 0x4000;
constexpr HexStyle kHash = HexStyle::Hash;

// clang-format off
const Row kRows[] = {
    // main
    {{0x00}, "NOP", 1}, {{0x01, 0x34, 0x12}, "LD BC,&1234", 3}, {{0x08}, "EX AF,AF'", 1},
    {{0x10, 0xFE}, "DJNZ &4000", 2}, {{0x18, 0x00}, "JR &4002", 2}, {{0x20, 0xFE}, "JR NZ,&4000", 2},
    {{0x38, 0x80}, "JR C,&3F82", 2}, {{0x22, 0x00, 0xC0}, "LD (&C000),HL", 3}, {{0x3A, 0x34, 0x12}, "LD A,(&1234)", 3},
    {{0x0A}, "LD A,(BC)", 1}, {{0x12}, "LD (DE),A", 1}, {{0x33}, "INC SP", 1}, {{0x2B}, "DEC HL", 1},
    {{0x35}, "DEC (HL)", 1}, {{0x36, 0xAA}, "LD (HL),&AA", 2}, {{0x27}, "DAA", 1}, {{0x76}, "HALT", 1},
    {{0x41}, "LD B,C", 1}, {{0x7E}, "LD A,(HL)", 1}, {{0x9F}, "SBC A,A", 1}, {{0x96}, "SUB (HL)", 1},
    {{0xC0}, "RET NZ", 1}, {{0xF1}, "POP AF", 1}, {{0xD9}, "EXX", 1}, {{0xE9}, "JP (HL)", 1},
    {{0xF9}, "LD SP,HL", 1}, {{0xFA, 0x00, 0x80}, "JP M,&8000", 3}, {{0xD3, 0xF5}, "OUT (&F5),A", 2},
    {{0xDB, 0xF4}, "IN A,(&F4)", 2}, {{0xE3}, "EX (SP),HL", 1}, {{0xEB}, "EX DE,HL", 1},
    {{0xEC, 0x00, 0x10}, "CALL PE,&1000", 3}, {{0xC5}, "PUSH BC", 1}, {{0xCE, 0x01}, "ADC A,&01", 2},
    {{0xFF}, "RST &38", 1},
    // CB
    {{0xCB, 0x00}, "RLC B", 2}, {{0xCB, 0x36}, "SLL (HL)", 2}, {{0xCB, 0x3F}, "SRL A", 2},
    {{0xCB, 0x7E}, "BIT 7,(HL)", 2}, {{0xCB, 0x91}, "RES 2,C", 2}, {{0xCB, 0xEF}, "SET 5,A", 2},
    // ED
    {{0xED, 0x40}, "IN B,(C)", 2}, {{0xED, 0x70}, "IN F,(C)", 2}, {{0xED, 0x71}, "OUT (C),0", 2},
    {{0xED, 0x42}, "SBC HL,BC", 2}, {{0xED, 0x7A}, "ADC HL,SP", 2}, {{0xED, 0x43, 0x34, 0x12}, "LD (&1234),BC", 4},
    {{0xED, 0x6B, 0x00, 0xC0}, "LD HL,(&C000)", 4}, {{0xED, 0x4C}, "NEG", 2}, {{0xED, 0x45}, "RETN", 2},
    {{0xED, 0x4D}, "RETI", 2}, {{0xED, 0x75}, "RETN", 2}, {{0xED, 0x4E}, "IM 0", 2}, {{0xED, 0x56}, "IM 1", 2},
    {{0xED, 0x7E}, "IM 2", 2}, {{0xED, 0x5F}, "LD A,R", 2}, {{0xED, 0x67}, "RRD", 2}, {{0xED, 0x77}, "NOP*", 2},
    {{0xED, 0x00}, "NOP*", 2}, {{0xED, 0xA4}, "NOP*", 2}, {{0xED, 0xA1}, "CPI", 2}, {{0xED, 0xB0}, "LDIR", 2},
    {{0xED, 0xBB}, "OTDR", 2},
    // DD, FD: index registers, their halves, and opcodes the prefix leaves alone
    {{0xDD, 0x21, 0x34, 0x12}, "LD IX,&1234", 4}, {{0xDD, 0x29}, "ADD IX,IX", 2},
    {{0xDD, 0x22, 0x00, 0xC0}, "LD (&C000),IX", 4}, {{0xDD, 0x34, 0x05}, "INC (IX+&05)", 3},
    {{0xDD, 0x36, 0xFE, 0x42}, "LD (IX-&02),&42", 4}, {{0xDD, 0x26, 0x12}, "LD IXH,&12", 3},
    {{0xDD, 0x2C}, "INC IXL", 2}, {{0xDD, 0x65}, "LD IXH,IXL", 2}, {{0xDD, 0x66, 0x80}, "LD H,(IX-&80)", 3},
    {{0xDD, 0x75, 0x01}, "LD (IX+&01),L", 3}, {{0xDD, 0x85}, "ADD A,IXL", 2}, {{0xDD, 0xE3}, "EX (SP),IX", 2},
    {{0xDD, 0xE9}, "JP (IX)", 2}, {{0xDD, 0xF9}, "LD SP,IX", 2}, {{0xDD, 0x00}, "NOP", 2},
    {{0xDD, 0xEB}, "EX DE,HL", 2}, {{0xDD, 0xC3, 0x00, 0x80}, "JP &8000", 4}, {{0xDD, 0xDD, 0x00}, "DEFB &DD", 1},
    {{0xDD, 0xED, 0x44}, "DEFB &DD", 1}, {{0xFD, 0xFD}, "DEFB &FD", 1}, {{0xFD, 0x7C}, "LD A,IYH", 2},
    {{0xFD, 0x6E, 0xFE}, "LD L,(IY-&02)", 3}, {{0xFD, 0xE5}, "PUSH IY", 2}, {{0xFD, 0x2A, 0x34, 0x12}, "LD IY,(&1234)", 4},
    // DDCB, FDCB, with the undocumented register copies
    {{0xDD, 0xCB, 0x05, 0x06}, "RLC (IX+&05)", 4}, {{0xDD, 0xCB, 0x05, 0x00}, "RLC (IX+&05),B", 4},
    {{0xDD, 0xCB, 0x05, 0x36}, "SLL (IX+&05)", 4}, {{0xDD, 0xCB, 0x05, 0x41}, "BIT 0,(IX+&05)", 4},
    {{0xFD, 0xCB, 0xFE, 0x87}, "RES 0,(IY-&02),A", 4}, {{0xFD, 0xCB, 0x7F, 0x3D}, "SRL (IY+&7F),L", 4},
    {{0xFD, 0xCB, 0x80, 0xCE}, "SET 1,(IY-&80)", 4},
    // names and the other hex style
    {{0xCD, 0x5A, 0xBB}, "CALL TXT_OUTPUT", 3, HexStyle::Ampersand, true},
    {{0x18, 0xFE}, "JR LOOP", 2, HexStyle::Ampersand, true},
    {{0x3A, 0x5A, 0xBB}, "LD A,(TXT_OUTPUT)", 3, HexStyle::Ampersand, true},
    {{0xC3, 0x5B, 0xBB}, "JP &BB5B", 3, HexStyle::Ampersand, true},
    {{0xDD, 0x36, 0x05, 0xAA}, "LD (IX+#05),#AA", 4, kHash}, {{0xC3, 0x34, 0x12}, "JP #1234", 3, kHash},
    {{0xFF}, "RST #38", 1, kHash},
};
// clang-format on

std::string hexBytes(const uint8_t* bytes, size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        if (i) s += ' ';
        s += hex(bytes[i], 2, HexStyle::Ampersand).substr(1);
    }
    return s;
}

}  // namespace

TEST(Disassembler, TextsAndLengthsOfEveryTable) {
    SymbolTable symbols;
    symbols.addText("TXT_OUTPUT EQU &BB5A\nLOOP EQU &4000\n");
    for (const Row& row : kRows) {
        const auto read = [&](uint16_t a) -> uint8_t {
            const size_t i = uint16_t(a - kAt);
            return i < row.bytes.size() ? row.bytes[i] : 0;
        };
        const DisassembledInstruction d = disassemble(kAt, read, row.withSymbols ? &symbols : nullptr, row.style);
        EXPECT_EQ(d.text, row.text) << hexBytes(row.bytes.data(), row.bytes.size());
        EXPECT_EQ(d.length, row.length) << row.text;
        EXPECT_EQ(hexBytes(d.bytes, d.length), hexBytes(row.bytes.data(), size_t(row.length))) << row.text;
    }
}

TEST(Disassembler, WrapsAtTheTopOfMemory) {
    const uint8_t memory[2] = {0x10, 0xFF};  // DJNZ at &FFFF, its offset at &0000
    const auto read = [&](uint16_t a) -> uint8_t { return a == 0xFFFF ? memory[0] : a == 0 ? memory[1] : 0; };
    const DisassembledInstruction d = disassemble(0xFFFF, read, nullptr, HexStyle::Ampersand);
    EXPECT_EQ(d.text, "DJNZ &0000");
    EXPECT_EQ(d.flow, InstructionFlow::Djnz);
    EXPECT_EQ(d.target, 0x0000);
    EXPECT_EQ(hexBytes(d.bytes, d.length), "10 FF");
}

TEST(Disassembler, ListingBeforeAnAddressEndsOnIt) {
    // &0FF8: NOP; LD HL,&1234; LD (IX+5),&77; and at &1000 the address itself.
    const uint8_t code[8] = {0x00, 0x21, 0x34, 0x12, 0xDD, 0x36, 0x05, 0x77};
    const auto read = [&](uint16_t a) -> uint8_t { return a >= 0x0FF8 && a < 0x1000 ? code[a - 0x0FF8] : 0; };
    EXPECT_EQ(disassemblyStartBefore(0x1000, 2, read), 0x0FF9);
    EXPECT_EQ(disassemblyStartBefore(0x1000, 0, read), 0x1000);
}

// ---- against the processor ----

namespace {

struct Table {
    const char* name;
    std::vector<uint8_t> prefix;  // the opcode under test follows it
};

const Table kTables[] = {{"Main", {}},
                         {"CB", {0xCB}},
                         {"ED", {0xED}},
                         {"DD", {0xDD}},
                         {"FD", {0xFD}},
                         {"DDCB", {0xDD, 0xCB, 0x05}},
                         {"FDCB", {0xFD, 0xCB, 0x05}}};

void PrintTo(const Table& table, std::ostream* os) { *os << table.name; }

constexpr uint16_t kCode = 0x4000;
constexpr uint16_t kStack = 0xC000;
constexpr uint16_t kReturnAddress = 0x1234;

// Runs the instruction at kCode once, with the flags all clear or all set;
// the pairs are chosen so that in one run the repeating block instructions
// (by BC or by B) and DJNZ repeat and in the other they end. Returns the PC.
uint16_t runOnce(const std::vector<uint8_t>& code, bool flagsSet) {
    auto bench = std::make_unique<Z80TestBench>();
    std::copy(code.begin(), code.end(), bench->mem + kCode);
    bench->mem[kStack] = uint8_t(kReturnAddress);
    bench->mem[kStack + 1] = uint8_t(kReturnAddress >> 8);
    Z80CPU& cpu = bench->cpu;
    cpu.PC = kCode;
    cpu.setAF(flagsSet ? 0x55FF : 0x5500);  // A never matches the zeros CPIR compares it with
    cpu.setBC(flagsSet ? 0x0001 : 0x0101);
    cpu.setDE(0x8000);
    cpu.setHL(0x9000);
    cpu.setIX(0xA000);
    cpu.setIY(0xB000);
    cpu.setSP(kStack);
    bench->runInstruction();
    return cpu.PC;
}

class DisassemblerAgainstCpu : public ::testing::TestWithParam<Table> {};

}  // namespace

TEST_P(DisassemblerAgainstCpu, EveryOpcodeMovesThePcAsDisassembled) {
    const Table& table = GetParam();
    const bool isMain = table.prefix.empty();
    for (int op = 0; op < 256; ++op) {
        // The main table's prefixes are the other tables.
        if (isMain && (op == 0xCB || op == 0xDD || op == 0xED || op == 0xFD)) continue;
        std::vector<uint8_t> code = table.prefix;
        code.push_back(uint8_t(op));
        for (uint8_t operand : {0x05, 0x06, 0x07}) code.push_back(operand);
        const auto read = [&](uint16_t a) -> uint8_t {
            const size_t i = uint16_t(a - kCode);
            return i < code.size() ? code[i] : 0;
        };
        // A lone prefix runs on its own, then the instruction after it.
        uint16_t start = kCode;
        DisassembledInstruction d = disassemble(start, read, nullptr, HexStyle::Ampersand);
        while (d.length == 1 && (d.bytes[0] == 0xDD || d.bytes[0] == 0xFD)) {
            ASSERT_EQ(d.text, d.bytes[0] == 0xDD ? "DEFB &DD" : "DEFB &FD");
            start = uint16_t(start + 1);
            d = disassemble(start, read, nullptr, HexStyle::Ampersand);
        }
        const uint16_t next = uint16_t(start + d.length);
        const uint16_t target = d.target.value_or(0xFFFF);
        uint16_t taken = next, notTaken = next;
        switch (d.flow) {
            case InstructionFlow::Plain: break;
            case InstructionFlow::Jump:
                // JP (HL), (IX), (IY) go where the pair points.
                taken = notTaken = d.target             ? target
                                   : d.bytes[0] == 0xDD ? 0xA000
                                   : d.bytes[0] == 0xFD ? 0xB000
                                                        : 0x9000;
                break;
            case InstructionFlow::Call:
            case InstructionFlow::Restart: taken = notTaken = target; break;
            case InstructionFlow::ConditionalJump:
            case InstructionFlow::ConditionalCall:
            case InstructionFlow::Djnz: taken = target; break;
            case InstructionFlow::Return: taken = notTaken = kReturnAddress; break;
            case InstructionFlow::ConditionalReturn: taken = kReturnAddress; break;
            case InstructionFlow::BlockRepeat: taken = start; break;
            case InstructionFlow::Halt: taken = notTaken = uint16_t(next - 1); break;
        }
        std::vector<uint16_t> expected = {taken, notTaken};
        std::vector<uint16_t> seen = {runOnce(code, false), runOnce(code, true)};
        std::sort(expected.begin(), expected.end());
        std::sort(seen.begin(), seen.end());
        EXPECT_EQ(seen, expected) << hexBytes(code.data(), code.size()) << " \"" << d.text << "\" length "
                                  << int(d.length);
    }
}

INSTANTIATE_TEST_SUITE_P(Tables, DisassemblerAgainstCpu, ::testing::ValuesIn(kTables),
                         [](const ::testing::TestParamInfo<Table>& info) { return std::string(info.param.name); });
