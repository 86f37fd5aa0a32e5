#include "debug/disassembler.h"

#include <vector>

#include "debug/symbol_table.h"

namespace {

constexpr const char* kReg8[8] = {"B", "C", "D", "E", "H", "L", "(HL)", "A"};
constexpr const char* kPairSp[4] = {"BC", "DE", "HL", "SP"};
constexpr const char* kPairAf[4] = {"BC", "DE", "HL", "AF"};
constexpr const char* kCondition[8] = {"NZ", "Z", "NC", "C", "PO", "PE", "P", "M"};
constexpr const char* kAlu[8] = {"ADD A,", "ADC A,", "SUB ", "SBC A,", "AND ", "XOR ", "OR ", "CP "};
constexpr const char* kRotate[8] = {"RLC", "RRC", "RL", "RR", "SLA", "SRA", "SLL", "SRL"};
constexpr const char* kAccumulator[8] = {"RLCA", "RRCA", "RLA", "RRA", "DAA", "CPL", "SCF", "CCF"};
constexpr const char* kBitOp[4] = {"", "BIT ", "RES ", "SET "};
// ED 80-BF with y >= 4: LDI CPI INI OUTI and their decrementing and repeating forms.
constexpr const char* kBlock[4][4] = {{"LDI", "CPI", "INI", "OUTI"},
                                      {"LDD", "CPD", "IND", "OUTD"},
                                      {"LDIR", "CPIR", "INIR", "OTIR"},
                                      {"LDDR", "CPDR", "INDR", "OTDR"}};
// ED 46 ... 7E: the modes y selects, as the processor sets them.
constexpr const char* kInterruptMode[8] = {"0", "0", "1", "2", "0", "0", "1", "2"};

class Decoder {
public:
    Decoder(uint16_t address, const std::function<uint8_t(uint16_t)>& read, const SymbolTable* symbols, HexStyle style,
            DisassembledInstruction& out)
        : address_(address), read_(read), symbols_(symbols), style_(style), out_(out) {
        out_.text.reserve(24);
    }

    void run() {
        const uint8_t first = fetch();
        if (first == 0xDD || first == 0xFD) {
            const uint8_t next = peekNext();
            if (next == 0xDD || next == 0xFD || next == 0xED) {
                // A prefix the next prefix cancels: it runs as a NOP of its own.
                put("DEFB ");
                byte(first);
                return;
            }
            index_ = first == 0xDD ? "IX" : "IY";
            const uint8_t op = fetch();
            if (op == 0xCB) indexCb();
            else main(op);
        } else {
            main(first);
        }
    }

    int length() const { return length_; }

private:
    uint8_t fetch() { return read_(uint16_t(address_ + length_++)); }
    uint8_t peekNext() { return read_(uint16_t(address_ + length_)); }

    void put(const char* s) { out_.text += s; }
    void put(char c) { out_.text += c; }
    void byte(uint8_t v) {
        char buffer[12];
        hexTo(buffer, v, 2, style_);
        put(buffer);
    }
    void word(uint16_t v) {
        const std::string* name = symbols_ ? symbols_->nameAt(v) : nullptr;
        if (name) {
            out_.text += *name;
            return;
        }
        char buffer[12];
        hexTo(buffer, v, 4, style_);
        put(buffer);
    }
    uint16_t fetchWord() {
        const uint8_t low = fetch();
        return uint16_t(low | (fetch() << 8));
    }
    void immediateByte() { byte(fetch()); }
    void immediateWord() { word(fetchWord()); }
    void addressOperand() {
        put('(');
        immediateWord();
        put(')');
    }

    void indexed(int8_t d) {
        put('(');
        put(index_);
        put(d < 0 ? '-' : '+');
        byte(uint8_t(d < 0 ? -d : d));
        put(')');
    }
    // r of an opcode: (HL) becomes (IX+d), reading d; H and L become IXH and
    // IXL unless the instruction also names (IX+d).
    void reg8(int r, bool memoryToo = false) {
        if (index_ && r == 6) {
            indexed(int8_t(fetch()));
        } else if (index_ && !memoryToo && (r == 4 || r == 5)) {
            put(index_);
            put(r == 4 ? 'H' : 'L');
        } else {
            put(kReg8[r]);
        }
    }
    const char* hl() const { return index_ ? index_ : "HL"; }
    void pair(int p, bool af) { put(p == 2 ? hl() : af ? kPairAf[p] : kPairSp[p]); }

