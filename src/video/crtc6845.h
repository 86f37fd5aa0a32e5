// The 6845 CRT controller in the five variants found in CPC machines (types 0-4).
// One data layout; the type picks the port and character-clock routines.
#pragma once
#include <cstdint>

class crtc6845 {
public:
    using Routine = void (crtc6845::*)();

    Routine enableRoutine = &crtc6845::enable_crtc0;
    Routine clockRoutine = &crtc6845::clock_crtc0;

    // Outputs read by the gate array / ASIC every microsecond.
    bool hsync = false;
    bool vsync = false;
    bool dispen = false;
    uint16_t MA = 0;
    uint8_t RA = 0;

    bool lpenStrobe = false;
    uint16_t MAstart = 0;
    uint16_t MAnext = 0;
    uint8_t selectedReg = 0;

    // Registers as written (after the write masks) and their decoded forms.
    uint8_t R0 = 0;
    uint8_t R0half = 0;
    uint8_t R1 = 0, R2 = 0, R3 = 0;
    uint8_t hsyncWidth = 0;
    uint8_t vsyncWidth = 0;
    uint8_t R4 = 0, R5 = 0, R6 = 0, R7 = 0, R8 = 0, R9 = 0, R10 = 0, R11 = 0;
    uint8_t R12 = 0, R13 = 0, R14 = 0, R15 = 0, R16 = 0, R17 = 0;
    uint8_t skew = 0;
    uint8_t skewCounter = 0;
    bool interlace = false;
    uint8_t interlaceVideo = 0;

    // Counters.
    uint8_t C0 = 0;   // character in the line
    uint8_t C3l = 0;  // HSYNC width
    uint8_t C4 = 0;   // character row
    uint8_t C3h = 0;  // VSYNC width
    uint8_t C9 = 0;   // raster in the row
    uint8_t C5 = 0;   // vertical adjust
    bool halfLinePassed = false;
    bool hdisp = true;
    bool vdisp = true;
    bool inAdjust = false;
    bool adjustEnd = false;
    bool lastLine = false;

    // Selected type, 0..4 (mirrors the global crtcType once applied).
    uint8_t type = 0;

    // Plus ASIC coupling, used by type 3 only. The ASIC mirrors its registers
    // into the plus* inputs when they are written and installs the two hooks;
    // the CRTC publishes the ASIC line number at each line start.
    uint8_t plusScrollV = 0;        // SSCR bits 6-4: vertical soft scroll
    uint8_t plusDisplayStart = 0;   // character where hdisp starts: 1 with the extended border
    uint8_t plusSplitLine = 0;      // SPLT; 0 = no split
    uint16_t plusSplitAddress = 0;  // SSA, in CRTC address units
    uint16_t plusLineCounter = 0;   // (C9 & 7) + 8 * C4, set at each line start
    void (*plusSelectWrite)(uint8_t data) = nullptr;  // unlock sequence on &BCxx writes
    void (*plusLineStart)(bool newFrame) = nullptr;   // sprites, scroll history, line counter

    void reset();
    void setType(uint8_t t);

    // Characters ahead in which the clock would only count C0, MA and the
    // HSYNC width on: no line end, sync edge, display edge or half line falls
    // in them. The type's
    // clock works it out; whatever else changes the counters or registers
    // (a register write, a type change, a snapshot, the ASIC) sets it to 0.
    uint8_t quietChars = 0;

    // I/O access with A14 = 0: decodes A9-A8 and moves dataBus itself.
    void crtc_enable() { (this->*enableRoutine)(); }
    // One character clock, once per microsecond; true when it only counted,
    // which also leaves MA in the same 1 KB block of video words.
    bool crtc_clock() {
        if (quietChars) {
            --quietChars;
            ++C0;
            MA = (MA + 1) & 0x3FFF;
            C3l = (C3l + hsync) & 15;
            return true;
        }
        (this->*clockRoutine)();
        return false;
    }

    void LighPenStrobe();

    void enable_crtc0();
    void enable_crtc1();
    void enable_crtc2();
    void enable_crtc3();
    void enable_crtc4();
    void clock_crtc0();
    void clock_crtc1();
    void clock_crtc2();
    void clock_crtc3();
    void clock_crtc4();

    // Register file access shared by the port routines and the snapshot code.
    // storeRegister applies the write mask and the side effects every type shares.
    void storeRegister(uint8_t reg, uint8_t data);
    uint8_t readLightPen(uint8_t reg, bool clearRegister);
    uint8_t status1() const;
    uint8_t status2() const;

private:
    void decodeHalfLine();
    void decodeSyncWidths();
    void decodeInterlace();
    void selectRegister(uint8_t data);
    void syncOnPositionWrite(uint8_t reg);
    void writeRegisterType0(uint8_t data);
    void writeRegisterType1(uint8_t data);
    void writeRegisterType2(uint8_t data);
    void writeRegisterType34(uint8_t data);
    uint8_t readRegisterType0(uint8_t reg);
    uint8_t readRegisterType1(uint8_t reg);
    uint8_t readRegisterType2(uint8_t reg);

    void dispenWithSkew();
    uint8_t quietRun() const;
    void hsyncType0();
    void hsyncType3();
    void hsyncType4();
    void startAdjustIfLastRow();
    void advanceAddress();
    void newFrame();
    bool adjustLine(bool ended);
    void endRowType1();
    void vsyncStep(bool mayStart);
    void advanceRowType34();
    void halfLineType34();
    void nextCharacterType34();
    bool lineStartType34();
};

// The machine's CRTC (built by beginCPC).
extern crtc6845* crtc;
