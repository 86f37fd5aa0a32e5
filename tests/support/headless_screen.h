// Headless runs that end in a screenshot, read back for end-to-end tests.
#pragma once
#include <string>
#include <vector>

#include "support/headless_run.h"
#include "support/screen_text.h"

namespace test_support {

// Path of a UK OS ROM image in the shared ROM directory ("464", "664", "6128").
std::string sharedOsRom(const std::string& model);

struct ScreenRun {
    HeadlessResult process;
    RgbaImage picture;
    std::string pictureError;  // why no picture could be read
    bool ok() const { return process.exitCode == 0 && !picture.empty(); }
};

// kestrix --headless --frames=N --screenshot=<tmp> args..., in `home`.
ScreenRun runToScreenshot(const TempKestrixHome& home, int frames, const std::vector<std::string>& args);

// True when the command line takes `option` without complaining about it.
bool commandLineAccepts(const std::vector<std::string>& option);

}  // namespace test_support
