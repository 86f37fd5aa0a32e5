// Going back: the monitor's rewind brings memory back as it was seconds ago, and a machine of 4160 KB keeps
// its 60 seconds within the ring's bound (as /proc sees the process).
#include "snapshot/rewind_ring.h"

#include <fstream>

#include "debug/monitor.h"
#include "support/machine_fixture.h"

using namespace test_support;

static long residentKB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line) && line.rfind("VmRSS:", 0) != 0) {}
    return std::stol(line.substr(6));
}

static std::string answer(const std::string& command) { return runMonitorCommand(command).lines.at(0); }

using Rewind = BuiltMachine;

TEST_F(Rewind, MonitorGoesBackAndTheRingStaysWithinItsBound) {
    rewindRing.clear();
    frames(300);
    answer("poke &4000 &AA");
    frames(300);
    EXPECT_EQ(answer("rewind 2").rfind("rewound 2 s", 0), 0u);
    EXPECT_EQ(answer("mem &4000 1").substr(0, 8), "4000: AA");
    EXPECT_EQ(answer("rewind 8").rfind("rewound 8 s", 0), 0u);
    EXPECT_EQ(answer("mem &4000 1").substr(0, 8), "4000: 00");

    changeCPCMemory(4160);
    const long before = residentKB();
    frames(3100);
    EXPECT_EQ(rewindRing.count(), RewindRing::kStates);
    EXPECT_LE(rewindRing.bytesHeld(), RewindRing::kBudget);
#ifndef KESTRIX_SANITIZE_ADDRESS
    // The sanitizer's allocator keeps freed blocks a while: only the ring's own count holds there.
    EXPECT_LT(residentKB() - before, static_cast<long>(RewindRing::kBudget / 1024 + 8192));
#endif
    EXPECT_EQ(answer("rewind 30").rfind("rewound 30 s", 0), 0u);
}
