#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <filesystem>

#include "machine/cpc.h"
#include "support/temp_home.h"
#include "tape/tape_drive.h"
#include "tape/tape_pulse_builder.h"
#include "support/tape_test_support.h"

namespace {

class CswImage : public TapeDeckTest {
protected:
    int load(const Bytes& image) { return loadTapeImage(scratch.write("t.csw", image), 's'); }
};

class WavImage : public TapeDeckTest {
protected:
    int load(const Bytes& image) { return loadTapeImage(scratch.write("t.wav", image), 'w'); }
};

Bytes append(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(CswImage, LongRunEntryIsOnePulseOfItsSampleCount) {
    ASSERT_EQ(load(append(cswHeaderV1(44100, 1, 0), {0x00, 0x10, 0x27, 0x00, 0x00, 0x05})), 1);
    std::vector<tapePulse> p = deckPulses();
    ASSERT_GE(p.size(), 2u);
    EXPECT_EQ(p[0].duration, 226757u) << "10000 samples at 44100 Hz";
    EXPECT_EQ(p[0].level, 1) << "flags 0 start high";
    EXPECT_EQ(p[1].duration, 113u);
    EXPECT_EQ(p[1].level, 0);
    ASSERT_GE(tapeIndex->cdtNbBlock, 3u);
    EXPECT_EQ(tapeIndex->entries[1].kind, TapeKindCompressedSquareWave);
    EXPECT_STREQ(tapeIndex->last()->text, "End of Tape !");
}

TEST_F(CswImage, VersionOneWithZRleIsRefused) {
    TapeLogCatcher log;
    EXPECT_EQ(load(append(cswHeaderV1(44100, 2, 0), {0x78, 0x9C, 0x03, 0x00})), 0);
    EXPECT_TRUE(log.contains("CSW: Unknwon compression Type 2"));
    EXPECT_EQ(load(append(cswHeaderV2(44100, 1, 3, 0), {1})), 0);
    EXPECT_TRUE(log.contains("CSW: Unknwon compression Type 3"));
}

TEST_F(CswImage, ZRleInflatesWithinThePulseCount) {
    Bytes rle{10, 20, 30, 0, 0x00, 0x01, 0x00, 0x00};
    uLongf packedLength = compressBound(rle.size());
    Bytes packed(packedLength);
    compress2(packed.data(), &packedLength, rle.data(), rle.size(), 9);
    packed.resize(packedLength);
    ASSERT_EQ(load(append(cswHeaderV2(22050, 4, 2, 1), packed)), 1);
    std::vector<tapePulse> p = deckPulses();
    ASSERT_GE(p.size(), 4u);
    EXPECT_EQ(p[0].level, 0) << "flags 1 start low";
    EXPECT_EQ(p[0].duration, 454u);
    EXPECT_EQ(p[2].duration, 1361u);
    EXPECT_EQ(p[3].duration, 11610u) << "256 samples at 22050 Hz";

    TapeLogCatcher log;
    EXPECT_EQ(load(append(cswHeaderV2(22050, 1, 2, 1), packed)), 1)
        << "a header that under-states the pulse count does not refuse valid data";
    EXPECT_EQ(levelRuns(deckPulses()), levelRuns(p));
    EXPECT_TRUE(log.contains("under-states the pulse count"));
    EXPECT_EQ(load(append(cswHeaderV2(22050, 100, 2, 1), {0x78, 0x9C, 1, 2, 3})), 0);
    EXPECT_TRUE(log.contains("CSW: Zlib decompression failed"));
    EXPECT_EQ(tape->pulseCount, 0u) << "a tape that failed leaves the deck empty";
}

TEST_F(CswImage, HeaderRefusals) {
    TapeLogCatcher log;
    EXPECT_EQ(load({'C', 'o', 'm', 'p'}), 0);
    EXPECT_TRUE(log.contains("CSW: This file is not a Compressed Square Wave - id != 'Compressed Square Wave'"));
    EXPECT_EQ(load(append(cswHeaderV1(0, 1, 0), {5, 5})), 0) << "no sample rate";
}

TEST_F(WavImage, AlternatingSamplesGiveOneSampleThenTenSamplePulses) {
    Bytes samples;
    for (int run = 0; run < 8; ++run) samples.insert(samples.end(), 10, run % 2 ? 0xFF : 0x00);
    ASSERT_EQ(load(append(wavHeader(44100, 1, 8, static_cast<uint32_t>(samples.size())), samples)), 1);
    std::vector<tapePulse> p = deckPulses();
    ASSERT_GE(p.size(), 8u);
    EXPECT_EQ(p[0].duration, 23u) << "one sample";
    for (int i = 1; i <= 7; ++i) EXPECT_EQ(p[i].duration, 227u) << i;
    EXPECT_EQ(tapeIndex->entries[0].kind, TapeKindWaveData);
}

TEST_F(WavImage, SampleLengthIsOneSamplePeriodAtAnyRate) {
    Bytes samples;
    for (int run = 0; run < 4; ++run) samples.insert(samples.end(), 10, run % 2 ? 0xFF : 0x00);
    ASSERT_EQ(load(append(wavHeader(22050, 1, 8, static_cast<uint32_t>(samples.size())), samples)), 1);
    std::vector<tapePulse> p = deckPulses();
    ASSERT_GE(p.size(), 3u);
    EXPECT_EQ(p[1].duration, 454u) << "ten samples at 22050 Hz";
}

TEST_F(WavImage, SixteenBitSignedAndStereoSamples) {
    Bytes mono16;
    for (int run = 0; run < 4; ++run) {
        for (int i = 0; i < 10; ++i) putU16(mono16, run % 2 ? 0x6000 : 0xA000);
    }
    ASSERT_EQ(load(append(wavHeader(44100, 1, 16, static_cast<uint32_t>(mono16.size())), mono16)), 1);
    std::vector<tapePulse> p = deckPulses();
    ASSERT_GE(p.size(), 3u);
    EXPECT_EQ(p[1].duration, 227u) << "16-bit frames are two bytes, the level from the high byte";

    Bytes stereo8;
    for (int run = 0; run < 4; ++run) {
        for (int i = 0; i < 10; ++i) {
            stereo8.push_back(run % 2 ? 0xF0 : 0x10);
            stereo8.push_back(run % 2 ? 0xF0 : 0x10);
        }
    }
    ASSERT_EQ(load(append(wavHeader(44100, 2, 8, static_cast<uint32_t>(stereo8.size())), stereo8)), 1);
    p = deckPulses();
    ASSERT_GE(p.size(), 3u);
    EXPECT_EQ(p[1].duration, 227u) << "a stereo frame is one sample period";
}

TEST_F(WavImage, HeaderRefusalsAndChunks) {
    TapeLogCatcher log;
    EXPECT_EQ(load({'R', 'I', 'F', 'X'}), 0);
    EXPECT_TRUE(log.contains("WAVE : This file is not a WAVE - id != 'RIFF'"));
    Bytes h = wavHeader(44100, 1, 8, 0);
    h[8] = 'X';
    EXPECT_EQ(load(h), 0);
    EXPECT_TRUE(log.contains("WAVE : This file is not a WAVE - id != 'WAVEfmt '"));
    h = wavHeader(44100, 1, 8, 0);
    h[20] = 3;  // IEEE float
    EXPECT_EQ(load(h), 0);
    EXPECT_TRUE(log.contains("WAVE : This file is not in Pulse Code Modulation Format"));

    // A list chunk before the data is passed over; garbage after it ends the tape.
    Bytes samples(20, 0x00);
    samples.insert(samples.end(), 20, 0xFF);
    Bytes image = wavHeader(44100, 1, 8, 0);
    image.resize(36);
    putText(image, "LIST");
    putU32(image, 3);
    putText(image, "abc");
    image.push_back(0);  // pad byte
    putText(image, "data");
    putU32(image, static_cast<uint32_t>(samples.size()));
    image.insert(image.end(), samples.begin(), samples.end());
    image.insert(image.end(), {0x01, 0x02, 0x03, 0x04, 0x10, 0, 0, 0});
    uint32_t riff = static_cast<uint32_t>(image.size() - 8);
    image[4] = uint8_t(riff);
    image[5] = uint8_t(riff >> 8);
    ASSERT_EQ(load(image), 1);
    EXPECT_TRUE(log.contains("WAVE : PCM Format - no 'data' found or wave not proper end -> extra length is 8"));
    std::vector<tapePulse> p = deckPulses();
    ASSERT_GE(p.size(), 2u);
    EXPECT_EQ(p[1].duration, 454u);
}

// The real tape's pulse table, written as recordings and read back.
class TapeRecordings : public TapeDeckTest {
protected:
    std::vector<tapePulse> original;
    void SetUp() override {
        TapeDeckTest::SetUp();
        SKIP_WITHOUT_SHARED("media/cpcrogue.cdt");
        std::string path = sharedPath("media/cpcrogue.cdt");
        ASSERT_EQ(loadTapeImage(path, 'c'), 1);
        original = deckPulses();
    }
    void expectSameRuns(const std::vector<tapePulse>& reloaded, uint32_t rate) {
        std::vector<uint64_t> a = levelRuns(original);
        std::vector<uint64_t> b = levelRuns(reloaded);
        ASSERT_GT(a.size(), 1000u);
        ASSERT_NEAR(double(b.size()), double(a.size()), 4.0);
        double tolerance = 1e6 / rate + 1.5;
        // The first run is where the recording starts, the last ones its close.
        for (size_t i = 1; i + 4 < a.size(); ++i) {
            ASSERT_NEAR(double(b[i]), double(a[i]), tolerance) << "run " << i << " of " << a.size();
        }
    }
};

TEST_F(TapeRecordings, WavAndCswOfTheRealTapeGiveItsPulses) {
    struct Wav {
        uint32_t rate;
        int bits;
    };
    for (Wav w : {Wav{44100, 8}, Wav{44100, 16}, Wav{22050, 8}, Wav{22050, 16}}) {
        SCOPED_TRACE(testing::Message() << w.rate << " Hz " << w.bits << "-bit WAV");
        ASSERT_EQ(loadTapeImage(scratch.write("r.wav", wavFromPulses(original, w.rate, w.bits)), 'w'), 1);
        expectSameRuns(deckPulses(), w.rate);
    }
    for (int version : {1, 2}) {
        SCOPED_TRACE(testing::Message() << "CSW v" << version);
        ASSERT_EQ(loadTapeImage(scratch.write("r.csw", cswFromPulses(original, 44100, version)), 's'), 1);
        expectSameRuns(deckPulses(), 44100);
    }
}

}  // namespace
