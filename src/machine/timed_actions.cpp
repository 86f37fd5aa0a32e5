#include "machine/timed_actions.h"

#include <SDL.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

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

void scheduleTimedActionUs(uint64_t delayUs, TimedActionCallback callback, void* param) {
    if (!callback) return;
    const uint32_t delayMs = static_cast<uint32_t>(std::min<uint64_t>((delayUs + 999) / 1000, UINT32_MAX));
    if (!headlessMode) {
        SDL_AddTimer(delayMs, reinterpret_cast<SDL_TimerCallback>(callback), param);
        return;
    }
    if (pendingCount == kMaxPending) {
        SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "timed actions: too many pending, one dropped");
        return;
    }
    pending[pendingCount++] = {nowUs + delayUs, callback, param, delayMs};
}

void scheduleTimedAction(uint32_t delayMs, TimedActionCallback callback, void* param) {
    scheduleTimedActionUs(uint64_t(delayMs) * 1000, callback, param);
}

void clearTimedActions() { pendingCount = 0; }

namespace {

// Scheduled and run on the main thread only, so no other thread touches the
// list and it can grow: a user's load is never dropped for want of room.
struct MainThreadAction {
    uint32_t dueTicks;
    TimedActionCallback callback;
    void* param;
};
std::vector<MainThreadAction> mainThreadActions;

}  // namespace

void scheduleMainThreadAction(uint32_t delayMs, TimedActionCallback callback, void* param) {
    if (!callback) return;
    if (headlessMode) {
        scheduleTimedAction(delayMs, callback, param);
        return;
    }
    mainThreadActions.push_back({SDL_GetTicks() + delayMs, callback, param});
}

void runMainThreadActions() {
    const uint32_t now = SDL_GetTicks();
    // In the order they were scheduled; an action may schedule another.
    for (size_t i = 0; i < mainThreadActions.size();) {
        MainThreadAction action = mainThreadActions[i];
        if (static_cast<int32_t>(now - action.dueTicks) < 0) {
            ++i;
            continue;
        }
        mainThreadActions.erase(mainThreadActions.begin() + static_cast<std::ptrdiff_t>(i));
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
