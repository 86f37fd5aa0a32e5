// Block transfer, compare, input and output instructions and the single
// I/O instructions. A repeating form is one instruction per iteration that
// moves PC back onto its ED byte, so interrupts are taken in between.
#include "z80/z80cpu.h"

namespace {
// Bit 0 of y: LDI, CPI, INI, OUTI step HL (and DE) up, the D forms down.
inline int blockDirection(uint8_t opY) { return (opY & 1) ? Z80CPU::PairDecrement : Z80CPU::PairIncrement; }
}  // namespace

// ---- LDI / LDD / LDIR / LDDR ----

// LDI and LDD: M1 R W i i, 16 T-states with ED, 5 us.
void Z80CPU::ed_lddi() {
    const int dir = blockDirection(opY);
    switch (step) {
        case 0:
            init_incdec_reg16(dir, PairHL, PairOnBus, PairHL);
            request(BusRead);
            break;
        case 1:
            init_incdec_reg16(dir, PairDE, PairOnBus, PairDE);
            request(BusWrite);
            break;
        case 2: {
            init_incdec_reg16(PairDecrement, PairBC, PairOffBus, PairBC);
            const uint8_t n = uint8_t(getA() + dataLatch);
            setF(uint8_t((getF() & (FlagS | FlagZ | FlagC)) | (pairWasOne ? 0 : FlagPV) | (n & FlagX) |
                         ((n << 4) & FlagY)));
            break;
        }
        case 3: break;
        default: finish(); break;
    }
}

// After the single form's steps: the end test at step n, then the repeat.
void Z80CPU::repeatUnless(int n, bool last) {
    if (step == n) {
        if (last) finish();
        return;
    }
    repeatTail(n + 1);
}

// LDIR and LDDR: M1 R W, then i*7 to repeat or i*2 to end: 21 / 16 T-states with ED, 6 / 5 us.
void Z80CPU::ed_lddri() {
    if (step < 4) ed_lddi();
    else repeatUnless(4, getBC() == 0);
}

// ---- CPI / CPD / CPIR / CPDR ----

// CPI and CPD: M1 R i*4, 15 T-states with ED (Zilog: 16), 4 us.
void Z80CPU::ed_cpdi() {
    const int dir = blockDirection(opY);
    switch (step) {
        case 0:
            init_incdec_reg16(dir, PairHL, PairOnBus, PairHL);
            request(BusRead);
            break;
        case 1: init_incdec_reg16(PairDecrement, PairBC, PairOffBus, PairBC); break;
        case 2: {
            const int a = getA(), v = dataLatch, r = a - v;
            const int h = (a ^ v ^ r) & FlagH;
            const uint8_t n = uint8_t(r - (h ? 1 : 0));
            setF(uint8_t((r & FlagS) | ((r & 0xFF) ? 0 : FlagZ) | h | FlagN | (getF() & FlagC) |
                         (getBC() ? FlagPV : 0) | (n & FlagX) | ((n << 4) & FlagY)));
            break;
        }
        case 3:
        case 4: break;
        default:
            init_incdec_reg16(dir, PairWZ, PairOffBus, PairWZ);
            finish();
            break;
    }
}

// CPIR and CPDR: M1 R, then i*10 to repeat or i*4 to end: 21 / 15 T-states with ED (Zilog: 21 / 16), 6 / 4 us.
void Z80CPU::ed_cpdir() {
    if (step < 5) {
        ed_cpdi();
        return;
    }
    if (step == 5) {
        init_incdec_reg16(blockDirection(opY), PairWZ, PairOffBus, PairWZ);
        if (getBC() == 0 || (getF() & FlagZ)) finish();
        return;
    }
    if (step == 6) return;
    repeatTail(7);
}

// ---- INI / IND / INIR / INDR ----

// INI and IND: M1 IN i W, 16 T-states with ED, 5 us.
void Z80CPU::ed_indi() {
    const int dir = blockDirection(opY);
    switch (step) {
        case 0: {
            const uint16_t bc = getBC();
            setWZ(uint16_t(dir == PairDecrement ? bc - 1 : bc + 1));
            requestIn(bc);
            break;
        }
        case 1: {
            const uint8_t b = uint8_t(regB() - 1), v = dataLatch;
            regB() = b;
            blockIoFlags(v, v + ((regC() + (dir == PairDecrement ? -1 : 1)) & 0xFF), b);
            break;
        }
        case 2:
            init_incdec_reg16(dir, PairHL, PairOnBus, PairHL);
            request(BusWrite);
            break;
        default: finish(); break;
    }
}

