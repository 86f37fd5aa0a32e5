// Arithmetic, logic, rotates, bit operations and the flags they produce,
// including the undocumented X/Y bits and the SCF/CCF rule.
#include "z80/z80cpu.h"

namespace {

// S, Y, X from the result, Z from its low byte, H from the carry vector and
// V from the carries into and out of bit 7.
inline uint8_t addSubFlags(int r, unsigned cv) {
    return uint8_t((r & (Z80CPU::FlagS | Z80CPU::FlagY | Z80CPU::FlagX)) | ((r & 0xFF) ? 0 : Z80CPU::FlagZ) |
                   (cv & Z80CPU::FlagH) | (((cv >> 5) ^ (cv >> 6)) & Z80CPU::FlagPV) | ((cv >> 8) & 1));
}

// INC r and DEC r share a handler: z = 5 (bit 0 set) decrements.
inline bool decrements(uint8_t opcode) { return opcode & 1; }

}  // namespace

// ADD, ADC, SUB, SBC, AND, XOR, OR, CP of operand and dataLatch (kind 0-7):
// inline in the handlers that run them.
[[gnu::always_inline]] inline void Z80CPU::aluWithA(int kind) {
    const int a = operand, b = dataLatch;
    const int c = getF() & FlagC;
    int r;
    uint8_t nf;
    switch (kind) {
        case AluAdd:
        case AluAdc:
            r = a + b + (kind == AluAdc ? c : 0);
            carryVector = uint16_t(a ^ b ^ r);
            nf = addSubFlags(r, carryVector);
            break;
        case AluSub:
        case AluSbc:
            r = a - b - (kind == AluSbc ? c : 0);
            carryVector = uint16_t((a ^ b ^ r) & 0x1FF);
            nf = uint8_t(addSubFlags(r, carryVector) | FlagN);
            break;
        case AluAnd:
            r = a & b;
            nf = uint8_t(szpTable[r] | (r & (FlagY | FlagX)) | FlagH);
            break;
        case AluXor:
            r = a ^ b;
            nf = uint8_t(szpTable[r] | (r & (FlagY | FlagX)));
            break;
        case AluOr:
            r = a | b;
            nf = uint8_t(szpTable[r] | (r & (FlagY | FlagX)));
            break;
        default: {  // AluCp: X and Y from the operand
            int d = a - b;
            carryVector = uint16_t((a ^ b ^ d) & 0x1FF);
            nf = uint8_t((addSubFlags(d, carryVector) & ~(FlagY | FlagX)) | (b & (FlagY | FlagX)) | FlagN);
            r = a;
            break;
        }
    }
    aluResult = uint16_t(r);
    setF(nf);
}

