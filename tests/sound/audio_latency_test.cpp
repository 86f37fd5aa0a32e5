// The queue control against a simulated device taking 512-frame chunks on a
// clock 1 % (and 7 %) slow or fast: two minutes of frames, each pushed 2 ms
// after it starts, at the pacing the control asks for.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "sound/audio_latency.h"

TEST(AudioLatency, HoldsTheQueueNearItsTargetWhenTheDeviceClockDrifts) {
    const double rate = 44100, chunk = 512, perFrame = rate * 0.019968, target = 0.040 * rate;
    for (double clock : {0.93, 0.99, 1.01, 1.07}) {
        AudioLatencyControl control;
        control.setTarget(target, perFrame);
        double queue = target, made = 0, now = 0, deadline = 0, pull = 0, low = 1e9, high = 0, latency = 0;
        int underruns = 0;
        auto advance = [&](double to) {
            for (now = to; pull <= now; pull += chunk / (rate * clock), queue = std::max(0.0, queue - chunk))
                underruns += queue < chunk;
        };
        for (int frame = 0; frame < 6000; ++frame) {
            advance(now + 0.002);
            made += perFrame * control.rate() - std::floor(made);
            queue += std::floor(made);
            control.observe(queue);
            EXPECT_LE(std::fabs(control.rate() - 1), AudioLatencyControl::kMaxRateTrim + 1e-12);
            if (frame >= 150) {  // three seconds to find the device's clock
                low = std::min(low, queue);
                high = std::max(high, queue);
                latency += (queue - perFrame / 2 + chunk) / rate / 5850;  // a frame's mean fill, and the chunk
            }
            deadline = control.runNow(queue) ? now : std::max(now, deadline + 0.019968 * control.pacing());
            advance(deadline);
            for (bool waiting = false; control.waitForDevice(queue, waiting); waiting = true) advance(now + 0.001);
            deadline = now;
        }
        EXPECT_EQ(underruns, 0) << clock;
        EXPECT_GE(low, target - perFrame) << clock;
        EXPECT_LE(high, target + perFrame) << clock;
        EXPECT_LE(latency, 0.050) << clock;
    }
}
