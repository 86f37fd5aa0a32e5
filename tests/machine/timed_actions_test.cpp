#include <gtest/gtest.h>

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

}  // namespace
