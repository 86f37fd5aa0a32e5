// When the gate array's outputs change within a frame: interrupts, VSYNC
// resynchronisation, mode changes and colour writes, with the CRTC running
// the firmware's screen.
#include <gtest/gtest.h>
#include <algorithm>
#include <tuple>

#include "support/machine_fixture.h"
#include "video/gate_array.h"

using test_support::BareMachine;
using test_support::ioCycle;

namespace {

class GateArrayTiming : public BareMachine {
protected:
    void SetUp() override {
        BareMachine::SetUp();
        ASSERT_TRUE(crtcRuns()) << "the CRTC produces no HSYNC";
    }

    // Steps one microsecond; true when the CRTC's HSYNC fell in it.
    bool stepSeeingHsyncEnd() {
        const bool before = crtc->hsync;
        ga->clockMicrosecond();
        return before && !crtc->hsync;
    }
    // HSYNC ends until the interrupt line goes high (at most 100).
    int hsyncEndsToInterrupt() {
        int ends = 0;
        while (!cpu->intLine && ends < 100) ends += stepSeeingHsyncEnd();
        return ends;
    }

    // A processor loop that selects `pen` (a pen number, or &10 for the
    // border) and then flips it between `colour` (black unless said) and
    // white with the two OUT forms, from address 0 with the lower ROM away.
    void loadColourFlipper(uint8_t pen, uint8_t colour = 20) {
        const uint8_t program[] = {
            0x01, pen, 0x7F,                            // LD BC,&7Fpp
            0xED, 0x49,                                 // OUT (C),C      pen selected
            0x3E, static_cast<uint8_t>(0x40 | colour),  // LD A,&4x/&5x   the colour; port &4x/&5x
            0x0E, 0x4B,                                 // LD C,&4B       colour 11 (white)
            0xED, 0x49,                                 // loop: OUT (C),C
            0xD3, 0x7F,                                 // OUT (&7F),A
            0x18, 0xFA,                                 // JR loop
        };
        for (size_t i = 0; i < sizeof program; ++i) mem->banks[0][i] = program[i];
        mem->lowerRom = nullptr;
        cpu->reset();
    }