// INIR and INDR: M1 IN i W, then i*5 to repeat: 21 / 16 T-states with ED, 6 / 5 us.
void Z80CPU::ed_indir() {
    if (step < 3) {
        ed_indi();
        return;
    }
    repeatUnless(3, getF() & FlagZ);
    if (step == 4) blockIoRepeatFlags();
}

// ---- OUTI / OUTD / OTIR / OTDR ----

// OUTI and OUTD: M1 i R OUT, 16 T-states with ED, 5 us.
void Z80CPU::ed_outdi() {
    const int dir = blockDirection(opY);
    switch (step) {
        case 0:
            init_incdec_reg16(dir, PairHL, PairOnBus, PairHL);
            request(BusRead);
            break;
        case 1: blockIoFlags(dataLatch, dataLatch + regL(), uint8_t(regB() - 1)); break;
        case 2: {
            --regB();
            const uint16_t bc = getBC();
            setWZ(uint16_t(dir == PairDecrement ? bc - 1 : bc + 1));
            requestOut(bc, dataLatch);
            break;
        }
        default: finish(); break;
    }
}

// OTIR and OTDR: M1 i R OUT, then i*5 to repeat: 21 / 16 T-states with ED, 6 / 5 us.
void Z80CPU::ed_otdir() {
    const int dir = blockDirection(opY);
    switch (step) {
        case 0: break;
        case 1:
            --regB();
            init_incdec_reg16(dir, PairHL, PairOnBus, PairHL);
            request(BusRead);
            break;
        case 2: {
            // The flags need the byte, so they are set once it has been read.
            blockIoFlags(dataLatch, dataLatch + regL(), regB());
            const uint16_t bc = getBC();
            setWZ(uint16_t(dir == PairDecrement ? bc - 1 : bc + 1));
            requestOut(bc, dataLatch);
            break;
        }
        case 3:
            if (getF() & FlagZ) finish();
            break;
        default:
            repeatTail(4);
            if (step == 4) blockIoRepeatFlags();
            break;
    }
}

// ---- single I/O ----

// IN A,(n): M1 P IN, 11 T-states, 3 us.
void Z80CPU::in_n() {
    switch (step) {
        case 0: requestReadPc(); break;
        case 1: {
            const uint16_t port = uint16_t((getA() << 8) | dataLatch);
            setWZ(uint16_t(port + 1));
            requestIn(port);
            break;
        }
        default:
            setA(dataLatch);
            finish();
            break;
    }
}

// OUT (n),A: M1 P OUT, 11 T-states, 3 us.
void Z80CPU::out_n() {
    switch (step) {
        case 0: requestReadPc(); break;
        case 1: {
            const uint8_t a = getA(), n = dataLatch;
            setWZ(uint16_t((a << 8) | ((n + 1) & 0xFF)));
            requestOut(uint16_t((a << 8) | n), a);
            break;
        }
        default: finish(); break;
    }
}

// IN (C) (ED 70, flags only): M1 IN, 12 T-states with ED, 4 us.
void Z80CPU::ed_in_0() {
    if (step == 0) {
        const uint16_t bc = getBC();
        setWZ(uint16_t(bc + 1));
        requestIn(bc);
        return;
    }
    const uint8_t v = dataLatch;
    setF(uint8_t(szpTable[v] | (v & (FlagY | FlagX)) | (getF() & FlagC)));
    finish();
}

// IN r,(C): M1 IN, 12 T-states with ED, 4 us. IN (C) with the byte also kept in r.
void Z80CPU::ed_in() {
    if (step != 0) writeReg(opY, dataLatch);
    ed_in_0();
}

// OUT (C),r: M1 OUT, 12 T-states with ED, 4 us.
void Z80CPU::ed_out() {
    if (step == 0) {
        const uint16_t bc = getBC();
        setrtmp(opY);
        setWZ(uint16_t(bc + 1));
        requestOut(bc, dataLatch);
        return;
    }
    finish();
}

// OUT (C),0 (ED 71): M1 OUT, 12 T-states with ED, 4 us.
void Z80CPU::ed_out_0() {
    if (step == 0) {
        const uint16_t bc = getBC();
        setWZ(uint16_t(bc + 1));
        requestOut(bc, 0x00);
        return;
    }
    finish();
}
