#include "frontend/rewind_control.h"

#include <SDL.h>

#include <string>

#include "frontend/main_loop.h"
#include "machine/emulation_thread.h"
#include "machine/frontend_hooks.h"
#include "snapshot/rewind_ring.h"

namespace {

// A second of the past every quarter of a second held: 15 s of going back show 60 s.
constexpr uint32_t kStepMs = 250;

bool held = false;
bool wasRunning = false;
bool firstStep = true;
uint32_t nextStepAt = 0;

void stepBack() {
    std::string error;
    // The first step goes to the newest state (under a second ago), each further one a second before it.
    if (!rewindRing.restore(firstStep ? 0 : 1, error)) {
        textShowOSD("\366 No earlier state kept (%s) \367", error.c_str());
        return;
    }
    firstStep = false;
    // One frame shows the state; it goes to no state of its own, and its sound is dropped when running resumes.
    runOneFrame();
    textShowOSD("\366 Going back: %d s kept \367", rewindRing.count());
    presentRunningFrame();
}

}  // namespace

void rewindHold(bool down) {
    if (down == held) return;
    held = down;
    if (down) {
        wasRunning = running;
        stopRun();
        rewindRing.hold(true);
        firstStep = true;
        stepBack();
        nextStepAt = SDL_GetTicks() + kStepMs;
        return;
    }
    rewindRing.hold(false);
    if (wasRunning) run();
}

void rewindTurn() {
    if (!held || static_cast<int32_t>(SDL_GetTicks() - nextStepAt) < 0) return;
    nextStepAt += kStepMs;
    stepBack();
}

bool rewindHeld() { return held; }

bool goBackSeconds(int seconds) {
    std::string error;
    if (!rewindRing.restore(seconds - 1, error)) {
        textShowOSD("\366 No state %d s ago (%s) \367", seconds, error.c_str());
        return false;
    }
    textShowOSD("\366 Back %d s \367", seconds);
    return true;
}