    void acknowledge() {
        cpu->m1 = true;
        cpu->iorq = true;
        ga->serviceIoEdge();
        cpu->iorq = false;
        cpu->m1 = false;
        ga->serviceIoEdge();
    }
};

TEST_F(GateArrayTiming, InterruptsEvery52HsyncEndsAndALateAcknowledgeDelaysByAtMost32Lines) {
    ga->reset();
    cpu->intLine = false;
    EXPECT_EQ(hsyncEndsToInterrupt(), 52) << "the first interrupt comes at the 52nd HSYNC end";

    // Acknowledged at once: only bit 5 is cleared, so the next one is still
    // 52 lines after this one.
    acknowledge();
    EXPECT_FALSE(cpu->intLine);
    ASSERT_EQ(hsyncEndsToInterrupt(), 52);

    // Unacknowledged for 40 lines: the line stays high, the counter runs on;
    // the acknowledge then delays the next by at most 32 lines.
    for (int lines = 0; lines < 40;) lines += stepSeeingHsyncEnd();
    EXPECT_EQ(std::make_tuple(cpu->intLine, ga->intCounter), std::make_tuple(true, 40));
    acknowledge();
    EXPECT_EQ(ga->intCounter, 8);
    EXPECT_EQ(hsyncEndsToInterrupt(), 52 - 8);
}

TEST_F(GateArrayTiming, VsyncResynchronisesTheCounter) {
    for (int counterAtVsync : {40, 10}) {
        SCOPED_TRACE(counterAtVsync);
        ASSERT_TRUE(stepUntil([] { return ga->vsyncOut; }, 40000));
        ga->intCounter = static_cast<uint8_t>(counterAtVsync);
        cpu->intLine = false;
        int ends = 0;
        while (ends < 2) ends += stepSeeingHsyncEnd();
        EXPECT_EQ(std::make_tuple(cpu->intLine, ga->intCounter), std::make_tuple(counterAtVsync + 2 >= 32, 0));
        EXPECT_FALSE(ga->vsyncOut) << "the gate array ends its VSYNC with the resynchronisation";
        ASSERT_TRUE(stepUntil([] { return !crtc->vsync; }, 40000));
    }
}

TEST_F(GateArrayTiming, SixInterruptsPerFrame) {
    steps(3 * 19968);
    acknowledge();  // the one left pending while settling
    int interrupts = 0;
    for (int i = 0; i < 19968; ++i) {
        ga->clockMicrosecond();
        if (cpu->intLine) {
            ++interrupts;
            acknowledge();
        }
    }
    EXPECT_EQ(interrupts, 6);
}

TEST_F(GateArrayTiming, ModeChangesOnlyAtHsync) {
    steps(2 * 19968);
    ASSERT_TRUE(stepUntil([] { return crtc->C0 == 5 && crtc->vdisp; }));
    ioCycle(0x7F00, 0x80 | 0x02);
    while (!crtc->hsync) {
        ga->clockMicrosecond();
        if (!crtc->hsync) {
            ASSERT_EQ(ga->mode, 0) << "changed before HSYNC at C0 " << int(crtc->C0);
        }
    }
    int afterStart = 0;
    while (ga->mode != 2 && afterStart < 20) {
        ga->clockMicrosecond();
        ++afterStart;
    }
    EXPECT_TRUE(afterStart == 1 || afterStart == 2) << afterStart << ": in the first or second microsecond of HSYNC";
}

TEST_F(GateArrayTiming, BeamLinesLockElevenAndAHalfMicrosecondsAfterHsync) {
    steps(3 * 19968);
    ASSERT_TRUE(stepUntil([] { return crtc->vdisp && crtc->C4 == 10 && crtc->C0 == 30; }));
    ASSERT_TRUE(stepUntil([] { return crtc->hsync; }));
    // HSYNC started in the step just run; the flyback starts in the next and
    // lasts 168 ticks, so the beam draws from tick 8 of the eleventh step.
    int stepsToDraw = 0;
    while (ga->beamInRetrace() && stepsToDraw < 64) {
        ga->clockMicrosecond();
        ++stepsToDraw;
    }
    EXPECT_EQ(std::make_tuple(stepsToDraw, cpcscreenpixels_xy % kFrameWidth), std::make_tuple(11, 8u));
}

TEST_F(GateArrayTiming, OneFinishedPicturePerFrame) {
    steps(3 * 19968);
    const uint32_t before = monitorFinishedFrames;
    for (int f = 0; f < 10; ++f) ga->clock();
    EXPECT_EQ(monitorFinishedFrames - before, 10u);
}

// The border flipped: OUT (C),C completes in the second T-state of its
// microsecond, so its colour shows from tick 8; OUT (n),A completes in the
// fourth, so its colour shows from tick 0 of the next microsecond.
TEST_F(GateArrayTiming, ColourWritesShowOnTheirHalfMicrosecond) {
    loadColourFlipper(0x10);
    const uint32_t white = monitor_aBGR[11], black = monitor_aBGR[20];
    steps(2 * 19968);

    int toWhite = 0, toBlack = 0;
    uint32_t previous = 0;
    for (int i = 0; i < 19968; ++i) {
        const uint32_t xy = cpcscreenpixels_xy;
        const bool border = !crtc->vdisp && !ga->blank && !ga->beamInRetrace() && xy + 16 < cpcscreenpixels_xy_hsync &&
                            xy < kFramePixels && xy % kFrameWidth != 0;
        ga->clockMicrosecond();
        if (!border || ga->blank || crtc->dispen) continue;
        previous = cpcscreenpixels[xy - 1];
        for (int k = 0; k < 16; ++k) {
            const uint32_t c = cpcscreenpixels[xy + k];
            if (c != previous && c == white) {
                ++toWhite;
                EXPECT_EQ(k, 8) << "OUT (C),C colour at tick " << k;
            }
            if (c != previous && c == black) {
                ++toBlack;
                EXPECT_EQ(k, 0) << "OUT (n),A colour at tick " << k;
            }
            previous = c;
        }
    }
    EXPECT_GT(std::min(toWhite, toBlack), 100);
}

// The same flipping on pen 0 over a screen of zero bytes, and on the
// border, for one whole frame in a single run: paper and border must take
// both colours, however the colours of a half are remembered between writes.
TEST_F(GateArrayTiming, PaperAndBorderColourWritesShowWithinOneRun) {
    // Red rather than black, which the blanking also draws.
    constexpr uint8_t kRed = 6;
    for (const uint8_t pen : {0x00, 0x10}) {
        loadColourFlipper(pen, kRed);
        // The pens the program leaves alone show neither colour.
        for (int other = 0; other <= 16; ++other) {
            if (other != pen) ga->pens[other] = monitor_aBGR[4];
        }
        ga->borderColor = ga->pens[16];
        steps(19968);
        ga->clock();
        ga->clock();

        const uint32_t white = monitor_aBGR[11], red = monitor_aBGR[kRed];
        int whitePixels = 0, redPixels = 0;
        for (uint32_t i = 0; i < kFramePixels; ++i) {
            whitePixels += cpcscreenpixels[i] == white;
            redPixels += cpcscreenpixels[i] == red;
        }
        // Each colour covers a good part of the frame; a colour stuck for
        // the run leaves the other a small fraction of that.
        EXPECT_GT(std::min(whitePixels, redPixels), 50000) << "pen select " << int(pen);
    }
}

}  // namespace
