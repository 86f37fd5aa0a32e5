// The debugger window over a running machine: the monitor's `ui` and
// Shift+F12 show it; a click on the marked line of the listing sets the
// break point the machine then stops at, as the attached monitor reports,
// and the register pane (copied out) shows the PC the monitor gives.
#include <gtest/gtest.h>
#include <unistd.h>

#include <regex>

#include "e2e/monitor_client.h"
#include "window_xvfb_session.h"

namespace {

using namespace monitor_client;

class WindowedDebugger : public window_test::XvfbTest {};

std::string say(int client, const std::string& line, const std::string& until) {
    const std::string text = line + "\n";
    if (write(client, text.data(), text.size()) != ssize_t(text.size())) return "";
    return readUntil(client, until);
}

bool debuggerShown(std::string& id) {
    std::string out;
    if (runCommand("xdotool search --onlyvisible --name '^Kestrix Debugger$'", &out) != 0 || out.empty()) return false;
    id = out.substr(0, out.find('\n'));
    return true;
}

// The middle of the listing's marked (current instruction) row, from a screenshot of the window.
bool markedRow(const std::string& window, const std::string& file, int& y) {
    test_support::RgbaImage shot;
    if (runCommand("import -window " + window + " png:" + shellQuote(file)) != 0 ||
        !test_support::loadPngImage(file, shot) || shot.width < 420 || shot.height < 500)
        return false;
    auto bluish = [&](int x, int row) {
        const uint32_t p = shot.at(x, row);
        const int r = p & 0xFF, b = (p >> 16) & 0xFF;
        return b > r + 30 && b > 60;
    };
    // The row is marked across the listing, from its address to its end.
    int first = -1, last = -1;
    for (int row = 150; row < 500; ++row) {
        if (bluish(40, row) && bluish(380, row)) {
            if (first < 0) first = row;
            last = row;
        } else if (first >= 0) {
            break;
        }
    }
    y = (first + last) / 2;
    return first >= 0;
}

TEST_F(WindowedDebugger, AClickOnTheListingStopsTheMachineThere) {
    window_test::KestrixWindow k;
    const int client = openWithMonitor(k);
    ASSERT_GE(client, 0);

    std::string debuggerWindow;
    EXPECT_NE(say(client, "ui", "ui shown").find("ui shown"), std::string::npos);
    ASSERT_TRUE(pollFor(30, [&] { return debuggerShown(debuggerWindow); })) << k.log();
    // Closing hides it; its key brings it back.
    ASSERT_TRUE(k.requestClose(debuggerWindow));
    ASSERT_TRUE(pollFor(30, [&] { return !debuggerShown(debuggerWindow); }));
    ASSERT_TRUE(k.key("shift+F12"));
    ASSERT_TRUE(pollFor(30, [&] { return debuggerShown(debuggerWindow); })) << k.log();

    const std::string stop = say(client, "break", "\n");
    std::smatch pc;
    ASSERT_TRUE(std::regex_search(stop, pc, std::regex("PC=([0-9A-F]{4})"))) << stop;
    int y = 0;
    ASSERT_TRUE(pollFor(30, [&] { return markedRow(debuggerWindow, k.home().file("debugger.png"), y); }));
    ASSERT_EQ(runCommand("xdotool mousemove --window " + debuggerWindow + " 120 " + std::to_string(y) +
                         " sleep 0.3 click 1"), 0);
    std::string listed;
    ASSERT_TRUE(pollFor(30, [&] {
        listed = say(client, "list", "breakpoints=");
        return listed.find("breakpoints=1") != std::string::npos;
    })) << listed;
    EXPECT_NE(listed.find("1 exec " + pc[1].str()), std::string::npos) << listed;

    std::string reported = say(client, "continue", "stopped break");
    if (reported.find('\n', reported.find("stopped break")) == std::string::npos) reported += readUntil(client, "\n");
    EXPECT_NE(reported.find("stopped break 1 PC=" + pc[1].str()), std::string::npos) << reported;

    // The register pane's Copy puts its lines on the clipboard.
    std::string copied;
    ASSERT_TRUE(pollFor(30, [&] {
        runCommand("xdotool mousemove --window " + debuggerWindow + " 455 154 sleep 0.3 click 1");
        return runCommand("xclip -o -selection clipboard", &copied) == 0 && copied.find("PC=") != std::string::npos;
    }, 1000)) << copied;
    EXPECT_NE(copied.find("PC=" + pc[1].str()), std::string::npos) << copied;

    // The memory pane's first byte (RAM under the ROM), typed over: RETURN goes on to the next.
    // (Without a window manager a click does not move the keyboard focus.)
    ASSERT_EQ(runCommand("xdotool windowfocus " + debuggerWindow + " mousemove --window " + debuggerWindow +
                         " 55 565 sleep 0.3 click 1 sleep 0.3 type AB"), 0);
    ASSERT_EQ(runCommand("xdotool key Return sleep 0.3 type CD"), 0);
    ASSERT_EQ(runCommand("xdotool key Return"), 0);
    std::string memory;
    EXPECT_TRUE(pollFor(30, [&] { return (memory = say(client, "mem 0 2 ram 0", "\n")).find("0000: AB CD") == 0; }))
        << memory;

    EXPECT_NE(say(client, "quit", "bye").find("bye"), std::string::npos);
    close(client);
    EXPECT_EQ(k.waitForExit(), 0) << k.log();
}

}  // namespace
