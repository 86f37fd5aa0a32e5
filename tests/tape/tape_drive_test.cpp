#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <utility>
#include <vector>

#include "machine/frontend_hooks.h"
#include "support/machine_fixture.h"
#include "support/tape_test_support.h"
#include "tape/tape_pulse_builder.h"

namespace {

class TapeDeck : public TapeDeckTest {
protected:
    // A tape of the given pulses (durations in microseconds, levels alternating
    // from 1), with index entries of the given kinds before the pulses numbered.
    void insert(std::initializer_list<uint32_t> durations, std::vector<std::pair<uint32_t, uint8_t>> blocks = {}) {
        beginTableDataPulse();
        tapeCpcFreq = 1.0f;
        currentLevel = 1;
        addTapeIndex(TapeKindBeginOfTape);
        uint32_t n = 0;
        for (uint32_t d : durations) {
            for (auto [before, kind] : blocks) {
                if (before == n) addTapeIndex(kind);
            }
            pushPulse(d);
            ++n;
        }
        checkEndTableDataPulse();
    }
    void motorAndPlay() {
        tape->playPause(true);
        tape->motorLine = true;
        tape->setPlaymotorChange();
    }
};

TEST_F(TapeDeck, PlayWithoutMotorStaysAndMotorStartsAfterItsInertia) {
    insert({100, 100, 100});
    tape->playPause(true);
    run(500000);
    EXPECT_EQ(std::tuple(tape->moving, tape->pulseIndex), std::tuple(false, 0u)) << "play alone turns no motor";

    tape->motorLine = true;
    tape->setPlaymotorChange();
    run(kTapeMotorStartUs - 1);
    EXPECT_FALSE(tape->moving);
    run(1);
    EXPECT_EQ(std::tuple(tape->moving, tape->pulseIndex), std::tuple(true, 1u)) << "186000 us after the motor came on";
}

TEST_F(TapeDeck, MotorOffStopsAfterItsInertiaAndKeepsThePosition) {
    insert({100000, 100000, 100000, 100000, 100000, 100000});
    motorAndPlay();
    run(kTapeMotorStartUs + 2500);
    uint32_t at = tape->pulseIndex;
    tape->motorLine = false;
    tape->setPlaymotorChange();
    run(kTapeMotorStopUs - 1);
    EXPECT_TRUE(tape->moving) << "the motor runs on for 93000 us";
    run(1);
    EXPECT_FALSE(tape->moving);
    uint32_t stoppedAt = tape->pulseIndex;
    run(100000);
    EXPECT_EQ(tape->pulseIndex, stoppedAt);
    EXPECT_GE(stoppedAt, at);
    EXPECT_TRUE(tape->playKey) << "the play key stays down";
}

TEST_F(TapeDeck, EachPulseHoldsItsLevelForItsDuration) {
    insert({3, 5, 2});
    motorAndPlay();
    run(kTapeMotorStartUs - 1);
    std::string levels;
    for (int i = 0; i < 12; ++i) {
        tape->read();
        levels += char('0' + tape->readLevel);
    }
    EXPECT_EQ(levels, "111000001100");
    // The end of the tape releases play.
    EXPECT_EQ(std::tuple(tape->playKey, tape->readLevel, tape->playIconNotice.load()), std::tuple(false, 0, true));
}

TEST_F(TapeDeck, RewindPastTheEndLeavesTheDeckAtTheEndWithLevelLow) {
    insert({10, 10, 10});
    EXPECT_EQ(tape->readLevel, 1);
    tape->rewind(1000);
    EXPECT_EQ(tape->pulseIndex, tape->pulseCount);
    EXPECT_EQ(tape->readLevel, 0);
    tape->playPause(true);
    EXPECT_FALSE(tape->playKey) << "nothing left to play";
    tape->rewind(0);
    tape->playPause(true);
    EXPECT_TRUE(tape->playKey);
}

// The index entries the deck announces to the front-end, from now on.
std::vector<uint32_t>& announcedBlocks() {
    static std::vector<uint32_t> shown;
    shown.clear();
    frontendHooks.showTapeBlockText = [](uint32_t entry) { shown.push_back(entry); };
    return shown;
}

TEST_F(TapeDeck, BlocksAreAnnouncedAsTheTapePassesThemAndAgainAfterARewind) {
    insert({10, 10, 10}, {{2, 0x10}});
    std::vector<uint32_t>& shown = announcedBlocks();

    motorAndPlay();
    run(kTapeMotorStartUs);
    tapeDeliverFrontEndNotices();
    run(20);
    tapeDeliverFrontEndNotices();
    EXPECT_EQ(shown, (std::vector<uint32_t>{0, 1}));

    tape->rewind(2);
    EXPECT_EQ(k7IndexNextBlock, 1u);
    tape->rewind(0);
    EXPECT_EQ(k7IndexNextBlock, 0u);
}

// Blocks without pulses of their own (texts, groups) pass with the next one:
// the front-end hears of each, in order, however many went by since it looked.
TEST_F(TapeDeck, EveryBlockPassedBetweenTwoDeliveriesIsAnnounced) {
    insert({10, 10, 10, 10, 10, 10, 10, 10}, {{1, 0x21}, {1, 0x30}, {1, 0x32}, {1, 0x10}, {7, 0x22}});
    std::vector<uint32_t>& shown = announcedBlocks();

    motorAndPlay();
    run(kTapeMotorStartUs + 60);
    tapeDeliverFrontEndNotices();
    EXPECT_EQ(shown, (std::vector<uint32_t>{0, 1, 2, 3, 4}));
    run(20);
    tapeDeliverFrontEndNotices();
    EXPECT_EQ(shown, (std::vector<uint32_t>{0, 1, 2, 3, 4, 5}));

    // After a rewind the blocks are announced again from there.
    shown.clear();
    tape->rewind(1);
    tape->playPause(true);
    run(kTapeMotorStartUs + 45);
    tapeDeliverFrontEndNotices();
    EXPECT_EQ(shown, (std::vector<uint32_t>{1, 2, 3, 4}));
}

TEST_F(TapeDeck, FrontEndHearsOfTheDeckWhenNoticesAreDelivered) {
    static int playRedraws, rewindRedraws;
    playRedraws = rewindRedraws = 0;
    frontendHooks.redrawTapePlayIcon = [] { ++playRedraws; };
    frontendHooks.redrawTapeRewindIcon = [] { ++rewindRedraws; };
    insert({10, 10});
    tapeDeliverFrontEndNotices();
    rewindRedraws = 0;
    tape->playPause(true);
    EXPECT_EQ(playRedraws, 0) << "not from the thread that pressed play";
    tapeDeliverFrontEndNotices();
    tapeDeliverFrontEndNotices();
    EXPECT_EQ(playRedraws, 1);
    tape->rewind(1);
    tapeDeliverFrontEndNotices();
    EXPECT_EQ(rewindRedraws, 1);
}

TEST_F(TapeDeck, CounterAdvancesEvery2801000UsOfPlayAndWrapsAfter999) {
    insert({4000000000u});
    motorAndPlay();
    run(kTapeMotorStartUs - 1);
    run(kTapeCounterStepUs - 1);
    EXPECT_EQ(tapeCounterIndex, 0u);
    run(1);
    EXPECT_EQ(tapeCounterIndex, 1u);
    tapeCounterIndex = 999;
    run(kTapeCounterStepUs);
    EXPECT_EQ(tapeCounterIndex, 0u);
}

TEST_F(TapeDeck, EjectEmptiesDeckAndIndex) {
    insert({10, 10});
    motorAndPlay();
    tape->eject();
    // The motor line belongs to the PPI.
    EXPECT_EQ(std::tuple(tape->pulses, tape->pulseCount, tape->playKey, tape->motorLine, tapeIndex->cdtNbBlock),
              std::tuple(nullptr, 0u, false, true, 0u));
}

TEST(TapePulseBuilder, PausesAndRounding) {
    if (!tapeIndex) tapeIndex = new tapeBlockIndex();
    if (!tape) tape = new tapeDrive();
    beginTableDataPulse();
    tapeCpcFreq = 3.5f;
    currentLevel = 0;
    auto table = [](size_t from, size_t count) {
        return pulseText(std::vector<tapePulse>(tableDataPulse, tableDataPulse + idx), from, count);
    };
    pushPause(0);
    EXPECT_EQ(idx, 0u) << "a pause of 0 ms adds nothing";
    pushPause(5);
    EXPECT_EQ(table(0, 9), "0:5000");
    EXPECT_EQ(currentLevel, 1);
    pushPause(2);  // after a high level: a 1 ms high pulse first
    EXPECT_EQ(table(1, 9), "1:1000 0:2000");

    pushPulse(2168);  // 619.4 us
    pushPulse(1710);  // 488.6 us
    EXPECT_EQ(tableDataPulse[3].duration, 619u);
    EXPECT_EQ(tableDataPulse[4].duration, 489u);
    pushPulse(1);  // too short for the deck: left out, the level still turns
    EXPECT_EQ(idx, 5u);
    EXPECT_EQ(currentLevel, 0);

    zeroBitPulseLength = 700;
    oneBitPulseLength = 1400;
    pushByte(0xA0);
    ASSERT_EQ(idx, 21u);
    EXPECT_EQ(table(5, 2), "0:400 1:400");
    EXPECT_EQ(tableDataPulse[7].duration, 200u);
    beginTableDataPulse();
}

TEST(TapePulseBuilder, TableIsHandedToTheDeckAtItsCount) {
    if (!tapeIndex) tapeIndex = new tapeBlockIndex();
    if (!tape) tape = new tapeDrive();
    tape->init(false, false, false);
    beginTableDataPulse();
    tapeCpcFreq = 1.0f;
    for (int i = 0; i < 70000; ++i) pushPulse(3);
    EXPECT_GE(maxIdx, 70000u);
    checkEndTableDataPulse();
    EXPECT_EQ(tape->pulseCount, 70000u);
    EXPECT_EQ(tableDataPulse, nullptr);
    EXPECT_EQ(idx, 0u);
    EXPECT_EQ(tape->pulseIndex, 0u);
    tape->init(false, false, false);
}

}  // namespace

