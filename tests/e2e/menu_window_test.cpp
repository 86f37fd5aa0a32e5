// The F1 menu and its file browser in the main window, driven as a person
// would: keys and clicks through xdotool, checked on the picture, the log and
// what BASIC then finds on the disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "support/window_test_images.h"
#include "window_xvfb_session.h"

namespace {

using test_support::RgbaImage;
using window_test::KestrixWindow;
namespace fs = std::filesystem;

class WindowedMenu : public window_test::XvfbTest {
protected:
    // A folder of disks the browser starts in: cpcrogue.dsk and a decoy that type-ahead must pass.
    static void diskFolder(KestrixWindow& k) {
        const std::string folder = k.home().path() + "/disks";
        fs::create_directory(folder);
        fs::create_symlink(sharedPath("media/cpcrogue.dsk"), folder + "/cpcrogue.dsk");
        fs::create_symlink(sharedPath("media/rogue.dsk"), folder + "/cat.dsk");
        k.home().writeFile("Kestrix.ini", "diskdir=" + folder + "/\n");
    }
    // The frame number of the last "menu: WHAT at frame N" line, once the log has one more than `seen` of them.
    static long menuLine(KestrixWindow& k, const std::string& what, int seen) {
        long frame = -1;
        pollFor(60, [&] {
            const std::string log = k.log();
            const std::regex line("menu: " + what + " at frame ([0-9]+)");
            int count = 0;
            for (auto m = std::sregex_iterator(log.begin(), log.end(), line); m != std::sregex_iterator(); ++m) {
                ++count;
                frame = std::stol((*m)[1]);
            }
            return count > seen;
        });
        return frame;
    }
    static bool logShows(KestrixWindow& k, const std::string& text) {
        return pollFor(60, [&] { return k.log().find(text) != std::string::npos; });
    }
};

TEST_F(WindowedMenu, F1LoadsADiskChosenByItsFirstLettersAfterShowingItsCatalogue) {
    SKIP_WITHOUT_SHARED("media/cpcrogue.dsk", "media/rogue.dsk");
    KestrixWindow k;
    diskFolder(k);
    if (!open(k, {}, true)) return;
    RgbaImage before, shown;
    ASSERT_TRUE(k.screenshot(before));
    ASSERT_TRUE(k.key("F1"));
    const long openedAt = menuLine(k, "open", 0);
    ASSERT_GE(openedAt, 0) << k.log();
    EXPECT_TRUE(pollFor(60, [&] { return k.screenshot(shown) && differingPixels(before, shown) > 20000; }));
    // Drive A, Load..., then "cp" passes cat.dsk for cpcrogue.dsk, whose catalogue shows before RETURN loads it.
    ASSERT_TRUE(k.key("Return Return c p"));
    EXPECT_TRUE(logShows(k, "browser: cpcrogue.dsk: Data format, 1 files: CPCROGUE.BIN")) << k.log();
    ASSERT_TRUE(k.key("Return"));
    // The machine stood still while the menu was open.
    EXPECT_EQ(menuLine(k, "closed", 0), openedAt) << k.log();
    ASSERT_TRUE(k.key("F1"));
    const long reopenedAt = menuLine(k, "open", 1);
    ASSERT_TRUE(k.key("Escape"));
    EXPECT_EQ(menuLine(k, "closed", 1), reopenedAt) << k.log();
    ASSERT_TRUE(k.typeKeys({"c", "a", "t", "Return"}));
    test_support::ScreenText screen;
    EXPECT_TRUE(k.waitForText("CPCROGUE.BIN", 60, &screen)) << screen.dump();
    closeAndExpectCleanExit(k);
}

TEST_F(WindowedMenu, AClickOnTheEmptyDriveAIconOpensTheBrowser) {
    KestrixWindow k;
    if (!open(k)) return;
    RgbaImage shot;
    // The padlock covers the icon's top right corner.
    const SDL_Rect padlock = {24, 0, 12, 11};
    int icon = -1;
    ASSERT_TRUE(pollFor(60, [&] { return k.screenshot(shot) && (icon = window_test::findIcon(shot, "disk0", padlock)) >= 0; }));
    ASSERT_EQ(runCommand("xdotool mousemove --window " + k.windowId() + " " + std::to_string(icon + 6) +
                         " 574 click 1"), 0);
    EXPECT_TRUE(logShows(k, "browser: listing")) << k.log();
    ASSERT_TRUE(k.key("Escape"));
    EXPECT_GE(menuLine(k, "closed", 0), 0) << k.log();
    closeAndExpectCleanExit(k);
}

}  // namespace