    void flow(InstructionFlow f) { out_.flow = f; }
    void jumpTo(uint16_t target, InstructionFlow f) {
        flow(f);
        out_.target = target;
        word(target);
    }
    void relative(InstructionFlow f) {
        const int8_t e = int8_t(fetch());
        jumpTo(uint16_t(address_ + length_ + e), f);
    }

    void main(uint8_t op) {
        const int x = op >> 6, y = (op >> 3) & 7, z = op & 7, p = y >> 1, q = y & 1;
        switch (x) {
            case 0: return mainLow(y, z, p, q);
            case 1:
                if (y == 6 && z == 6) {
                    put("HALT");
                    return flow(InstructionFlow::Halt);
                }
                put("LD ");
                reg8(y, z == 6);
                put(',');
                return reg8(z, y == 6);
            case 2: put(kAlu[y]); return reg8(z);
            default: return mainHigh(op, y, z, p, q);
        }
    }

    void mainLow(int y, int z, int p, int q) {
        switch (z) {
            case 0:
                if (y == 0) return put("NOP");
                if (y == 1) return put("EX AF,AF'");
                if (y == 2) {
                    put("DJNZ ");
                    return relative(InstructionFlow::Djnz);
                }
                put("JR ");
                if (y == 3) return relative(InstructionFlow::Jump);
                put(kCondition[y - 4]);
                put(',');
                return relative(InstructionFlow::ConditionalJump);
            case 1:
                if (q == 0) {
                    put("LD ");
                    pair(p, false);
                    put(',');
                    return immediateWord();
                }
                put("ADD ");
                put(hl());
                put(',');
                return pair(p, false);
            case 2: {
                static constexpr const char* kIndirect[2] = {"(BC)", "(DE)"};
                put("LD ");
                if (q == 0) {
                    if (p < 2) put(kIndirect[p]);
                    else addressOperand();
                    put(',');
                    return put(p == 2 ? hl() : "A");
                }
                put(p == 2 ? hl() : "A");
                put(',');
                if (p < 2) return put(kIndirect[p]);
                return addressOperand();
            }
            case 3: put(q ? "DEC " : "INC "); return pair(p, false);
            case 4:
            case 5: put(z == 4 ? "INC " : "DEC "); return reg8(y);
            case 6:
                put("LD ");
                reg8(y);
                put(',');
                return immediateByte();
            default: return put(kAccumulator[y]);
        }
    }

    void mainHigh(uint8_t op, int y, int z, int p, int q) {
        switch (z) {
            case 0:
                put("RET ");
                put(kCondition[y]);
                return flow(InstructionFlow::ConditionalReturn);
            case 1:
                if (q == 0) {
                    put("POP ");
                    return pair(p, true);
                }
                if (p == 0) {
                    put("RET");
                    return flow(InstructionFlow::Return);
                }
                if (p == 1) return put("EXX");
                if (p == 2) {
                    put("JP (");
                    put(hl());
                    put(')');
                    return flow(InstructionFlow::Jump);
                }
                put("LD SP,");
                return put(hl());
            case 2:
                put("JP ");
                put(kCondition[y]);
                put(',');
                return jumpTo(fetchWord(), InstructionFlow::ConditionalJump);
            case 3:
                switch (y) {
                    case 0: put("JP "); return jumpTo(fetchWord(), InstructionFlow::Jump);
                    case 1: return cb(fetch());
                    case 2:
                        put("OUT (");
                        immediateByte();
                        return put("),A");
                    case 3:
                        put("IN A,(");
                        immediateByte();
                        return put(')');
                    case 4: put("EX (SP),"); return put(hl());
                    case 5: return put("EX DE,HL");
                    case 6: return put("DI");
                    default: return put("EI");
                }
            case 4:
                put("CALL ");
                put(kCondition[y]);
                put(',');
                return jumpTo(fetchWord(), InstructionFlow::ConditionalCall);
            case 5:
                if (q == 0) {
                    put("PUSH ");
                    return pair(p, true);
                }
                if (p == 0) {
                    put("CALL ");
                    return jumpTo(fetchWord(), InstructionFlow::Call);
                }
                // DD and FD after a prefix are caught in run(); ED here follows no prefix.
                return ed(fetch());
            case 6: put(kAlu[y]); return immediateByte();
            default:
                put("RST ");
                byte(uint8_t(op & 0x38));
                flow(InstructionFlow::Restart);
                out_.target = uint16_t(op & 0x38);
                return;
        }
    }

