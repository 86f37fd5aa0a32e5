// End to end: the headless program boots each CPC model to BASIC on every CRTC
// type, runs named by a command line show what they should on the screen,
// screen modes show with the right colours and pixel widths, and the Plus
// models take cartridges and expansion ROMs; a real game loads from tape and
// from recordings of it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "e2e/e2e_cases.h"
#include "e2e/headless_run.h"
#include "machine/cpc.h"
#include "support/asic_test_support.h"
#include "support/tape_test_support.h"

using namespace test_support;

namespace {

struct BootCase {
    const char* model;
    const char* banner;
    const char* basic;
};

const BootCase kBoots[] = {
    {"6128", "Amstrad 128K Microcomputer  (v3)", "BASIC 1.1"},
    {"464", "Amstrad 64K Microcomputer  (v1)", "BASIC 1.0"},
    {"664", "Amstrad 64K Microcomputer  (v2)", "BASIC 1.1"},
};

class WithFont : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_SHARED_ROMS();
        ASSERT_TRUE(font.loadFromOsRom(sharedOsRom("6128")));
    }
    RomFont font;
};

class BootScreen : public WithFont, public ::testing::WithParamInterface<std::tuple<BootCase, int>> {};

TEST_P(BootScreen, ReachesReady) {
    const auto& [boot, crtcType] = GetParam();
    TempKestrixHome home;
    ScreenRun run = runToScreenshot(home, 150, {"-c", boot.model, "-t", std::to_string(crtcType)});
    ASSERT_EQ(run.process.exitCode, 0) << run.process.output;
    ASSERT_TRUE(run.ok()) << run.pictureError << "\n" << run.process.output;
    ASSERT_EQ(run.picture.width, 768);
    ASSERT_EQ(run.picture.height, 548);

    ScreenText text = readScreenText(run.picture, font);
    EXPECT_EQ(text.mode(), 1) << text.dump();
    EXPECT_TRUE(text.contains(boot.banner)) << text.dump();
    EXPECT_TRUE(text.contains(boot.basic)) << text.dump();
    TextPosition ready = text.find("Ready");
    ASSERT_TRUE(ready.found()) << text.dump();
    TextPosition basic = text.find(boot.basic);
    EXPECT_GT(ready.row, basic.row) << text.dump();
    EXPECT_EQ(text.lines[ready.row].substr(ready.column), "Ready") << "nothing else on the prompt line";
}

