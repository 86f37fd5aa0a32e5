// The character clock of each CRTC type: one call per microsecond.
// The five routines share their structure; the helpers below are the steps
// that two or more types do alike.
#include "video/crtc6845.h"

namespace {
constexpr uint16_t kAddressMask = 0x3FFF;  // the 6845 counts 14 address bits
}

// DISPEN, with the skew of R8 emulated as "one character out of skew + 1".
void crtc6845::dispenWithSkew() {
    if (skew == 0) {
        dispen = hdisp && vdisp;
    } else if (skew == 3) {
        dispen = false;
    } else if (skewCounter) {
        --skewCounter;
        dispen = false;
    } else {
        skewCounter = skew;
        dispen = hdisp && vdisp;
    }
}

// The run of characters from C0 in which every type's clock only counts C0,
// MA and, during HSYNC, its width: each test of C0 against a register is a
// point the run stops before (the tests after the count compare C0 + 1,
// hence the - 1), and the states in which a character changes more than the
// counts give no run.
uint8_t crtc6845::quietRun() const {
    if (skew != 0 || dispen != (hdisp && vdisp) || (type == 3 && R1 == 0)) return 0;
    unsigned run = 255;
    if (hsync) {
        // The width counter only counts, up to the character that ends HSYNC.
        run = (hsyncWidth - C3l) & 15u;
    } else if (C3l == hsyncWidth && C3l != 0) {
        return 0;
    }
    const auto stopAt = [&](unsigned character) {
        const unsigned distance = static_cast<uint8_t>(character - C0);
        if (distance < run) run = distance;
    };
    stopAt(R0);
    stopAt(R0half);
    stopAt(R0 - 1u);
    stopAt(R1 - 1u);
    stopAt(R2 - 1u);
    if (type == 3) stopAt(plusDisplayStart - 1u);
    // The gate array follows MA by stepping its video pointer, up to where
    // the word offset wraps.
    const unsigned toBlockEnd = 0x3FFu - (MA & 0x3FFu);
    if (toBlockEnd < run) run = toBlockEnd;
    return static_cast<uint8_t>(run);
}

// Width w gives w characters (0 gives one); types 0, 1, 2.
void crtc6845::hsyncType0() {
    if (C0 == R2) {
        hsync = true;
        C3l = C3l == hsyncWidth ? 0 : (C3l + 1) & 15;
    } else if (C3l == hsyncWidth) {
        C3l = 0;
        hsync = false;
    } else if (hsync) {
        C3l = (C3l + 1) & 15;
    }
}

// Counts only while active; width w gives w + 1 characters.
void crtc6845::hsyncType3() {
    if (hsync) {
        if (C3l == hsyncWidth) {
            hsync = false;
            C3l = 0;
        } else {
            C3l = (C3l + 1) & 15;
        }
    }
    if (!hsync && C0 == R2) hsync = true;
}

// Width test first, then the start; width w gives w + 1 characters.
void crtc6845::hsyncType4() {
    if (C3l == hsyncWidth) {
        hsync = false;
        C3l = 0;
    } else if (hsync) {
        C3l = (C3l + 1) & 15;
    }
    if (C0 == R2) hsync = true;
}

// The character's address; at the end of the displayed width the last line
// of a row latches where the next row starts.
inline void crtc6845::advanceAddress() {
    MA = (MAstart + C0) & kAddressMask;
    if (C0 == R1) {
        hdisp = false;
        if (lastLine) MAnext = MA;
    }
}

void crtc6845::startAdjustIfLastRow() {
    if (lastLine && C4 == R4) {
        inAdjust = true;
        C5 = 0;
    }
}

void crtc6845::newFrame() {
    inAdjust = false;
    if (interlace) R9 ^= interlaceVideo;
    C9 = R9 & interlaceVideo;
    C4 = 0;
    vdisp = true;
    MAstart = static_cast<uint16_t>(R12 << 8 | R13);
}

// One line of the vertical adjust; true when the adjust was over and a frame began.
bool crtc6845::adjustLine(bool ended) {
    if (ended) {
        newFrame();
        return true;
    }
    C5 = (C5 + 1) & 31;
    if (C4 == 0) vdisp = false;
    return false;
}

// Type 1's row end: the next row's address, and the adjust after the last row.
void crtc6845::endRowType1() {
    MAstart = MAnext;
    C9 = R9 & interlaceVideo;
    if (C4 == R4) {
        inAdjust = true;
        C5 = 0;
        if (C4 == 0) vdisp = false;
    }
    C4 = (C4 + 1) & 0x7F;
}

// A width of 0 (always so on types 1 and 2) lets the 4-bit counter run 16 lines.
void crtc6845::vsyncStep(bool mayStart) {
    if (vsync) {
        C3h = (C3h + 1) & 15;
        if (C3h == vsyncWidth) {
            vsync = false;
            if (mayStart && C4 == R7) {
                vsync = true;
                C3h = 0;
            }
        }
    } else if (mayStart && C4 == R7) {
        vsync = true;
        C3h = 0;
    }
}

// Row advance of types 3 and 4, only once the half line has been passed.
void crtc6845::advanceRowType34() {
    if (!halfLinePassed) return;
    halfLinePassed = false;
    MAstart = MAnext;
    if (lastLine) {
        C9 = R9 & interlaceVideo;
        C4 = (C4 + 1) & 0x7F;
    } else {
        C9 = (C9 + interlaceVideo + 1) & 31;
    }
}

inline void crtc6845::halfLineType34() {
    if (C0 == R0half) {
        halfLinePassed = true;
        lastLine = C9 >= R9;
    }
}

