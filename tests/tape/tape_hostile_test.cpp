// Small hostile tape images: each load works or says what is wrong, and no
// small file makes the program take a lot of memory.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <utility>
#include <vector>

#include "support/tape_test_support.h"
#include "tape/tape_drive.h"
#include "tape/tape_index.h"
#include "tape/tape_pulse_builder.h"

namespace {

#ifdef KESTRIX_SANITIZE_ADDRESS
// AddressSanitizer keeps freed blocks (the table's earlier copies) in quarantine.
constexpr int kQuarantineMb = 300;
#else
constexpr int kQuarantineMb = 0;
#endif

class HostileTape : public TapeDeckTest {
protected:
    // Growth of the peak memory, in units of 4 MB, of loading the image in a child process.
    int peakOfLoad(const char* name, const Bytes& image) {
        pid_t child = fork();
        if (child == 0) {
            rusage before{};
            getrusage(RUSAGE_SELF, &before);
            load(name, image);
            rusage after{};
            getrusage(RUSAGE_SELF, &after);
            long grown = (after.ru_maxrss - before.ru_maxrss) / 4096;
            _exit(grown > 250 ? 250 : static_cast<int>(grown));
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
    }
};

Bytes with(Bytes b, size_t at, uint8_t value) {
    b[at] = value;
    return b;
}

// Each refusal says why, and leaves the (empty) deck empty.
TEST_F(HostileTape, RefusedImagesSayWhy) {
    Bytes cutFormat = wavHeader(44100, 1, 8, 0);
    cutFormat.resize(30);  // inside the fmt chunk
    struct Case {
        const char* name;
        Bytes image;
        const char* said;
        const char* notSaid = "no such line";
    };
    const Case cases[] = {
        {"t.cdt", cdtHeader(), "holds no blocks"},
        {"t.csw", cswHeaderV2(44100, 0, 1, 0), "CSW: no pulse data after the header"},
        {"t.csw", join({with(cswHeaderV2(44100, 3, 1, 0), 0x17, 3), {5, 5, 5}}), "CSW: major version 3 is not 1 or 2",
         "Unknown compression"},
        {"t.csw", join({cswHeaderV1(44100, 2, 0), {0x78, 0x9C, 0x03, 0x00}}), "CSW: Unknown compression Type 2"},
        {"t.csw", join({cswHeaderV2(44100, 1, 3, 0), {1}}), "CSW: Unknown compression Type 3"},
        {"t.csw",
         {'C', 'o', 'm', 'p'},
         "CSW: This file is not a Compressed Square Wave - id != 'Compressed Square Wave'"},
        {"t.csw", join({cswHeaderV1(0, 1, 0), {5, 5}}), ""},  // no sample rate
        {"t.wav", cutFormat, "'fmt ' chunk is cut short"},
        {"t.wav", wavHeader(44100, 1, 8, 0), "holds no samples"},
        {"t.wav", {'R', 'I', 'F', 'X'}, "WAVE : This file is not a WAVE - id != 'RIFF'"},
        {"t.wav", with(wavHeader(44100, 1, 8, 0), 8, 'X'), "WAVE : This file is not a WAVE - id != 'WAVEfmt '"},
        {"t.wav", with(wavHeader(44100, 1, 8, 0), 20, 3), "WAVE : This file is not in Pulse Code Modulation Format"},
        {"t.wav", with(wavHeader(44100, 1, 8, 0), 22, 0), ""},  // no channels
        {"t.wav", with(wavHeader(44100, 2, 8, 0), 32, 3), ""},  // a block align that does not divide
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << ", expecting '" << c.said << "'");
        TapeLogCatcher log;
        EXPECT_EQ(load(c.name, c.image), 0);
        EXPECT_TRUE(log.contains(c.said)) << log.text;
        EXPECT_FALSE(log.contains(c.notSaid));
        EXPECT_EQ(tape->pulseCount, 0u);
    }
}

// A tape with nothing to play is refused before the deck is touched.
TEST_F(HostileTape, EmptyTapesLeaveTheLoadedTapeInTheDeck) {
    Bytes good = cdtHeader();
    good.insert(good.end(), {0x12, 0xE8, 0x03, 0x05, 0x00});
    ASSERT_EQ(load("t.cdt", good), 1);
    auto pulsesNow = [] { return pulseText(deckPulses(), 0, tape->pulseCount); };
    const auto before = pulsesNow();
    const uint32_t blocks = tapeIndex->cdtNbBlock;
    Bytes partFrame = wavHeader(44100, 2, 16, 3);  // a data chunk shorter than one frame
    partFrame.insert(partFrame.end(), {1, 2, 3});
    Bytes listOnly = wavHeader(44100, 1, 8, 0);
    listOnly.resize(listOnly.size() - 8);
    putText(listOnly, "LIST");
    putU32(listOnly, 2);
    listOnly.insert(listOnly.end(), {'a', 'b'});
    listOnly[4] = static_cast<uint8_t>(listOnly.size() - 8);
    for (const auto& [name, image] : std::vector<std::pair<const char*, Bytes>>{
             {"t.cdt", cdtHeader()}, {"t.wav", wavHeader(44100, 1, 8, 0)}, {"t.wav", partFrame}, {"t.wav", listOnly}}) {
        EXPECT_EQ(load(name, image), 0) << name;
        EXPECT_EQ(pulsesNow(), before) << name;
        EXPECT_EQ(tapeIndex->cdtNbBlock, blocks) << name;
    }
}

TEST_F(HostileTape, WavChunksBeforeTheFormatAreWalked) {
    Bytes plain = wavHeader(44100, 1, 8, 40);
    for (int i = 0; i < 40; ++i) plain.push_back(i < 20 ? 0x00 : 0xFF);
    ASSERT_EQ(load("t.wav", plain), 1);
    std::vector<tapePulse> expected = deckPulses();
    Bytes listFirst(plain.begin(), plain.begin() + 12);
    putText(listFirst, "LIST");
    putU32(listFirst, 5);
    putText(listFirst, "INFOx");
    listFirst.push_back(0);  // pad byte
    listFirst.insert(listFirst.end(), plain.begin() + 12, plain.end());
    ASSERT_EQ(load("t.wav", listFirst), 1);
    EXPECT_EQ(levelRuns(deckPulses()), levelRuns(expected));
}

TEST_F(HostileTape, SmallFilesTakeLittleMemoryAndLongTapesAreCut) {
    // 65535 channels in 44 bytes.
    Bytes wide = wavHeader(44100, 1, 8, 0x7FFFFFF0);
    wide[22] = wide[23] = 0xFF;
    wide[32] = wide[33] = 0xFF;
    EXPECT_LT(peakOfLoad("w.wav", wide), 64 / 4);
    // 10.5 KB of pure tone blocks: 2100 x 65535 pulses of 2000 T-states.
    Bytes tone = cdtHeader();
    for (int i = 0; i < 2100; ++i) tone.insert(tone.end(), {0x12, 0xD0, 0x07, 0xFF, 0xFF});
    EXPECT_LT(peakOfLoad("t.cdt", tone), (100 + kQuarantineMb) / 4);
    // 261 KB of Z-RLE claiming four billion pulses: inflated a piece at a time.
    const Bytes huge = join({cswHeaderV2(44100, 0xFFFFFFFF, 2, 0), zlibPacked(Bytes(270u << 20, 0x01))});
    EXPECT_LT(peakOfLoad("t.csw", huge), (100 + kQuarantineMb) / 4);
    // 1 MB of pure tones of pulses too short to play: only the level turns, at once.
    Bytes silent = cdtHeader();
    while (silent.size() < (1u << 20)) silent.insert(silent.end(), {0x12, 0x01, 0x00, 0xFF, 0xFF});
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(load("z.cdt", silent), 1);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 5.0);
    EXPECT_LT(tape->pulseCount, 10u);

