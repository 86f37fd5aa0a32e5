// The program as a person uses it: a real window under Xvfb, looked at with
// screenshots, typed at and driven with the function keys through xdotool.
#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "frontend/missing_rom_window.h"
#include "imggen/font_glyphs.h"
#include "support/disk_test_support.h"
#include "support/window_test_images.h"
#include "window_xvfb_session.h"

namespace {

using test_support::RgbaImage;
using test_support::ScreenText;
using window_test::KestrixWindow;
using window_test::XvfbSession;
using window_test::findIcon;

constexpr int kStripTop = 548;

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Polls for the thing itself, with a deadline generous enough for a busy machine.
template <typename Check>
bool eventually(Check check) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!check()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        sleepMs(100);
    }
    return true;
}

const std::vector<std::string> kPrint6Times7 = {
    // '*' is SHIFT with the key right of L (host ';'): keys go by position.
    "p", "r", "i", "n", "t", "space", "6", "shift+semicolon", "7", "Return"};

class WindowedKestrix : public window_test::XvfbTest {
protected:
    // Starts kestrix and waits for its window; false (with a failure) if none.
    bool open(KestrixWindow& k, const std::vector<std::string>& args = {}) {
        EXPECT_TRUE(k.start(args));
        if (k.waitForWindow().empty()) {
            ADD_FAILURE() << "no window appeared; log:\n" << k.log();
            return false;
        }
        return true;
    }

    // Waits for the BASIC prompt; false, with a failure showing the screen, when it does not come.
    bool reachBasic(KestrixWindow& k) {
        ScreenText screen;
        if (k.waitForText("Ready", 60, &screen)) return true;
        ADD_FAILURE() << "the machine does not reach the BASIC prompt; the screen reads:\n" << screen.dump();
        k.requestClose();
        k.waitForExit();
        return false;
    }

    void closeAndExpectCleanExit(KestrixWindow& k) {
        ASSERT_TRUE(k.requestClose());
        EXPECT_EQ(k.waitForExit(), 0) << k.log();
    }
};

TEST_F(WindowedKestrix, ShowsTheBasicScreenAboveTheStatusStrip) {
    KestrixWindow k;
    if (!open(k)) return;
    EXPECT_EQ(k.title(), "Kestrix v2005");
    int w = 0, h = 0;
    ASSERT_TRUE(k.geometry(w, h));
    EXPECT_EQ(w, 768);
    EXPECT_EQ(h, 582);
    if (!reachBasic(k)) return;
    ScreenText screen = k.readScreen();
    EXPECT_TRUE(screen.contains("BASIC 1.1")) << screen.dump();

    RgbaImage shot;
    ASSERT_TRUE(k.screenshot(shot));
    // Run, drives, tape, monitor, sound, input and model, left to right.
    const int run = findIcon(shot, "play");
    const int driveA = findIcon(shot, "disk0", {24, 0, 12, 11});
    const int driveB = findIcon(shot, "disk1", {24, 0, 12, 11});
    const int tape = findIcon(shot, "minis_k70");
    const int monitor = findIcon(shot, "color");
    const int sound = findIcon(shot, "music");
    const int input = findIcon(shot, "joystick_no");
    const int model = findIcon(shot, "6128", {32, 16, 24, 16});
    const int flag = findIcon(shot, "flag_uk", {0, 0, 0, 0}, 564);
    EXPECT_GE(run, 0);
    EXPECT_GT(driveA, run);
    EXPECT_GT(driveB, driveA);
    EXPECT_GT(tape, driveB);
    EXPECT_GT(monitor, tape);
    EXPECT_GT(sound, monitor) << "sound is on after start-up";
    EXPECT_GT(input, sound);
    EXPECT_GT(model, input);
    EXPECT_GT(flag, model);

    // F7: the next presented frame goes to a numbered PNG.
    ASSERT_TRUE(k.key("F7"));
    eventually([&] { return k.log().find(".png ok !") != std::string::npos; });
    const std::string log = k.log();
    EXPECT_NE(log.find("Writing PNG image"), std::string::npos) << log;
    EXPECT_NE(log.find(".png ok !"), std::string::npos) << log;
    closeAndExpectCleanExit(k);
}

