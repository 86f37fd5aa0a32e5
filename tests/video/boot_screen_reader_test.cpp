// The screen-text reader the end-to-end tests rely on: it must find the grid
// and the mode by itself, also on a scanline picture and with a border that
// differs from the paper.
#include <gtest/gtest.h>
#include <tuple>

#include "support/screen_text.h"
#include "support/shared_files.h"

using namespace test_support;

namespace {

constexpr uint32_t kPaper = abgrFromRgb(0x00026B);
constexpr uint32_t kInk = abgrFromRgb(0xF3F30D);
constexpr uint32_t kBorder = abgrFromRgb(0xF30506);
constexpr uint32_t kBlank = abgrFromRgb(0x000201);

// Draws text the way the gate array would: each CPC pixel `cellWidth / 8`
// picture pixels wide, each line on two picture rows (the second blank with
// scanlines).
RgbaImage render(const RomFont& font, const std::vector<std::string>& lines, int cellWidth, int x0, int y0,
                 bool scanlines) {
    RgbaImage image;
    image.width = 768;
    image.height = 548;
    image.pixels.assign(static_cast<size_t>(image.width) * image.height, kBorder);
    const int pw = cellWidth / 8;
    for (int y = y0; y < y0 + 400 && y < image.height; ++y)
        for (int x = x0; x < x0 + 640 && x < image.width; ++x) image.pixels[y * image.width + x] = kPaper;
    for (size_t row = 0; row < lines.size(); ++row) {
        for (size_t col = 0; col < lines[row].size(); ++col) {
            const uint64_t glyph = font.glyph(static_cast<uint8_t>(lines[row][col]));
            for (int r = 0; r < 8; ++r) {
                const unsigned bits = (glyph >> (8 * r)) & 0xFF;
                for (int c = 0; c < 8; ++c) {
                    const uint32_t colour = (bits & (0x80 >> c)) ? kInk : kPaper;
                    for (int k = 0; k < pw; ++k) {
                        const int x = x0 + static_cast<int>(col) * cellWidth + c * pw + k;
                        const int y = y0 + static_cast<int>(row) * 16 + 2 * r;
                        image.pixels[y * image.width + x] = colour;
                        image.pixels[(y + 1) * image.width + x] = scanlines ? kBlank : colour;
                    }
                }
            }
        }
    }
    return image;
}

class ScreenReader : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_SHARED_ROMS();
        ASSERT_TRUE(font.loadFromOsRom(sharedOsRom("6128")));
    }
    RomFont font;
};

TEST_F(ScreenReader, FindsModeGridAndText) {
    const std::vector<std::string> lines = {"BASIC 1.1", "", "Ready", "PRINT 6*7", " 42"};
    struct Case {
        int cellWidth;
        int x0, y0;
        bool scanlines;
    };
    for (const Case& c : {Case{16, 64, 80, false}, Case{8, 69, 86, true}, Case{32, 35, 81, false}}) {
        SCOPED_TRACE(c.cellWidth);
        ScreenText text = readScreenText(render(font, lines, c.cellWidth, c.x0, c.y0, c.scanlines), font);
        EXPECT_EQ(text.cellWidth, c.cellWidth) << text.dump();
        EXPECT_EQ(std::make_tuple(text.originX, text.originY % 16), std::make_tuple(c.x0 % c.cellWidth, c.y0 % 16));
        TextPosition ready = text.find("Ready");
        ASSERT_TRUE(ready.found()) << text.dump();
        EXPECT_EQ(text.slice(ready.row - 2, ready.column, 9), "BASIC 1.1");
        EXPECT_EQ(text.slice(ready.row + 2, ready.column, 4), " 42 ");
        EXPECT_EQ(text.paper, kPaper);
    }
}

TEST_F(ScreenReader, BlankPictureReadsNothing) {
    RgbaImage image = render(font, {}, 16, 64, 80, false);
    ScreenText text = readScreenText(image, font);
    EXPECT_EQ(text.recognised, 0);
    EXPECT_FALSE(text.contains("Ready"));
}

}  // namespace
