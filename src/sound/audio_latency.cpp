#include "sound/audio_latency.h"

#include <algorithm>

namespace {

// Per video frame, the error counted in video frames of samples: a frame's
// worth of error asks for 1 % at once (the rate takes half a percent of it)
// and learns 0.01 % a frame, which finds a clock 1 % off in a few seconds and
// settles without much overshoot (damping about 0.5). The fill is only known
// to half a device chunk, so a stronger rate would wobble the pitch.
constexpr double kProportional = 0.01;
constexpr double kIntegral = 0.0001;
// The rate's part of the quick correction: a frame's worth of error bends the pitch by 0.4 %.
constexpr double kRateShare = 0.4;
constexpr double kSmoothing = 0.05;  // the device takes its samples in chunks

}  // namespace

void AudioLatencyControl::setTarget(double targetFrames, double framesPerVideoFrame) {
    target_ = targetFrames;
    perVideoFrame_ = framesPerVideoFrame > 0 ? framesPerVideoFrame : 882.0;
    restart();
}

void AudioLatencyControl::restart() { smoothed_ = target_; }

void AudioLatencyControl::observe(double queuedFrames) {
    smoothed_ += kSmoothing * (queuedFrames - smoothed_);
    const double error = (target_ - smoothed_) / perVideoFrame_;
    const double limit = kMaxRateTrim + kMaxPacingTrim;
    learned_ = std::clamp(learned_ + kIntegral * error, -limit, limit);
    // Samples made per second of the host's time, as wanted. The quick part
    // of the correction changes the rate; the pacing takes the rest and the
    // learned difference of the clocks, so a steady device keeps the pitch
    // exact and the picture follows the device's clock.
    const double quick = std::clamp(kRateShare * kProportional * error, -kMaxRateTrim, kMaxRateTrim);
    const double demand = 1.0 + std::clamp(kProportional * error + learned_, -limit, limit);
    rate_ = 1.0 + quick;
    pacing_ = std::clamp(rate_ / demand, 1.0 - kMaxPacingTrim, 1.0 + kMaxPacingTrim);
}

