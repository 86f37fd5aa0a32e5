// Block transfer, compare, input and output instructions and the single
// I/O instructions. A repeating form is one instruction per iteration that
// moves PC back onto its ED byte, so interrupts are taken in between.
#include "z80/z80cpu.h"

namespace {
// Bit 0 of opY: 0 steps HL/DE up, 1 steps them down.
inline int blockDirection(uint8_t opY) { return opY & 1; }
} // namespace

// ---- LDI / LDD / LDIR / LDDR ----

void Z80CPU::ed_lddi()
{
    const int dir = blockDirection(opY);
    switch (step) {
    case 0:
        init_incdec_reg16(dir, 2, 1, 2);
        request(BusRead);
        break;
    case 1:
        init_incdec_reg16(dir, 1, 1, 1);
        request(BusWrite);
        break;
    case 2: {
        init_incdec_reg16(1, 0, 0, 0);
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
void Z80CPU::repeatUnless(int n, bool last)
{
    if (step == n) {
        if (last)
            finish();
        return;
    }
    repeatTail(n + 1);
}

void Z80CPU::ed_lddri()
{
    if (step < 4)
        ed_lddi();
    else
        repeatUnless(4, getBC() == 0);
}

// ---- CPI / CPD / CPIR / CPDR ----

void Z80CPU::ed_cpdi()
{
    const int dir = blockDirection(opY);
    switch (step) {
    case 0:
        init_incdec_reg16(dir, 2, 1, 2);
        request(BusRead);
        break;
    case 1: init_incdec_reg16(1, 0, 0, 0); break;
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
        init_incdec_reg16(dir, 4, 0, 4);
        finish();
        break;
    }
}

void Z80CPU::ed_cpdir()
{
    if (step < 5) {
        ed_cpdi();
        return;
    }
    if (step == 5) {
        init_incdec_reg16(blockDirection(opY), 4, 0, 4);
        if (getBC() == 0 || (getF() & FlagZ))
            finish();
        return;
    }
    if (step == 6)
        return;
    repeatTail(7);
}

// ---- INI / IND / INIR / INDR ----

void Z80CPU::ed_indi()
{
    const int dir = blockDirection(opY);
    switch (step) {
    case 0: {
        const uint16_t bc = getBC();
        setWZ(uint16_t(dir ? bc - 1 : bc + 1));
        requestIn(bc);
        break;
    }
    case 1: {
        const uint8_t b = uint8_t(regB() - 1), v = dataLatch;
        regB() = b;
        blockIoFlags(v, v + ((regC() + (dir ? -1 : 1)) & 0xFF), b);
        break;
    }
    case 2:
        init_incdec_reg16(dir, 2, 1, 2);
        request(BusWrite);
        break;
    default: finish(); break;
    }
}

void Z80CPU::ed_indir()
{
    if (step < 3) {
        ed_indi();
        return;
    }
    repeatUnless(3, getF() & FlagZ);
    if (step == 4)
        blockIoRepeatFlags();
}

// ---- OUTI / OUTD / OTIR / OTDR ----

void Z80CPU::ed_outdi()
{
    const int dir = blockDirection(opY);
    switch (step) {
    case 0:
        init_incdec_reg16(dir, 2, 1, 2);
        request(BusRead);
        break;
    case 1: blockIoFlags(dataLatch, dataLatch + regL(), uint8_t(regB() - 1)); break;
    case 2: {
        --regB();
        const uint16_t bc = getBC();
        setWZ(uint16_t(dir ? bc - 1 : bc + 1));
        requestOut(bc, dataLatch);
        break;
    }
    default: finish(); break;
    }
}

void Z80CPU::ed_otdir()
{
    const int dir = blockDirection(opY);
    switch (step) {
    case 0: break;
    case 1:
        --regB();
        init_incdec_reg16(dir, 2, 1, 2);
        request(BusRead);
        break;
    case 2: {
        // The flags need the byte, so they are set once it has been read.
        blockIoFlags(dataLatch, dataLatch + regL(), regB());
        const uint16_t bc = getBC();
        setWZ(uint16_t(dir ? bc - 1 : bc + 1));
        requestOut(bc, dataLatch);
        break;
    }
    case 3:
        if (getF() & FlagZ)
            finish();
        break;
    default:
        repeatTail(4);
        if (step == 4)
            blockIoRepeatFlags();
        break;
    }
}

// ---- single I/O ----

void Z80CPU::in_n()
{
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

void Z80CPU::out_n()
{
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

void Z80CPU::ed_in()
{
    if (step == 0) {
        const uint16_t bc = getBC();
        setWZ(uint16_t(bc + 1));
        requestIn(bc);
        return;
    }
    const uint8_t v = dataLatch;
    writeReg(opY, v);
    setF(uint8_t(szpTable[v] | (v & (FlagY | FlagX)) | (getF() & FlagC)));
    finish();
}

void Z80CPU::ed_in_0()
{
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

void Z80CPU::ed_out()
{
    if (step == 0) {
        const uint16_t bc = getBC();
        setrtmp(opY);
        setWZ(uint16_t(bc + 1));
        requestOut(bc, dataLatch);
        return;
    }
    finish();
}

void Z80CPU::ed_out_0()
{
    if (step == 0) {
        const uint16_t bc = getBC();
        setWZ(uint16_t(bc + 1));
        requestOut(bc, 0x00);
        return;
    }
    finish();
}
