// The queue control against a simulated device whose clock runs 1 % slow or
// fast: two minutes of frames pushed at the pacing it asks for.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "sound/audio_latency.h"

TEST(AudioLatency, HoldsTheQueueNearItsTargetWhenTheDeviceClockDrifts) {
    const double rate = 44100, chunk = 441, perFrame = rate * 0.019968, target = 0.035 * rate;
    for (double clock : {0.99, 1.01}) {
        AudioLatencyControl control;
        control.setTarget(target, perFrame);
        double queue = target, made = 0, now = 0, nextPull = chunk / (rate * clock), latency = 0;
        double low = 1e9, high = 0, maxRate = 0;
        int underruns = 0, counted = 0;
        for (int frame = 0; frame < 6000; ++frame) {
            now += 0.019968 * control.pacing();
            for (; nextPull <= now; nextPull += chunk / (rate * clock)) {
                underruns += queue < chunk;
                queue = std::max(0.0, queue - chunk);
            }
            made += perFrame * control.rate();
            queue += std::floor(made);
            made -= std::floor(made);
            control.observe(queue);
            maxRate = std::max(maxRate, std::fabs(control.rate() - 1));
            if (frame < 500) continue;  // the first ten seconds find the device's clock
            low = std::min(low, queue);
            high = std::max(high, queue);
            latency += (queue + chunk) / rate;
            ++counted;
        }
        EXPECT_EQ(underruns, 0) << clock;
        EXPECT_GE(low, target - perFrame) << clock;
        EXPECT_LE(high, target + perFrame) << clock;
        EXPECT_LE(latency / counted, 0.050) << clock;
        EXPECT_LE(maxRate, AudioLatencyControl::kMaxRateTrim + 1e-12) << clock;
    }
}
