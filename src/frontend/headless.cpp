#include "frontend/headless.h"

#include <SDL.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "frontend/screenshot.h"
#include "machine/emulation_thread.h"
#include "snapshot/sna_file.h"

bool extractHeadlessOptions(int& argc, char** argv, HeadlessOptions& options) {
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--headless") == 0) {
            options.enabled = true;
        } else if (std::strncmp(arg, "--frames=", 9) == 0) {
            char* end = nullptr;
            long n = std::strtol(arg + 9, &end, 10);
            if (end == arg + 9 || *end || n < 0 || n > 100000000) {
                SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "headless: bad frame count '%s'", arg + 9);
                return false;
            }
            options.frames = static_cast<int>(n);
        } else if (std::strncmp(arg, "--screenshot=", 13) == 0) {
            options.screenshotFile = arg + 13;
            if (options.screenshotFile.empty()) {
                SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "headless: --screenshot needs a file name");
                return false;
            }
        } else if (std::strncmp(arg, "--snapshot=", 11) == 0) {
            options.snapshotFile = arg + 11;
            if (options.snapshotFile.empty()) {
                SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "headless: --snapshot needs a file name");
                return false;
            }
        } else if (std::strcmp(arg, "--bench") == 0) {
            options.bench = true;
        } else {
            argv[kept++] = argv[i];
        }
    }
    argv[kept] = nullptr;
    argc = kept;
    return true;
}

int runHeadlessFrames(const HeadlessOptions& options) {
    auto start = std::chrono::steady_clock::now();
    int framesRun = 0;
    for (int i = 0; i < options.frames && !mainLoopEnd; ++i) {
        if (!running) continue;
        runOneFrame();
        ++framesRun;
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (options.bench) {
        // Real time is 19.968 ms per frame.
        double emulated = framesRun * (kFrameMicroseconds / 1e6);
        double ratio = seconds > 0 ? emulated / seconds : 0.0;
        std::printf("frames %d, seconds %.3f, %.2f times real time\n", framesRun, seconds, ratio);
        std::fflush(stdout);
    }
    if (!options.screenshotFile.empty() && !writeScreenshotPNG(options.screenshotFile.c_str())) return 1;
    if (!options.snapshotFile.empty() && !writeSNAFile(options.snapshotFile.c_str())) return 1;
    return 0;
}
