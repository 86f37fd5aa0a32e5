// The cassette deck: plays a table of pulses into the PPI's tape input, with
// a play key, the PPI's motor line and the motor's start and stop inertia.
#pragma once
#include <atomic>
#include <cstdint>

#include "tape/tape_index.h"

// One level held for a time, in four bytes: a tape keeps millions of them.
struct tapePulse {
    uint32_t level : 1;
    uint32_t duration : 31;  // microseconds, at least 1
};
constexpr uint32_t kMaxPulseMicroseconds = 0x7FFFFFFF;

constexpr uint32_t kTapeMotorStartUs = 186000;
constexpr uint32_t kTapeMotorStopUs = 93000;
// The on-screen tape counter advances once per this many microseconds of play.
constexpr uint32_t kTapeCounterStepUs = 2801000;

// The on-screen tape counter: microseconds of play into the current step, and
// the step (0..999).
extern uint32_t tapeCounterIndexCount;
extern uint32_t tapeCounterIndex;
void resetTapeCounter();

class tapeDrive {
public:
    uint8_t writeLevel = 0;  // PPI port C bit 5, kept only
    uint8_t readLevel = 1;   // PPI port B bit 7
    bool playKey = false;
    bool motorLine = false;  // PPI port C bit 4
    bool moving = false;
    bool motorTarget = false;  // playKey && motorLine
    uint32_t inertia = 0;      // microseconds until moving follows motorTarget
    uint32_t pulseIndex = 0;   // next pulse to play
    uint32_t pulseCount = 0;
    uint32_t pulseLeft = 0;    // microseconds left of the pulse playing
    tapePulse* pulses = nullptr;

    // Notices for the front-end. The deck changes on the emulation and timer
    // threads too, so it only raises them; tapeDeliverFrontEndNotices() calls
    // the front-end's tape hooks on the main thread.
    std::atomic<uint8_t> blockTextNotice{0};
    std::atomic<uint8_t> playIconNotice{0};
    std::atomic<uint8_t> rewindIconNotice{0};
    // First index entry the front-end has not been told of yet (main thread;
    // rewind and init set it with the emulation stopped).
    uint32_t blockTextShown = 0;

    tapeDrive() = default;
    ~tapeDrive();
    tapeDrive(const tapeDrive&) = delete;
    tapeDrive& operator=(const tapeDrive&) = delete;

    void init(bool playKeyDown, bool motorOn, bool isMoving);
    void rewind(uint32_t n);
    void playPause(bool play);
    void setPlaymotorChange();
    void eject();
    // Takes the table built by a loader (owned from now on) and rewinds to its start.
    void insertPulses(tapePulse* table, uint32_t count);

    // One microsecond.
    void read() {
        if (inertia && --inertia == 0) moving = motorTarget;
        if (!moving) return;
        if (++tapeCounterIndexCount == kTapeCounterStepUs) advanceCounter();
        if (pulseLeft) {
            --pulseLeft;
            return;
        }
        nextPulse();
    }
    // Microseconds from the next one on in which read() would only count:
    // none while the motor runs up or down, any number while the deck
    // stands, up to the end of the pulse or the counter's next step while
    // it plays.
    uint32_t quietFor() const {
        if (inertia) return 0;
        if (!moving) return UINT32_MAX;
        const uint32_t toCounterStep = kTapeCounterStepUs - 1 - tapeCounterIndexCount;
        return pulseLeft < toCounterStep ? pulseLeft : toCounterStep;
    }
    // Those microseconds in one go, as that many calls of read(). (The front
    // end may rewind the deck meanwhile: the pulse never goes below zero.)
    void skip(uint32_t microseconds) {
        if (!moving) return;
        pulseLeft = pulseLeft > microseconds ? pulseLeft - microseconds : 0;
        tapeCounterIndexCount += microseconds;
    }

private:
    void nextPulse();
    static void advanceCounter();
    void releasePlay();
    void freePulses();
};

// Mirrors the deck's read level for the front-end's tape LED.
extern std::atomic<uint8_t> t_led_k7;

// Main thread: hands what the deck raised while frames ran to the front-end.
void tapeDeliverFrontEndNotices();

// The machine's cassette deck (built by beginCPC).
extern tapeDrive* tape;
