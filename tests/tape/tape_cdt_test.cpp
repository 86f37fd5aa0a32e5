#include <gtest/gtest.h>

#include <tuple>

#include "support/tape_test_support.h"
#include "tape/tape_drive.h"
#include "tape/tape_pulse_builder.h"

namespace {

class CdtImage : public TapeDeckTest {
protected:
    int load(const Bytes& blocks) {
        Bytes image = cdtHeader();
        image.insert(image.end(), blocks.begin(), blocks.end());
        return TapeDeckTest::load("t.cdt", image);
    }
    using TapeDeckTest::load;
    // Pulses of the lead-in pause: a 2048 ms low.
    static constexpr uint32_t kLeadIn = 1;
    // The close of every tape: 1 ms low (after a 1 ms high when the level was
    // high) and two 1 us highs.
    static uint32_t closeLength(uint8_t levelBefore) { return levelBefore ? 4 : 3; }
};

TEST_F(CdtImage, StandardBlockPilotLengthFollowsTheFlagByte) {
    ASSERT_EQ(load(cdtStandardBlock({0x00, 0x12}, 0)), 1);
    std::vector<tapePulse> p = deckPulses();
    ASSERT_GT(p.size(), 8063u + 2);
    EXPECT_EQ(p[0].duration, 2048000u);
    for (uint32_t i = 1; i <= 8063; ++i) ASSERT_EQ(p[i].duration, 619u) << i;
    // Two sync pulses of 667 and 735 T-states, then bit 0 of the flag, 855 T-states.
    EXPECT_EQ(pulseText(p, 8064, 3), "0:191 1:210 0:244");
    EXPECT_EQ(p.size(), kLeadIn + 8063 + 2 + 32 + closeLength(0));

    ASSERT_EQ(load(cdtStandardBlock({0xFF, 0x12}, 0)), 1);
    p = deckPulses();
    EXPECT_EQ(p.size(), kLeadIn + 3223 + 2 + 32 + closeLength(0));
    EXPECT_EQ(pulseText(p, 3224, 3), "0:191 1:210 0:489") << "bit 1 of the flag, 1710 T-states";
}

TEST_F(CdtImage, DataPulsesAlternateLevelAndTheBlockEndsWithItsPause) {
    ASSERT_EQ(load(cdtTurboBlock({0xFF, 0x80}, 1, 100, 2)), 1);
    std::vector<tapePulse> p = deckPulses();
    // Lead-in, 2 pilots, 2 syncs, 18 pulses of 2000 T-states (FFh and the used bit of 80h), the high closed
    // before the pause, the pause and the close.
    EXPECT_EQ(pulseText(p, 0, p.size()),
              "0:2048000 1:571 0:571 1:286 0:286 1:571 0:571 1:571 0:571 1:571 0:571 1:571 0:571 1:571 0:571 "
              "1:571 0:571 1:571 0:571 1:571 0:571 1:571 0:571 1:1000 0:100000 1:1000 0:1000 1:1 1:1");
    EXPECT_EQ(tapeIndex->entries[1].kind, 0x11);
    EXPECT_EQ(tapeIndex->entries[1].pulseIndex, 1u);
}

TEST_F(CdtImage, PauseOfZeroMillisecondsAddsNothing) {
    ASSERT_EQ(load({0x20, 0x00, 0x00}), 1);
    EXPECT_EQ(tape->pulseCount, kLeadIn + closeLength(1));
    ASSERT_EQ(load({0x20, 0xE8, 0x03}), 1);
    std::vector<tapePulse> p = deckPulses();
    ASSERT_EQ(p.size(), kLeadIn + 2 + closeLength(1));
    EXPECT_EQ(p[1].duration, 1000u) << "the high after the lead-in is closed first";
    EXPECT_EQ(p[2].duration, 1000000u);
}

TEST_F(CdtImage, ArchiveInfoKeepsTheLastTextAndLogsEachType) {
    Bytes strings{3, 0x00, 5, 'R', 'o', 'g', 'u', 'e', 0x02, 3, 'A', 'n', 'n', 0xFF, 4, 'G', 'P', 'L', '3'};
    Bytes block{0x32};
    putU16(block, static_cast<uint32_t>(strings.size()));
    block.insert(block.end(), strings.begin(), strings.end());
    TapeLogCatcher log;
    ASSERT_EQ(load(join({block, {0x30, 4, 'n', 'e', 'x', 't'}})), 1);
    ASSERT_EQ(tapeIndex->cdtNbBlock, 4u);
    EXPECT_EQ(tapeIndex->entries[1].kind, 0x32);
    EXPECT_STREQ(tapeIndex->entries[1].text, "GPL3");
    EXPECT_STREQ(tapeIndex->entries[2].text, "next") << "the block length keeps the reader in step";
    EXPECT_TRUE(log.contains("CDT : 00 - Full title"));
    EXPECT_TRUE(log.contains("CDT : 02 - Author(s)"));
    EXPECT_TRUE(log.contains("CDT : FF - Comment(s)"));
    EXPECT_EQ(log.count("CDT : "), 3);
}

TEST_F(CdtImage, UnknownBlockEndsTheTapeAndKeepsWhatCameBefore) {
    ASSERT_EQ(load(join({{0x12, 0xE8, 0x03, 0x05, 0x00}, {0x16, 1, 2, 3}, {0x12, 0xE8, 0x03, 0x09, 0x00}})), 1);
    EXPECT_EQ(tape->pulseCount, kLeadIn + 5) << "the tone before the unknown block, nothing after";
    ASSERT_EQ(tapeIndex->cdtNbBlock, 3u);
    EXPECT_EQ(tapeIndex->entries[2].kind, 0x16);
}

TEST_F(CdtImage, WrongHeaderIsRefusedAndLeavesTheTapeInTheDeck) {
    ASSERT_EQ(load({0x12, 0xE8, 0x03, 0x05, 0x00}), 1);
    uint32_t before = tape->pulseCount;
    Bytes bad = cdtHeader();
    bad[7] = 0x1B;
    EXPECT_EQ(load("bad.cdt", bad), 0);
    EXPECT_EQ(tape->pulseCount, before);
}

TEST_F(CdtImage, ToneSequenceDirectRecordingAndSignalLevel) {
    Bytes direct{0x15};
    putU16(direct, 350);  // 100 us a sample
    putU16(direct, 0);
    direct.push_back(4);
    putU24(direct, 2);
    direct.push_back(0x0F);  // 0000 1111
    direct.push_back(0xF0);  // only the used bits 1111
    Bytes signal{0x2B};
    putU32(signal, 1);
    signal.push_back(1);
    ASSERT_EQ(load(join({{0x13, 2, 0x5E, 0x01, 0xBC, 0x02}, direct, signal})), 1);
    // Set signal level: a pulse at the level given; four low samples, then
    // eight high ones across the two bytes.
    EXPECT_EQ(pulseText(deckPulses(), 1, 5), "1:100 0:200 0:400 1:800 1:489");
}

TEST_F(CdtImage, TextBlocksAndSkippedBlocks) {
    Bytes custom{0x35};
    putText(custom, "0123456789abcdef");
    putU32(custom, 3);
    putText(custom, "xyz");
    ASSERT_EQ(load(join({{0x21, 3, 'G', 'r', 'p'}, {0x31, 5, 2, 'h', 'i'}, {0x22}, custom,
                         {0x5A, 1, 2, 3, 4, 5, 6, 7, 8, 9}, {0x33, 1, 0, 1, 2}, {0x30, 1, 'z'}})),
              1);
    ASSERT_EQ(tapeIndex->cdtNbBlock, 9u);
    EXPECT_STREQ(tapeIndex->entries[1].text, "Grp");
    EXPECT_STREQ(tapeIndex->entries[2].text, "hi");
    EXPECT_EQ(tapeIndex->entries[3].text, nullptr);
    EXPECT_STREQ(tapeIndex->entries[7].text, "z");
    EXPECT_EQ(tapeIndex->entries[8].kind, TapeKindEndOfTape);
}

TEST_F(CdtImage, LengthsBeyondTheFileStopAtItsEnd) {
    Bytes block = cdtTurboBlock({0xAA, 0x55}, 8, 0, 1);
    block[16] = 0xFF;  // 24-bit length of 16 MB in a file of a few bytes
    block[17] = 0xFF;
    block[18] = 0xFF;
    ASSERT_EQ(load(block), 1);
    EXPECT_EQ(tape->pulseCount, kLeadIn + 1 + 2 + 32 + closeLength(0));
    ASSERT_EQ(load({0x19, 0xFF, 0xFF, 0xFF, 0xFF}), 1);
    ASSERT_EQ(load({0x10, 0x00}), 1);  // cut inside the block header
}

TEST_F(CdtImage, RealTapeLoads) {
    SKIP_WITHOUT_SHARED("media/cpcrogue.cdt");
    std::string path = sharedPath("media/cpcrogue.cdt");
    ASSERT_EQ(loadTapeImage(path, 'c'), 1);
    EXPECT_GT(tape->pulseCount, 10000u);
    ASSERT_GE(tapeIndex->cdtNbBlock, 3u);
    EXPECT_EQ(std::tuple(tapeIndex->entries[0].kind, tapeIndex->last()->kind),
              std::tuple(TapeKindBeginOfTape, TapeKindEndOfTape));
    uint64_t total = 0;
    for (const tapePulse& p : deckPulses()) total += p.duration;
    EXPECT_GT(total, 5000000u) << "several seconds of tape";
}

}  // namespace
