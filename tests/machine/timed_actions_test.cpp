#include <gtest/gtest.h>

#include <SDL.h>
#include <atomic>
#include <chrono>
#include <vector>

#include "machine/emulation_thread.h"
#include "machine/timed_actions.h"

namespace {

std::vector<uint64_t> firedAt;

uint32_t recordAndRepeat(uint32_t interval, void* param) {
    firedAt.push_back(emulatedTimeMicroseconds());
    int* left = static_cast<int*>(param);
    return --*left > 0 ? interval : 0;
}

// Runs one frame the way the frame clock does, without a machine.
void runFrame() {
    uint32_t runctr = kFrameMicroseconds;
    while (runctr) {
        uint32_t pauseAt = timedActionDueRunctr(runctr);
        while (runctr > pauseAt) --runctr;
        if (runctr) runTimedActionsDue(runctr);
    }
    advanceEmulatedTime(kFrameMicroseconds);
}

class TimedActions : public ::testing::Test {
protected:
    void SetUp() override {
        headlessMode = true;
        clearTimedActions();
        firedAt.clear();
    }
    void TearDown() override {
        clearTimedActions();
        headlessMode = false;
    }
};

TEST_F(TimedActions, HeadlessActionsFireAtTheirOwnMicrosecond) {
    uint64_t start = emulatedTimeMicroseconds();
    int repeats = 4;
    scheduleTimedAction(30, recordAndRepeat, &repeats);
    for (int i = 0; i < 10; ++i) runFrame();
    ASSERT_EQ(firedAt.size(), 4u);
    for (size_t i = 0; i < firedAt.size(); ++i) EXPECT_EQ(firedAt[i] - start, 30000u * (i + 1)) << i;
}

TEST_F(TimedActions, EarliestFirstAndClearDropsAll) {
    uint64_t start = emulatedTimeMicroseconds();
    int once = 1, alsoOnce = 1;
    scheduleTimedAction(45, recordAndRepeat, &once);
    scheduleTimedAction(5, recordAndRepeat, &alsoOnce);
    for (int i = 0; i < 3; ++i) runFrame();
    ASSERT_EQ(firedAt.size(), 2u);
    EXPECT_EQ(firedAt[0] - start, 5000u);
    EXPECT_EQ(firedAt[1] - start, 45000u);

    int never = 1;
    scheduleTimedAction(10, recordAndRepeat, &never);
    clearTimedActions();
    runFrame();
    EXPECT_EQ(firedAt.size(), 2u);
}

int mainThreadRuns = 0;
uint32_t countRun(uint32_t, void*) {
    ++mainThreadRuns;
    return 0;
}
std::atomic<bool> laterTimerFired{false};
uint32_t markFired(uint32_t, void*) {
    laterTimerFired = true;
    return 0;
}

TEST(MainThreadActions, ManyPendingLoadsAreAllRun) {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_TIMER), 0) << SDL_GetError();
    headlessMode = false;
    mainThreadRuns = 0;
    laterTimerFired = false;
    constexpr int kLoads = 100;  // more than a busy main loop is ever expected to leave pending
    for (int i = 0; i < kLoads; ++i) scheduleMainThreadAction(1, countRun, nullptr);
    // Timers fire in the order they fall due: once this one has, the loads are due too.
    scheduleTimedAction(40, markFired, nullptr);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!laterTimerFired && std::chrono::steady_clock::now() < deadline) SDL_Delay(2);
    ASSERT_TRUE(laterTimerFired);
    runMainThreadActions();
    EXPECT_EQ(mainThreadRuns, kLoads) << "no load is dropped";
    runMainThreadActions();
    EXPECT_EQ(mainThreadRuns, kLoads) << "and none runs twice";
    SDL_QuitSubSystem(SDL_INIT_TIMER);
}

}  // namespace