void Z80CPU::aluop(int kind) {
    if (kind <= AluCp) {
        aluWithA(kind);
        return;
    }
    const int a = operand;
    const uint8_t f = getF();
    const int c = f & FlagC;
    int r;
    uint8_t nf;
    switch (kind) {
        case AluAccumulatorGroup: {
            const uint8_t keep = f & (FlagS | FlagZ | FlagPV);
            switch (opY) {
                case 0:  // RLCA
                    r = ((a << 1) | (a >> 7)) & 0xFF;
                    nf = uint8_t(keep | (a >> 7));
                    break;
                case 1:  // RRCA
                    r = ((a >> 1) | (a << 7)) & 0xFF;
                    nf = uint8_t(keep | (a & 1));
                    break;
                case 2:  // RLA
                    r = ((a << 1) | c) & 0xFF;
                    nf = uint8_t(keep | (a >> 7));
                    break;
                case 3:  // RRA
                    r = (a >> 1) | (c << 7);
                    nf = uint8_t(keep | (a & 1));
                    break;
                case 4: {  // DAA
                    int corr = 0;
                    uint8_t carry = 0;
                    if ((f & FlagC) || a > 0x99) {
                        corr = 0x60;
                        carry = FlagC;
                    }
                    if ((f & FlagH) || (a & 0x0F) > 9) corr += 0x06;
                    r = (f & FlagN) ? a - corr : a + corr;
                    carryVector = uint16_t((a ^ r ^ corr) & 0x1FF);
                    nf = uint8_t(szpTable[r & 0xFF] | (r & (FlagY | FlagX)) | (carryVector & FlagH) | (f & FlagN) |
                                 carry);
                    r &= 0xFF;
                    break;
                }
                case 5:  // CPL
                    r = ~a & 0xFF;
                    nf = uint8_t((f & (FlagS | FlagZ | FlagPV | FlagC)) | FlagH | FlagN | (r & (FlagY | FlagX)));
                    break;
                default: {  // 6 SCF, 7 CCF
                    // X and Y leak from F unless the previous instruction wrote the flags.
                    const int xy = (flagsTouchedPrev ? a : (a | f)) & (FlagY | FlagX);
                    r = a;
                    if (opY == 6)  // SCF
                        nf = uint8_t(keep | xy | FlagC);
                    else  // CCF
                        nf = uint8_t(keep | xy | (c << 4) | (c ^ 1));
                    break;
                }
            }
            if (opY < 4)  // the rotates take X and Y from the result
                nf = uint8_t(nf | (r & (FlagY | FlagX)));
            break;
        }
        default: {  // AluRlc ... AluSrl: the CB rotates and shifts
            int carry;
            switch (kind) {
                case AluRlc:
                    r = (a << 1) | (a >> 7);
                    carry = a >> 7;
                    break;
                case AluRrc:
                    r = (a >> 1) | (a << 7);
                    carry = a & 1;
                    break;
                case AluRl:
                    r = (a << 1) | c;
                    carry = a >> 7;
                    break;
                case AluRr:
                    r = (a >> 1) | (c << 7);
                    carry = a & 1;
                    break;
                case AluSla:
                    r = a << 1;
                    carry = a >> 7;
                    break;
                case AluSra:
                    r = (a >> 1) | (a & 0x80);
                    carry = a & 1;
                    break;
                case AluSll:  // undocumented: shifts a 1 in
                    r = (a << 1) | 1;
                    carry = a >> 7;
                    break;
                default:  // AluSrl
                    r = a >> 1;
                    carry = a & 1;
                    break;
            }
            r &= 0xFF;
            nf = uint8_t(szpTable[r] | (r & (FlagY | FlagX)) | carry);
            break;
        }
    }
    aluResult = uint16_t(r);
    setF(nf);
}

void Z80CPU::aluincdec(bool dec) {
    const int a = operand;
    const int r = dec ? a - 1 : a + 1;
    carryVector = uint16_t((a ^ r ^ 1) & 0x1FF);
    aluResult = uint16_t(r);
    uint8_t nf = uint8_t((r & (FlagS | FlagY | FlagX)) | ((r & 0xFF) ? 0 : FlagZ) | (carryVector & FlagH) |
                         (((carryVector >> 5) ^ (carryVector >> 6)) & FlagPV) | (dec ? FlagN : 0) | (getF() & FlagC));
    setF(nf);
}

// INI/IND/OUTI/OUTD and every iteration of their repeating forms: S, Z, Y,
// X from the decremented B (b); N from bit 7 of the byte moved (v); H and C
// from the carry of k (v plus C +/- 1, or v plus L); P/V the parity of
// (k & 7) ^ b.
void Z80CPU::blockIoFlags(uint8_t v, unsigned k, uint8_t b) {
    setF(uint8_t((szpTable[b] & (FlagS | FlagZ)) | (b & (FlagY | FlagX)) | ((v >> 6) & FlagN) |
                 (k > 0xFF ? FlagH | FlagC : 0) | (szpTable[(k & 7) ^ b] & FlagPV)));
}

// A repeating I/O iteration (PC already back on ED, Y and X from it) also
// runs B through H and P/V; v is still in dataLatch.
void Z80CPU::blockIoRepeatFlags() {
    const uint8_t b = regB(), v = dataLatch;
    uint8_t f = getF();
    int p = b;
    if (f & FlagC) {
        p = (v & 0x80) ? b - 1 : b + 1;
        const bool h = (v & 0x80) ? (b & 0x0F) == 0x00 : (b & 0x0F) == 0x0F;
        f = uint8_t((f & ~FlagH) | (h ? FlagH : 0));
    }
    // P/V flips when those three bits have odd parity.
    setF(uint8_t(f ^ (~szpTable[p & 7] & FlagPV)));
}

