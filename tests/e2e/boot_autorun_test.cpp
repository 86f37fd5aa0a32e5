// End to end with typed input: BASIC answers a command, and screen modes,
// inks and the border show with the right colours and pixel widths.
#include <gtest/gtest.h>

#include <string>

#include "e2e/headless_run.h"

using namespace test_support;

namespace {

// Hardware colours of the firmware inks used below, as the colour monitor shows them.
constexpr uint32_t kBlack = abgrFromRgb(0x000201);        // ink 0
constexpr uint32_t kBrightRed = abgrFromRgb(0xF30506);    // ink 6
constexpr uint32_t kBrightGreen = abgrFromRgb(0x02F001);  // ink 18

class BootAutorun : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_SHARED_ROMS();
        ASSERT_TRUE(font.loadFromOsRom(sharedOsRom("6128")));
    }
    RomFont font;
};

TEST_F(BootAutorun, PrintShowsTheAnswerUnderTheCommand) {
    TempKestrixHome home;
    ScreenRun run = runToScreenshot(home, 400, {"-c", "6128", "-a", "PRINT 6*7"});
    ASSERT_TRUE(run.ok()) << run.pictureError << "\n" << run.process.output;
    ScreenText text = readScreenText(run.picture, font);
    TextPosition command = text.find("PRINT 6*7");
    ASSERT_TRUE(command.found()) << text.dump();
    EXPECT_EQ(text.slice(command.row + 1, command.column, 4), " 42 ") << text.dump();
    EXPECT_EQ(text.slice(command.row + 2, command.column, 5), "Ready") << text.dump();
}

// The top-left pixel of the first cell drawn in `colour`, scanning rows.
bool firstPixelOf(const RgbaImage& image, uint32_t colour, int& x, int& y) {
    for (y = 0; y < image.height; ++y)
        for (x = 0; x < image.width; ++x)
            if (image.at(x, y) == colour) return true;
    return false;
}

int runLength(const RgbaImage& image, int x, int y, uint32_t colour) {
    int n = 0;
    while (x + n < image.width && image.at(x + n, y) == colour) ++n;
    return n;
}

class ScreenModes : public BootAutorun, public ::testing::WithParamInterface<int> {};

TEST_P(ScreenModes, InksBorderAndPixelWidths) {
    const int mode = GetParam();
    const int pixelWidth = mode == 0 ? 4 : mode == 1 ? 2 : 1;  // picture pixels per CPC pixel
    TempKestrixHome home;
    const std::string program = "MODE " + std::to_string(mode) +
                                ":BORDER 6:INK 0,0:INK 1,18:PEN 1:PRINT CHR$(143);\"I\":PRINT";
    ScreenRun run = runToScreenshot(home, 400, {"-c", "6128", "-a", program});
    ASSERT_TRUE(run.ok()) << run.pictureError << "\n" << run.process.output;
    const RgbaImage& pic = run.picture;

    EXPECT_EQ(pic.at(2, 2), kBrightRed) << "border";
    EXPECT_EQ(pic.at(pic.width - 3, pic.height - 3), kBrightRed) << "border";

    int x = 0, y = 0;
    ASSERT_TRUE(firstPixelOf(pic, kBrightGreen, x, y)) << "no pixel in ink 18";
    // The solid block: eight CPC pixels in ink 1 for all eight doubled lines,
    // on paper 0 (the line below it is empty).
    EXPECT_EQ(runLength(pic, x, y, kBrightGreen), 8 * pixelWidth);
    for (int row = 0; row < 16; ++row) EXPECT_EQ(pic.at(x, y + row), kBrightGreen) << "block row " << row;
    EXPECT_EQ(pic.at(x, y + 16), kBlack) << "paper under the block";
    EXPECT_EQ(pic.at(pic.width / 2, pic.height / 2), kBlack) << "paper";

    // The "I" next to it: its stroke in a middle glyph row has the glyph's own width.
    const uint64_t glyph = font.glyph('I');
    const unsigned middle = static_cast<unsigned>(glyph >> (8 * 3)) & 0xFF;
    int first = 0;
    while (first < 8 && !(middle & (0x80 >> first))) ++first;
    int width = 0;
    while (first + width < 8 && (middle & (0x80 >> (first + width)))) ++width;
    ASSERT_GT(width, 0);
    const int cellX = x + 8 * pixelWidth;
    EXPECT_EQ(runLength(pic, cellX + first * pixelWidth, y + 6, kBrightGreen), width * pixelWidth);
    EXPECT_EQ(pic.at(cellX + first * pixelWidth - 1, y + 6), kBlack);

    ScreenText text = readScreenText(pic, font);
    EXPECT_EQ(text.mode(), mode) << text.dump();
    EXPECT_TRUE(text.contains("Ready")) << text.dump();
}

INSTANTIATE_TEST_SUITE_P(Modes, ScreenModes, ::testing::Values(0, 1, 2));

}  // namespace
