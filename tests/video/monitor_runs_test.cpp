// The frame clock hands the beam each half character as runs of adjacent
// ticks, and the first run may draw the whole half at once; the others then
// only redraw what a blank change asks, or go tick by tick. A half must leave
// the beam and the frame buffer exactly as the same ticks one by one would,
// also when a row end, the buffer end, a sync counter or a blank change falls
// inside it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "support/machine_fixture.h"
#include "video/beam.h"
#include "video/gate_array.h"
#include "video/monitor.h"

using test_support::BareMachine;

namespace {

struct BeamState {
    uint32_t xy, xyHsync, vsyncCtr, finished;
    uint16_t lines;
    uint8_t hsyncCtr;
    bool retrace;
    auto tie() const { return std::tie(xy, xyHsync, vsyncCtr, finished, lines, hsyncCtr, retrace); }
};

struct Case {
    const char* name;
    bool retrace;
    bool blank;
    uint32_t xy, xyHsync;
    uint16_t lines;
    uint32_t vsyncCtr;
    uint8_t hsyncCtr;
};

class MonitorRuns : public BareMachine {
protected:
    void SetUp() override {
        BareMachine::SetUp();
        t_scanlines = false;
        for (int i = 0; i < 8; ++i) ga->derived.halfColours[i] = 0xFF000000u | (0x111111u * (i + 1));
        ga->derived.halfRow = ga->derived.halfColours;
        // A recognisable picture, so that a finished frame copies something.
        for (uint32_t i = 0; i < kFramePixels; ++i) cpcscreenpixels[i] = 0xFF000000u | (i * 2654435761u >> 8);
    }

    void load(const Case& c) {
        if (c.retrace) ga->change_monitor_pixels();
        else ga->change_monitor_update();
        ga->blank = c.blank;
        cpcscreenpixels_xy = c.xy;
        setBeamRowEnd(c.xyHsync);
        monitor_nb_lines = c.lines;
        monitor_vsync_ctr = c.vsyncCtr;
        monitor_hsync_ctr = c.hsyncCtr;
    }

    BeamState state() const {
        return {cpcscreenpixels_xy, cpcscreenpixels_xy_hsync, monitor_vsync_ctr, monitorFinishedFrames,
                monitor_nb_lines,   monitor_hsync_ctr,        ga->beamInRetrace()};
    }

    // One half character both ways from the same start: eight single ticks,
    // and the runs of `pattern` (the first one starts at the half's tick 0).
    // With `flipBlank` the blank level changes after the first run, as the
    // HSYNC edge after T-state 1 does; with `edgePending` a falling CRTC HSYNC
    // is still to come in the microsecond, and gives the monitor a vertical
    // sync pulse there. Compares beam, routine pairing and buffer.
    void expectHalfSameAsSingleTicks(const Case& c, const std::vector<int>& pattern, bool flipBlank,
                                     bool edgePending) {
        std::string where = std::string(c.name) + " runs";
        for (int n : pattern) {
            where += ' ';
            where += std::to_string(n);
        }
        if (flipBlank) where += ", blank flips";
        if (edgePending) where += ", HSYNC edge pending";
        std::vector<uint32_t>& picture = pictures[0];
        std::vector<uint32_t>& singlePicture = pictures[1];
        picture.assign(cpcscreenpixels, cpcscreenpixels + kFramePixels);
        const uint32_t finishedBefore = monitorFinishedFrames;

        load(c);
        for (int i = 0; i < 8; ++i) {
            if (i == pattern[0] && flipBlank) ga->blank = !ga->blank;
            if (i == pattern[0] && edgePending) monitor_vsync_pulse();
            ga->pixelColor = ga->derived.halfColours[i];
            (ga->*ga->monitorRoutine)();
        }
        const BeamState single = state();
        singlePicture.assign(cpcscreenpixels, cpcscreenpixels + kFramePixels);

        std::memcpy(cpcscreenpixels, picture.data(), kFramePixels * sizeof(uint32_t));
        monitorFinishedFrames = finishedBefore;
        load(c);
        ga->crtcHsyncLast = edgePending;
        crtc->hsync = false;
        int first = 0;
        for (int count : pattern) {
            if (first == pattern[0] && flipBlank) ga->blank = !ga->blank;
            if (first == pattern[0] && edgePending) monitor_vsync_pulse();
            if (first == 0) {
                ga->halfFirstTicks(0, count, true);
            } else {
                ga->beamTicks(first, count);
            }
            first += count;
        }
        ga->crtcHsyncLast = 0;
        const BeamState run = state();

        EXPECT_EQ(run.tie(), single.tie()) << where;
        // In retrace no half may be drawn from the limit of the drawing beam.
        EXPECT_TRUE(!ga->beamInRetrace() || ga->derived.beamHalfLimit == 0) << where << ": half limit left in retrace";
        size_t differing = 0;
        for (uint32_t i = 0; i < kFramePixels; ++i) differing += cpcscreenpixels[i] != singlePicture[i];
        EXPECT_EQ(differing, 0u) << where;
        std::memcpy(cpcscreenpixels, picture.data(), kFramePixels * sizeof(uint32_t));
    }