namespace {

// The deck in a whole machine: the motor switched through the PPI as a
// program's OUT does, the level read where the PPI's port B sees it.
class TapeMotorThroughPpi : public test_support::BareMachine {
protected:
    // The levels port B bit 7 shows, one run of equal level after another.
    struct Run {
        uint8_t level;
        uint64_t duration;
        bool operator==(const Run&) const = default;
    };
    static void sample(std::vector<Run>& runs) {
        const uint8_t level = static_cast<uint8_t>(ppi->read(1) >> 7);
        if (runs.empty() || runs.back().level != level) runs.push_back({level, 0});
        ++runs.back().duration;
    }
};

}  // namespace

// A program that stops the motor for a moment and starts it again (loaders
// do so between blocks) hears the rest of the tape as it is: for a short
// stop the tape never halts, after a long one it resumes 186 ms after the
// motor came back, the pulse under the head longer by the halt.
TEST_F(TapeMotorThroughPpi, TheTapeGoesOnAfterTheMotorWasOffAWhile) {
    for (uint32_t offMs : {5u, 25u, 50u, 100u}) {
        tape->init(false, false, false);
        beginTableDataPulse();
        tapeCpcFreq = 1.0f;
        currentLevel = 0;
        addTapeIndex(TapeKindBeginOfTape);
        std::vector<Run> expected{{1, 0}};  // the idle level until the tape moves
        for (uint32_t i = 0; i < 2000; ++i) {
            const uint32_t d = 250 + (i * 37) % 600;
            expected.push_back({currentLevel, d});
            pushPulse(d);
        }
        checkEndTableDataPulse();
        tape->playPause(true);

        test_support::ioCycle(0xF700, 0x82);  // port C output, as the firmware sets it
        std::vector<Run> seen;
        auto play = [&](uint32_t us) {
            for (uint32_t t = 0; t < us; ++t) {
                ga->clockMicrosecond();
                sample(seen);
            }
        };
        test_support::ioCycle(0xF600, 0x10);  // motor on
        play(kTapeMotorStartUs + 400000);
        test_support::ioCycle(0xF600, 0x00);
        play(offMs * 1000);
        test_support::ioCycle(0xF600, 0x10);
        uint64_t deadline = 4000000;
        while (tape->playKey && deadline--) {
            ga->clockMicrosecond();
            sample(seen);
        }
        ASSERT_FALSE(tape->playKey) << offMs << " ms off: the tape never reached its end";

        // The idle run and the run the motor stop fell into are the only ones
        // of their own length; the end of the tape leaves the level low.
        ASSERT_EQ(seen.size(), expected.size() + 1) << offMs << " ms off";
        EXPECT_EQ(seen.back().level, 0);
        seen.pop_back();
        const uint64_t halt = offMs * 1000 >= kTapeMotorStopUs ? offMs * 1000 + kTapeMotorStartUs - kTapeMotorStopUs : 0;
        expected[0].duration = kTapeMotorStartUs - 1;  // the first pulse starts in the microsecond the tape moves
        uint64_t moved = 400000 + kTapeMotorStopUs;  // played before the halt
        for (size_t k = 1; k < expected.size(); ++k) {
            if (moved < expected[k].duration) {
                expected[k].duration += halt;
                break;
            }
            moved -= expected[k].duration;
        }
        const size_t k = std::mismatch(seen.begin(), seen.end(), expected.begin()).first - seen.begin();
        EXPECT_EQ(k, seen.size()) << offMs << " ms off: run " << k << " is " << seen[k].duration << " us at "
                                  << int(seen[k].level) << ", expected " << expected[k].duration << " us";
    }
}
