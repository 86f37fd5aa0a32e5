// Loads, exchanges, stack, jumps, calls, returns, HALT and interrupt
// control, step by step with the WZ register as the Z80 keeps it.
#include "z80/z80cpu.h"

// ---- 8-bit loads ----

// LD r,r': M1, 4 T-states, 1 us.
void Z80CPU::ld_r_r() {
    writeReg(opY, readReg(opZ()));
    finish();
}

// LD r,n: M1 P, 7 T-states, 2 us.
void Z80CPU::ld_r_n() {
    if (step == 0) {
        requestReadPc();
        return;
    }
    writeReg(opY, dataLatch);
    finish();
}

// LD r,(HL): M1 R, 7 T-states, 2 us.
void Z80CPU::ld_r_hl() {
    if (step == 0) {
        requestRead(getHL());
        return;
    }
    writeReg(opY, dataLatch);
    finish();
}

// LD (HL),r: M1 W, 7 T-states, 2 us.
void Z80CPU::ld_hl_r() {
    if (step == 0) {
        setrtmp(opZ());
        requestWrite(getHL(), dataLatch);
        return;
    }
    finish();
}

// LD (HL),n: M1 P W, 10 T-states, 3 us.
void Z80CPU::ld_hl_n() {
    switch (step) {
        case 0: requestReadPc(); break;
        case 1: requestWrite(getHL(), dataLatch); break;
        default: finish(); break;
    }
}

// LD (BC),A and LD (DE),A: M1 W, 7 T-states, 2 us.
void Z80CPU::ld_bcde_a() {
    if (step == 0) {
        const uint16_t addr = getPair(opP());
        const uint8_t a = getA();
        requestWrite(addr, a);
        setWZ(uint16_t((a << 8) | ((addr + 1) & 0xFF)));
        return;
    }
    finish();
}

