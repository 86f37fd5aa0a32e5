// End-to-end runs of the real program in a window: an X server started with
// xvfb-run, the kestrix process, and what a person does with xdotool and
// ImageMagick (look, type, press keys, close the window).
#pragma once
#include <gtest/gtest.h>
#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "e2e/headless_run.h"
#include "support/screen_text.h"
#include "support/window_test_images.h"

namespace window_test {

// An X server for the test's lifetime; DISPLAY and XAUTHORITY point at it.
class XvfbSession {
public:
    XvfbSession();
    ~XvfbSession();
    XvfbSession(const XvfbSession&) = delete;
    XvfbSession& operator=(const XvfbSession&) = delete;

    bool ok() const { return !display_.empty(); }
    const std::string& failure() const { return failure_; }
    static bool toolsPresent();

private:
    pid_t group_ = -1;
    std::string display_;
    std::string failure_;
};

// The kestrix program with a base directory of its own (ROM/ and IMG/ links).
class KestrixWindow {
public:
    explicit KestrixWindow(bool withImages = true, bool withRoms = true);
    ~KestrixWindow();
    KestrixWindow(const KestrixWindow&) = delete;
    KestrixWindow& operator=(const KestrixWindow&) = delete;

    void setEnv(const std::string& name, const std::string& value) { env_.emplace_back(name + "=" + value); }
    bool start(const std::vector<std::string>& args = {});
    // Waits for the main window (a window of that title) to be mapped; its X id, or "".
    std::string waitForWindow(double seconds = 60, const std::string& title = "Kestrix v2005");
    const std::string& windowId() const { return window_; }
    std::string title() const;
    // Width and height of the window as X has it.
    bool geometry(int& w, int& h) const;
    bool screenshot(test_support::RgbaImage& picture) const;  // the window's contents
    bool screenshotRoot(test_support::RgbaImage& picture) const;
    // The CPC screen text in the picture area of a window screenshot.
    test_support::ScreenText readScreen() const;
    // Polls the screen until it shows `text`; false after `seconds`.
    bool waitForText(const std::string& text, double seconds, test_support::ScreenText* last = nullptr) const;
    // Keys by X keysym name, each held long enough for the firmware's keyboard scan.
    bool typeKeys(const std::vector<std::string>& keys) const;
    // One press and release, as xdotool does it (fine for the host's own keys).
    bool key(const std::string& combo) const;
    // Asks the window (or another of the program's, by X id) to close the way a window manager does.
    bool requestClose(const std::string& window = "") const;
    // Waits for the process to end; its exit code, or -1 (killed after the wait).
    int waitForExit(double seconds = 60);
    // Ends the process at once with SIGKILL, as a crash or power cut would; true when the signal ended it (it
    // had not ended by itself).
    bool kill();
    std::string log() const;
    const TempKestrixHome& home() const { return home_; }
    bool fontLoaded() const { return font_.loaded(); }

private:
    TempKestrixHome home_;
    std::vector<std::string> env_;
    pid_t pid_ = -1;
    std::string window_;
    std::string logPath_;
    test_support::RomFont font_;
};

using ::runCommand;

// Tests that run the program in a window: they skip without the ROMs, the
// generated images or the X tools, and get an X server of their own.
class XvfbTest : public ::testing::Test {
protected:
    std::unique_ptr<XvfbSession> x;

    void SetUp() override {
        SKIP_WITHOUT_SHARED_ROMS();
        ASSERT_GENERATED_IMAGES();
        if (!XvfbSession::toolsPresent()) GTEST_SKIP() << "xvfb-run, xdotool or ImageMagick missing";
        x = std::make_unique<XvfbSession>();
        ASSERT_TRUE(x->ok()) << x->failure();
    }
    // Starts kestrix and waits for its window (and the BASIC prompt); false, with a failure, if none.
    static bool open(KestrixWindow& k, const std::vector<std::string>& args = {}, bool toBasic = false);
    // Waits for the BASIC prompt; false, with a failure showing the screen and the window closed, if none.
    static bool reachBasic(KestrixWindow& k);
    // Starts kestrix with a monitor port, waits for BASIC and connects to the port: the client socket, or -1
    // with a failure.
    static int openWithMonitor(KestrixWindow& k);
    static void closeAndExpectCleanExit(KestrixWindow& k);
};

}  // namespace window_test