    std::vector<uint32_t> pictures[2];

    // The frame clock's two halves, the longest runs and single ticks.
    void checkAllRuns(const Case& c) {
        const std::vector<std::vector<int>> patterns = {{1, 7}, {8}, {1, 2, 1, 1, 3}, {4, 4}, {1, 1, 1, 1, 1, 1, 1, 1}};
        for (const auto& pattern : patterns) {
            for (int variant = 0; variant < 4; ++variant)
                expectHalfSameAsSingleTicks(c, pattern, variant & 1, variant & 2);
        }
    }
};

constexpr uint32_t kRow = kFrameWidth;

TEST_F(MonitorRuns, DrawingRunsMatchSingleTicks) {
    const uint32_t mid = 100 * 2 * kRow + 300;
    checkAllRuns({"mid row", false, false, mid, 100 * 2 * kRow + kRow, 100, 0, 0});
    checkAllRuns({"mid row blank", false, true, mid, 100 * 2 * kRow + kRow, 100, 0, 0});
    for (uint32_t left = 1; left <= 9; ++left) {
        const std::string name = "row end in " + std::to_string(left);
        checkAllRuns({name.c_str(), false, false, 2 * kRow - left, 2 * kRow, 0, 0, 0});
        checkAllRuns({name.c_str(), false, true, 2 * kRow - left, 2 * kRow, 0, 0, 0});
    }
}

TEST_F(MonitorRuns, DrawingRunsAtTheBufferEndMatchSingleTicks) {
    for (uint32_t left = 0; left <= 9; ++left) {
        const std::string name = "buffer end in " + std::to_string(left);
        checkAllRuns({name.c_str(), false, false, kFramePixels - left, kFramePixels + 100, 320, 0, 0});
    }
    // A vertical hold above the buffer's last line ends the drawing there.
    setMonitorVerticalHold(99);
    const uint32_t holdEnd = 100 * 2 * kRow;
    for (uint32_t left = 0; left <= 9; ++left) {
        const std::string name = "vertical hold end in " + std::to_string(left);
        checkAllRuns({name.c_str(), false, false, holdEnd - left, holdEnd + 100, 100, 0, 0});
    }
    setMonitorVerticalHold(kMonitorVerticalHold);
    checkAllRuns({"below the buffer", false, false, kFramePixels + 2000, kFramePixels + 2832, 330, 0, 0});
    checkAllRuns({"row end below the buffer", false, false, kFramePixels + 2830, kFramePixels + 2832, 330, 0, 0});
}

TEST_F(MonitorRuns, RetraceRunsMatchSingleTicks) {
    checkAllRuns({"waiting for hsync", true, false, 4 * kRow, 5 * kRow, 2, 0, 0});
    for (uint8_t left = 1; left <= 9; ++left) {
        const std::string name = "flyback ends in " + std::to_string(left);
        checkAllRuns({name.c_str(), true, false, 4 * kRow, 5 * kRow, 2, 0, left});
        checkAllRuns({(name + ", line 525").c_str(), true, false, 4 * kRow, 5 * kRow, 525, 0, left});
        checkAllRuns({(name + ", vertical hold").c_str(), true, false, 4 * kRow, 5 * kRow, 603, 0, left});
    }
    checkAllRuns({"flyback running", true, false, 4 * kRow, 5 * kRow, 2, 0, 100});
}

TEST_F(MonitorRuns, VerticalRetraceRunsMatchSingleTicks) {
    for (uint32_t left = 1; left <= 9; ++left) {
        const std::string name = "vertical retrace ends in " + std::to_string(left);
        checkAllRuns({name.c_str(), true, false, 0, kRow, 0, left, 0});
        checkAllRuns({(name + ", flyback armed").c_str(), true, false, 0, kRow, 0, left, 3});
        // A retrace after a short frame keeps the beam moving, blank.
        checkAllRuns({(name + ", short frame").c_str(), true, false, 60 * kRow + 5, 61 * kRow, 60, left, 0});
    }
    checkAllRuns({"short frame, row end", true, false, 61 * kRow - 2, 61 * kRow, 60, 1000, 0});
    for (uint32_t over = 0; over <= 9; ++over) {
        const std::string name = "short frame, write limit in " + std::to_string(over);
        checkAllRuns({name.c_str(), true, false, 475904 - over, 475904 + 500, 300, 1000, 0});
    }
}

TEST_F(MonitorRuns, HalfLimitFollowsTheBeamThroughWholeFrames) {
    ASSERT_TRUE(crtcRuns()) << "the CRTC produces no line syncs";
    int switches = 0;
    bool wasRetrace = ga->beamInRetrace();
    for (int us = 0; us < 2 * 19968; ++us) {
        ga->clockMicrosecond();
        ASSERT_TRUE(!ga->beamInRetrace() || ga->derived.beamHalfLimit == 0) << "microsecond " << us;
        switches += ga->beamInRetrace() != wasRetrace;
        wasRetrace = ga->beamInRetrace();
    }
    EXPECT_GT(switches, 1000) << "the beam went into and out of retrace on (nearly) every line";
}

}  // namespace
