// Reset, interrupt acceptance, the register routines and the view of the
// bank not in use. The T-state engine itself is inline in z80cpu.h.
#include "z80/z80cpu.h"

Z80CPU::Z80CPU() { reset(); }

void Z80CPU::reset() {
    buildTables();

    m1 = mreq = iorq = rd = wr = rfsh = halt = wait = intLine = 0;
    addressBus = 0;
    dataBus = 0;
    PC = 0;
    step = 0;
    busRequest = BusNone;
    opcode = 0;
    prefix = PrefixNone;
    afSwapped = deHlSwapped = deHlSwappedAlt = exxSwapped = 0;
    ixMode = iyMode = 0;
    interruptMode = 0;
    eiPending = iff1 = iff2 = 0;
    R = 0;
    flagsTouchedPrev = 0;
    executing = 0;
    intAckPending = 0;
    fetching = 1;
    phase = PhFetchT1;
    handler = mainTable[0];
}

// The M1 of an interrupt acknowledge: IM 0 executes the byte on the bus,
// IM 1 and IM 2 run their own sequences.
void Z80CPU::decodeAcknowledge() {
    intAckPending = 0;
    flagsTouchedPrev = 0;
    if (interruptMode == 0) {
        handler = mainTable[opcode];
        return;
    }
    opcode = 0xFF;  // RST 38h
    handler = interruptMode == 1 ? &entry<&Z80CPU::rst> : &entry<&Z80CPU::im_2>;
}

void Z80CPU::acceptInterrupt() {
    iff1 = 0;
    iff2 = 0;
    intAckPending = 1;
    if (halt) {
        halt = 0;
        ++PC;
    }
}

void Z80CPU::setrtmp(int r) {
    if (r != RegMemory) dataLatch = readReg(r);
}

void Z80CPU::setreg8b(int r, uint8_t v) {
    if (r != RegMemory) writeReg(r, v);
}

// The bank not in use, with its own DE/HL exchange state.
uint16_t Z80CPU::getAltAF() const { return afSwapped ? uint16_t((A << 8) | F) : uint16_t((A_ << 8) | F_); }

uint16_t Z80CPU::getAltBC() const { return exxSwapped ? uint16_t((B << 8) | C) : uint16_t((B_ << 8) | C_); }

uint16_t Z80CPU::getAltDE() const {
    if (exxSwapped) return deHlSwapped ? uint16_t((H << 8) | L) : uint16_t((D << 8) | E);
    return deHlSwappedAlt ? uint16_t((H_ << 8) | L_) : uint16_t((D_ << 8) | E_);
}

uint16_t Z80CPU::getAltHL() const {
    if (exxSwapped) return deHlSwapped ? uint16_t((D << 8) | E) : uint16_t((H << 8) | L);
    return deHlSwappedAlt ? uint16_t((D_ << 8) | E_) : uint16_t((H_ << 8) | L_);
}

bool Z80CPU::readingDisplacement() {
    switch (step) {
        case 0: requestReadPc(); return true;
        case 1: displacementLow(getIndex()); return true;
        case 2: displacementHigh(getIndex()); return true;
        default: return false;
    }
}

void Z80CPU::displacementLow(uint16_t base) {
    operand = dataLatch;
    pairTemp = uint16_t((base & 0xFF) + dataLatch);
    setZ(uint8_t(pairTemp));
}

void Z80CPU::displacementHigh(uint16_t base) {
    uint8_t adjust = (operand & 0x80) ? 0xFF : 0x00;
    setW(uint8_t((base >> 8) + (pairTemp >> 8) + adjust));
}

void Z80CPU::repeatTail(int a) {
    int s = step - a;
    if (s == 0) setWZ(uint16_t(PC - 1));
    else if (s == 2) {
        PC = uint16_t(getWZ() - 1);
        // An iteration that repeats shows bits 13 and 11 of its own address in Y and X.
        setF(uint8_t((getF() & ~(FlagY | FlagX)) | ((PC >> 8) & (FlagY | FlagX))));
    } else if (s == 4) finish();
}
