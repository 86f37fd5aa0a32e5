// The monitor with the window: Pause/Break stops the running machine into
// the client attached on the monitor port, which then steps and lets it go.
#include <gtest/gtest.h>
#include <unistd.h>

#include "e2e/monitor_client.h"
#include "window_xvfb_session.h"

namespace {

using namespace monitor_client;

class WindowedMonitor : public window_test::XvfbTest {};

TEST_F(WindowedMonitor, PauseStopsTheMachineIntoTheMonitor) {
    window_test::KestrixWindow k;
    const int client = openWithMonitor(k);
    ASSERT_GE(client, 0);
    ASSERT_TRUE(k.key("Pause"));
    const std::string stop = readUntil(client, "\n");
    EXPECT_EQ(stop.rfind("stopped user PC=", 0), 0u) << stop;
    // In the window a command is taken while the machine runs: the step's stop comes first.
    ASSERT_EQ(write(client, "step\n", 5), 5);
    const std::string stepped = readUntil(client, "stopped step PC=");
    EXPECT_NE(stepped.find("stopped step PC="), std::string::npos) << stepped;
    ASSERT_EQ(write(client, "quit\n", 5), 5);
    EXPECT_NE(readUntil(client, "bye").find("bye"), std::string::npos);
    close(client);
    EXPECT_EQ(k.waitForExit(), 0) << k.log();
}

}  // namespace
