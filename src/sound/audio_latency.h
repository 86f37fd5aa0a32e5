// Keeps the host device's queue near its target fill. The fill measured
// after each push, smoothed, steers the rate at which the frame clock makes
// samples, by at most half a percent (an inaudible change of pitch); a clock
// that drifts further than that also stretches or shortens the frame pacing.
// A fill more than a video frame off its target (a device far off its rate,
// a stall) is brought back at once: the next frame waits for the device, or
// runs without waiting for the pace. Plain arithmetic, no device: the
// emulation thread feeds it.
#pragma once
#include <cstdint>

class AudioLatencyControl {
public:
    static constexpr double kMaxRateTrim = 0.005;
    static constexpr double kMaxPacingTrim = 0.08;

    // The fill wanted after each push and the samples one video frame makes,
    // both in sample frames.
    void setTarget(double targetFrames, double framesPerVideoFrame);
    // The queue has just been refilled to its target: the smoothed fill
    // starts there again (the clocks' learned difference is kept).
    void restart();
    // The fill right after a push.
    void observe(double queuedFrames);

    // The fill right after a push is three quarters of a video frame short: the next frame starts without
    // waiting for the pace.
    bool runNow(double queuedAfterPush) const { return queuedAfterPush < target_ - perVideoFrame_ * 3 / 4; }
    // When the pace lets the next frame start, its push would leave the fill half a video frame too long:
    // the frame waits, until the device has taken what it would take in a paced frame (`waiting`: since
    // then).
    bool waitForDevice(double queuedBeforeFrame, bool waiting) const {
        return queuedBeforeFrame > target_ - perVideoFrame_ * (waiting ? 1.0 : 0.5);
    }

    // Samples per emulated second are multiplied by rate(); the frame period by pacing().
    double rate() const { return rate_; }
    double pacing() const { return pacing_; }
    double target() const { return target_; }

private:
    double target_ = 0.0;
    double perVideoFrame_ = 882.0;
    double smoothed_ = 0.0;
    double learned_ = 0.0;  // the integral: the device's clock against the pacing's
    double rate_ = 1.0;
    double pacing_ = 1.0;
};
