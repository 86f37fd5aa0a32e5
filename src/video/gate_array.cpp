#include "video/gate_array.h"

#include <SDL.h>
#include <cstring>

#include "machine/cpc.h"
#include "machine/timed_actions.h"
#include "snapshot/snr_replay.h"
#include "sound/audio_output.h"
#include "video/monitor.h"

uint32_t runctr = 0;
uint8_t printerData = 0;
uint8_t digiBlasterData = 0;
uint8_t digiBlasterDataLowFilterCount = 255;

namespace {

constexpr uint32_t kOpaqueBlack = 0xFF000000u;
constexpr uint32_t kStepsPerFrame = 19968;

using HalfRoutine = void (gaCPC::*)(uint8_t);
constexpr HalfRoutine kHalfRoutines[4] = {&gaCPC::half_mode0, &gaCPC::half_mode1, &gaCPC::half_mode2,
                                          &gaCPC::half_mode3};

inline uint8_t bit(unsigned value, int n) { return static_cast<uint8_t>((value >> n) & 1); }

}  // namespace

gaCPC::gaCPC() {
    buildPixelTables();
    reset();
}

void gaCPC::buildPixelTables() {
    for (unsigned b = 0; b < 256; ++b) {
        mode0Table[b][0] = static_cast<uint8_t>(bit(b, 7) | bit(b, 3) << 1 | bit(b, 5) << 2 | bit(b, 1) << 3);
        mode0Table[b][1] = static_cast<uint8_t>(bit(b, 6) | bit(b, 2) << 1 | bit(b, 4) << 2 | bit(b, 0) << 3);
        for (int k = 0; k < 4; ++k) {
            mode1Table[b][k] = static_cast<uint8_t>(bit(b, 7 - k) | bit(b, 3 - k) << 1);
        }
        for (int k = 0; k < 8; ++k) mode2Table[b][k] = bit(b, 7 - k);
    }
}

void gaCPC::reset() {
    std::memcpy(palettes, kMonitorPalettes, sizeof palettes);
    for (auto& pen : pens) pen = kOpaqueBlack;
    hsyncOut = false;
    shiftA = 0;
    shiftB = 0;
    vsyncOut = false;
    blank = false;
    crtcHsyncLast = 0;
    crtcVsyncLast = 0;
    intCounter = 0;
    vsyncIntDelay = 0;
    modeRomReg = 0;
    mode = 0;
    hsyncCounter = 13;
}

inline void gaCPC::applyPendingColour() {
    if (!colorPending) return;
    colorPending = false;
    pens[penSelect] = monitor_aBGR[colorValue];
    if (penSelect == 16) borderColor = pens[16];
}

// The video reads the base 64 KB whatever the RAM configuration: bank from
// MA bits 13-12, offset from MA bits 9-0 and the low three raster bits.
inline uint8_t gaCPC::videoByte(uint8_t second) const {
    const uint16_t ma = crtc->MA;
    const unsigned offset = ((ma & 0x3FFu) << 1) | ((crtc->RA & 7u) << 11);
    return mem->banks[(ma >> 12) & 3][offset + second];
}

inline void gaCPC::startHalf(uint16_t videoByteValue) {
    if (!crtc->dispen) {
        const uint32_t c = borderColor;
        for (auto& h : halfColours) h = c;
        return;
    }
    (this->*kHalfRoutines[mode & 3])(static_cast<uint8_t>(videoByteValue));
}

inline void gaCPC::halfTwoPixels(uint32_t p0, uint32_t p1) {
    halfColours[0] = halfColours[1] = halfColours[2] = halfColours[3] = p0;
    halfColours[4] = halfColours[5] = halfColours[6] = halfColours[7] = p1;
}

void gaCPC::half_mode0(uint8_t b) { halfTwoPixels(pens[mode0Table[b][0]], pens[mode0Table[b][1]]); }

void gaCPC::half_mode1(uint8_t b) {
    for (int k = 0; k < 4; ++k) halfColours[2 * k] = halfColours[2 * k + 1] = pens[mode1Table[b][k]];
}

void gaCPC::half_mode2(uint8_t b) {
    for (int k = 0; k < 8; ++k) halfColours[k] = pens[mode2Table[b][k]];
}

// Mode 3 shows the first two mode 1 pixels of the byte, each twice as wide.
void gaCPC::half_mode3(uint8_t b) { halfTwoPixels(pens[mode1Table[b][0]], pens[mode1Table[b][1]]); }

inline void gaCPC::crtcVsyncEdge() {
    const uint8_t level = crtc->vsync ? 1 : 0;
    if (level == crtcVsyncLast) return;
    crtcVsyncLast = level;
    vsyncOut = level;
    blank = vsyncOut || hsyncOut;
    if (level) {
        change_monitor_pixels();
        vsyncIntDelay = 2;
    } else if (hsyncOut) {
        monitor_hsync_pulse(beamInRetrace());
    }
}

inline void gaCPC::gateArrayHsync() {
    if (!crtcHsyncLast) return;
    if (hsyncCounter == 0) {
        hsyncOut = false;
        blank = vsyncOut;
        return;
    }
    --hsyncCounter;
    // The only place where a new mode takes effect.
    if (hsyncCounter > 6 && hsyncOut) mode = modeRomReg & 3;
    if (crtc->hsync) {
        if (!vsyncOut) monitor_hsync_pulse(beamInRetrace());
        if (!hsyncOut) {
            hsyncOut = true;
            blank = true;
        }
    }
}

