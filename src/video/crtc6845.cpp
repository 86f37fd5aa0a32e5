// CRTC lifecycle, type selection, register file and the port side of each type.
#include "video/crtc6845.h"

#include "machine/cpu.h"

namespace {

const crtc6845::Routine kEnableRoutines[5] = {
    &crtc6845::enable_crtc0, &crtc6845::enable_crtc1, &crtc6845::enable_crtc2,
    &crtc6845::enable_crtc3, &crtc6845::enable_crtc4,
};
const crtc6845::Routine kClockRoutines[5] = {
    &crtc6845::clock_crtc0, &crtc6845::clock_crtc1, &crtc6845::clock_crtc2,
    &crtc6845::clock_crtc3, &crtc6845::clock_crtc4,
};

// Types 1 and 2 have a fixed 16-line VSYNC: their counter runs until it wraps.
bool hasProgrammableVsync(uint8_t type) { return type == 0 || type == 3 || type == 4; }

}  // namespace

void crtc6845::reset() {
    // The Plus wiring belongs to the ASIC and survives a CRTC reset.
    auto selectHook = plusSelectWrite;
    auto lineHook = plusLineStart;
    *this = crtc6845();
    plusSelectWrite = selectHook;
    plusLineStart = lineHook;
    hdisp = true;
    vdisp = true;
    enableRoutine = kEnableRoutines[0];
    clockRoutine = kClockRoutines[0];
    type = 0;
}

void crtc6845::setType(uint8_t t) {
    if (t > 4) return;
    quietChars = 0;
    type = t;
    enableRoutine = kEnableRoutines[t];
    clockRoutine = kClockRoutines[t];
    // Re-derive what the type decodes differently from the stored registers, so a
    // change on a running machine (or after a snapshot load) stays coherent.
    decodeHalfLine();
    decodeSyncWidths();
    skew = skewCounter = (R8 >> 4) & 3;
    decodeInterlace();
}

void crtc6845::decodeHalfLine() {
    R0half = type == 2 ? static_cast<uint8_t>(R0 >> 1) : static_cast<uint8_t>((R0 + 1) >> 1);
}

void crtc6845::decodeSyncWidths() {
    hsyncWidth = R3 & 15;
    vsyncWidth = hasProgrammableVsync(type) ? static_cast<uint8_t>(R3 >> 4) : 0;
}

void crtc6845::decodeInterlace() {
    interlace = R8 & 1;
    interlaceVideo = interlace ? (R8 >> 1) & 1 : 0;
}

void crtc6845::LighPenStrobe() {
    lpenStrobe = true;
    R16 = static_cast<uint8_t>(MA >> 8);
    R17 = static_cast<uint8_t>(MA & 0xFF);
}

// ---- register file ------------------------------------------------------------

void crtc6845::storeRegister(uint8_t reg, uint8_t data) {
    quietChars = 0;
    switch (reg) {
        case 0:
            R0 = data;
            decodeHalfLine();
            break;
        case 1: R1 = data; break;
        case 2: R2 = data; break;
        case 3:
            R3 = data;
            decodeSyncWidths();
            break;
        case 4: R4 = data & 0x7F; break;
        case 5: R5 = data & 0x1F; break;
        case 6: R6 = data & 0x7F; break;
        case 7: R7 = data & 0x7F; break;
        case 8:
            R8 = data;
            decodeInterlace();
            if (type != 1) skew = skewCounter = (data >> 4) & 3;  // type 1 has no skew
            break;
        case 9: R9 = data & 0x1F; break;
        case 10: R10 = data & 0x7F; break;
        case 11: R11 = data & 0x1F; break;
        case 12: R12 = data & 0x3F; break;
        case 13: R13 = data; break;
        case 14: R14 = data & 0x3F; break;
        case 15: R15 = data; break;
        default: break;  // R16 and up are read-only or absent
    }
}

uint8_t crtc6845::readLightPen(uint8_t reg, bool clearRegister) {
    uint8_t& r = reg == 16 ? R16 : R17;
    uint8_t value = r;
    if (clearRegister) r = 0;
    lpenStrobe = false;
    return value;
}

uint8_t crtc6845::status1() const {
    uint8_t s = 0;
    if (C3h == vsyncWidth) s |= 0x20;
    if (C3l != hsyncWidth) s |= 0x10;
    if (C0 != R2) s |= 0x08;
    if (C0 != R1) s |= 0x04;
    if (C0 != R0half) s |= 0x02;
    if (C0 == R0) s |= 0x01;
    return s;
}

uint8_t crtc6845::status2() const {
    uint8_t s = 0;
    if (C9 == 0) s |= 0x80;
    if (C9 != R9) s |= 0x20;
    return s;
}

void crtc6845::selectRegister(uint8_t data) {
    selectedReg = data & 31;
    if (type == 3 && plusSelectWrite) plusSelectWrite(data);
}

// R9 in interlace: an odd value written on the first raster is made even (or odd)
// by the video bit, and the raster counter restarts on the row's first line.
static void applyInterlacedR9(crtc6845& c) {
    if (!c.interlace) return;
    if (c.C9 == 0 && (c.R9 & 1)) c.R9 ^= c.interlaceVideo;
    c.C9 = c.R9 & c.interlaceVideo;
}

