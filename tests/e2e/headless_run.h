// Runs the kestrix binary in headless mode the way a script would, with a
// throw-away base directory, and captures what it printed and showed.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "support/screen_text.h"
#include "support/temp_home.h"

struct HeadlessResult {
    int exitCode = -1;
    std::string output;  // stdout and stderr together
};

std::string shellQuote(const std::string& s);
// Runs a shell command line; its exit status, -1 when it did not exit, with
// stdout and stderr (unless the line sends it elsewhere) in `out`.
int runCommand(const std::string& command, std::string* out = nullptr);
// Polls `done` every `everyMs` until it holds; false after `seconds`.
bool pollFor(double seconds, const std::function<bool()>& done, int everyMs = 100);

// Runs `kestrix --headless <args>` with KESTRIX_HOME set to `home`, its
// standard input from `inputFile` when one is named.
HeadlessResult runKestrixHeadless(const std::string& home, const std::vector<std::string>& args,
                                  const std::string& inputFile = "");

namespace test_support {

struct ScreenRun {
    HeadlessResult process;
    RgbaImage picture;
    std::string pictureError;  // why no picture could be read
    bool ok() const { return process.exitCode == 0 && !picture.empty(); }
};

// kestrix --headless --frames=N --screenshot=<tmp> args..., in `home`.
ScreenRun runToScreenshot(const TempKestrixHome& home, int frames, const std::vector<std::string>& args);

// Pixels that differ between two pictures of one size; -1 when the sizes differ.
long differingPixels(const RgbaImage& a, const RgbaImage& b);
// The kept title picture of cpcrogue, as the disk tests reach it.
RgbaImage cpcrogueTitle();

}  // namespace test_support