// ---- 8-bit increment and decrement ----

// INC r and DEC r: M1, 4 T-states, 1 us.
void Z80CPU::incdec_r() {
    operand = readReg(opY);
    aluincdec(decrements(opcode));
    writeReg(opY, uint8_t(aluResult));
    finish();
}

// INC/DEC of the byte at address, from the step s = 0: read, change, write.
void Z80CPU::incdecMemory(uint16_t address, int s) {
    switch (s) {
        case 0: requestRead(address); break;
        case 1:
            operand = dataLatch;
            aluincdec(decrements(opcode));
            break;
        case 2: requestWrite(address, uint8_t(aluResult)); break;
        default: finish(); break;
    }
}

// INC (HL) and DEC (HL): M1 R i W, 11 T-states, 3 us.
void Z80CPU::incdec_hl() { incdecMemory(getHL(), step); }

// INC (IX+d) and DEC (IX+d): M1 P i i R i W, 20 T-states with DD (Zilog: 23), 6 us.
void Z80CPU::incdec_ixy() {
    if (!readingDisplacement()) incdecMemory(getWZ(), step - 3);
}

// INC rr and DEC rr: M1 i i, 6 T-states, 2 us.
void Z80CPU::incdec_rr() {
    switch (step) {
        case 0: init_incdec_reg16(opQ() ? PairDecrement : PairIncrement, opP(), PairOffBus, opP()); break;
        case 1: break;
        default: finish(); break;
    }
}

// ---- 8-bit ALU with A ----

// RLCA, RRCA, RLA, RRA, DAA, CPL, SCF, CCF: M1, 4 T-states, 1 us.
void Z80CPU::acc_op() {
    operand = getA();
    aluop(AluAccumulatorGroup);
    setA(uint8_t(aluResult));
    finish();
}

// ADD/ADC/SUB/SBC/AND/XOR/OR/CP A,r: M1, 4 T-states, 1 us.
void Z80CPU::op_alu_a_r() {
    operand = getA();
    dataLatch = readReg(opZ());
    aluWithA(opY);
    setA(uint8_t(aluResult));
    finish();
}

// ADD/ADC/SUB/SBC/AND/XOR/OR/CP A,(HL): M1 R, 7 T-states, 2 us.
void Z80CPU::op_alu_a_hl() {
    if (step == 0) {
        requestRead(getHL());
        return;
    }
    operand = getA();
    aluWithA(opY);
    setA(uint8_t(aluResult));
    finish();
}

// ADD/ADC/SUB/SBC/AND/XOR/OR/CP A,n: M1 P, 7 T-states, 2 us.
void Z80CPU::op_alu_a_n() {
    if (step == 0) {
        requestReadPc();
        return;
    }
    operand = getA();
    aluWithA(opY);
    setA(uint8_t(aluResult));
    finish();
}

// ADD/ADC/SUB/SBC/AND/XOR/OR/CP A,(IX+d): M1 P i i R i, 17 T-states with DD (Zilog: 19), 5 us.
void Z80CPU::op_alu_a_ixy() {
    if (readingDisplacement()) return;
    switch (step) {
        case 3: requestRead(getWZ()); break;
        case 4: break;
        default:
            operand = getA();
            aluWithA(opY);
            setA(uint8_t(aluResult));
            finish();
            break;
    }
}

// NEG: M1, 8 T-states with ED, 2 us.
void Z80CPU::ed_neg() {
    operand = 0;
    dataLatch = getA();
    aluop(AluSub);
    setA(uint8_t(aluResult));
    finish();
}

// ---- 16-bit arithmetic ----

// ADD HL,rr: M1 i*7, 11 T-states, 3 us.
void Z80CPU::add_hl_rr() {
    switch (step) {
        case 0: setWZ(uint16_t(getHLx() + 1)); break;
        case 1: {  // low bytes; the carry waits in C
            const unsigned lo = unsigned(regLx()) + uint8_t(getPair(opP()));
            pairTemp = uint16_t(lo & 0xFF);
            regF() = uint8_t((getF() & ~FlagC) | (lo >> 8));
            break;
        }
        case 2: break;
        case 3: {  // high bytes with that carry
            const unsigned hi = regHx(), rhi = getPair(opP()) >> 8, c = getF() & FlagC;
            const unsigned r = hi + rhi + c;
            setF(uint8_t((getF() & (FlagS | FlagZ | FlagPV)) | (r & (FlagY | FlagX)) | ((hi ^ rhi ^ r) & FlagH) |
                         (r >> 8)));
            pairTemp = uint16_t(pairTemp | ((r & 0xFF) << 8));
            break;
        }
        case 4: setHLx(pairTemp); break;
        case 5:
        case 6: break;
        default: finish(); break;
    }
}

