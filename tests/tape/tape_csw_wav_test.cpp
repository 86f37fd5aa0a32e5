#include <gtest/gtest.h>

#include "support/tape_test_support.h"
#include "tape/tape_drive.h"
#include "tape/tape_pulse_builder.h"

namespace {

using TapeImage = TapeDeckTest;

TEST_F(TapeImage, CswLongRunEntryIsOnePulseOfItsSampleCount) {
    ASSERT_EQ(load("t.csw", join({cswHeaderV1(44100, 1, 0), {0x00, 0x10, 0x27, 0x00, 0x00, 0x05}})), 1);
    // 10000 samples at 44100 Hz, flags 0 start high.
    EXPECT_EQ(pulseText(deckPulses(), 0, 2), "1:226757 0:113");
    ASSERT_GE(tapeIndex->cdtNbBlock, 3u);
    EXPECT_EQ(tapeIndex->entries[1].kind, TapeKindCompressedSquareWave);
    EXPECT_STREQ(tapeIndex->last()->text, "End of Tape !");
}

TEST_F(TapeImage, CswZRleInflatesWithinThePulseCount) {
    const Bytes packed = zlibPacked({10, 20, 30, 0, 0x00, 0x01, 0x00, 0x00});
    ASSERT_EQ(load("t.csw", join({cswHeaderV2(22050, 4, 2, 1), packed})), 1);
    std::vector<tapePulse> p = deckPulses();
    // Flags 1 start low; the last entry is 256 samples at 22050 Hz.
    EXPECT_EQ(pulseText(p, 0, 4), "0:454 1:907 0:1361 1:11610");

    TapeLogCatcher log;
    EXPECT_EQ(load("t.csw", join({cswHeaderV2(22050, 1, 2, 1), packed})), 1)
        << "a header that under-states the pulse count does not refuse valid data";
    EXPECT_EQ(levelRuns(deckPulses()), levelRuns(p));
    EXPECT_TRUE(log.contains("under-states the pulse count"));
    EXPECT_EQ(load("t.csw", join({cswHeaderV2(22050, 100, 2, 1), {0x78, 0x9C, 1, 2, 3}})), 0);
    EXPECT_TRUE(log.contains("CSW: the compressed pulses are damaged"));
    EXPECT_EQ(tape->pulseCount, 0u) << "a tape that failed leaves the deck empty";
}

// Runs of ten frames of alternating level: one pulse of the sample period at
// any rate, depth or channel count, the level from the sample's high byte.
TEST_F(TapeImage, WavFramesGiveOnePulsePerRunOfOneLevel) {
    struct Case {
        const char* name;
        uint32_t rate;
        uint16_t channels, bits, low, high;
        int runs;
        size_t from, count;
        const char* pulses;
    };
    const Case cases[] = {
        {"8-bit mono at 44100 Hz", 44100, 1, 8, 0x00, 0xFF, 8, 0, 8,
         "0:23 1:227 0:227 1:227 0:227 1:227 0:227 1:227"},
        {"8-bit mono at 22050 Hz", 22050, 1, 8, 0x00, 0xFF, 4, 1, 1, "1:454"},
        {"16-bit signed mono", 44100, 1, 16, 0xA000, 0x6000, 4, 1, 1, "1:227"},
        {"8-bit stereo", 44100, 2, 8, 0x10, 0xF0, 4, 1, 1, "1:227"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes samples;
        for (int run = 0; run < c.runs; ++run) {
            for (int i = 0; i < 10 * c.channels; ++i) {
                const uint16_t v = run % 2 ? c.high : c.low;
                if (c.bits == 8) samples.push_back(static_cast<uint8_t>(v));
                if (c.bits == 16) putU16(samples, v);
            }
        }
        ASSERT_EQ(load("t.wav", join({wavHeader(c.rate, c.channels, c.bits, uint32_t(samples.size())), samples})), 1);
        EXPECT_EQ(pulseText(deckPulses(), c.from, c.count), c.pulses);
        EXPECT_EQ(tapeIndex->entries[0].kind, TapeKindWaveData);
    }
}

// A list chunk before the data is passed over; garbage after it ends the tape.
TEST_F(TapeImage, WavListChunkIsPassedAndTrailingGarbageEndsTheTape) {
    TapeLogCatcher log;
    Bytes image = wavHeader(44100, 1, 8, 0);
    image.resize(36);
    putText(image, "LIST");
    putU32(image, 3);
    putText(image, "abc");
    image.push_back(0);  // pad byte
    putText(image, "data");
    putU32(image, 40);
    image.insert(image.end(), 20, 0x00);
    image.insert(image.end(), 20, 0xFF);
    image.insert(image.end(), {0x01, 0x02, 0x03, 0x04, 0x10, 0, 0, 0});
    image[4] = static_cast<uint8_t>(image.size() - 8);
    ASSERT_EQ(load("t.wav", image), 1);
    EXPECT_TRUE(log.contains("WAVE : PCM Format - no 'data' found or wave not proper end -> extra length is 8"));
    EXPECT_EQ(pulseText(deckPulses(), 1, 1), "1:454");
}

// The real tape's pulse table, written as recordings and read back, keeps
// its runs within a sample.
TEST_F(TapeImage, WavAndCswOfTheRealTapeGiveItsPulses) {
    SKIP_WITHOUT_SHARED("media/cpcrogue.cdt");
    ASSERT_EQ(loadTapeImage(sharedPath("media/cpcrogue.cdt"), 'c'), 1);
    const std::vector<uint64_t> original = levelRuns(deckPulses());
    ASSERT_GT(original.size(), 1000u);
    struct Case {
        const char* name;
        uint32_t rate;
        Bytes image;
    };
    const std::vector<tapePulse> pulses = deckPulses();
    const Case cases[] = {{"8-bit WAV at 44100 Hz", 44100, wavFromPulses(pulses, 44100, 8)},
                          {"16-bit WAV at 44100 Hz", 44100, wavFromPulses(pulses, 44100, 16)},
                          {"8-bit WAV at 22050 Hz", 22050, wavFromPulses(pulses, 22050, 8)},
                          {"16-bit WAV at 22050 Hz", 22050, wavFromPulses(pulses, 22050, 16)},
                          {"CSW v1", 44100, cswFromPulses(pulses, 44100, 1)},
                          {"CSW v2", 44100, cswFromPulses(pulses, 44100, 2)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(load(c.image[0] == 'R' ? "r.wav" : "r.csw", c.image), 1);
        const std::vector<uint64_t> runs = levelRuns(deckPulses());
        ASSERT_NEAR(double(runs.size()), double(original.size()), 4.0);
        // The first run is where the recording starts, the last ones its close.
        for (size_t i = 1; i + 4 < original.size(); ++i) {
            ASSERT_NEAR(double(runs[i]), double(original[i]), 1e6 / c.rate + 1.5) << "run " << i;
        }
    }
}

}  // namespace
