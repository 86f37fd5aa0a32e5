#include "tape/tape_drive.h"

#include <cstdlib>

#include "machine/frontend_hooks.h"
#include "machine/shared_flag.h"

std::atomic<uint8_t> t_led_k7{0};
uint32_t tapeCounterIndexCount = 0;
uint32_t tapeCounterIndex = 0;

namespace {

// Blocks a delivery names at most.
constexpr uint32_t kMaxBlockTextsPerDelivery = 64;

}  // namespace

void resetTapeCounter() {
    tapeCounterIndexCount = 0;
    tapeCounterIndex = 0;
}

tapeDrive::~tapeDrive() { freePulses(); }

void tapeDrive::freePulses() {
    std::free(pulses);
    pulses = nullptr;
    pulseCount = 0;
}

void tapeDrive::init(bool playKeyDown, bool motorOn, bool isMoving) {
    writeLevel = 0;
    readLevel = 1;
    playKey = playKeyDown;
    motorLine = motorOn;
    moving = isMoving;
    motorTarget = playKey && motorLine;
    inertia = kTapeMotorStopUs;
    pulseIndex = 0;
    pulseLeft = 0;
    freePulses();
    if (tapeIndex) tapeIndex->clear();
    k7IndexNextBlock = 0;
    storeFlag(blockTextNotice, 0);
    blockTextShown = 0;
}

void tapeDrive::insertPulses(tapePulse* table, uint32_t count) {
    freePulses();
    pulses = table;
    pulseCount = table ? count : 0;
    rewind(0);
}

void tapeDrive::rewind(uint32_t n) {
    if (!pulses) return;
    pulseLeft = 0;
    if (n >= pulseCount) {
        n = pulseCount;
        readLevel = 0;
    }
    pulseIndex = n;
    // The blocks from here on are announced again as the tape passes them.
    uint32_t next = 0;
    if (tapeIndex) {
        while (next < tapeIndex->cdtNbBlock && tapeIndex->entries[next].pulseIndex < n) ++next;
    }
    k7IndexNextBlock = next;
    blockTextShown = next;
    storeFlag(rewindIconNotice, 1);
}

void tapeDrive::releasePlay() {
    playKey = false;
    moving = false;
    motorTarget = false;
    inertia = kTapeMotorStopUs;
}

void tapeDrive::playPause(bool play) {
    if (pulses && pulseIndex < pulseCount) {
        playKey = play;
        setPlaymotorChange();
    } else {
        releasePlay();
    }
    storeFlag(playIconNotice, 1);
}

void tapeDrive::setPlaymotorChange() {
    bool target = playKey && motorLine;
    if (target == motorTarget) return;
    motorTarget = target;
    inertia = target ? kTapeMotorStartUs : kTapeMotorStopUs;
}

void tapeDrive::eject() {
    init(false, motorLine, false);
    storeFlag(playIconNotice, 1);
}

void tapeDrive::advanceCounter() {
    tapeCounterIndexCount = 0;
    tapeCounterIndex = tapeCounterIndex >= 999 ? 0 : tapeCounterIndex + 1;
}

void tapeDrive::nextPulse() {
    if (pulseIndex < pulseCount) {
        const tapePulse& p = pulses[pulseIndex++];
        readLevel = p.level;
        // This microsecond is the pulse's first.
        pulseLeft = p.duration ? p.duration - 1 : 0;
        if (tapeIndex && k7IndexNextBlock < tapeIndex->cdtNbBlock &&
            tapeIndex->entries[k7IndexNextBlock].pulseIndex < pulseIndex) {
            ++k7IndexNextBlock;
            storeFlag(blockTextNotice, 1);
        }
    } else {
        readLevel = 0;
        releasePlay();
        storeFlag(playIconNotice, 1);
    }
    storeFlag(t_led_k7, readLevel);
}

void tapeDeliverFrontEndNotices() {
    if (!tape) return;
    if (loadFlag(tape->blockTextNotice)) {
        storeFlag(tape->blockTextNotice, 0);
        // Every block passed since the last delivery, in order (texts and
        // groups have no pulses and go by with the block after them); a
        // hostile tape of countless empty blocks gets only its latest.
        const uint32_t next = k7IndexNextBlock;
        uint32_t from = tape->blockTextShown;
        if (from > next) from = next ? next - 1 : 0;  // the index was rebuilt meanwhile
        if (next - from > kMaxBlockTextsPerDelivery) from = next - kMaxBlockTextsPerDelivery;
        tape->blockTextShown = next;
        for (uint32_t entry = from; entry < next; ++entry) frontendHooks.showTapeBlockText(entry);
    }
    if (loadFlag(tape->playIconNotice)) {
        storeFlag(tape->playIconNotice, 0);
        frontendHooks.redrawTapePlayIcon();
    }
    if (loadFlag(tape->rewindIconNotice)) {
        storeFlag(tape->rewindIconNotice, 0);
        frontendHooks.redrawTapeRewindIcon();
    }
}
