#include "e2e/headless_run.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

std::string shellQuote(const std::string& s) {
    std::string out(1, '\'');
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + '\'';
}

int runCommand(const std::string& command, std::string* out) {
    FILE* pipe = popen(("{ " + command + "; } 2>&1").c_str(), "r");
    if (!pipe) return -1;
    std::string text;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) text.append(chunk, n);
    int status = pclose(pipe);
    if (out) *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool pollFor(double seconds, const std::function<bool()>& done, int everyMs) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<int>(seconds * 1000));
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(everyMs));
    }
    return true;
}

HeadlessResult runKestrixHeadless(const std::string& home, const std::vector<std::string>& args,
                                  const std::string& inputFile) {
    std::string command = "KESTRIX_HOME=" + shellQuote(home) + " " + shellQuote(KESTRIX_EXE) + " --headless";
    for (const auto& a : args) command.append(" ").append(shellQuote(a));
    command.append(" < ").append(inputFile.empty() ? std::string("/dev/null") : shellQuote(inputFile));
    HeadlessResult result;
    result.exitCode = runCommand(command, &result.output);
    return result;
}

namespace test_support {

ScreenRun runToScreenshot(const TempKestrixHome& home, int frames, const std::vector<std::string>& args) {
    const std::string shot = home.path() + "/screenshot.png";
    std::error_code ec;
    std::filesystem::remove(shot, ec);
    std::vector<std::string> all = {"--frames=" + std::to_string(frames), "--screenshot=" + shot};
    all.insert(all.end(), args.begin(), args.end());
    ScreenRun run;
    run.process = runKestrixHeadless(home.path(), all);
    if (!loadPngImage(shot, run.picture, &run.pictureError) && run.pictureError.empty()) {
        run.pictureError = "no screenshot written";
    }
    return run;
}

long differingPixels(const RgbaImage& a, const RgbaImage& b) {
    if (a.width != b.width || a.height != b.height) return -1;
    long n = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) n += a.pixels[i] != b.pixels[i];
    return n;
}

RgbaImage cpcrogueTitle() {
    RgbaImage title;
    std::string error;
    EXPECT_TRUE(
        loadPngImage(std::string(KESTRIX_TEST_SOURCE_DIR) + "/disk/reference/cpcrogue_title.png", title, &error))
        << error;
    return title;
}

}  // namespace test_support
