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

void Z80CPU::ld_nn_a()
{
    switch (step) {
    case 0: requestReadPc(); break;
    case 1:
        setZ(dataLatch);
        requestReadPc();
        break;
    case 2: {
        setW(dataLatch);
        const uint16_t nn = getWZ();
        const uint8_t a = getA();
        requestWrite(nn, a);
        setWZ(uint16_t((a << 8) | ((nn + 1) & 0xFF)));
        break;
    }
    default: finish(); break;
    }
}

void Z80CPU::ld_a_nn()
{
    switch (step) {
    case 0: requestReadPc(); break;
    case 1:
        setZ(dataLatch);
        requestReadPc();
        break;
    case 2:
        setW(dataLatch);
        requestRead(getWZ());
        init_incdec_reg16(0, 4, 0, 4);
        break;
    default:
        setA(dataLatch);
        finish();
        break;
    }
}

// LD r,(IX+d) and LD (IX+d),r move the real H and L, so the index mode is
// dropped once WZ holds the address.
void Z80CPU::ld_r_ixy()
{
    switch (step) {
    case 0: requestReadPc(); break;
    case 1: displacementLow(getIndex()); break;
    case 2: displacementHigh(getIndex()); break;
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
    switch (step) {
    case 0: requestReadPc(); break;
    case 1: displacementLow(getIndex()); break;
    case 2: displacementHigh(getIndex()); break;
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
    switch (step) {
    case 0: requestReadPc(); break;
    case 1: displacementLow(getIndex()); break;
    case 2: displacementHigh(getIndex()); break;
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

void Z80CPU::ld_nn_hl()
{
    switch (step) {
    case 0: requestReadPc(); break;
    case 1:
        setZ(dataLatch);
        requestReadPc();
        break;
    case 2:
        setW(dataLatch);
        requestWrite(getWZ(), getL());
        break;
    case 3:
        init_incdec_reg16(0, 4, 0, 4);
        requestWrite(getWZ(), getH());
        break;
    default: finish(); break;
    }
}

void Z80CPU::ld_hl_nn()
{
    switch (step) {
    case 0: requestReadPc(); break;
    case 1:
        setZ(dataLatch);
        requestReadPc();
        break;
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
        setHLx(uint16_t((dataLatch << 8) | operand));
        finish();
        break;
    }
}

void Z80CPU::ed_ld_nn_rr()
{
    switch (step) {
    case 0: requestReadPc(); break;
    case 1:
        setZ(dataLatch);
        requestReadPc();
        break;
    case 2:
        setW(dataLatch);
        requestWrite(getWZ(), uint8_t(getPair(opY >> 1)));
        break;
    case 3:
        init_incdec_reg16(0, 4, 0, 4);
        requestWrite(getWZ(), uint8_t(getPair(opY >> 1) >> 8));
        break;
    default: finish(); break;
    }
}

void Z80CPU::ed_ld_rr_nn()
{
    switch (step) {
    case 0: requestReadPc(); break;
    case 1:
        setZ(dataLatch);
        requestReadPc();
        break;
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
        setPair(opY >> 1, uint16_t((dataLatch << 8) | operand));
        finish();
        break;
    }
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
    switch (step) {
    case 0: requestReadPc(); break;
    case 1:
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

void Z80CPU::jp_n()
{
    switch (step) {
    case 0: requestReadPc(); break;
    case 1:
        setZ(dataLatch);
        requestReadPc();
        break;
    default:
        setW(dataLatch);
        conditionMet = condition(opY);
        if (conditionMet)
            PC = getWZ();
        finish();
        break;
    }
}

void Z80CPU::jp_hl()
{
    PC = getHLx();
    finish();
}

void Z80CPU::jr_n()
{
    switch (step) {
    case 0: requestReadPc(); break;
    case 1:
        conditionMet = opY == 3 || condition(opY - 4);
        if (!conditionMet) {
            finish();
            break;
        }
        setWZ(PC);
        displacementLow(PC);
        break;
    case 2: displacementHigh(PC); break;
    case 3:
    case 4:
    case 5: break;
    default:
        PC = getWZ();
        finish();
        break;
    }
}

void Z80CPU::djnz()
{
    switch (step) {
    case 0: --regB(); break;
    case 1: requestReadPc(); break;
    case 2:
        conditionMet = regB() != 0;
        if (!conditionMet) {
            finish();
            break;
        }
        setWZ(PC);
        displacementLow(PC);
        break;
    case 3: displacementHigh(PC); break;
    case 4:
    case 5:
    case 6: break;
    default:
        PC = getWZ();
        finish();
        break;
    }
}

// ---- calls and returns ----

void Z80CPU::call_nn()
{
    switch (step) {
    case 0: requestReadPc(); break;
    case 1:
        setZ(dataLatch);
        requestReadPc();
        break;
    case 2:
        setW(dataLatch);
        init_incdec_reg16(1, 3, 0, 3);
        break;
    case 3:
        init_incdec_reg16(1, 3, 1, 3);
        dataLatch = uint8_t(PC >> 8);
        request(BusStackWrite);
        break;
    case 4: requestStackWrite(getSP(), uint8_t(PC)); break;
    default:
        PC = getWZ();
        finish();
        break;
    }
}

void Z80CPU::call_n()
{
    switch (step) {
    case 0: requestReadPc(); break;
    case 1:
        setZ(dataLatch);
        requestReadPc();
        break;
    case 2:
        setW(dataLatch);
        conditionMet = condition(opY);
        if (!conditionMet) {
            finish();
            break;
        }
        init_incdec_reg16(1, 3, 0, 3);
        break;
    case 3:
        init_incdec_reg16(1, 3, 1, 3);
        dataLatch = uint8_t(PC >> 8);
        request(BusStackWrite);
        break;
    case 4: requestStackWrite(getSP(), uint8_t(PC)); break;
    default:
        PC = getWZ();
        finish();
        break;
    }
}

void Z80CPU::rst()
{
    switch (step) {
    case 0:
        setWZ(uint16_t(opcode & 0x38));
        init_incdec_reg16(1, 3, 0, 3);
        break;
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

void Z80CPU::ret()
{
    switch (step) {
    case 0:
        init_incdec_reg16(0, 3, 1, 3);
        request(BusStackRead);
        break;
    case 1:
        setZ(dataLatch);
        init_incdec_reg16(0, 3, 1, 3);
        request(BusStackRead);
        break;
    default:
        setW(dataLatch);
        PC = getWZ();
        finish();
        break;
    }
}

void Z80CPU::ret_n()
{
    switch (step) {
    case 0: conditionMet = condition(opY); break;
    case 1:
        if (!conditionMet) {
            finish();
            break;
        }
        init_incdec_reg16(0, 3, 1, 3);
        request(BusStackRead);
        break;
    case 2:
        setZ(dataLatch);
        init_incdec_reg16(0, 3, 1, 3);
        request(BusStackRead);
        break;
    default:
        setW(dataLatch);
        PC = getWZ();
        finish();
        break;
    }
}

void Z80CPU::ed_retni()
{
    switch (step) {
    case 0:
        init_incdec_reg16(0, 3, 1, 3);
        request(BusStackRead);
        break;
    case 1:
        setZ(dataLatch);
        init_incdec_reg16(0, 3, 1, 3);
        request(BusStackRead);
        break;
    case 2:
        setW(dataLatch);
        PC = getWZ();
        iff1 = iff2;
        break;
    default: finish(); break;
    }
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