    TapeLogCatcher log;
    ASSERT_EQ(load("t.cdt", tone), 1) << "a tape longer than a deck plays is cut, not refused";
    EXPECT_TRUE(tableDataPulseCut());
    EXPECT_TRUE(log.contains("the rest of the tape is dropped"));
    EXPECT_LE(tape->pulseCount, kMaxTapePulses + 16);
}

TEST_F(HostileTape, HostileLengthsAreBounded) {
    // A pulse count that would ask for 20 GB of inflate room.
    EXPECT_EQ(load("huge.csw", join({cswHeaderV2(44100, 0xFFFFFFFF, 2, 0), zlibPacked({5, 5, 5})})), 1);
    EXPECT_EQ(tape->pulses[2].duration, 113u);
    // RIFF and data sizes far beyond the file.
    Bytes wav = wavHeader(44100, 1, 8, 0xFFFFFFF0);
    wav[4] = wav[5] = wav[6] = wav[7] = 0xFF;
    wav.insert(wav.end(), 100, 0x00);
    wav.insert(wav.end(), 100, 0xFF);
    ASSERT_EQ(load("huge.wav", wav), 1);
    EXPECT_LT(tape->pulseCount, 10u);
    // A CSW block inside a CDT whose length is below its own header.
    Bytes cdt = cdtHeader();
    cdt.insert(cdt.end(), {0x18, 3, 0, 0, 0, 0xAA, 0xBB, 0xCC, 0x12, 0x10, 0x00, 0x02, 0x00});
    EXPECT_EQ(load("csw-in-cdt.cdt", cdt), 1);
    ASSERT_EQ(tapeIndex->cdtNbBlock, 4u);
    EXPECT_EQ(tapeIndex->entries[2].kind, 0x12) << "the block's own length finds the next block";
}

TEST(TapeIndexGrowth, IsGeometric) {
    tapeBlockIndex index;
    int growths = 0;
    uint32_t capacity = 0;
    for (uint32_t i = 0; i < tapeBlockIndex::kMaxEntries; ++i) {
        ASSERT_TRUE(index.addTapeIndex(0x22, i));
        if (index.maxCdtNbBlock != capacity) ++growths;
        capacity = index.maxCdtNbBlock;
    }
    EXPECT_LT(growths, 40) << "a file of block ids must not copy the index every 256 blocks";
    EXPECT_FALSE(index.addTapeIndex(0x22, 0));
}

}  // namespace
