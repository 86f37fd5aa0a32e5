#include "sound/audio_latency.h"

#include <algorithm>

namespace {

// Per video frame, the error counted in video frames of samples: a frame's
// worth of error asks for 2 % at once and learns 0.02 % a frame, which finds
// a clock 1 % off before the queue runs dry and settles without much
// overshoot (damping about 0.7).
constexpr double kProportional = 0.02;
constexpr double kIntegral = 0.0002;
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
    // Samples made per second of the host's time, as wanted: first from the
    // rate, then from the pacing (a shorter frame period makes more).
    const double demand = 1.0 + std::clamp(kProportional * error + learned_, -limit, limit);
    rate_ = std::clamp(demand, 1.0 - kMaxRateTrim, 1.0 + kMaxRateTrim);
    pacing_ = std::clamp(rate_ / demand, 1.0 - kMaxPacingTrim, 1.0 + kMaxPacingTrim);
}