// LD A,(BC) and LD A,(DE): M1 R, 7 T-states, 2 us.
void Z80CPU::ld_a_bcde() {
    if (step == 0) {
        const uint16_t addr = getPair(opP());
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
bool Z80CPU::readingOperandWord() {
    if (step >= 2) return false;
    if (step == 1) setZ(dataLatch);
    requestReadPc();
    return true;
}

// LD (nn),A: M1 P P W, 13 T-states, 4 us.
void Z80CPU::ld_nn_a() {
    if (readingOperandWord()) return;
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

// LD A,(nn): M1 P P R, 13 T-states, 4 us.
void Z80CPU::ld_a_nn() {
    if (readingOperandWord()) return;
    if (step == 2) {
        setW(dataLatch);
        requestRead(getWZ());
        init_incdec_reg16(PairIncrement, PairWZ, PairOffBus, PairWZ);
        return;
    }
    setA(dataLatch);
    finish();
}

// LD r,(IX+d) and LD (IX+d),r move the real H and L, so the index mode is
// dropped once WZ holds the address.
// LD r,(IX+d): M1 P i i R i, 17 T-states with DD (Zilog: 19), 5 us.
void Z80CPU::ld_r_ixy() {
    if (readingDisplacement()) return;
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

// LD (IX+d),r: M1 P i i i W, 17 T-states with DD (Zilog: 19), 5 us.
void Z80CPU::ld_ixy_r() {
    if (readingDisplacement()) return;
    switch (step) {
        case 3: break;
        case 4:
            ixMode = iyMode = 0;
            setrtmp(opZ());
            requestWrite(getWZ(), dataLatch);
            break;
        default: finish(); break;
    }
}

// LD (IX+d),n: M1 P i i P W, 19 T-states with DD, 6 us.
void Z80CPU::ld_ixy_n() {
    if (readingDisplacement()) return;
    switch (step) {
        case 3: requestReadPc(); break;
        case 4: requestWrite(getWZ(), dataLatch); break;
        default: finish(); break;
    }
}

// ---- 16-bit loads ----

// LD rr,nn: M1 P P, 10 T-states, 3 us.
void Z80CPU::ld_rr_nn() {
    switch (step) {
        case 0: requestReadPc(); break;
        case 1:
            operand = dataLatch;
            requestReadPc();
            break;
        default:
            setPair(opP(), uint16_t((dataLatch << 8) | operand));
            finish();
            break;
    }
}

// LD (nn),rr and LD rr,(nn): the address nn into WZ, then the pair's low
// byte at WZ and its high byte at WZ + 1.
void Z80CPU::storeWordAtOperand(uint16_t value) {
    if (readingOperandWord()) return;
    switch (step) {
        case 2:
            setW(dataLatch);
            requestWrite(getWZ(), uint8_t(value));
            break;
        case 3:
            init_incdec_reg16(PairIncrement, PairWZ, PairOffBus, PairWZ);
            requestWrite(getWZ(), uint8_t(value >> 8));
            break;
        default: finish(); break;
    }
}

// True in the last step, when the word read is dataLatch (high) and
// operand (low).
bool Z80CPU::loadWordAtOperand() {
    if (readingOperandWord()) return false;
    switch (step) {
        case 2:
            setW(dataLatch);
            requestRead(getWZ());
            break;
        case 3:
            operand = dataLatch;
            init_incdec_reg16(PairIncrement, PairWZ, PairOffBus, PairWZ);
            requestRead(getWZ());
            break;
        default: finish(); return true;
    }
    return false;
}

// LD (nn),HL: M1 P P W W, 16 T-states, 5 us.
void Z80CPU::ld_nn_hl() { storeWordAtOperand(getHLx()); }

// LD HL,(nn): M1 P P R R, 16 T-states, 5 us.
void Z80CPU::ld_hl_nn() {
    if (loadWordAtOperand()) setHLx(uint16_t((dataLatch << 8) | operand));
}

// LD (nn),rr: M1 P P W W, 20 T-states with ED, 6 us.
void Z80CPU::ed_ld_nn_rr() { storeWordAtOperand(getPair(opP())); }

// LD rr,(nn): M1 P P R R, 20 T-states with ED, 6 us.
void Z80CPU::ed_ld_rr_nn() {
    if (loadWordAtOperand()) setPair(opP(), uint16_t((dataLatch << 8) | operand));
}

// LD SP,HL: M1 i i, 6 T-states, 2 us.
void Z80CPU::ld_sp_hl() {
    switch (step) {
        case 0: setSP(getHLx()); break;
        case 1: break;
        default: finish(); break;
    }
}

// LD I,A, LD R,A, LD A,I, LD A,R: M1 i, 9 T-states with ED, 3 us.
void Z80CPU::ed_ld_i_r() {
    if (step == 0) return;
    uint8_t v;
    switch (opY) {
        case 0: I = getA(); break;  // LD I,A
        case 1: R = getA(); break;  // LD R,A
        default:                    // LD A,I and LD A,R
            v = opY == 2 ? I : R;
            setA(v);
            setF(uint8_t((v & (FlagS | FlagY | FlagX)) | (v ? 0 : FlagZ) | ((iff2 && !intLine) ? FlagPV : 0) |
                         (getF() & FlagC)));
            break;
    }
    finish();
}

// ---- exchanges: flag toggles, no copying ----

// EX AF,AF': M1, 4 T-states, 1 us.
void Z80CPU::ex_af_af() {
    afSwapped = !afSwapped;
    finish();
}

// EXX exchanges WZ with WZ' too.
// EXX: M1, 4 T-states, 1 us.
void Z80CPU::exx() {
    exxSwapped = !exxSwapped;
    finish();
}

// EX DE,HL: M1, 4 T-states, 1 us.
void Z80CPU::op_ex_de_hl() {
    if (exxSwapped) deHlSwappedAlt = !deHlSwappedAlt;
    else deHlSwapped = !deHlSwapped;
    finish();
}

// EX (SP),HL: M1 R i R i W W i i, 20 T-states (Zilog: 19), 6 us.
void Z80CPU::op_ex_sp_hl() {
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

// PUSH rr: M1 i W W, 11 T-states, 4 us.
void Z80CPU::push_rr() {
    // PUSH takes AF where the other pair forms take SP.
    const int p = opP();
    const bool af = p == PairSP;
    switch (step) {
        case 0: init_incdec_reg16(PairDecrement, PairSP, PairOffBus, PairSP); break;
        case 1: {
            const uint8_t hi = af ? getA() : p == PairHL ? getH() : uint8_t(getPair(p) >> 8);
            init_incdec_reg16(PairDecrement, PairSP, PairOnBus, PairSP);
            dataLatch = hi;
            request(BusStackWrite);
            break;
        }
        case 2: {
            const uint8_t lo = af ? getF() : p == PairHL ? getL() : uint8_t(getPair(p));
            requestStackWrite(getSP(), lo);
            break;
        }
        default: finish(); break;
    }
}

// POP rr: M1 R R, 10 T-states, 3 us.
void Z80CPU::pop_rr() {
    switch (step) {
        case 0:
            init_incdec_reg16(PairIncrement, PairSP, PairOnBus, PairSP);
            request(BusStackRead);
            break;
        case 1:
            operand = dataLatch;
            init_incdec_reg16(PairIncrement, PairSP, PairOnBus, PairSP);
            request(BusStackRead);
            break;
        default:
            if (opP() == PairSP) {  // POP AF
                // POP AF does not count as a flag write for SCF/CCF.
                setA(dataLatch);
                regF() = operand;
            } else {
                setPair(opP(), uint16_t((dataLatch << 8) | operand));
            }
            finish();
            break;
    }
}

// ---- jumps ----

// JP nn: M1 P P, 10 T-states, 3 us.
void Z80CPU::jp_nn() {
    if (readingOperandWord()) return;
    setW(dataLatch);
    PC = getWZ();
    finish();
}

// JP cc,nn: M1 P P, 10 T-states, 3 us, whether it jumps or not.
void Z80CPU::jp_n() {
    if (readingOperandWord()) return;
    setW(dataLatch);
    conditionMet = condition(opY);
    if (conditionMet) PC = getWZ();
    finish();
}

// JP (HL): M1, 4 T-states, 1 us.
void Z80CPU::jp_hl() {
    PC = getHLx();
    finish();
}

// JR and DJNZ once the displacement is read: s counts the steps from the
// one that tests conditionMet.
void Z80CPU::relativeJump(int s) {
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

// JR e and JR cc,e: M1 P, then i*5 if it jumps: 12 / 7 T-states, 3 / 2 us.
void Z80CPU::jr_n() {
    if (step == 0) {
        requestReadPc();
        return;
    }
    if (step == 1)  // y = 3 is JR e; y = 4-7 JR cc,e with cc = y - 4
        conditionMet = opY == 3 || condition(opY - 4);
    relativeJump(step - 1);
}

// DJNZ e: M1 i P, then i*5 if it jumps: 13 / 8 T-states, 4 / 3 us.
void Z80CPU::djnz() {
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
void Z80CPU::pushPcAndJump(int s) {
    switch (s) {
        case 0: init_incdec_reg16(PairDecrement, PairSP, PairOffBus, PairSP); break;
        case 1:
            init_incdec_reg16(PairDecrement, PairSP, PairOnBus, PairSP);
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

// CALL nn: M1 P P i W W, 17 T-states, 5 us.
void Z80CPU::call_nn() {
    if (readingOperandWord()) return;
    if (step == 2) setW(dataLatch);
    pushPcAndJump(step - 2);
}

// CALL cc,nn: M1 P P, then i W W if cc holds: 17 / 10 T-states, 5 / 3 us.
void Z80CPU::call_n() {
    if (readingOperandWord()) return;
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

// RST p, and the IM 0 / IM 1 acknowledge: M1 i W W, 11 T-states, 4 us (13 T-states, 5 us after an acknowledge).
void Z80CPU::rst() {
    // The restart address y * 8, from the opcode itself: after an IM 1
    // acknowledge opY still holds the bits of the byte on the bus.
    if (step == 0) setWZ(uint16_t(opcode & 0x38));
    pushPcAndJump(step);
}

// RET, RET cc, RETN and RETI from the step s = 0: the return address into
// WZ, low byte first. True while the two reads run; then W is set.
bool Z80CPU::poppingWZ(int s) {
    if (s < 2) {
        if (s == 1) setZ(dataLatch);
        init_incdec_reg16(PairIncrement, PairSP, PairOnBus, PairSP);
        request(BusStackRead);
        return true;
    }
    setW(dataLatch);
    return false;
}

// RET: M1 R R, 10 T-states, 3 us.
void Z80CPU::ret() {
    if (poppingWZ(step)) return;
    PC = getWZ();
    finish();
}

// RET cc: M1 i, then R R if cc holds: 11 / 5 T-states, 4 / 2 us.
void Z80CPU::ret_n() {
    if (step == 0) {
        conditionMet = condition(opY);
        return;
    }
    if (!conditionMet) {
        finish();
        return;
    }
    if (poppingWZ(step - 1)) return;
    PC = getWZ();
    finish();
}

// RETN and RETI: M1 R R i, 15 T-states with ED (Zilog: 14), 4 us.
void Z80CPU::ed_retni() {
    if (step == 3) {
        finish();
        return;
    }
    if (poppingWZ(step)) return;
    PC = getWZ();
    iff1 = iff2;
}

// ---- HALT and interrupt control ----

// HALT: M1, 4 T-states, 1 us, again and again.
void Z80CPU::op_halt() {
    // Refetch the HALT until an interrupt is accepted; acceptance steps PC on.
    halt = 1;
    --PC;
    finish();
}

// DI and EI: M1, 4 T-states, 1 us.
void Z80CPU::op_diei() {
    const bool ei = opQ();  // F3 DI, FB EI
    iff1 = iff2 = eiPending = ei;
    finish();
}

// IM 0/1/2: M1, 8 T-states with ED, 2 us.
void Z80CPU::ed_im() {
    // y = 0, 1, 4, 5 IM 0; 2, 6 IM 1; 3, 7 IM 2.
    interruptMode = (opY & 2) ? uint8_t(1 + (opY & 1)) : 0;
    finish();
}

// The IM 2 acknowledge: i W W P P after its six T-states, 19 T-states in all, 7 us.
void Z80CPU::im_2() {
    // PC goes onto the stack as for a CALL; the table read takes the jump's place.
    if (step < 3) {
        pushPcAndJump(step);
        return;
    }
    switch (step) {
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
