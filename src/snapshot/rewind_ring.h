// Going back in time: the machine as it stood at each of the last 60 emulated
// seconds, kept in memory as SNA images (deflated when the memory is large),
// at most 16 MB in all. Taken at a frame's end that falls between two
// instructions, so that taking one never moves the machine.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class RewindRing {
public:
    static constexpr int kStates = 60;
    static constexpr uint32_t kFramesApart = 50;  // one emulated second
    static constexpr size_t kBudget = 16u * 1024 * 1024;

    // At the end of each frame, on the thread that runs the machine.
    void frameEnded() {
        if (++framesSince_ >= kFramesApart && !held_) take();
    }
    // While held, no state is taken (a user going back, a machine being rebuilt).
    void hold(bool held) {
        held_ = held;
        framesSince_ = 0;
    }
    // The machine (stopped) goes back to the state `back` states before the
    // newest (0: the newest), which then becomes the newest; false with
    // `error` when there is none or it is of another model.
    bool restore(int back, std::string& error);
    void clear();
    int count() const { return count_; }
    size_t bytesHeld() const;

private:
    struct State {
        std::vector<uint8_t> bytes;  // capacity kept from one second to the next
        size_t size = 0;             // bytes of `bytes` in use
        size_t imageSize = 0;        // the SNA image's size, deflated or not
        bool deflated = false;
    };
    void take();
    State& at(int fromNewest) { return states_[(newest_ + kStates - fromNewest) % kStates]; }

    State states_[kStates];
    std::vector<uint8_t> scratch_, packed_;
    int newest_ = kStates - 1;
    int count_ = 0;
    uint32_t framesSince_ = 0;
    bool held_ = false;
};

extern RewindRing rewindRing;
