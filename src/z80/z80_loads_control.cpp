// Loads, exchanges, stack, jumps, calls, returns, HALT and interrupt
// control, step by step with the WZ register as the Z80 keeps it.
#include "z80/z80cpu.h"

// ---- 8-bit loads ----

void Z80CPU::ld_r_r()
{
    writeReg(opY, readReg(opcode & 7));
    finish();
}

void Z80CPU::ld_r_n()
{
    if (step == 0) {
        requestReadPc();
        return;
    }
    writeReg(opY, dataLatch);
    finish();
}

void Z80CPU::ld_r_hl()
{
    if (step == 0) {
        requestRead(getHL());
        return;
    }
    writeReg(opY, dataLatch);
    finish();
}

void Z80CPU::ld_hl_r()
{
    if (step == 0) {
        setrtmp(opcode & 7);
        requestWrite(getHL(), dataLatch);
        return;
    }
    finish();
}

void Z80CPU::ld_hl_n()
{
    switch (step) {
    case 0: requestReadPc(); break;
    case 1: requestWrite(getHL(), dataLatch); break;
    default: finish(); break;
    }
}

void Z80CPU::ld_bcde_a()
{
    if (step == 0) {
        const uint16_t addr = getPair(opY >> 1);
        const uint8_t a = getA();
        requestWrite(addr, a);
        setWZ(uint16_t((a << 8) | ((addr + 1) & 0xFF)));
        return;
    }
    finish();
}

void Z80CPU::ld_a_bcde()
{
    if (step == 0) {
        const uint16_t addr = getPair(opY >> 1);
        requestRead(addr);
        setWZ(uint16_t(addr + 1));
        return;
    }
    setA(dataLatch);
    finish();
}

// Steps 0 and 1 of the instructions with a 16-bit operand: its low byte
// into Z, then the read of its high byte. True while they run; from step 2
// on the high byte is in dataLatch.
bool Z80CPU::readingOperandWord()
{
    if (step >= 2)
        return false;
    if (step == 1)
        setZ(dataLatch);
    requestReadPc();
    return true;
}

void Z80CPU::ld_nn_a()
{
    if (readingOperandWord())
        return;
    if (step == 2) {
        setW(dataLatch);
        const uint16_t nn = getWZ();
        const uint8_t a = getA();
        requestWrite(nn, a);
        setWZ(uint16_t((a << 8) | ((nn + 1) & 0xFF)));
        return;
    }
    finish();
}

void Z80CPU::ld_a_nn()
{
    if (readingOperandWord())
        return;
    if (step == 2) {
        setW(dataLatch);
        requestRead(getWZ());
        init_incdec_reg16(0, 4, 0, 4);
        return;
    }
    setA(dataLatch);
    finish();
}

// LD r,(IX+d) and LD (IX+d),r move the real H and L, so the index mode is
// dropped once WZ holds the address.
void Z80CPU::ld_r_ixy()
{
    if (readingDisplacement())
        return;
    switch (step) {
    case 3: requestRead(getWZ()); break;
    case 4: break;
    default:
        ixMode = iyMode = 0;
        setreg8b(opY, dataLatch);
        finish();
        break;
    }
}

void Z80CPU::ld_ixy_r()
{
    if (readingDisplacement())
        return;
    switch (step) {
    case 3: break;
    case 4:
        ixMode = iyMode = 0;
        setrtmp(opcode & 7);
        requestWrite(getWZ(), dataLatch);
        break;
    default: finish(); break;
    }
}

void Z80CPU::ld_ixy_n()
{
    if (readingDisplacement())
        return;
    switch (step) {
    case 3: requestReadPc(); break;
    case 4: requestWrite(getWZ(), dataLatch); break;
    default: finish(); break;
    }
}

// ---- 16-bit loads ----

void Z80CPU::ld_rr_nn()
{
    switch (step) {
    case 0: requestReadPc(); break;
    case 1:
        operand = dataLatch;
        requestReadPc();
        break;
    default:
        setPair(opY >> 1, uint16_t((dataLatch << 8) | operand));
        finish();
        break;
    }
}

// LD (nn),rr and LD rr,(nn): the address nn into WZ, then the pair's low
// byte at WZ and its high byte at WZ + 1.
void Z80CPU::storeWordAtOperand(uint16_t value)
{
    if (readingOperandWord())
        return;
    switch (step) {
    case 2:
        setW(dataLatch);
        requestWrite(getWZ(), uint8_t(value));
        break;
    case 3:
        init_incdec_reg16(0, 4, 0, 4);
        requestWrite(getWZ(), uint8_t(value >> 8));
        break;
    default: finish(); break;
    }
}