TEST_F(WindowedKestrix, TypedLineIsAnsweredByBasic) {
    KestrixWindow k;
    if (!open(k)) return;
    if (!reachBasic(k)) return;
    ASSERT_TRUE(k.typeKeys(kPrint6Times7));
    ScreenText screen;
    EXPECT_TRUE(k.waitForText(" 42", 60, &screen)) << screen.dump();
    EXPECT_TRUE(screen.contains("print 6*7")) << screen.dump();
    closeAndExpectCleanExit(k);
}

TEST_F(WindowedKestrix, F11SwitchesToFullScreenAndBack) {
    KestrixWindow k;
    if (!open(k)) return;
    if (!reachBasic(k)) return;
    ASSERT_TRUE(k.key("F11"));
    int w = 0, h = 0;
    RgbaImage root;
    // Until the full-screen picture itself is drawn: black beside it, the picture in place.
    eventually([&] {
        return k.geometry(w, h) && w == 1280 && k.screenshotRoot(root) && (root.at(100, 300) & 0xFFFFFF) == 0 &&
               (root.at(256 + 400, 300) & 0xFFFFFF) != 0;
    });
    ASSERT_TRUE(k.geometry(w, h));
    EXPECT_EQ(w, 1280);
    EXPECT_EQ(h, 1024);
    ASSERT_TRUE(k.screenshotRoot(root));
    // 1280 x 1024: the picture at 1:1, centred across, from the top.
    EXPECT_EQ(root.at(100, 300) & 0xFFFFFF, 0u) << "black beside the picture";
    EXPECT_EQ(root.at(1200, 300) & 0xFFFFFF, 0u);
    EXPECT_EQ(root.at(256 + 400, 1000) & 0xFFFFFF, 0u) << "no status strip in full screen";
    EXPECT_NE(root.at(256 + 400, 300) & 0xFFFFFF, 0u) << "the picture";
    ASSERT_TRUE(k.key("F11"));
    RgbaImage shot;
    eventually([&] { return k.geometry(w, h) && w == 768 && k.screenshot(shot) && findIcon(shot, "play") >= 0; });
    ASSERT_TRUE(k.geometry(w, h));
    EXPECT_EQ(w, 768);
    EXPECT_EQ(h, 582);
    ASSERT_TRUE(k.screenshot(shot));
    EXPECT_GE(findIcon(shot, "play"), 0) << "the strip is back";
    EXPECT_TRUE(k.readScreen().contains("Ready"));
    closeAndExpectCleanExit(k);
}

TEST_F(WindowedKestrix, ClosingTheWindowEndsTheProgramCleanly) {
    KestrixWindow k;
    if (!open(k)) return;
    sleepMs(500);
    closeAndExpectCleanExit(k);
    EXPECT_NE(k.log().find("Thread returned value: 0"), std::string::npos) << k.log();
}

// A SAVE is in the file soon after the drive stops, before the program ends: killed then, it is there next time.
TEST_F(WindowedKestrix, SaveSurvivesTheProgramBeingKilled) {
    SKIP_WITHOUT_SHARED("media/cpcrogue.dsk");
    const std::vector<uint8_t> original = fileBytes(sharedPath("media/cpcrogue.dsk"));
    const std::string disk = disk_test::writeTempFile("cpcrogue.dsk", original);
    {
        KestrixWindow k;
        if (!open(k, {"-0", disk, "-a", "10 PRINT 6*7\rSAVE \"TEST\"\r"})) return;
        EXPECT_TRUE(eventually([&] { return fileBytes(disk) != original; })) << k.log();
        ASSERT_TRUE(k.kill()) << "the program ended by itself:\n" << k.log();
    }
    KestrixWindow again;
    if (!open(again, {"-0", disk, "-a", "cat\r"})) return;
    ScreenText screen;
    EXPECT_TRUE(again.waitForText("TEST    .BAS", 60, &screen)) << screen.dump();
    closeAndExpectCleanExit(again);
    EXPECT_EQ(fileBytes(disk + ".bak"), original);
}

TEST_F(WindowedKestrix, WithoutImagesTheStripIsEmptyAndTheMachineRuns) {
    KestrixWindow k(false);
    if (!open(k)) return;
    if (!reachBasic(k)) return;
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

}  // namespace
