// The program as a person uses it: a real window under Xvfb, looked at with
// screenshots, typed at and driven with the function keys through xdotool.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <thread>

#include "frontend/missing_rom_window.h"
#include "imggen/font_glyphs.h"
#include "support/window_test_images.h"
#include "window_xvfb_session.h"

namespace {

using test_support::RgbaImage;
using test_support::ScreenText;
using window_test::findIcon;
using window_test::KestrixWindow;
namespace fs = std::filesystem;

constexpr int kStripTop = 548;

// '*' is SHIFT with the key right of L (host ';'): keys go by position.
const std::vector<std::string> kPrint6Times7 = {"p", "r",     "i", "n", "t", "space", "6", "shift+semicolon",
                                                "7", "Return"};

// Polls for the thing itself, with a deadline generous enough for a busy machine.
bool eventually(const std::function<bool()>& check) { return pollFor(60, check); }

class WindowedKestrix : public window_test::XvfbTest {};

TEST_F(WindowedKestrix, ShowsTheBasicScreenAboveTheStatusStrip) {
    KestrixWindow k;
    if (!open(k)) return;
    EXPECT_EQ(k.title(), "Kestrix v2005");
    int w = 0, h = 0;
    ASSERT_TRUE(k.geometry(w, h));
    EXPECT_EQ(std::pair(w, h), std::pair(768, 582));
    if (!reachBasic(k)) return;
    ScreenText screen = k.readScreen();
    EXPECT_TRUE(screen.contains("BASIC 1.1")) << screen.dump();

    RgbaImage shot;
    ASSERT_TRUE(k.screenshot(shot));
    // Run, drives, tape, monitor, sound ("on after start-up"), input, model and flag, left to right.
    const std::pair<const char*, SDL_Rect> strip[] = {
        {"play", {}},  {"disk0", {24, 0, 12, 11}}, {"disk1", {24, 0, 12, 11}}, {"minis_k70", {}}, {"color", {}},
        {"music", {}}, {"joystick_no", {}},        {"6128", {32, 16, 24, 16}}, {"flag_uk", {}}};
    int left = -1;
    for (const auto& [icon, covered] : strip) {
        const int at = findIcon(shot, icon, covered, icon == std::string("flag_uk") ? 564 : kStripTop);
        EXPECT_GT(at, left) << icon << " is not right of the icon before it";
        left = at;
    }

    // F7: the next presented frame goes to a numbered PNG.
    ASSERT_TRUE(k.key("F7"));
    eventually([&] { return k.log().find(".png ok !") != std::string::npos; });
    const std::string log = k.log();
    EXPECT_NE(log.find("Writing PNG image"), std::string::npos) << log;
    EXPECT_NE(log.find(".png ok !"), std::string::npos) << log;

    // A typed line is answered by BASIC.
    ASSERT_TRUE(k.typeKeys(kPrint6Times7));
    EXPECT_TRUE(k.waitForText(" 42", 60, &screen)) << screen.dump();
    EXPECT_TRUE(screen.contains("print 6*7")) << screen.dump();
    closeAndExpectCleanExit(k);
    EXPECT_NE(k.log().find("Thread returned value: 0"), std::string::npos) << k.log();
}

TEST_F(WindowedKestrix, F11SwitchesToFullScreenAndBack) {
    KestrixWindow k;
    if (!open(k, {}, true)) return;
    ASSERT_TRUE(k.key("F11"));
    int w = 0, h = 0;
    RgbaImage root, shot;
    // 1280 x 1024: the picture at 1:1, centred across, from the top; black beside it and no status strip below.
    auto rgb = [&root](int x, int y) { return root.at(x, y) & 0xFFFFFF; };
    EXPECT_TRUE(eventually([&] {
        return k.geometry(w, h) && std::pair(w, h) == std::pair(1280, 1024) && k.screenshotRoot(root) &&
               rgb(100, 300) == 0 && rgb(1200, 300) == 0 && rgb(256 + 400, 1000) == 0 && rgb(256 + 400, 300) != 0;
    })) << w
        << "x" << h;
    ASSERT_TRUE(k.key("F11"));
    EXPECT_TRUE(eventually([&] {
        return k.geometry(w, h) && std::pair(w, h) == std::pair(768, 582) && k.screenshot(shot) &&
               findIcon(shot, "play") >= 0;
    })) << w
        << "x" << h << ", the strip is back";
    EXPECT_TRUE(k.readScreen().contains("Ready"));
    closeAndExpectCleanExit(k);
}

TEST_F(WindowedKestrix, ClosingTheWindowDuringStartUpEndsTheProgramCleanly) {
    KestrixWindow k;
    if (!open(k)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    closeAndExpectCleanExit(k);
}

TEST_F(WindowedKestrix, WithoutImagesTheStripIsEmptyAndTheMachineRuns) {
    KestrixWindow k(false);
    if (!open(k, {}, true)) return;
    RgbaImage shot;
    ASSERT_TRUE(k.screenshot(shot));
    int coloured = 0;
    for (int y = kStripTop; y < 582; ++y)
        for (int xx = 0; xx < 768; ++xx) coloured += (shot.at(xx, y) & 0xFFFFFF) != 0xFFFFFF;
    EXPECT_EQ(coloured, 0) << "an empty, white strip";
    EXPECT_NE(k.log().find("main: SDL_readFileBMP: - SDL_Error:"), std::string::npos) << k.log();
    closeAndExpectCleanExit(k);
}

// The program's own font, as the window without ROMs draws its text.
test_support::RomFont programFont() {
    uint8_t glyphs[2048];
    for (int code = 0; code < 256; ++code) {
        const GlyphRows g = fontGlyph(static_cast<uint8_t>(code));
        for (int r = 0; r < 8; ++r) glyphs[code * 8 + r] = g.rows[r];
    }
    test_support::RomFont font;
    font.loadFromBytes(glyphs);
    return font;
}

TEST_F(WindowedKestrix, WithoutTheOsRomAWindowNamesTheFolderAndTheFilesUntilClosed) {
    const test_support::RomFont font = programFont();
    // Ended once with a key, once by closing the window.
    for (bool byKey : {true, false}) {
        KestrixWindow k(true, false);
        ASSERT_TRUE(k.start());
        ASSERT_FALSE(k.waitForWindow(60, kMissingRomWindowTitle).empty()) << k.log();
        const std::string folder = "  " + k.home().path() + "/ROM/";
        const std::string os = "  missing  Rom CPC 6128 (UK) (Rom A) (1985) (OS v3) [UTILITAIRE] [ROM].rom";
        ScreenText screen;
        RgbaImage shot;
        EXPECT_TRUE(eventually([&] {
            if (!k.screenshot(shot)) return false;
            screen = test_support::readScreenText(shot, font);
            return screen.contains(folder) && screen.contains(os);
        })) << screen.dump();
        EXPECT_TRUE(screen.contains("  missing  AMSDOS.ROM")) << screen.dump();
        EXPECT_TRUE(screen.contains("Close this window or press a key to quit.")) << screen.dump();
        ASSERT_FALSE(k.waitForWindow(60, kMissingRomWindowTitle).empty()) << "the window waits for the user";
        if (byKey) {
            ASSERT_TRUE(k.key("space"));
        } else {
            ASSERT_TRUE(k.requestClose());
        }
        EXPECT_EQ(k.waitForExit(), 1) << k.log();
        EXPECT_NE(k.log().find("main: CPC can't be started!"), std::string::npos) << k.log();
    }
}

// F6: numbered snapshots beside the loaded disk, or in the directory "filepathsna" names.
// Polls for a file of a whole snapshot's size (header and 128 KB).
bool waitForSnapshot(const fs::path& file) {
    return pollFor(60, [&] {
        std::error_code ec;
        return fs::file_size(file, ec) == 256 + 131072 && !ec;
    });
}

class WindowedSnapshot : public window_test::XvfbTest {};

TEST_F(WindowedSnapshot, F6WritesNumberedSnapshotsBesideTheDiskOrInTheConfiguredDirectory) {
    SKIP_WITHOUT_SHARED("media/cpcrogue.dsk");
    const std::string disk = sharedPath("media/cpcrogue.dsk");
    KestrixWindow k;
    const fs::path games = fs::path(k.home().path()) / "games";
    const fs::path saves = fs::path(k.home().path()) / "saves";
    fs::create_directories(games);
    fs::create_directories(saves);
    fs::copy_file(disk, games / "Game.dsk");
    if (!open(k, {"-0", (games / "Game.dsk").string()})) return;
    ASSERT_TRUE(k.key("F6"));
    EXPECT_TRUE(waitForSnapshot(games / "Game_000.sna")) << k.log();
    ASSERT_TRUE(k.key("F6"));
    EXPECT_TRUE(waitForSnapshot(games / "Game_001.sna")) << k.log();
    EXPECT_NE(k.log().find("Writing snapshot file"), std::string::npos) << k.log();
    closeAndExpectCleanExit(k);

    KestrixWindow configured;
    configured.home().writeFile("Kestrix.ini", "filepathsna=" + saves.string() + "\n");
    if (!open(configured, {"-0", (games / "Game.dsk").string()})) return;
    ASSERT_TRUE(configured.key("F6"));
    EXPECT_TRUE(waitForSnapshot(saves / "Game_000.sna")) << configured.log();
    EXPECT_FALSE(fs::exists(games / "Game_002.sna"));
    closeAndExpectCleanExit(configured);
}

}  // namespace