// True in the last step, when the word read is dataLatch (high) and
// operand (low).
bool Z80CPU::loadWordAtOperand()
{
    if (readingOperandWord())
        return false;
    switch (step) {
    case 2:
        setW(dataLatch);
        requestRead(getWZ());
        break;
    case 3:
        operand = dataLatch;
        init_incdec_reg16(0, 4, 0, 4);
        requestRead(getWZ());
        break;
    default:
        finish();
        return true;
    }
    return false;
}

void Z80CPU::ld_nn_hl()
{
    storeWordAtOperand(getHLx());
}

void Z80CPU::ld_hl_nn()
{
    if (loadWordAtOperand())
        setHLx(uint16_t((dataLatch << 8) | operand));
}

void Z80CPU::ed_ld_nn_rr()
{
    storeWordAtOperand(getPair(opY >> 1));
}

void Z80CPU::ed_ld_rr_nn()
{
    if (loadWordAtOperand())
        setPair(opY >> 1, uint16_t((dataLatch << 8) | operand));
}

void Z80CPU::ld_sp_hl()
{
    switch (step) {
    case 0: setSP(getHLx()); break;
    case 1: break;
    default: finish(); break;
    }
}

void Z80CPU::ed_ld_i_r()
{
    if (step == 0)
        return;
    uint8_t v;
    switch (opY) {
    case 0: I = getA(); break;
    case 1: R = getA(); break;
    default:
        v = opY == 2 ? I : R;
        setA(v);
        setF(uint8_t((v & (FlagS | FlagY | FlagX)) | (v ? 0 : FlagZ) | ((iff2 && !intLine) ? FlagPV : 0) |
                     (getF() & FlagC)));
        break;
    }
    finish();
}

// ---- exchanges: flag toggles and slot repointing, no copying ----

void Z80CPU::ex_af_af()
{
    afSwapped = !afSwapped;
    if (afSwapped) {
        readA = &Z80CPU::get_a_;
        writeA = &Z80CPU::set_a_;
        readF = &Z80CPU::get_f_;
    } else {
        readA = &Z80CPU::get_a;
        writeA = &Z80CPU::set_a;
        readF = &Z80CPU::get_f;
    }
    finish();
}

void Z80CPU::exx()
{
    exxSwapped = !exxSwapped;
    if (exxSwapped) {
        readW = &Z80CPU::get_w_;
        writeW = &Z80CPU::set_w_;
        readZ = &Z80CPU::get_z_;
        writeZ = &Z80CPU::set_z_;
    } else {
        readW = &Z80CPU::get_w;
        writeW = &Z80CPU::set_w;
        readZ = &Z80CPU::get_z;
        writeZ = &Z80CPU::set_z;
    }
    finish();
}

void Z80CPU::op_ex_de_hl()
{
    if (exxSwapped)
        deHlSwappedAlt = !deHlSwappedAlt;
    else
        deHlSwapped = !deHlSwapped;
    finish();
}

void Z80CPU::op_ex_sp_hl()
{
    switch (step) {
    case 0: requestStackRead(getSP()); break;
    case 1: setZ(dataLatch); break;
    case 2: requestStackRead(uint16_t(getSP() + 1)); break;
    case 3: setW(dataLatch); break;
    case 4: requestStackWrite(uint16_t(getSP() + 1), getH()); break;
    case 5: requestStackWrite(getSP(), getL()); break;
    case 6:
    case 7: break;
    default:
        setHLx(getWZ());
        finish();
        break;
    }
}

// ---- stack ----

void Z80CPU::push_rr()
{
    const int p = opY >> 1;
    switch (step) {
    case 0: init_incdec_reg16(1, 3, 0, 3); break;
    case 1: {
        const uint8_t hi = p == 3 ? getA() : p == 2 ? getH() : uint8_t(getPair(p) >> 8);
        init_incdec_reg16(1, 3, 1, 3);
        dataLatch = hi;
        request(BusStackWrite);
        break;
    }
    case 2: {
        const uint8_t lo = p == 3 ? getF() : p == 2 ? getL() : uint8_t(getPair(p));
        requestStackWrite(getSP(), lo);
        break;
    }
    default: finish(); break;
    }
}

void Z80CPU::pop_rr()
{
    switch (step) {
    case 0:
        init_incdec_reg16(0, 3, 1, 3);
        request(BusStackRead);
        break;
    case 1:
        operand = dataLatch;
        init_incdec_reg16(0, 3, 1, 3);
        request(BusStackRead);
        break;
    default:
        if ((opY >> 1) == 3) {
            // POP AF does not count as a flag write for SCF/CCF.
            setA(dataLatch);
            regF() = operand;
        } else {
            setPair(opY >> 1, uint16_t((dataLatch << 8) | operand));
        }
        finish();
        break;
    }
}

// ---- jumps ----

