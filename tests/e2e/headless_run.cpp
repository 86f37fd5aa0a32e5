#include "e2e/headless_run.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

std::string shellQuote(const std::string& s) {
    std::string out(1, '\'');
    for (char c : s) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    out += '\'';
    return out;
}

}  // namespace

HeadlessResult runKestrixHeadless(const std::string& home, const std::vector<std::string>& args,
                                  const std::string& inputFile) {
    std::string command("KESTRIX_HOME=");
    command += shellQuote(home);
    command += ' ';
    command += shellQuote(KESTRIX_EXE);
    command += " --headless";
    for (const auto& a : args) {
        command += ' ';
        command += shellQuote(a);
    }
    command += inputFile.empty() ? " < /dev/null" : " < " + shellQuote(inputFile);
    command += " 2>&1";
    HeadlessResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    std::array<char, 4096> chunk{};
    size_t n;
    while ((n = fread(chunk.data(), 1, chunk.size(), pipe)) > 0) result.output.append(chunk.data(), n);
    int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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

}  // namespace test_support
