// Typing, clicking and pasting into the real program under Xvfb: the virtual
// keyboard window, single-key taps, the character keymap, Shift+Insert and
// the F12 input cycle, each checked on what the window shows.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "support/window_test_images.h"
#include "window_xvfb_session.h"

namespace {

using test_support::RgbaImage;
using test_support::ScreenText;
using window_test::KestrixWindow;

constexpr double kDeadlineSeconds = 60;

bool pollUntil(const std::function<bool()>& done) { return pollFor(kDeadlineSeconds, done); }

class WindowedInput : public window_test::XvfbTest {
protected:
    // Starts kestrix and waits for BASIC; false when it does not get there.
    static bool openAtBasic(KestrixWindow& k, const std::vector<std::string>& args = {}) {
        return open(k, args, true) && runCommand("xdotool windowfocus --sync " + k.windowId()) == 0;
    }
    static bool xdo(const std::string& args) { return runCommand("xdotool " + args) == 0; }
    // Text on the screen row under `text`, `length` characters from its column.
    static std::string answerUnder(const ScreenText& screen, const std::string& text, int length) {
        test_support::TextPosition at = screen.find(text);
        return at.found() ? screen.slice(at.row + 1, at.column, length) : "";
    }
};

TEST_F(WindowedInput, KeyboardWindowClicksTypeAndRightClicksLatchShift) {
    KestrixWindow k;
    if (!openAtBasic(k)) return;
    RgbaImage shot;
    ASSERT_TRUE(k.screenshot(shot));
    const int icon = window_test::findIcon(shot, "keyboard");
    ASSERT_GE(icon, 0);
    ASSERT_TRUE(xdo("mousemove --window " + k.windowId() + " " + std::to_string(icon + 8) + " 560 click 1"));
    std::string keyboardWindow;
    ASSERT_TRUE(pollUntil([&] {
        runCommand("xdotool search --onlyvisible --name '^Virtual Keyboard Window$'", &keyboardWindow);
        return !keyboardWindow.empty() && keyboardWindow.find('\n') > 0;
    }));
    keyboardWindow = keyboardWindow.substr(0, keyboardWindow.find('\n'));
    // Side by side: screenshots of the main window show what lies on top of it.
    ASSERT_TRUE(xdo("windowmove --sync " + keyboardWindow + " 0 0"));
    ASSERT_TRUE(xdo("windowmove --sync " + k.windowId() + " 0 320"));
    auto click = [&](int x, int y, int button) {
        return xdo("mousemove --window " + keyboardWindow + " " + std::to_string(x) + " " + std::to_string(y) +
                   " click " + std::to_string(button));
    };
    ScreenText screen;
    ASSERT_TRUE(click(80, 140, 1));  // Q
    EXPECT_TRUE(k.waitForText("q", kDeadlineSeconds, &screen)) << screen.dump();
    ASSERT_TRUE(click(40, 220, 3));  // SHIFT latched
    ASSERT_TRUE(click(90, 180, 1));  // A
    EXPECT_TRUE(k.waitForText("qA", kDeadlineSeconds, &screen)) << screen.dump();
    ASSERT_TRUE(click(570, 40, 3));  // the release area lets SHIFT go
    ASSERT_TRUE(click(90, 180, 1));
    EXPECT_TRUE(k.waitForText("qAa", kDeadlineSeconds, &screen)) << screen.dump();
}

TEST_F(WindowedInput, SixLinesOfSingleKeyTapsAllReachBasic) {
    KestrixWindow k;
    if (!openAtBasic(k)) return;
    // One xdotool call per key, each a press and release at once.
    for (int n = 1; n <= 6; ++n) {
        const std::vector<std::string> keys = {"p", "r", "i", "n", "t", "space", std::to_string(n), "shift+semicolon",
                                               "1", "1", "Return"};
        for (const std::string& key : keys) {
            ASSERT_TRUE(xdo("key " + key));
        }
    }
    ScreenText screen;
    ASSERT_TRUE(k.waitForText("print 6*11", kDeadlineSeconds, &screen)) << screen.dump();
    ASSERT_TRUE(pollUntil([&] {
        screen = k.readScreen();
        return answerUnder(screen, "print 6*11", 4) == " 66 ";
    })) << screen.dump();
    for (int n = 1; n <= 6; ++n) {
        char line[16], answer[8];
        std::snprintf(line, sizeof line, "print %d*11", n);
        std::snprintf(answer, sizeof answer, " %d ", 11 * n);
        EXPECT_EQ(answerUnder(screen, line, 4), answer) << screen.dump();
    }
}

TEST_F(WindowedInput, CharacterKeymapTypesTheHostsCharactersAndShiftInsertPastes) {
    KestrixWindow k;
    if (!openAtBasic(k, {"--keymap=char"})) return;
    // On the host's US layout '*' is Shift+8, which by position is '('.
    ASSERT_TRUE(xdo("type 'print 6*7'"));
    ASSERT_TRUE(xdo("key Return"));
    ScreenText screen;
    ASSERT_TRUE(pollUntil([&] {
        screen = k.readScreen();
        return answerUnder(screen, "print 6*7", 4) == " 42 ";
    })) << screen.dump();

    if (runCommand("command -v xclip >/dev/null") != 0) GTEST_SKIP() << "xclip missing (scripts/setup.sh installs it)";
    // xclip stays in the background to serve the clipboard until the X server ends.
    ASSERT_EQ(runCommand("printf 'print 2+2\\n' | xclip -selection clipboard >/dev/null 2>&1"), 0);
    ASSERT_TRUE(xdo("key shift+Insert"));
    ASSERT_TRUE(pollUntil([&] {
        screen = k.readScreen();
        return answerUnder(screen, "print 2+2", 3) == " 4 ";
    })) << screen.dump();
}

TEST_F(WindowedInput, F12CyclesNoneJoystickLightGunAndTheInputIconFollows) {
    KestrixWindow k;
    if (!open(k)) return;
    auto iconShown = [&](const std::string& name) {
        return pollUntil([&] {
            RgbaImage shot;
            return k.screenshot(shot) && window_test::findIcon(shot, name) >= 0;
        });
    };
    EXPECT_TRUE(iconShown("joystick_no"));
    for (const char* next : {"joystick", "GunStick", "joystick_no"}) {
        ASSERT_TRUE(k.key("F12"));
        EXPECT_TRUE(iconShown(next)) << next;
    }
}

}  // namespace