inline void crtc6845::nextCharacterType34() {
    ++C0;
    if (C0 == R0) {
        lastLine = C9 >= R9;
        if (lastLine && C4 == R4) inAdjust = true;
    }
}

// The counters at a line start of types 3 and 4; true when a frame began.
bool crtc6845::lineStartType34() {
    advanceRowType34();
    const bool frameStart = inAdjust && adjustLine(adjustEnd);
    if (frameStart) C5 = 0;
    if (C4 == R6) vdisp = false;
    lastLine = C9 >= R9;
    adjustEnd = C5 == R5;
    return frameStart;
}

// ---- type 0 --------------------------------------------------------------------

void crtc6845::clock_crtc0() {
    dispenWithSkew();
    if (C0 == R0half) {
        halfLinePassed = true;
        lastLine = C9 == R9;
        startAdjustIfLastRow();
    }
    if (C0 == R0) {
        C0 = 0;
        hdisp = true;
        if (halfLinePassed) {
            halfLinePassed = false;
            MAstart = MAnext;
            if (C9 == R9) {
                uint8_t oldC9 = C9;
                C9 = R9 & interlaceVideo;
                C4 = (inAdjust && oldC9 < C5) ? 1 : (C4 + 1) & 0x7F;
            } else {
                C9 = (C9 + interlaceVideo + 1) & 31;
                lastLine = C9 == R9;
            }
        }
        if (C4 == R6) vdisp = false;
        if (inAdjust) adjustLine(adjustEnd || C5 == R5);
        if (R0 > 1) lastLine = C9 == R9;
        startAdjustIfLastRow();
        adjustEnd = C5 == R5;
        vsyncStep(true);
        RA = C9;
        MAnext = MAstart;
    } else {
        ++C0;
        if (C0 == R0 && R0 > 1) {
            lastLine = C9 == R9;
            startAdjustIfLastRow();
        }
    }
    hsyncType0();
    advanceAddress();
    quietChars = quietRun();
}

// ---- type 1 --------------------------------------------------------------------

void crtc6845::clock_crtc1() {
    dispen = hdisp && vdisp;
    if (C0 == R0) {
        C0 = 0;
        hdisp = true;
        if (lastLine || C9 == R9) {
            endRowType1();
        } else {
            C9 = (C9 + interlaceVideo + 1) & 31;
        }
        if (inAdjust) adjustLine(C5 == R5);
        // Row 0 re-reads the start address on each of its lines.
        if (C4 == 0) MAstart = static_cast<uint16_t>(R12 << 8 | R13);
        if (C4 == R6) vdisp = false;
        lastLine = C9 == R9;
        adjustEnd = C5 == R5;
        vsyncStep(true);
        RA = C9;
        MAnext = MAstart;
    } else {
        ++C0;
        if (C0 == R0) {
            lastLine = C9 == R9;
            if (lastLine && C4 == R4) {
                inAdjust = true;
                C5 = 0;
                C9 = 0;
            }
        }
    }
    hsyncType0();
    advanceAddress();
    quietChars = quietRun();
}

// ---- type 2 --------------------------------------------------------------------

void crtc6845::clock_crtc2() {
    dispen = hdisp && vdisp;
    if (C0 == R0half) halfLinePassed = true;
    if (C0 == R0) {
        C0 = 0;
        hdisp = true;
        halfLinePassed = false;
        if (lastLine) {
            C4 = (C4 + 1) & 0x7F;
            C9 = R9 & interlaceVideo;
            MAstart = MAnext;
        } else {
            C9 = (C9 + interlaceVideo + 1) & 31;
        }
        if (inAdjust) adjustLine(adjustEnd);
        if (C4 == R6) vdisp = false;
        lastLine = C9 >= R9;
        startAdjustIfLastRow();
        adjustEnd = C5 == R5;
        // A VSYNC position met during HSYNC is missed on this line.
        vsyncStep(!hsync);
        RA = C9;
        MAnext = MAstart;
    } else {
        ++C0;
    }
    hsyncType0();
    advanceAddress();
    quietChars = quietRun();
}

// ---- type 3 (Plus ASIC) -------------------------------------------------------------

void crtc6845::clock_crtc3() {
    dispenWithSkew();
    halfLineType34();
    if (C0 == R0) {
        C0 = 0;
        const bool frameStart = lineStartType34();
        vsyncStep(C9 == (R9 & interlaceVideo));
        RA = (C9 + plusScrollV) & 7;
        MAnext = MAstart;
        plusLineCounter = static_cast<uint16_t>((C9 & 7) + 8 * C4);
        if (plusLineStart) plusLineStart(frameStart);
    } else {
        nextCharacterType34();
    }
    hsyncType3();
    MA = (MAstart + C0) & kAddressMask;
    if (C0 == plusDisplayStart) hdisp = true;
    if (C0 == R1) {
        if ((R9 & 7) == ((C9 + plusScrollV) & 7)) MAnext = MA;
        if (plusSplitLine != 0 && plusSplitLine == (plusLineCounter & 0x1FF)) MAnext = plusSplitAddress & kAddressMask;
    }
    if (C0 == R1 || R1 == 0) hdisp = false;
    quietChars = quietRun();
}

// ---- type 4 --------------------------------------------------------------------

void crtc6845::clock_crtc4() {
    dispenWithSkew();
    halfLineType34();
    if (C0 == R0) {
        C0 = 0;
        hdisp = true;
        lineStartType34();
        vsyncStep(true);
        RA = C9;
        MAnext = MAstart;
    } else {
        nextCharacterType34();
    }
    hsyncType4();
    advanceAddress();
    quietChars = quietRun();
}