// ---- writes per type -----------------------------------------------------------

// Types 0 and 1 start a sync at once when its position is written as the current one.
void crtc6845::syncOnPositionWrite(uint8_t reg) {
    if (reg == 2) {
        if (R2 == C0) hsync = true;
    } else if (reg == 7) {
        if (!vsync && R7 == C4) {
            vsync = true;
            C3h = 0;
        }
    }
}

void crtc6845::writeRegisterType0(uint8_t data) {
    uint8_t reg = selectedReg;
    if (reg > 15) return;
    storeRegister(reg, data);
    syncOnPositionWrite(reg);
    if (reg == 9) applyInterlacedR9(*this);
}

void crtc6845::writeRegisterType1(uint8_t data) {
    uint8_t reg = selectedReg;
    if (reg > 15) return;
    uint8_t oldR6 = R6;
    storeRegister(reg, data);
    syncOnPositionWrite(reg);
    switch (reg) {
        case 4:
            if (!lastLine && R4 == 0 && R9 == 0 && C4 != 0) {
                inAdjust = true;
                C5 = 0;
            }
            break;
        case 6:
            if (oldR6 == 0) vdisp = true;
            if (R6 == 0) vdisp = false;
            else if (R6 == 1 || R6 == 127) vdisp = true;
            break;
        case 8: applyInterlacedR9(*this); break;
        case 9:
            applyInterlacedR9(*this);
            if (R9 == 0 && R4 == 0) C9 = 0;
            if (C0 == R0 && lastLine) endRowType1();  // the row ends right now on the last character
            lastLine = C9 == R9;
            break;
        default: break;
    }
}

void crtc6845::writeRegisterType2(uint8_t data) {
    // Type 2 only stores; R16..R31 are ignored like every register above 15.
    if (selectedReg > 15) return;
    storeRegister(selectedReg, data);
}

void crtc6845::writeRegisterType34(uint8_t data) {
    uint8_t reg = selectedReg;
    if (reg > 15) return;
    storeRegister(reg, data);
    if (reg == 9) applyInterlacedR9(*this);
}

// ---- reads per type ------------------------------------------------------------

uint8_t crtc6845::readRegisterType0(uint8_t reg) {
    switch (reg) {
        case 12: return R12;
        case 13: return R13;
        case 14: return R14;
        case 15: return R15;
        case 16:
        case 17: return readLightPen(reg, true);
        default: return 0;
    }
}

uint8_t crtc6845::readRegisterType1(uint8_t reg) {
    switch (reg) {
        case 14: return R14;
        case 15: return R15;
        case 16:
        case 17: return readLightPen(reg, false);
        default: return 0;
    }
}

uint8_t crtc6845::readRegisterType2(uint8_t reg) {
    switch (reg) {
        case 14: return R14;
        case 15: return R15;
        case 16: return R16;
        case 17: return R17;
        default: return 0;
    }
}

// ---- port routines -------------------------------------------------------------
// The direction of the access is not looked at: A9-A8 alone choose the function.

void crtc6845::enable_crtc0() {
    switch ((cpu->addressBus >> 8) & 3) {
        case 0: selectRegister(cpu->dataBus); break;
        case 1: writeRegisterType0(cpu->dataBus); break;
        case 2: break;  // no status register
        case 3: cpu->dataBus = readRegisterType0(selectedReg); break;
    }
}

void crtc6845::enable_crtc1() {
    switch ((cpu->addressBus >> 8) & 3) {
        case 0: selectRegister(cpu->dataBus); break;
        case 1: writeRegisterType1(cpu->dataBus); break;
        // Bit 5 is set in the vertical blanking, from the row where vdisp falls to the next frame.
        case 2: cpu->dataBus = static_cast<uint8_t>((lpenStrobe ? 0x40 : 0) | (vdisp ? 0 : 0x20)); break;
        case 3: cpu->dataBus = readRegisterType1(selectedReg); break;
    }
}

void crtc6845::enable_crtc2() {
    switch ((cpu->addressBus >> 8) & 3) {
        case 0: selectRegister(cpu->dataBus); break;
        case 1: writeRegisterType2(cpu->dataBus); break;
        case 2: break;
        case 3: cpu->dataBus = readRegisterType2(selectedReg); break;
    }
}

void crtc6845::enable_crtc3() {
    switch ((cpu->addressBus >> 8) & 3) {
        case 0: selectRegister(cpu->dataBus); break;
        case 1: writeRegisterType34(cpu->dataBus); break;
        case 2:
            switch (selectedReg & 7) {
                case 0: cpu->dataBus = readLightPen(16, true); break;
                case 1: cpu->dataBus = readLightPen(17, true); break;
                case 2: cpu->dataBus = status1(); break;
                case 3: cpu->dataBus = status2(); break;
                default: cpu->dataBus = readRegisterType0(static_cast<uint8_t>(12 + (selectedReg & 7) - 4)); break;
            }
            break;
        case 3: cpu->dataBus = readRegisterType0(selectedReg); break;
    }
}

// Types 3 and 4 answer the ports alike; only their character clocks differ.
void crtc6845::enable_crtc4() { enable_crtc3(); }