inline void gaCPC::crtcHsyncEdge() {
    const uint8_t level = crtc->hsync ? 1 : 0;
    if (level == crtcHsyncLast) return;
    crtcHsyncLast = level;
    hsyncOut = level;
    if (level) {
        hsyncCounter = 13;
        if (beamInRetrace()) {
            blank = true;
        } else {
            hsyncOut = false;
            blank = vsyncOut;
        }
        return;
    }
    if (++intCounter == 52) {
        intCounter = 0;
        cpu->intLine = true;
    }
    if (vsyncIntDelay && --vsyncIntDelay == 0) {
        if (intCounter & 0x20) cpu->intLine = true;
        intCounter = 0;
        if (vsyncOut) {
            vsyncOut = false;
            if (monitor_vsync_pulse()) playSNR();
        }
    }
    blank = vsyncOut;
}

// Inlined into the step; only an IORQ edge leaves it for the bus decoder.
[[gnu::always_inline]] inline void gaCPC::cpuTState() {
    cpu->clock();
    if ((cpu->iorq ? 1 : 0) != lastIorq) serviceIoEdge();
}

void gaCPC::call_cpu() { cpuTState(); }

// One microsecond, in the fixed order. Pixel ticks with nothing between them
// reach the beam as one run; clock() and clockMicrosecond() each inline it.
[[gnu::always_inline]] inline void gaCPC::step() {
    applyPendingColour();
    shiftB = videoByte(1);
    crtcVsyncEdge();
    crtc->crtc_clock();
    gateArrayHsync();

    cpu->wait = false;
    startHalf(shiftA);
    ticks<1>(0);
    cpuTState();
    crtcHsyncEdge();
    serviceMemory();
    ticks<2>(1);
    ay->clock();
    produceAudioSample();
    ticks<1>(3);
    cpu->wait = true;
    ticks<1>(4);
    cpuTState();
    ticks<3>(5);

    applyPendingColour();
    shiftA = videoByte(0);
    startHalf(shiftB);
    ticks<1>(8);
    cpuTState();
    ticks<4>(9);
    cpuTState();
    ticks<2>(13);

    if (fdc) {
        fdc->clock();
        fd0->clock();
        fd1->clock();
    }
    tape->read();
    ticks<1>(15);
    pixelColor = halfColours[7];  // what tick 15 drew, for the single-tick routines
    --runctr;
}

void gaCPC::clockMicrosecond() { step(); }

void gaCPC::clock() {
    runctr = kStepsPerFrame;
    while (runctr) {
        // Headless timed actions (autorun keys) fall due at their own microsecond.
        uint32_t pauseAt = timedActionDueRunctr(runctr);
        while (runctr > pauseAt) step();
        if (runctr) runTimedActionsDue(runctr);
    }
}

// The printer-port sampler: a byte left unchanged for 255 output frames is
// dropped, so a program that stopped playing leaves no offset behind.
namespace {
float digiBlasterSample() {
    if (printerData != digiBlasterData) {
        digiBlasterData = printerData;
        digiBlasterDataLowFilterCount = 255;
    } else {
        if (digiBlasterDataLowFilterCount) --digiBlasterDataLowFilterCount;
        if (!digiBlasterDataLowFilterCount) return 0.0f;
    }
    const int d = digiBlasterData;
    return d < 128 ? d / 381.38138f : -(255 - d) / 381.38138f;
}
}  // namespace

// Audio: one stereo frame each time the accumulator passes the device's
// microseconds per frame; the full buffer is queued whole.
inline void gaCPC::produceAudioSample() {
    if (!CPC_audio_enable) return;
    CPC_audio_frameCount_timer += 1.0f;
    if (!(CPC_audio_frameCount_timer > CPC_audio_frameCount)) return;
    CPC_audio_frameCount_timer -= CPC_audio_frameCount;
    ay->mixer();
    float left, right;
    const uint8_t a = ay->level[0] & 15, b = ay->level[1] & 15, c = ay->level[2] & 15;
    if (!CPC_audio_stereo) {
        float s = ay->levelMono[a] + ay->levelMono[b] + ay->levelMono[c];
        if (digiBlaster) {
            s += digiBlasterSample();
        } else if (tape->moving && tape->readLevel) {
            s += 0.03f;  // tape noise
        }
        if (CPC_audio_volume != 1.0f) s *= CPC_audio_volume;
        left = right = s;
    } else {
        left = ay->levelStereoFull[a] + ay->levelStereoHalf[b];
        right = ay->levelStereoFull[c] + ay->levelStereoHalf[b];
        if (CPC_audio_volume != 1.0f) {
            left *= CPC_audio_volume;
            right *= CPC_audio_volume;
        }
    }
    CPC_audio_buffer[CPC_audio_buffer_length] = left;
    CPC_audio_buffer[CPC_audio_buffer_length + 1] = right;
    CPC_audio_buffer_length = static_cast<uint16_t>(CPC_audio_buffer_length + 2);
    if (CPC_audio_buffer_length >= 4096) {
        SDL_QueueAudio(cpcAudioDevice, CPC_audio_buffer, 16384);
        CPC_audio_buffer_length = 0;
    }
}
