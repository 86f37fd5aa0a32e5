#include "frontend/headless.h"

#include <SDL.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "frontend/csl_runner.h"
#include "frontend/disk_writeback.h"
#include "frontend/monitor_session.h"
#include "frontend/screenshot.h"
#include "machine/emulation_thread.h"
#include "machine/shared_flag.h"
#include "snapshot/sna_file.h"
#include "sound/audio_output.h"

// Under callgrind (started with --instr-atstart=no) only the measured frames are profiled.
#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_START_INSTRUMENTATION
#define CALLGRIND_STOP_INSTRUMENTATION
#endif

namespace {

bool frameCountOption(const char* text, int& count) {
    char* end = nullptr;
    long n = std::strtol(text, &end, 10);
    if (end == text || *end || n < 0 || n > 100000000) {
        SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "headless: bad frame count '%s'", text);
        return false;
    }
    count = static_cast<int>(n);
    return true;
}

}  // namespace

bool extractHeadlessOptions(int& argc, char** argv, HeadlessOptions& options) {
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--headless") == 0) {
            options.enabled = true;
        } else if (std::strncmp(arg, "--frames=", 9) == 0) {
            if (!frameCountOption(arg + 9, options.frames)) return false;
            options.framesGiven = true;
        } else if (std::strncmp(arg, "--bench-skip=", 13) == 0) {
            if (!frameCountOption(arg + 13, options.benchSkip)) return false;
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

// The script's turn (and the SSM codes'); whether the run goes on after
// `framesDone` frames: to the script's end, then to --frames if given.
static bool runGoesOn(int framesDone, const HeadlessOptions& options, bool& failed) {
    switch (cslTurn()) {
        case CslState::Failed: failed = true; return false;
        case CslState::Running:
            // Emulated time stands still while the machine does not run: the script's waits would never end.
            if (running) return true;
            SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "csl: the machine stopped, the script cannot go on");
            failed = true;
            return false;
        case CslState::Finished: return options.framesGiven && framesDone < options.frames;
        case CslState::None: break;
    }
    return framesDone < options.frames;
}

// One frame, or what is left of it before the debugger stops it; true when
// a whole frame has passed (also one the machine did not run) and false once the run should end.
static bool headlessFrame(bool& frameEnded) {
    frameEnded = false;
    if (!headlessMonitorTurn()) return false;
    frameEnded = !running || runOneFrame();
    // Only a recording takes samples headless: they leave the buffer each frame.
    audioDeliver();
    writeBackStillDisks();
    return true;
}

int runHeadlessFrames(const HeadlessOptions& options) {
    int i = 0;
    bool frameEnded = false;
    bool failed = false;
    while (i < options.benchSkip && runGoesOn(i, options, failed) && !loadFlag(mainLoopEnd)) {
        if (!headlessFrame(frameEnded)) break;
        if (frameEnded) ++i;
    }
    CALLGRIND_START_INSTRUMENTATION;
    auto start = std::chrono::steady_clock::now();
    int framesRun = 0;
    while (!failed && runGoesOn(i, options, failed) && !loadFlag(mainLoopEnd)) {
        const bool wasRunning = running;
        if (!headlessFrame(frameEnded)) break;
        if (!frameEnded) continue;
        ++i;
        if (wasRunning) ++framesRun;
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    CALLGRIND_STOP_INSTRUMENTATION;
    if (failed) return 1;
    if (options.bench) {
        // Real time is 19.968 ms per frame.
        double emulated = framesRun * (kFrameMicroseconds / 1e6);
        double ratio = seconds > 0 ? emulated / seconds : 0.0;
        std::printf("frames %d, seconds %.3f, %.2f times real time\n", framesRun, seconds, ratio);
        std::fflush(stdout);
    }
    // writeScreenshotPNG names the file and the reason when it fails.
    if (!options.screenshotFile.empty() && !writeScreenshotPNG(options.screenshotFile.c_str())) return 1;
    std::string error;
    if (!options.snapshotFile.empty() && !writeSNAFile(options.snapshotFile.c_str(), &error)) {
        SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "headless: snapshot %s not written: %s",
                     options.snapshotFile.c_str(), error.c_str());
        return 1;
    }
    return 0;
}
