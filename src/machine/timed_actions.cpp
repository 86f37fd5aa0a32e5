#include "machine/timed_actions.h"

#include <SDL.h>

#include <atomic>

#include "machine/emulation_thread.h"

namespace {

struct PendingAction {
    uint64_t dueUs;
    TimedActionCallback callback;
    void* param;
    uint32_t intervalMs;
};

// Fixed capacity: scheduling happens off the per-microsecond path, but it
// still should never allocate while frames run.
constexpr int kMaxPending = 32;
PendingAction pending[kMaxPending];
int pendingCount = 0;
uint64_t nowUs = 0;
uint64_t frameStartUs = 0;  // emulated time at the start of the frame in progress

}  // namespace

void scheduleTimedAction(uint32_t delayMs, TimedActionCallback callback, void* param) {
    if (!callback) return;
    if (!headlessMode) {
        SDL_AddTimer(delayMs, reinterpret_cast<SDL_TimerCallback>(callback), param);
        return;
    }
    if (pendingCount == kMaxPending) {
        SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "timed actions: too many pending, one dropped");
        return;
    }
    pending[pendingCount++] = {nowUs + uint64_t(delayMs) * 1000, callback, param, delayMs};
}

void clearTimedActions() { pendingCount = 0; }

namespace {

// Handed from SDL's timer thread (the only producer) to the main thread.
struct HandedAction {
    TimedActionCallback callback;
    void* param;
};
constexpr uint32_t kHandOverSlots = 64;
HandedAction handOver[kHandOverSlots];
std::atomic<uint32_t> handOverWritten{0};
std::atomic<uint32_t> handOverRead{0};

uint32_t handToMainThread(uint32_t, void* param) {
    auto* action = static_cast<HandedAction*>(param);
    uint32_t w = handOverWritten.load(std::memory_order_relaxed);
    if (w - handOverRead.load(std::memory_order_acquire) < kHandOverSlots) {
        handOver[w % kHandOverSlots] = *action;
        handOverWritten.store(w + 1, std::memory_order_release);
    } else {
        SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "timed actions: main thread too busy, one dropped");
    }
    delete action;
    return 0;
}

}  // namespace

void scheduleMainThreadAction(uint32_t delayMs, TimedActionCallback callback, void* param) {
    if (!callback) return;
    if (headlessMode) {
        scheduleTimedAction(delayMs, callback, param);
        return;
    }
    SDL_AddTimer(delayMs, handToMainThread, new HandedAction{callback, param});
}

void runMainThreadActions() {
    uint32_t r = handOverRead.load(std::memory_order_relaxed);
    while (r != handOverWritten.load(std::memory_order_acquire)) {
        HandedAction action = handOver[r % kHandOverSlots];
        handOverRead.store(++r, std::memory_order_release);
        action.callback(0, action.param);
    }
}

uint64_t emulatedTimeMicroseconds() { return nowUs; }

namespace {

int earliestDue(uint64_t until) {
    int earliest = -1;
    for (int i = 0; i < pendingCount; ++i) {
        if (pending[i].dueUs <= until && (earliest < 0 || pending[i].dueUs < pending[earliest].dueUs)) earliest = i;
    }
    return earliest;
}

void runDue() {
    for (int i = earliestDue(nowUs); i >= 0; i = earliestDue(nowUs)) {
        PendingAction action = pending[i];
        pending[i] = pending[--pendingCount];
        uint32_t next = action.callback(action.intervalMs, action.param);
        if (next && pendingCount < kMaxPending) {
            pending[pendingCount++] = {action.dueUs + uint64_t(next) * 1000, action.callback, action.param, next};
        }
    }
}

}  // namespace

void advanceEmulatedTime(uint32_t microseconds) {
    frameStartUs += microseconds;
    nowUs = frameStartUs;
    if (headlessMode) runDue();
}

uint32_t timedActionDueRunctr(uint32_t runctr) {
    if (!headlessMode || pendingCount == 0) return 0;
    int next = earliestDue(frameStartUs + kFrameMicroseconds - 1);
    if (next < 0) return 0;
    uint64_t elapsed = kFrameMicroseconds - runctr;
    uint64_t offset = pending[next].dueUs > frameStartUs ? pending[next].dueUs - frameStartUs : 0;
    if (offset <= elapsed) return runctr;
    return static_cast<uint32_t>(kFrameMicroseconds - offset);
}

void runTimedActionsDue(uint32_t runctr) {
    nowUs = frameStartUs + (kFrameMicroseconds - runctr);
    runDue();
}
