#include "support/headless_screen.h"

#include <filesystem>

namespace test_support {

std::string sharedOsRom(const std::string& model) {
    if (model == "464") return sharedPath("roms/Rom CPC 464 (UK) (Rom A) (1984) (OS v1) [UTILITAIRE] [ROM].rom");
    if (model == "664") return sharedPath("roms/Rom CPC 664 (UK) (Rom A) (1984) (OS v2) [UTILITAIRE] [ROM].rom");
    return sharedPath("roms/Rom CPC 6128 (UK) (Rom A) (1985) (OS v3) [UTILITAIRE] [ROM].rom");
}

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

bool commandLineAccepts(const std::vector<std::string>& option) {
    TempKestrixHome home;
    std::vector<std::string> args = {"--frames=0"};
    args.insert(args.end(), option.begin(), option.end());
    HeadlessResult r = runKestrixHeadless(home.path(), args);
    for (const char* complaint : {"invalid", "unknown", "missing an argument", "requires an argument"}) {
        if (r.output.find(complaint) != std::string::npos) return false;
    }
    return r.exitCode == 0;
}

}  // namespace test_support
