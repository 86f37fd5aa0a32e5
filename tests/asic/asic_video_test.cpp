// The ASIC's picture: sprites, split screen and soft scroll.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "support/asic_test_support.h"

using namespace asic_test;

namespace {

constexpr uint32_t kBlue = 0xFFFF0000u, kRed = 0xFF0000FFu, kWhite = 0xFFFFFFFFu, kGreen = 0xFF00FF00u;

uint32_t pixel(int x, int y) { return cpcscreenpixels[y * kFrameWidth + x]; }

class AsicVideo : public PlusMachine {};

TEST_F(AsicVideo, SpritesPriorityMagnificationAndClipping) {
    SKIP_WITHOUT_ASIC_PROGRAMS();
    insert(cartridgeWith(program("asic_sprites")));
    frames(4);
    int x0 = -1, y0 = -1;
    for (int y = 0; y < kFrameHeight && y0 < 0; y += 2) {
        for (int x = 0; x < kFrameWidth; ++x) {
            if (pixel(x, y) == kWhite) {
                x0 = x;
                y0 = y;
                break;
            }
        }
    }
    ASSERT_GE(y0, 2) << "no sprite on the picture";
    ASSERT_GE(x0, 1);
    for (int row = 0; row < 16; ++row) {
        const int y = y0 + 2 * row;
        for (int x = 0; x < 12; ++x) EXPECT_EQ(pixel(x0 + x, y), kWhite) << "row " << row << " x " << x;
        for (int x = 12; x < 16; ++x) EXPECT_EQ(pixel(x0 + x, y), kGreen) << "row " << row << " x " << x;
        for (int x = 16; x < 24; ++x) EXPECT_EQ(pixel(x0 + x, y), kBlue) << "row " << row << " x " << x;
        // Sprite 3: its right half would be on the border.
        for (int x = 632; x < 640; ++x) EXPECT_EQ(pixel(x0 + x, y), kWhite) << "row " << row << " x " << x;
        for (int x = 640; x < 648; ++x) EXPECT_EQ(pixel(x0 + x, y), kRed) << "row " << row << " x " << x;
    }
    // Sprite 0 starts at the top-left of the display area and is 16 lines
    // high; sprite 2 is 64 x 64 from X 64, Y 32; sprite 4 starts above the
    // top, its rows 8-15 on lines 0-7.
    const struct Spot {
        int x, line;
        uint32_t colour;
    } spots[] = {{-1, 0, kRed},     {0, -1, kRed},     {0, 16, kBlue},     {63, 32, kBlue},  {64, 32, kGreen},
                 {127, 32, kGreen}, {128, 32, kBlue},  {63, 60, kBlue},    {64, 60, kGreen}, {127, 60, kGreen},
                 {128, 60, kBlue},  {63, 95, kBlue},   {64, 95, kGreen},   {127, 95, kGreen}, {128, 95, kBlue},
                 {64, 31, kBlue},   {64, 96, kBlue},   {200, 0, kGreen},   {215, 7, kGreen}, {200, 8, kBlue}};
    for (const Spot& s : spots) EXPECT_EQ(pixel(x0 + s.x, y0 + 2 * s.line), s.colour) << s.x << ", line " << s.line;
}

TEST_F(AsicVideo, SplitScreenAndExtendedBorder) {
    SKIP_WITHOUT_ASIC_PROGRAMS();
    insert(cartridgeWith(program("asic_split")));
    frames(8);  // filling 16 KB takes four frames
    // The display lines: rows with screen pixels, blue or green.
    std::vector<int> rows;
    int left = kFrameWidth, right = -1;
    for (int y = 0; y < kFrameHeight; y += 2) {
        bool shown = false;
        for (int x = 0; x < kFrameWidth; ++x) {
            const uint32_t c = pixel(x, y);
            if (c == kBlue || c == kGreen) {
                shown = true;
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
        if (shown) rows.push_back(y);
    }
    ASSERT_EQ(rows.size(), 200u);
    EXPECT_EQ(right - left + 1, 640 - 16) << "the first character column is border";
    const int middle = (left + right) / 2;
    EXPECT_EQ(pixel(middle, rows[50]), kBlue) << "line 50 before the split";
    EXPECT_EQ(pixel(middle, rows[51]), kGreen) << "line 51 from &2000";
    EXPECT_EQ(pixel(middle, rows[199]), kGreen);
    EXPECT_EQ(pixel(middle, rows[0]), kBlue);
}

// SSCR bits 6-4 move the raster address the type-3 CRTC outputs.
TEST_F(AsicVideo, VerticalScrollOffsetsTheRasterAddress) {
    programFirmwareCrtc();
    for (uint8_t scroll = 0; scroll < 8; ++scroll) {
        as->mWrite(0x2804, static_cast<uint8_t>(scroll << 4));
        int guard = 0;
        while (!(crtc->C4 == 2 && crtc->C9 == 5 && crtc->C0 == 10) && ++guard < 40000) as->clockMicrosecond();
        EXPECT_EQ(crtc->RA, (5 + scroll) & 7) << "scroll " << int(scroll);
        as->clockMicrosecond();
    }
}

// On the screen: scroll s moves the picture s high-resolution pixels right,
// in modes 0, 1 and 2, with the same colours.
TEST_F(AsicVideo, HorizontalScrollMovesThePicture) {
    mem->banks[0][0] = 0x76;  // the processor halts
    programFirmwareCrtc(0x30);
    std::mt19937 random(3);
    for (int i = 0; i < 16384; ++i) mem->banks[3][i] = static_cast<uint8_t>(random());
    for (uint16_t pen = 0; pen < 17; ++pen) {
        as->mWrite(static_cast<uint16_t>(0x2400 + 2 * pen), static_cast<uint8_t>(pen * 16 + 15 - pen));
        as->mWrite(static_cast<uint16_t>(0x2401 + 2 * pen), pen == 16 ? 15 : 0);
    }
    // Line 150 of the display, from its first pixel (the border is pen 16's colour).
    auto row = [&](uint8_t scroll) {
        as->mWrite(0x2804, scroll);
        frames(4);
        const uint32_t* line = cpcscreenpixels + 2 * 150 * kFrameWidth;
        int left = 0;
        while (left < kFrameWidth - 640 && (line[left] == as->borderColor || line[left] == monitor_blank_color)) ++left;
        return std::vector<uint32_t>(line + left, line + left + 640);
    };
    for (uint8_t mode : {0, 1, 2}) {
        asicIo(0x7F00, static_cast<uint8_t>(0x8C | mode));
        const std::vector<uint32_t> still = row(0);
        for (uint8_t scroll : {1, 2, 4, 7, 8, 15}) {
            if (scroll % (mode == 0 ? 4 : mode == 1 ? 2 : 1)) continue;  // the mode's pixel width
            const std::vector<uint32_t> moved = row(scroll);
            for (int x = 32; x < 600; ++x) {
                ASSERT_EQ(moved[x + scroll], still[x]) << "mode " << int(mode) << " scroll " << int(scroll) << " x " << x;
            }
        }
    }
}

// Pixel k of the scrolled stream is pixel k - s of the unscrolled one.
TEST_F(AsicVideo, HorizontalScrollKeepsEachModesInterleave) {
    std::mt19937 random(7);
    for (uint8_t mode : {0, 1, 2}) {
        as->mode = mode;
        const int perByte = mode == 0 ? 2 : mode == 1 ? 4 : 8;
        auto pen = [&](uint8_t byte, int k) -> int {
            if (mode == 0) return as->mode0Table[byte][k];
            if (mode == 1) return as->mode1Table[byte][k];
            return as->mode2Table[byte][k];
        };
        for (uint8_t scroll = 1; scroll < 16; ++scroll) {
            const int s = scroll / (8 / perByte);  // in the mode's pixels
            if (!s) continue;
            for (int trial = 0; trial < 20; ++trial) {
                as->scrollHistory = static_cast<uint32_t>(random());
                as->scrollH = scroll;
                as->applyScroll();
                const uint8_t bytes[4] = {uint8_t(as->scrollHistory >> 24), uint8_t(as->scrollHistory >> 16),
                                          uint8_t(as->scrollHistory >> 8), uint8_t(as->scrollHistory)};
                const uint8_t shown[2] = {uint8_t(as->shiftA), uint8_t(as->shiftB)};
                for (int k = 0; k < 2 * perByte; ++k) {
                    const int from = 2 * perByte + k - s;  // in the stream of the four bytes
                    ASSERT_EQ(pen(shown[k / perByte], k % perByte), pen(bytes[from / perByte], from % perByte))
                        << "mode " << int(mode) << " scroll " << int(scroll) << " pixel " << k;
                }
            }
        }
    }
}

}  // namespace
