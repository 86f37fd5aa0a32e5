// CRTC character clock: line and frame timing, sync widths, display window,
// address generation, per type.
#include "video/crtc_test_util.h"

#include <algorithm>
#include <tuple>

using namespace crtctest;

namespace {

class CrtcFirmwareTiming : public ::testing::TestWithParam<int> {
protected:
    crtc6845 c;
    uint8_t type() const { return static_cast<uint8_t>(GetParam()); }
    void SetUp() override { bootFirmware(c, type()); }
};

TEST_P(CrtcFirmwareTiming, LinesOf64MicrosecondsFramesOf312LinesAndSyncWidthsOfTheType) {
    Trace t = record(c, 3 * 19968);
    const int hsyncWidth = (type() == 3 || type() == 4) ? 15 : 14;
    auto h = risingEdges(t.hsync);
    ASSERT_GT(h.size(), 600u);
    for (size_t i = 1; i < h.size(); ++i) ASSERT_EQ(h[i] - h[i - 1], 64) << "line " << i;
    for (size_t i = 0; i + 1 < h.size(); ++i) ASSERT_EQ(pulseLength(t.hsync, h[i]), hsyncWidth) << "line " << i;
    auto v = risingEdges(t.vsync);
    ASSERT_GE(v.size(), 2u);
    for (size_t i = 1; i < v.size(); ++i) EXPECT_EQ(v[i] - v[i - 1], 19968);
    EXPECT_EQ(pulseLength(t.vsync, v[0]), ((type() == 1 || type() == 2) ? 16 : 8) * 64);
}

TEST_P(CrtcFirmwareTiming, FrameShows40By200CharactersRowByRowFromTheStartAddress) {
    runToFrameStart(c);
    // The frame starts at &3000 (R12 = &30); each row advances by R1 = 40 words,
    // each of its eight lines repeats the row's addresses with RA = raster.
    Trace t = record(c, 19968);
    for (int line = 0; line < 312; ++line) {
        const int chars = std::count(t.dispen.begin() + line * 64, t.dispen.begin() + line * 64 + 64, 1);
        ASSERT_EQ(chars, line < 200 ? 40 : 0) << "line " << line;
    }
    for (int line = 0; line < 200; ++line) {
        int row = line / 8;
        for (int ch = 0; ch < 40; ++ch) {
            int i = line * 64 + ch;
            ASSERT_EQ(t.ma[i], 0x3000 + 40 * row + ch) << "line " << line << " char " << ch;
            ASSERT_EQ(t.ra[i], line % 8) << "line " << line;
            // DISPEN lags the address by one character, as the video fetch does.
            ASSERT_TRUE(t.dispen[i + 1]) << "line " << line << " char " << ch;
        }
        ASSERT_FALSE(t.dispen[line * 64]) << "line " << line;
    }
    auto v = risingEdges(t.vsync);
    EXPECT_EQ(v, std::vector<int>{30 * 8 * 64}) << "VSYNC on row 30";
    // The next frame starts again at &3000.
    c.crtc_clock();
    EXPECT_EQ(c.MA, 0x3000);
}

INSTANTIATE_TEST_SUITE_P(AllTypes, CrtcFirmwareTiming, ::testing::Values(0, 1, 2, 3, 4),
                         [](const ::testing::TestParamInfo<int>& p) { return "Type" + std::to_string(p.param); });

// ---- behaviour that differs by type ----------------------------------------------

TEST(CrtcTypes, SyncWidthZeroGivesOneCharacterOr16LinesOnProgrammableTypes) {
    for (uint8_t type : {0, 3, 4}) {
        for (uint8_t r3 : {0x80, 0x0E}) {  // HSYNC width 0, VSYNC width 0
            crtc6845 c = booted(type);
            writeReg(c, 3, r3);
            for (int i = 0; i < 19968; ++i) c.crtc_clock();
            Trace t = record(c, 19968);
            auto h = risingEdges(t.hsync), v = risingEdges(t.vsync);
            ASSERT_FALSE(h.empty());
            ASSERT_EQ(v.size(), 1u);
            if (r3 == 0x80) EXPECT_EQ(pulseLength(t.hsync, h[1]), 1) << "type " << int(type);
            else EXPECT_EQ(pulseLength(t.vsync, v[0]), 16 * 64) << "type " << int(type);
        }
    }
}

TEST(CrtcTypes, WritingR2OrR7AtTheCurrentPositionStartsTheSyncAtOnceOnTypes0And1) {
    for (uint8_t type = 0; type <= 4; ++type) {
        for (uint8_t reg : {2, 7}) {
            crtc6845 c = booted(type);
            while ((reg == 2 ? c.C0 : c.C4) != 10) c.crtc_clock();
            const bool& sync = reg == 2 ? c.hsync : c.vsync;
            ASSERT_FALSE(sync);
            writeReg(c, reg, 10);
            EXPECT_EQ(sync, type <= 1) << "type " << int(type) << " R" << int(reg);
        }
    }
}

TEST(CrtcTypes, Type2MissesAVsyncPositionReachedDuringHsync) {
    // HSYNC from character 60 over the line end: it is high at every line start.
    for (uint8_t type : {0, 2}) {
        crtc6845 c = booted(type);
        writeReg(c, 2, 60);
        for (int i = 0; i < 19968; ++i) c.crtc_clock();
        Trace t = record(c, 2 * 19968);
        EXPECT_EQ(risingEdges(t.vsync).size(), type == 2 ? 0u : 2u) << "type " << int(type);
    }
}

TEST(CrtcTypes, R6SwitchesTheDisplayOffAndOnAtOnceOnlyOnType1) {
    for (uint8_t type = 0; type <= 4; ++type) {
        crtc6845 c = booted(type);
        runToFrameStart(c);
        while (c.C4 != 5) c.crtc_clock();
        writeReg(c, 6, 0);
        EXPECT_EQ(c.vdisp, type != 1) << "type " << int(type) << ": other types wait for the row count";
        if (type != 1) continue;
        Trace off = record(c, 64 * 8);
        for (uint8_t d : off.dispen) ASSERT_FALSE(d);
        writeReg(c, 6, 1);
        EXPECT_TRUE(c.vdisp);
        Trace on = record(c, 64 * 2);
        EXPECT_EQ(std::count(on.dispen.begin(), on.dispen.end(), 1), 80);
    }
}

TEST(CrtcTypes, SkewOneShowsEverySecondCharacterOnTypes0_3_4AndThreeNone) {
    for (uint8_t type = 0; type <= 4; ++type) {
        crtc6845 c = booted(type);
        writeReg(c, 8, 0x10);
        runToFrameStart(c);
        Trace t = record(c, 64 * 8);
        int chars = 0, pairs = 0;
        for (size_t i = 0; i < t.dispen.size(); ++i) {
            chars += t.dispen[i];
            if (i && t.dispen[i] && t.dispen[i - 1]) ++pairs;
        }
        if (type == 0 || type == 3 || type == 4) {
            EXPECT_EQ(chars, 8 * 20) << "type " << int(type);
            EXPECT_EQ(pairs, 0) << "type " << int(type);
        } else {
            EXPECT_EQ(chars, 8 * 40) << "type " << int(type);
        }
    }
    // Skew three switches the display off.
    crtc6845 c = booted(0);
    writeReg(c, 8, 0x30);
    Trace t = record(c, 19968);
    EXPECT_EQ(std::count(t.dispen.begin(), t.dispen.end(), 1), 0);
}

TEST(CrtcTypes, Type1ReloadsTheStartAddressOnEveryLineOfRow0) {
    for (uint8_t type : {0, 1}) {
        crtc6845 c = booted(type);
        runToFrameStart(c);
        // Halfway through raster 2 of row 0, move the screen to &2000.
        while (c.C9 != 2 || c.C0 != 20) c.crtc_clock();
        writeReg(c, 12, 0x20);
        while (c.C9 != 3 || c.C0 != 0) c.crtc_clock();
        EXPECT_EQ(c.MA, type == 1 ? 0x2000 : 0x3000) << "type " << int(type);
    }
}

TEST(CrtcTypes, VerticalAdjustAddsR5Lines) {
    for (uint8_t type = 0; type <= 4; ++type) {
        crtc6845 c = booted(type);
        writeReg(c, 5, 4);
        for (int i = 0; i < 2 * 19968; ++i) c.crtc_clock();
        Trace t = record(c, 3 * 20224);
        auto v = risingEdges(t.vsync);
        ASSERT_GE(v.size(), 2u) << "type " << int(type);
        EXPECT_EQ(v[1] - v[0], 316 * 64) << "type " << int(type);
    }
}

TEST(CrtcTypes, ResetRunsOneCharacterLines) {
    ensureCpu();
    crtc6845 c;
    c.reset();
    EXPECT_EQ(std::make_tuple(c.type, c.hdisp, c.vdisp), std::make_tuple(0, true, true));
    for (int i = 0; i < 100; ++i) {
        c.crtc_clock();
        ASSERT_EQ(std::make_tuple(c.C0, c.C4, c.MA), std::make_tuple(0, 0, 0));
    }
}

TEST(CrtcTypes, TypeChangeContinuesFromTheSamePosition) {
    crtc6845 c = booted(0);
    while (c.C4 != 12 || c.C0 != 33) c.crtc_clock();
    uint8_t c9 = c.C9;
    c.setType(2);
    // Counters kept; R0half is type 2's half line.
    EXPECT_EQ(std::tie(c.C0, c.C4, c.C9, c.R0, c.R0half, c.vsyncWidth), std::make_tuple(33, 12, c9, 63, 31, 0));
    c.setType(9);  // unknown: nothing changes
    EXPECT_EQ(c.type, 2);
    c.setType(4);
    EXPECT_EQ(std::make_tuple(c.vsyncWidth, c.hsyncWidth), std::make_tuple(8, 14));
    // Still 64 us lines after the change.
    Trace t = record(c, 19968);
    auto h = risingEdges(t.hsync);
    for (size_t i = 1; i < h.size(); ++i) ASSERT_EQ(h[i] - h[i - 1], 64);
}

// ---- type 3: the Plus ASIC's inputs ------------------------------------------------

TEST(CrtcPlus, SplitScreenStartsTheLineAfterSplt) {
    crtc6845 c = booted(3);
    c.plusSplitLine = 50;
    c.plusSplitAddress = 0x2000;
    runToFrameStart(c);
    Trace t = record(c, 19968);
    // Line 50 is still row 6; from line 51 on the rows run from the split address.
    EXPECT_EQ(std::make_tuple(t.ma[50 * 64], t.ma[51 * 64], t.ma[56 * 64]),
              std::make_tuple(0x3000 + 40 * 6, 0x2000, 0x2000 + 40));
}

TEST(CrtcPlus, VerticalScrollShiftsTheRasterAddress) {
    crtc6845 c = booted(3);
    c.plusScrollV = 3;
    runToFrameStart(c);
    Trace t = record(c, 19968);
    for (int line = 0; line < 16; ++line) ASSERT_EQ(t.ra[line * 64 + 5], (line % 8 + 3) & 7) << "line " << line;
    // The row address is latched where the scrolled raster reaches R9.
    EXPECT_EQ(t.ma[5 * 64], 0x3000 + 40);
}

TEST(CrtcPlus, ExtendedBorderHidesTheFirstCharacter) {
    crtc6845 c = booted(3);
    c.plusDisplayStart = 1;
    runToFrameStart(c);
    Trace t = record(c, 64);
    int chars = 0;
    for (uint8_t d : t.dispen) chars += d;
    EXPECT_EQ(std::make_tuple(chars, t.dispen[1], t.dispen[2]), std::make_tuple(39, 0, 1));
}

int linesSeen = 0, framesSeen = 0;

TEST(CrtcPlus, LineHookRunsOncePerLineWithTheLineCounter) {
    crtc6845 c = booted(3);
    runToFrameStart(c);
    linesSeen = framesSeen = 0;
    c.plusLineStart = [](bool newFrame) {
        ++linesSeen;
        framesSeen += newFrame;
    };
    for (int i = 0; i < 64 * 100; ++i) c.crtc_clock();
    EXPECT_EQ(c.plusLineCounter, 99);
    for (int i = 64 * 100; i < 19968; ++i) c.crtc_clock();
    EXPECT_EQ(std::make_tuple(linesSeen, framesSeen, c.plusLineCounter), std::make_tuple(312, 1, 311));
    c.reset();  // the ASIC wiring survives a CRTC reset
    EXPECT_NE(c.plusLineStart, nullptr);
}

}  // namespace