// SBC HL,rr and ADC HL,rr: M1 i*7, 15 T-states with ED, 4 us.
void Z80CPU::ed_sbc_adc() {
    switch (step) {
        case 0: setWZ(uint16_t(getHL() + 1)); break;
        case 1: {
            const uint32_t a = getHL(), b = getPair(opP()), c = getF() & FlagC;
            uint32_t r;
            uint8_t nf;
            if (opQ()) {  // ADC
                r = a + b + c;
                nf = uint8_t(((a ^ r) & (b ^ r) & 0x8000) ? FlagPV : 0);
            } else {  // SBC
                r = a - b - c;
                nf = uint8_t((((a ^ b) & (a ^ r) & 0x8000) ? FlagPV : 0) | FlagN);
            }
            nf = uint8_t(nf | ((r >> 8) & (FlagS | FlagY | FlagX)) | ((r & 0xFFFF) ? 0 : FlagZ) |
                         (((a ^ b ^ r) >> 8) & FlagH) | ((r >> 16) & 1));
            pairTemp = uint16_t(r);
            setF(nf);
            break;
        }
        case 2:
        case 3: break;
        case 4: setHL(pairTemp); break;
        case 5:
        case 6: break;
        default: finish(); break;
    }
}

// ---- RLD / RRD ----

// RRD and RLD: A's low digit and the two digits of (HL) rotate right or
// left as one three-digit number.
void Z80CPU::rotateDigits(bool left) {
    switch (step) {
        case 0: requestRead(getHL()); break;
        case 1: break;
        case 2: {
            const uint8_t v = dataLatch, a = getA();
            operand = left ? uint8_t((v << 4) | (a & 0x0F)) : uint8_t((a << 4) | (v >> 4));
            const uint8_t na = uint8_t((a & 0xF0) | (left ? v >> 4 : v & 0x0F));
            setA(na);
            setF(uint8_t(szpTable[na] | (na & (FlagY | FlagX)) | (getF() & FlagC)));
            setWZ(uint16_t(getHL() + 1));
            break;
        }
        case 3: requestWrite(getHL(), operand); break;
        default: finish(); break;
    }
}

// RRD: M1 R i i W, 16 T-states with ED (Zilog: 18), 5 us.
void Z80CPU::ed_rrd() { rotateDigits(false); }

// RLD: M1 R i i W, 16 T-states with ED (Zilog: 18), 5 us.
void Z80CPU::ed_rld() { rotateDigits(true); }

// ---- CB: rotates, BIT, RES, SET ----

namespace {
// The x field of a CB opcode.
enum CbGroup { CbRotateShift = 0, CbBit, CbRes, CbSet };

inline uint8_t bitFlags(uint8_t v, int n, uint8_t xySource, uint8_t f) {
    const uint8_t m = uint8_t(v & (1 << n));
    return uint8_t((m & Z80CPU::FlagS) | (m ? 0 : (Z80CPU::FlagZ | Z80CPU::FlagPV)) | Z80CPU::FlagH |
                   (f & Z80CPU::FlagC) | (xySource & (Z80CPU::FlagY | Z80CPU::FlagX)));
}
}  // namespace

// RLC/RRC/RL/RR/SLA/SRA/SLL/SRL r: M1, 8 T-states with CB, 2 us.
void Z80CPU::cb_rotshift() {
    const int r = opZ();
    operand = readReg(r);
    aluop(AluRlc + opY);
    writeReg(r, uint8_t(aluResult));
    finish();
}

// BIT b,r: M1, 8 T-states with CB, 2 us.
void Z80CPU::cb_bit() {
    const uint8_t v = readReg(opZ());
    setF(bitFlags(v, opY, v, getF()));
    finish();
}