std::string bootName(const ::testing::TestParamInfo<std::tuple<BootCase, int>>& info) {
    return std::string("cpc") + std::get<0>(info.param).model + "_crtc" + std::to_string(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(Models, BootScreen,
                         ::testing::Combine(::testing::ValuesIn(kBoots), ::testing::Values(0, 1, 2, 4)), bootName);

// A run in the notation of the golden frames table (e2e_cases.h) and what its
// last picture and its output show. `column`: the first text, and under it,
// row by row from its column, the others.
struct ScreenCase {
    const char* name;
    int frames;
    const char* options;
    std::vector<std::string> shown, notShown = {}, column = {}, logged = {};
    const char* ini = nullptr;  // "KEY OPTION": KEY set in Kestrix.ini to the file the option names
};

void PrintTo(const ScreenCase& c, std::ostream* os) { *os << c.name; }

// clang-format off
const ScreenCase kScreens[] = {
    {"PrintShowsTheAnswerUnderTheCommand", 400, "-c 6128 -a 'PRINT 6*7'", {}, {}, {"PRINT 6*7", " 42 ", "Ready"}},
    {"Cpc6128PlusRunsBasic", 400, "-c 6128+ -a 'PRINT 6*7'", {"BASIC 1.1"}, {}, {"PRINT 6*7", " 42 ", "Ready"}},
    {"Cpc464PlusStartsOnTheStandInCartridge", 150, "-c 464+", {"Ready"}, {}, {}, {"stand-in cartridge"}},
    {"Gx4000StartsOnTheStandInCartridge", 150, "-c gx4000", {"Ready"}, {}, {}, {"stand-in cartridge"}},
    {"DiskGameRunsOnThe6128Plus", 900, "-c 6128+ -0 $MEDIA/cpcrogue.dsk -a 'run\"cpcrogue'", {"PRESS ENTER TO START"}},
    {"Cpc664CataloguesADisk", 450, "-c 664 -0 $MEDIA/rogue.dsk -a cat", {"ROGUE   .BAS"}},
    {"BasicGameRunsFromDisk", 1200, "-c 6128 -0 $MEDIA/rogue.dsk -a 'run\"rogue'", {"PRESS ENTER TO START"}},
    {"DemoDiskCatalogues", 450, "-c 6128 -0 $MEDIA/SinewaveDemo.dsk -a cat", {"PINBALL1.SCR"}},
    {"Cpc6128SwitchesToTapeAndLoadsTheGame", 2700, "-c 6128 -k $MEDIA/cpcrogue.cdt -e", {"PRESS ENTER TO START"},
     {"Ready", "Read error"}},
    {"SnapshotOfTheConfigurationShowsTheGame", 100, "", {"PRESS ENTER TO START"}, {"Ready"}, {}, {},
     "sna $MEDIA/cpcrogue.sna"},
};
// clang-format on

class ScreenAfterRun : public WithFont, public ::testing::WithParamInterface<ScreenCase> {};

TEST_P(ScreenAfterRun, ShowsWhatTheRunLeadsTo) {
    const ScreenCase& c = GetParam();
    TempKestrixHome home;
    std::vector<std::string> options, setting;
    std::string missing;
    if (!e2e::prepareOptions(home, c.options, options, missing)) GTEST_SKIP() << missing << " not found";
    if (c.ini) {
        if (!e2e::prepareOptions(home, c.ini, setting, missing)) GTEST_SKIP() << missing << " not found";
        home.writeFile("Kestrix.ini", setting.at(0) + "=" + setting.at(1) + "\n");
    }
    ScreenRun run = runToScreenshot(home, c.frames, options);
    ASSERT_TRUE(run.ok()) << run.pictureError << "\n" << run.process.output;
    ScreenText text = readScreenText(run.picture, font);
    for (const std::string& s : c.shown) EXPECT_TRUE(text.contains(s)) << s << "\n" << text.dump();
    for (const std::string& s : c.notShown) EXPECT_FALSE(text.contains(s)) << s << "\n" << text.dump();
    for (const std::string& s : c.logged)
        EXPECT_NE(run.process.output.find(s), std::string::npos) << run.process.output;
    if (c.column.empty()) return;
    TextPosition at = text.find(c.column[0]);
    ASSERT_TRUE(at.found()) << text.dump();
    for (size_t row = 1; row < c.column.size(); ++row) {
        EXPECT_EQ(text.slice(at.row + static_cast<int>(row), at.column, static_cast<int>(c.column[row].size())),
                  c.column[row])
            << text.dump();
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, ScreenAfterRun, ::testing::ValuesIn(kScreens),
                         [](const ::testing::TestParamInfo<ScreenCase>& info) { return std::string(info.param.name); });

// Screen modes, inks and the border show with the right colours and pixel widths.
// Hardware colours of the firmware inks used below, as the colour monitor shows them.
constexpr uint32_t kBlack = abgrFromRgb(0x000201);        // ink 0
constexpr uint32_t kBrightRed = abgrFromRgb(0xF30506);    // ink 6
constexpr uint32_t kBrightGreen = abgrFromRgb(0x02F001);  // ink 18

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

class ScreenModes : public WithFont, public ::testing::WithParamInterface<int> {};

TEST_P(ScreenModes, InksBorderAndPixelWidths) {
    const int mode = GetParam();
    const int pixelWidth = mode == 0 ? 4 : mode == 1 ? 2 : 1;  // picture pixels per CPC pixel
    TempKestrixHome home;
    const std::string program =
        "MODE " + std::to_string(mode) + ":BORDER 6:INK 0,0:INK 1,18:PEN 1:PRINT CHR$(143);\"I\":PRINT";
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

// The Plus models: cartridges load from the command line or the configuration, and an expansion ROM leaves
// the cartridge alone.
class PlusHeadless : public WithFont {
protected:
    TempKestrixHome home;
};

TEST_F(PlusHeadless, CartridgeFromTheCommandLineAndTheConfiguration) {
    SKIP_WITHOUT_ASIC_PROGRAMS();
    const std::vector<uint8_t> cpr = asic_test::cartridgeWith(asic_test::program("asic_page"));
    const std::string path = home.write("page.cpr", cpr);
    for (const auto& args : {std::vector<std::string>{"--frames=20", "-p", path},
                             std::vector<std::string>{"--frames=20", "--cpr=" + path}}) {
        HeadlessResult r = runKestrixHeadless(home.path(), args);
        EXPECT_EQ(r.exitCode, 0) << r.output;
        EXPECT_NE(r.output.find("OSD: page.cpr"), std::string::npos) << r.output;
    }
    home.writeFile("Kestrix.ini", "[CPC]\ncpr=" + path + "\n");
    HeadlessResult r = runKestrixHeadless(home.path(), {"--frames=20"});
    EXPECT_NE(r.output.find("OSD: page.cpr"), std::string::npos) << r.output;
}

TEST_F(PlusHeadless, AnExpansionRomOnThePlusLeavesTheCartridgeAlone) {
    // BASIC 1.0 is a foreground ROM: in slot 3 it must not replace the cartridge's BASIC 1.1.
    ScreenRun run = runToScreenshot(
        home, 300,
        {"-c", "6128+", "-u", "3", "-r", sharedPath(std::string("roms/") + basicRomFileName(CPC464, LangUK))});
    ASSERT_TRUE(run.ok()) << run.pictureError << "\n" << run.process.output;
    ScreenText text = readScreenText(run.picture, font);
    EXPECT_TRUE(text.contains("BASIC 1.1")) << text.dump();
    EXPECT_TRUE(text.contains("Ready")) << text.dump();
}

// The whole machine loading a real game from tape in headless runs: from the
// CDT image, and from WAV and CSW recordings made of the same tape.

using test_support::RomFont;
using test_support::ScreenText;

// The title shows after about 2450 frames (49 s: the tape's own length) on
// the 464 and 2500 on the 6128.
constexpr int kFramesToTitle = 2700;
const char* const kTitleText = "PRESS ENTER TO START";

std::string realTape() { return sharedPath("media/cpcrogue.cdt"); }

class TapeLoading : public TapeDeckTest {
protected:
    TempKestrixHome home;
    RomFont font;

    void SetUp() override {
        TapeDeckTest::SetUp();
        SKIP_WITHOUT_SHARED(test_support::kSharedOsRom6128, "media/cpcrogue.cdt");
        ASSERT_TRUE(font.loadFromOsRom(test_support::sharedOsRom("464")));
    }

    ScreenText screenAfterLoading(const std::string& model, const std::string& tapeFile) {
        test_support::ScreenRun run =
            test_support::runToScreenshot(home, kFramesToTitle, {"-c", model, "-k", tapeFile, "-e"});
        EXPECT_TRUE(run.ok()) << run.pictureError << "\n" << run.process.output;
        if (!run.ok()) return {};
        return test_support::readScreenText(run.picture, font);
    }

    static void expectTitle(const ScreenText& screen) {
        EXPECT_TRUE(screen.contains(kTitleText)) << screen.dump();
        EXPECT_FALSE(screen.contains("Ready")) << screen.dump();
        EXPECT_FALSE(screen.contains("Read error")) << screen.dump();
    }
};

// The 464 loads the game from the CDT with the tape autorun, and from every recording of it.
TEST_F(TapeLoading, Cpc464LoadsTheCdtAndRecordingsOfItTheSame) {
    ASSERT_EQ(loadTapeImage(realTape(), 'c'), 1);
    std::vector<tapePulse> pulses = deckPulses();
    ScreenText fromCdt = screenAfterLoading("464", realTape());
    expectTitle(fromCdt);
    ASSERT_TRUE(fromCdt.contains(kTitleText));

    const std::pair<std::string, Bytes> recordings[] = {
        // Each kind of recording once: the tape tests compare every format's pulses with the CDT's.
        {"rogue-8bit-22k.wav", wavFromPulses(pulses, 22050, 8)},
        {"rogue-v2.csw", cswFromPulses(pulses, 44100, 2)},
    };
    for (const auto& [name, image] : recordings) {
        SCOPED_TRACE(name);
        ScreenText screen = screenAfterLoading("464", scratch.write(name, image));
        expectTitle(screen);
        EXPECT_EQ(screen.lines, fromCdt.lines) << screen.dump() << "\nfrom the CDT:\n" << fromCdt.dump();
    }
}

}  // namespace