    // The CB group's mnemonic and, for BIT/RES/SET, the bit: "RLC ", "BIT 3,".
    void cbMnemonic(int x, int y) {
        if (x == 0) {
            put(kRotate[y]);
            put(' ');
        } else {
            put(kBitOp[x]);
            put(char('0' + y));
            put(',');
        }
    }

    void cb(uint8_t op) {
        const int x = op >> 6, y = (op >> 3) & 7, z = op & 7;
        cbMnemonic(x, y);
        put(kReg8[z]);
    }

    // DD CB d op: the displacement comes before the opcode. Forms other than
    // BIT with a register in z also copy the result into that register.
    void indexCb() {
        const int8_t d = int8_t(fetch());
        const uint8_t op = fetch();
        const int x = op >> 6, y = (op >> 3) & 7, z = op & 7;
        cbMnemonic(x, y);
        indexed(d);
        if (x != 1 && z != 6) {
            put(',');
            put(kReg8[z]);
        }
    }

    void ed(uint8_t op) {
        const int x = op >> 6, y = (op >> 3) & 7, z = op & 7, p = y >> 1, q = y & 1;
        if (x == 2 && z <= 3 && y >= 4) {
            put(kBlock[y - 4][z]);
            if (y >= 6) flow(InstructionFlow::BlockRepeat);
            return;
        }
        if (x != 1) return put("NOP*");
        switch (z) {
            case 0:
                put("IN ");
                put(y == 6 ? "F" : kReg8[y]);
                return put(",(C)");
            case 1: put("OUT (C),"); return put(y == 6 ? "0" : kReg8[y]);
            case 2: put(q ? "ADC HL," : "SBC HL,"); return put(kPairSp[p]);
            case 3:
                put("LD ");
                if (q == 0) {
                    addressOperand();
                    put(',');
                    return put(kPairSp[p]);
                }
                put(kPairSp[p]);
                put(',');
                return addressOperand();
            case 4: return put("NEG");
            case 5: put(y == 1 ? "RETI" : "RETN"); return flow(InstructionFlow::Return);
            case 6: put("IM "); return put(kInterruptMode[y]);
            default: {
                static constexpr const char* kMisc[8] = {"LD I,A", "LD R,A", "LD A,I", "LD A,R",
                                                         "RRD",    "RLD",    "NOP*",   "NOP*"};
                return put(kMisc[y]);
            }
        }
    }

    uint16_t address_;
    const std::function<uint8_t(uint16_t)>& read_;
    const SymbolTable* symbols_;
    HexStyle style_;
    DisassembledInstruction& out_;
    const char* index_ = nullptr;  // "IX" or "IY" after a DD or FD prefix
    int length_ = 0;
};

}  // namespace

DisassembledInstruction disassemble(uint16_t address, const std::function<uint8_t(uint16_t)>& read,
                                    const SymbolTable* symbols, HexStyle style) {
    DisassembledInstruction out;
    out.address = address;
    Decoder decoder(address, read, symbols, style, out);
    decoder.run();
    out.length = uint8_t(decoder.length());
    for (int i = 0; i < out.length; ++i) out.bytes[i] = read(uint16_t(address + i));
    return out;
}

uint16_t disassemblyStartBefore(uint16_t address, int lines, const std::function<uint8_t(uint16_t)>& read) {
    if (lines <= 0) return address;
    std::vector<uint16_t> starts;
    starts.reserve(4 * lines);
    // The longest instruction is 4 bytes, so no run of `lines` starts further back.
    for (int back = 4 * lines; back > 0; --back) {
        starts.clear();
        int offset = -back;
        while (offset < 0) {
            const uint16_t at = uint16_t(address + offset);
            starts.push_back(at);
            offset += disassemble(at, read, nullptr, HexStyle::Ampersand).length;
        }
        if (offset == 0 && int(starts.size()) >= lines) return starts[starts.size() - size_t(lines)];
    }
    return address;
}