// RES b,r: M1, 8 T-states with CB, 2 us.
void Z80CPU::cb_res() {
    const int r = opZ();
    operand = uint8_t(readReg(r) & ~(1 << opY));
    writeReg(r, operand);
    finish();
}

// SET b,r: M1, 8 T-states with CB, 2 us.
void Z80CPU::cb_set() {
    const int r = opZ();
    operand = uint8_t(readReg(r) | (1 << opY));
    writeReg(r, operand);
    prefix = PrefixEndMarker;
    finish();
}

// The memory forms: (HL), and (IX+d) / (IY+d) with WZ already holding the
// address (DD CB d op, FD CB d op).

void Z80CPU::cbBitMemory(uint16_t address) {
    if (step == 0) {
        requestRead(address);
        return;
    }
    setF(bitFlags(dataLatch, opY, getW(), getF()));
    finish();
}

// Rotate/shift, RES or SET (by the opcode's top two bits) of the byte at
// address: read, change, write back. The DD CB / FD CB forms with a register
// in the low bits also copy the result into that (real, not index) register.
void Z80CPU::cbModifyMemory(uint16_t address, bool copyToRegister) {
    const int group = opcode >> 6;
    switch (step) {
        case 0: requestRead(address); break;
        case 1:
            if (group == CbRotateShift) {
                operand = dataLatch;
                aluop(AluRlc + opY);
            } else if (group == CbRes) {
                operand = uint8_t(dataLatch & ~(1 << opY));
            } else {
                operand = uint8_t(dataLatch | (1 << opY));
            }
            break;
        case 2: {
            const uint8_t result = group == CbRotateShift ? uint8_t(aluResult) : operand;
            if (copyToRegister) ixMode = iyMode = 0;
            requestWrite(address, result);
            if (copyToRegister) setreg8b(opZ(), result);
            break;
        }
        default:
            if (copyToRegister && group == CbSet) prefix = PrefixEndMarker;
            finish();
            break;
    }
}

// BIT b,(HL): M1 R, 11 T-states with CB (Zilog: 12), 3 us.
void Z80CPU::cb_bit_hl() { cbBitMemory(getHL()); }
// RLC ... SRL (HL): M1 R i W, 15 T-states with CB, 4 us.
void Z80CPU::cb_rotshift_hl() { cbModifyMemory(getHL(), false); }
// RES b,(HL): M1 R i W, 15 T-states with CB, 4 us.
void Z80CPU::cb_res_hl() { cbModifyMemory(getHL(), false); }
// SET b,(HL): M1 R i W, 15 T-states with CB, 4 us.
void Z80CPU::cb_set_hl() { cbModifyMemory(getHL(), false); }
// BIT b,(IX+d): R after DD CB d op, 20 T-states in all, 6 us.
void Z80CPU::cb_bit_hl_ixy() { cbBitMemory(getWZ()); }
// RLC ... SRL (IX+d): R i W after DD CB d op, 24 T-states in all (Zilog: 23), 7 us.
void Z80CPU::cb_rotshift_hl_ixy() { cbModifyMemory(getWZ(), false); }
// RLC ... SRL (IX+d),r: R i W after DD CB d op, 24 T-states in all (Zilog: 23), 7 us.
void Z80CPU::cb_rotshift_ixy() { cbModifyMemory(getWZ(), true); }
// RES b,(IX+d): R i W after DD CB d op, 24 T-states in all (Zilog: 23), 7 us.
void Z80CPU::cb_res_hl_ixy() { cbModifyMemory(getWZ(), false); }
// RES b,(IX+d),r: R i W after DD CB d op, 24 T-states in all (Zilog: 23), 7 us.
void Z80CPU::cb_res_ixy() { cbModifyMemory(getWZ(), true); }
// SET b,(IX+d): R i W after DD CB d op, 24 T-states in all (Zilog: 23), 7 us.
void Z80CPU::cb_set_hl_ixy() { cbModifyMemory(getWZ(), false); }
// SET b,(IX+d),r: R i W after DD CB d op, 24 T-states in all (Zilog: 23), 7 us.
void Z80CPU::cb_set_ixy() { cbModifyMemory(getWZ(), true); }