void Z80CPU::jp_nn()
{
    if (readingOperandWord())
        return;
    setW(dataLatch);
    PC = getWZ();
    finish();
}

void Z80CPU::jp_n()
{
    if (readingOperandWord())
        return;
    setW(dataLatch);
    conditionMet = condition(opY);
    if (conditionMet)
        PC = getWZ();
    finish();
}

void Z80CPU::jp_hl()
{
    PC = getHLx();
    finish();
}

// JR and DJNZ once the displacement is read: s counts the steps from the
// one that tests conditionMet.
void Z80CPU::relativeJump(int s)
{
    switch (s) {
    case 0:
        if (!conditionMet) {
            finish();
            break;
        }
        setWZ(PC);
        displacementLow(PC);
        break;
    case 1: displacementHigh(PC); break;
    case 2:
    case 3:
    case 4: break;
    default:
        PC = getWZ();
        finish();
        break;
    }
}

void Z80CPU::jr_n()
{
    if (step == 0) {
        requestReadPc();
        return;
    }
    if (step == 1)
        conditionMet = opY == 3 || condition(opY - 4);
    relativeJump(step - 1);
}

void Z80CPU::djnz()
{
    switch (step) {
    case 0: --regB(); return;
    case 1: requestReadPc(); return;
    case 2: conditionMet = regB() != 0; break;
    }
    relativeJump(step - 2);
}

// ---- calls and returns ----

// CALL, CALL cc and RST from the step s = 0 after WZ holds the target:
// PC goes onto the stack, high byte first, then WZ into PC.
void Z80CPU::pushPcAndJump(int s)
{
    switch (s) {
    case 0: init_incdec_reg16(1, 3, 0, 3); break;
    case 1:
        init_incdec_reg16(1, 3, 1, 3);
        dataLatch = uint8_t(PC >> 8);
        request(BusStackWrite);
        break;
    case 2: requestStackWrite(getSP(), uint8_t(PC)); break;
    default:
        PC = getWZ();
        finish();
        break;
    }
}

void Z80CPU::call_nn()
{
    if (readingOperandWord())
        return;
    if (step == 2)
        setW(dataLatch);
    pushPcAndJump(step - 2);
}

void Z80CPU::call_n()
{
    if (readingOperandWord())
        return;
    if (step == 2) {
        setW(dataLatch);
        conditionMet = condition(opY);
        if (!conditionMet) {
            finish();
            return;
        }
    }
    pushPcAndJump(step - 2);
}

void Z80CPU::rst()
{
    if (step == 0)
        setWZ(uint16_t(opcode & 0x38));
    pushPcAndJump(step);
}

// RET, RET cc, RETN and RETI from the step s = 0: the return address into
// WZ, low byte first. True while the two reads run; then W is set.
bool Z80CPU::poppingWZ(int s)
{
    if (s < 2) {
        if (s == 1)
            setZ(dataLatch);
        init_incdec_reg16(0, 3, 1, 3);
        request(BusStackRead);
        return true;
    }
    setW(dataLatch);
    return false;
}

void Z80CPU::ret()
{
    if (poppingWZ(step))
        return;
    PC = getWZ();
    finish();
}

void Z80CPU::ret_n()
{
    if (step == 0) {
        conditionMet = condition(opY);
        return;
    }
    if (!conditionMet) {
        finish();
        return;
    }
    if (poppingWZ(step - 1))
        return;
    PC = getWZ();
    finish();
}

void Z80CPU::ed_retni()
{
    if (step == 3) {
        finish();
        return;
    }
    if (poppingWZ(step))
        return;
    PC = getWZ();
    iff1 = iff2;
}

// ---- HALT and interrupt control ----

void Z80CPU::op_halt()
{
    // Refetch the HALT until an interrupt is accepted; acceptance steps PC on.
    halt = 1;
    --PC;
    finish();
}

void Z80CPU::op_diei()
{
    const bool ei = opY & 1;
    iff1 = iff2 = eiPending = ei;
    finish();
}

void Z80CPU::ed_im()
{
    interruptMode = (opY & 2) ? uint8_t(1 + (opY & 1)) : 0;
    finish();
}

void Z80CPU::im_2()
{
    switch (step) {
    case 0: init_incdec_reg16(1, 3, 0, 3); break;
    case 1:
        init_incdec_reg16(1, 3, 1, 3);
        dataLatch = uint8_t(PC >> 8);
        request(BusStackWrite);
        break;
    case 2: requestStackWrite(getSP(), uint8_t(PC)); break;
    case 3:
        PC = uint16_t((I << 8) | intVector);
        requestReadPc();
        break;
    case 4:
        setZ(dataLatch);
        requestReadPc();
        break;
    default:
        setW(dataLatch);
        PC = getWZ();
        finish();
        break;
    }
}
