// The monitor's beam: lines, horizontal and vertical hold, frame finishing
// and the palettes, driven tick by tick without the rest of the machine.
#include <gtest/gtest.h>
#include <tuple>

#include "asic/asic.h"
#include "support/machine_fixture.h"
#include "video/gate_array.h"
#include "video/monitor.h"

using test_support::BareMachine;

namespace {

constexpr uint32_t kRed = 0xFF0000FFu;

class MonitorBeam : public BareMachine {
protected:
    void SetUp() override {
        BareMachine::SetUp();
        t_scanlines = false;
        ga->blank = false;
        ga->pixelColor = kRed;
    }
    void TearDown() override {
        t_scanlines = false;
        t_color = true;
        t_colorG = false;
        monitor_color();
        BareMachine::TearDown();
    }

    void ticks(int n) {
        for (int i = 0; i < n; ++i) (ga->*ga->monitorRoutine)();
    }
    // One whole line as a steady picture gives it: 832 drawn ticks, a wait,
    // the horizontal pulse and the flyback.
    void line() {
        ticks(832 + 24);
        monitor_hsync_pulse(ga->beamInRetrace());
        ticks(168);
    }
};

TEST_F(MonitorBeam, LineFillsAnEvenRowThenWaitsForHsync) {
    ticks(832);
    for (int x = 0; x < kFrameWidth; ++x) ASSERT_EQ(cpcscreenpixels[x], kRed) << x;
    EXPECT_EQ(cpcscreenpixels[kFrameWidth], 0u) << "the odd row is left to the frame end";
    EXPECT_EQ(std::make_tuple(ga->beamInRetrace(), cpcscreenpixels_xy, cpcscreenpixels_xy_hsync),
              std::make_tuple(true, 2u * kFrameWidth, 3u * kFrameWidth));

    ticks(5000);  // no pulse, no line end
    EXPECT_EQ(std::make_tuple(ga->beamInRetrace(), monitor_nb_lines), std::make_tuple(true, 0));

    monitor_hsync_pulse(true);
    ticks(167);
    EXPECT_TRUE(ga->beamInRetrace());
    ticks(1);
    EXPECT_EQ(std::make_tuple(ga->beamInRetrace(), monitor_nb_lines), std::make_tuple(false, 1));
}

TEST_F(MonitorBeam, HsyncWhileDrawingIsIgnored) {
    ticks(400);
    monitor_hsync_pulse(ga->beamInRetrace());
    EXPECT_EQ(monitor_hsync_ctr, 0);
    ticks(432);
    EXPECT_EQ(std::make_tuple(ga->beamInRetrace(), cpcscreenpixels_xy), std::make_tuple(true, 2u * kFrameWidth));
}

TEST_F(MonitorBeam, BlankDrawsTheBlankColour) {
    ga->blank = true;
    ticks(10);
    EXPECT_EQ(cpcscreenpixels[5], monitor_blank_color);
    EXPECT_EQ(monitor_blank_color, monitor_aBGR[20]);
}

TEST_F(MonitorBeam, RetracesByItselfAfter604Lines) {
    const uint32_t finished = monitorFinishedFrames;
    for (int n = 1; n <= 525; ++n) line();
    EXPECT_EQ(monitor_nb_lines, 525);
    EXPECT_EQ(monitorFinishedFrames, finished) << "no VSYNC, nothing finished yet";
    // Lines 526 to 603 are counted in retrace, not drawn.
    for (int n = 526; n <= 603; ++n) {
        line();
        ASSERT_TRUE(ga->beamInRetrace()) << n;
    }
    EXPECT_EQ(monitor_nb_lines, 603);
    line();
    EXPECT_EQ(std::make_tuple(monitor_nb_lines, cpcscreenpixels_xy, cpcscreenpixels_xy_hsync, monitorFinishedFrames),
              std::make_tuple(0, 0u, uint32_t(kFrameWidth), finished + 1));
    EXPECT_GT(monitor_vsync_ctr, 0u);
}

TEST_F(MonitorBeam, EarlyVsyncDoesNotReturnTheBeam) {
    for (int n = 0; n < 183; ++n) line();
    const uint32_t finished = monitorFinishedFrames;
    const uint32_t xy = cpcscreenpixels_xy;
    ga->change_monitor_pixels();
    EXPECT_TRUE(monitor_vsync_pulse()) << "the retrace itself starts";
    EXPECT_EQ(std::make_tuple(cpcscreenpixels_xy, monitor_nb_lines, monitorFinishedFrames),
              std::make_tuple(xy, 183, finished));
    EXPECT_FALSE(monitor_vsync_pulse()) << "a pulse during a retrace has no effect";
}

TEST_F(MonitorBeam, VsyncAfter184LinesFinishesTheFrame) {
    for (int n = 0; n < 184; ++n) line();
    const uint32_t finished = monitorFinishedFrames;
    ga->change_monitor_pixels();
    EXPECT_TRUE(monitor_vsync_pulse());
    EXPECT_EQ(std::make_tuple(cpcscreenpixels_xy, monitor_nb_lines, monitorFinishedFrames),
              std::make_tuple(0u, 0, finished + 1));
    // The retrace lasts 24000 ticks; the beam then waits for a line start.
    ticks(24000);
    EXPECT_EQ(monitor_vsync_ctr, 0u);
    monitor_hsync_pulse(ga->beamInRetrace());
    ticks(168);
    EXPECT_FALSE(ga->beamInRetrace());
    ticks(3);
    EXPECT_EQ(cpcscreenpixels[1], kRed);
}

TEST_F(MonitorBeam, FinishedFrameDoublesOrBlanksOddRows) {
    for (int n = 0; n < 200; ++n) line();
    monitor_finish_frame();
    EXPECT_EQ(cpcscreenpixels[kFrameWidth + 17], kRed);
    EXPECT_EQ(cpcscreenpixels[199 * 2 * kFrameWidth + kFrameWidth + 3], kRed);

    t_scanlines = true;
    monitor_finish_frame();
    EXPECT_EQ(cpcscreenpixels[kFrameWidth + 17], monitor_blank_color);
    EXPECT_EQ(cpcscreenpixels[17], kRed);

    t_scanlines = false;
    monitor_finish_frame();
    EXPECT_EQ(cpcscreenpixels[kFrameWidth + 17], kRed);
}

TEST_F(MonitorBeam, PaletteSwitchKeepsPensOnTheirHardwareColour) {
    // Gray and green give several hardware colours one value (0 and 1, 2 and
    // 17, ...): the pens must still come back to their own colours.
    enum { kColour, kGray, kGreen };
    auto choose = [](int palette) {
        t_color = palette == kColour;
        t_colorG = palette == kGreen;
        monitor_color();
    };
    as->reset();
    // A Plus palette-page colour is the pen's own and stays through every switch.
    as->mWrite(0x2400 + 2 * 15, 0x4A);
    as->mWrite(0x2400 + 2 * 15 + 1, 0x07);
    const uint32_t pagePen = as->pens[15];
    for (int round = 0; round < 32; ++round) {
        choose(round % 3);  // the colours are written in every palette
        for (uint8_t pen = 0; pen <= 16; ++pen) {
            const uint8_t colour = static_cast<uint8_t>((round + pen) & 31);
            test_support::ioCycle(0x7F00, pen == 16 ? 0x10 : pen);
            test_support::ioCycle(0x7F00, static_cast<uint8_t>(0x40 | colour));
            if (pen == 15) continue;
            test_support::ioCycleOn(as, 0x7F00, pen == 16 ? 0x10 : pen);
            test_support::ioCycleOn(as, 0x7F00, static_cast<uint8_t>(0x40 | colour));
        }
        for (int palette : {kGray, kColour, kGreen, kColour, kGray, kGreen}) {
            choose(palette);
            for (int pen = 0; pen <= 16; ++pen) {
                const uint32_t shown = kMonitorPalettes[palette][(round + pen) & 31];
                ASSERT_EQ(ga->pens[pen], shown) << "round " << round << " pen " << pen << " palette " << palette;
                if (pen != 15) {
                    ASSERT_EQ(as->pens[pen], shown) << "Plus, round " << round << " pen " << pen;
                }
            }
            ASSERT_EQ(std::make_tuple(ga->borderColor, as->borderColor, as->pens[15], monitor_blank_color),
                      std::make_tuple(ga->pens[16], as->pens[16], pagePen, kMonitorPalettes[palette][20]));
        }
    }
    // Hardware colour 4 is 00 02 6B in colour, 30 30 30 in gray; the key cycles colour, green, gray.
    choose(kColour);
    test_support::ioCycle(0x7F00, 0x00);
    test_support::ioCycle(0x7F00, 0x44);
    EXPECT_EQ(ga->pens[0], 0xFF6B0200u);
    monitor_change_color();
    EXPECT_EQ(std::make_tuple(t_colorG, ga->pens[0]), std::make_tuple(true, 0xFF115C16u));
    monitor_change_color();
    EXPECT_EQ(std::make_tuple(t_color || t_colorG, ga->pens[0]), std::make_tuple(false, 0xFF303030u));
    monitor_change_color();
    EXPECT_EQ(std::make_tuple(t_color, ga->pens[0]), std::make_tuple(true, 0xFF6B0200u));
}

TEST_F(MonitorBeam, BeamPastTheBufferWritesNothing) {
    // 320 lines fill the buffer; further lines must not write past it.
    cpcscreenpixels_xy = kFramePixels - 4;
    setBeamRowEnd(kFramePixels + 100);
    ticks(104);
    EXPECT_TRUE(ga->beamInRetrace());
    EXPECT_EQ(cpcscreenpixels[kFramePixels - 1], kRed);
}

}  // namespace
