#include "machine/emulation_thread.h"

#include "asic/asic.h"
#include "debug/debugger.h"
#include "machine/cpc.h"
#include "machine/frontend_hooks.h"
#include "machine/memory.h"
#include "machine/model.h"
#include "machine/shared_flag.h"
#include "machine/timed_actions.h"
#include "snapshot/rewind_ring.h"
#include "sound/audio_output.h"
#include "tape/tape_drive.h"

// The stop protocol is a Dekker handshake (each side writes its flag, then reads
// the other's): these two keep the default sequentially consistent order, which
// relaxed or acquire/release operations would not give it.
std::atomic<uint8_t> running{0};
std::atomic<uint8_t> cpcIsRunning{0};
std::atomic<uint8_t> mainLoopEnd{0};
std::atomic<uint8_t> freeRunEnable{0};
bool freerun_keep_CPC_audio_enable = false;
int frameskip = 0;
double fpsDisplay = 1000.0 / 60.0;
double frameLimit = 0.0;
bool refreshScreen = false;
bool saveScreenRequest = false;
bool saveSnapshotRequest = false;
SDL_Thread* thread = nullptr;
SDL_threadID threadID = 0;
bool headlessMode = false;
std::atomic<uint32_t> framesEmulated{0};
void (*frameProbe)(FramePoint point) = nullptr;
bool tapeTurbo = true;
std::atomic<uint8_t> tapeTurboActive{0};

bool tapeWantsTurbo() { return tapeTurbo && tape && tape->motorTarget; }

bool runOneFrame() {
    const bool ended = isPlusModel(cpcType) ? as->clock() : ga->clock();
    // Emulated time moves on by whole frames (the timed actions count within one).
    if (!ended) return false;
    advanceEmulatedTime(kFrameMicroseconds);
    framesEmulated.fetch_add(1, std::memory_order_relaxed);
    rewindRing.frameEnded();
    return true;
}

void run() {
    // Running again lets a debugger stop go.
    if (debugger.stopped()) debugger.resume();
    if (!running) {
        // The sound restarts at its latency before the first frame can queue behind it.
        if (freerun_keep_CPC_audio_enable) {
            freerun_keep_CPC_audio_enable = false;
            endisable_sound();
        } else if (CPC_audio_enable) {
            audioRestartQueue();
        }
        running = 1;
        frontendHooks.restorePictureModulation();
    }
    frontendHooks.redrawRunIcon();
    refreshScreen = true;
}

void stopRun() {
    if (!running) {
        // Cleared by another stop a moment ago: the frame in progress still has to end.
        while (cpcIsRunning) SDL_Delay(1);
        return;
    }
    running = 0;
    while (cpcIsRunning) SDL_Delay(19);
    if (CPC_audio_enable) {
        audioClearQueue();
        audioPause(true);
    }
    if (loadFlag(freeRunEnable)) {
        storeFlag(freeRunEnable, 0);
        frameskip = 0;
        frameLimit = SDL_GetTicks() + fpsDisplay;
    }
    frontendHooks.redrawRunIcon();
    refreshScreen = true;
}

void runstop() {
    if (running) {
        stopRun();
        return;
    }
    if (!mem->banks) startCPC();
    if (mem->urom[0]) run();
}

void pauseRun() {
    runstop();
    if (!running) frontendHooks.showPauseScreen("\366 The emulation is paused \367");
    frontendHooks.releaseMouse();
}

void freeRun() {
    if (loadFlag(freeRunEnable)) {
        freerun_keep_CPC_audio_enable = CPC_audio_enable;
        if (CPC_audio_enable) endisable_sound();
    } else if (running && freerun_keep_CPC_audio_enable) {
        freerun_keep_CPC_audio_enable = false;
        endisable_sound();
    }
    frameskip = 0;
    frameLimit = SDL_GetTicks() + fpsDisplay;
    frontendHooks.redrawRunIcon();
}

int runCPC(void*) {
    // Each frame's sound must be queued before the device runs dry, on a busy host too.
    SDL_SetThreadPriority(SDL_THREAD_PRIORITY_HIGH);
    double deadline = SDL_GetTicks() + static_cast<double>(kFramePeriodMs);
    while (!loadFlag(mainLoopEnd)) {
        // A debugger stop holds the machine until the debugger lets it go.
        if (!running || debugger.stopped()) {
            SDL_Delay(19);
            deadline = SDL_GetTicks();
            continue;
        }
        if (frameProbe) frameProbe(FramePoint::beforeHandshake);
        // running is looked at again once the flag is up, and stopRun clears
        // running before it looks at the flag: whichever comes second sees
        // the other's write, so no frame starts once stopRun has returned.
        cpcIsRunning = 1;
        if (!running) {
            cpcIsRunning = 0;
            continue;
        }
        if (frameProbe) frameProbe(FramePoint::frameStart);
        const bool frameEnded = runOneFrame();
        if (frameProbe) frameProbe(FramePoint::frameEnd);
        cpcIsRunning = 0;
        if (debugger.stopped()) frontendHooks.debuggerStopped();
        if (!frameEnded) continue;
        const bool turbo = tapeWantsTurbo();
        if (turbo != static_cast<bool>(loadFlag(tapeTurboActive))) {
            storeFlag(tapeTurboActive, turbo);
            audioSilentWhileUnpaced(turbo);
        }
        bool soundRunsShort = false;
        const double period = static_cast<double>(kFramePeriodMs) * audioFrameEnded(soundRunsShort);
        double now = SDL_GetTicks();
        if (turbo || loadFlag(freeRunEnable) || soundRunsShort) {
            deadline = now + period;
            continue;
        }
        if (deadline > now) SDL_Delay(static_cast<Uint32>(deadline - now));
        deadline += period;
        // A device slower than the pace can follow: the machine waits for it.
        if (audioWaitForDevice()) deadline = SDL_GetTicks() + period;
        // After a stall (a busy host, a debugger window) the pace starts again rather than catching up.
        if (deadline < now - 4 * static_cast<double>(kFramePeriodMs)) deadline = now;
    }
    return 0;
}
