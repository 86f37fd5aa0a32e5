#include "support/reference_step.h"

#include <SDL.h>
#include <cstring>
#include <type_traits>

#include "asic/asic.h"
#include "disk/fdc765.h"
#include "machine/emulation_thread.h"
#include "machine/memory.h"
#include "machine/model.h"
#include "machine/timed_actions.h"
#include "snapshot/snr_replay.h"
#include "sound/audio_mix.h"
#include "sound/audio_output.h"
#include "sound/ay8910.h"
#include "tape/tape_drive.h"
#include "video/crtc6845.h"
#include "video/frame_step.h"
#include "video/monitor.h"

namespace test_support {

namespace {

// The colours a half character shows: the pens as they stood at its first
// tick (a colour written within the half shows from the next one).
struct HalfLatch {
    uint32_t pens[32];
    uint32_t border;
    bool borderHalf;
    uint8_t videoByte;
    uint32_t screenColour;
};
HalfLatch half;

uint8_t videoByte(unsigned second) {
    const uint16_t ma = crtc->MA;
    const unsigned offset = ((ma & 0x3FFu) << 1) | ((crtc->RA & 7u) << 11);
    return mem->banks[(ma >> 12) & 3][offset + second];
}

// The screen colour of tick k (0..7) of a half, by mode: 4, 2, 1 and 4
// ticks per pixel; the ticks between keep the colour.
void screenColourAt(const gaCPC& g, int k) {
    if (k == 0) {
        std::memcpy(half.pens, g.pens, sizeof half.pens);
        half.border = g.borderColor;
        half.borderHalf = !crtc->dispen;
    }
    if (half.borderHalf) {
        if (k == 0) half.screenColour = half.border;
        return;
    }
    const uint8_t b = half.videoByte;
    switch (g.mode & 3) {
        case 0:
            if (k % 4 == 0) half.screenColour = half.pens[g.mode0Table[b][k / 4]];
            break;
        case 1:
            if (k % 2 == 0) half.screenColour = half.pens[g.mode1Table[b][k / 2]];
            break;
        case 2: half.screenColour = half.pens[g.mode2Table[b][k]]; break;
        default:
            if (k % 4 == 0) half.screenColour = half.pens[g.mode1Table[b][k / 4]];
            break;
    }
}

uint8_t timesFor(uint8_t magnification) { return static_cast<uint8_t>(magnification ? 1 << (magnification - 1) : 1); }

// One tick of the sixteen sprites: the lowest-numbered sprite with a pixel
// wins, and nothing covers the border.
uint32_t spriteColourAt(asicCPC& a) {
    uint32_t colour = 0;
    for (int n = 0; n < 16; ++n) {
        const uint16_t bit = static_cast<uint16_t>(1u << n);
        if (!(a.spriteActive & bit)) continue;
        if (a.spriteDelay[n]) {
            --a.spriteDelay[n];
            continue;
        }
        if (!colour && crtc->dispen && (a.spriteOnLine & bit) && a.spriteMagX[n] && a.spriteMagY[n]) {
            const uint8_t pixel = a.asicPage[a.spriteRowBase[n] + a.spriteColumn[n]];
            if (pixel) colour = half.pens[16 + pixel];
        }
        if (--a.spriteRepeat[n] == 0) {
            a.spriteRepeat[n] = timesFor(a.spriteMagX[n]);
            if (++a.spriteColumn[n] == 16) a.spriteActive = static_cast<uint16_t>(a.spriteActive & ~bit);
        }
    }
    return colour;
}

template <class Chip>
void tick(Chip& g, int k) {
    screenColourAt(g, k & 7);
    uint32_t colour = half.screenColour;
    if constexpr (std::is_same_v<Chip, asicCPC>) {
        const uint32_t sprite = spriteColourAt(g);
        if (sprite) colour = sprite;
    }
    g.pixelColor = colour;
    (static_cast<gaCPC&>(g).*g.monitorRoutine)();
}

template <class Chip>
void ticks(Chip& g, int first, int last) {
    for (int k = first; k <= last; ++k) tick(g, k);
}

// One T-state and the I/O it may complete: served once, on the rising IORQ edge.
template <class Chip>
void callCpu(Chip& g, bool wait) {
    cpu->wait = wait;
    cpu->clock();
    g.serviceIoEdge();
}

template <class Chip>
void serviceMemory(Chip& g) {
    if (!cpu->mreq) return;
    const uint16_t address = cpu->addressBus;
    if (cpu->rd) {
        cpu->dataBus = g.readMemory(address);
    } else if (cpu->wr) {
        if constexpr (std::is_same_v<Chip, asicCPC>) {
            g.writeMemory(address);
        } else {
            mem->page[address >> 14][address & 0x3FFF] = cpu->dataBus;
        }
    }
}

void crtcVsyncEdge(gaCPC& g) {
    const uint8_t level = crtc->vsync ? 1 : 0;
    if (level == g.crtcVsyncLast) return;
    g.crtcVsyncLast = level;
    g.vsyncOut = level;
    g.blank = g.vsyncOut || g.hsyncOut;
    if (level) {
        g.change_monitor_pixels();
        g.vsyncIntDelay = 2;
    } else if (g.hsyncOut) {
        monitor_hsync_pulse(g.beamInRetrace());
    }
}

void gateArrayHsync(gaCPC& g) {
    if (g.hsyncCounter == 0) {
        g.hsyncOut = false;
        g.blank = g.vsyncOut;
        return;
    }
    --g.hsyncCounter;
    if (g.hsyncCounter > 6 && g.hsyncOut && g.mode != (g.modeRomReg & 3)) g.mode = g.modeRomReg & 3;
    if (crtc->hsync) {
        if (!g.vsyncOut) monitor_hsync_pulse(g.beamInRetrace());
        if (!g.hsyncOut) {
            g.hsyncOut = true;
            g.blank = true;
        }
    }
}

template <class Chip>
void crtcHsyncEdge(Chip& g) {
    const uint8_t level = crtc->hsync ? 1 : 0;
    if (level == g.crtcHsyncLast) return;
    g.crtcHsyncLast = level;
    g.hsyncOut = level;
    if (level) {
        g.hsyncCounter = 13;
        g.plusHsyncStart();
        if (g.beamInRetrace()) {
            g.blank = true;
        } else {
            g.hsyncOut = false;
            g.blank = g.vsyncOut;
        }
        return;
    }
    if (++g.intCounter == 52) {
        g.intCounter = 0;
        g.counterInterrupt();
    }
    if (g.vsyncIntDelay && --g.vsyncIntDelay == 0) {
        if (g.intCounter & 0x20) g.vsyncInterrupt();
        g.intCounter = 0;
        if (g.vsyncOut) {
            g.vsyncOut = false;
            if (monitor_vsync_pulse()) playSNR();
        }
    }
    g.blank = g.vsyncOut;
}

// The mix itself is no fast path: the machine's own, at the audio rate.
void audioSample() {
    if (audioFrameDue()) mixAudioFrame();
}

// Each sprite on the line whose character the CRTC is at starts drawing.
// Only sprites on the line, as the machine's clock has it: one that a Y or
// magnification write puts on the line after its character has passed shows
// from the next line on.
void startSprites(asicCPC& a) {
    for (int n = 0; n < 16; ++n) {
        if (!(a.spriteOnLine >> n & 1)) continue;
        if ((a.spriteX[n] >> 4) != crtc->C0) continue;
        a.spriteActive = static_cast<uint16_t>(a.spriteActive | 1u << n);
        a.spriteDelay[n] = a.spriteX[n] & 15;
        a.spriteColumn[n] = 0;
        a.spriteRepeat[n] = timesFor(a.spriteMagX[n]);
    }
}

template <class Chip>
void step(Chip& g) {
    constexpr bool plus = std::is_same_v<Chip, asicCPC>;
    g.shiftB = videoByte(1);
    if constexpr (plus) g.plusSecondByte();  // scroll history, soft scroll
    crtcVsyncEdge(g);
    if constexpr (plus) startSprites(g);
    // Every character clocked in full: no run of counted-only characters.
    crtc->quietChars = 0;
    (crtc->*crtc->clockRoutine)();
    if (g.crtcHsyncLast) {
        gateArrayHsync(g);
        if constexpr (plus) g.hsyncWork();  // raster interrupt, DMA
    }

    half.videoByte = static_cast<uint8_t>(g.shiftA);
    tick(g, 0);
    callCpu(g, false);
    crtcHsyncEdge(g);
    serviceMemory(g);
    ticks(g, 1, 2);
    ay->toneInert = 0;  // every channel's tone stepped in full
    ay->clock();
    audioSample();
    tick(g, 3);
    tick(g, 4);
    callCpu(g, true);
    ticks(g, 5, 7);

    g.shiftA = videoByte(0);
    half.videoByte = static_cast<uint8_t>(g.shiftB);
    tick(g, 8);
    callCpu(g, true);
    ticks(g, 9, 12);
    callCpu(g, true);
    ticks(g, 13, 14);
    if (fdc) {
        fdc->clock();
        // Woken first, so that each drive turns cell by cell, never quiet.
        fd0->wake();
        fd0->clock();
        fd1->wake();
        fd1->clock();
    }
    tape->read();
    tick(g, 15);
    --runctr;
}

}  // namespace

void referenceStep() {
    if (isPlusModel(cpcType)) {
        step(*as);
    } else {
        step(*ga);
    }
}

void referenceRunOneFrame() {
    uint32_t left = kFrameMicroseconds;
    runctr = left;
    while (left) {
        const uint32_t pauseAt = timedActionDueRunctr(left);
        for (; left > pauseAt; --left) referenceStep();
        runctr = left;
        if (left) runTimedActionsDue(left);
    }
    advanceEmulatedTime(kFrameMicroseconds);
    framesEmulated.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace test_support
