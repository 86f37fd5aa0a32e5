// Bounded random-mutation runs of the tape loaders: every mutant must load
// or be refused, leave a well-formed deck and finish quickly.
#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "support/headless_run.h"
#include "tape/tape_drive.h"
#include "tape/tape_pulse_builder.h"
#include "tape/tape_test_support.h"

namespace {

// KESTRIX_FUZZ_ITERATIONS runs longer campaigns by hand.
int iterations() {
    const char* env = std::getenv("KESTRIX_FUZZ_ITERATIONS");
    int n = env ? std::atoi(env) : 0;
    return n > 0 ? n : 400;
}

Bytes mutate(const Bytes& seed, std::mt19937& rng) {
    Bytes b = seed;
    auto pick = [&](size_t n) { return n ? std::uniform_int_distribution<size_t>(0, n - 1)(rng) : 0; };
    int edits = 1 + int(pick(6));
    for (int e = 0; e < edits; ++e) {
        if (b.empty()) b.push_back(0);
        switch (pick(7)) {
            case 0:  // bit flips
                b[pick(b.size())] ^= uint8_t(1u << pick(8));
                break;
            case 1: {  // a telling byte
                static const uint8_t kBytes[] = {0x00, 0x01, 0x7F, 0x80, 0xFE, 0xFF, 0x10, 0x11, 0x15, 0x18, 0x32};
                b[pick(b.size())] = kBytes[pick(sizeof kBytes)];
                break;
            }
            case 2: {  // an extreme length
                static const uint32_t kWords[] = {0, 1, 0xFFFF, 0x10000, 0xFFFFFF, 0x7FFFFFFF, 0xFFFFFFFF};
                uint32_t v = kWords[pick(sizeof kWords / sizeof kWords[0])];
                size_t at = pick(b.size());
                for (int i = 0; i < 4 && at + i < b.size(); ++i) b[at + i] = uint8_t(v >> (8 * i));
                break;
            }
            case 3:  // truncation
                b.resize(pick(b.size() + 1));
                break;
            case 4: {  // a repeated stretch
                size_t from = pick(b.size());
                size_t n = std::min<size_t>(pick(64) + 1, b.size() - from);
                Bytes stretch(b.begin() + from, b.begin() + from + n);
                b.insert(b.begin() + pick(b.size() + 1), stretch.begin(), stretch.end());
                break;
            }
            case 5: {  // a cut stretch
                size_t from = pick(b.size());
                size_t n = std::min<size_t>(pick(64) + 1, b.size() - from);
                b.erase(b.begin() + from, b.begin() + from + n);
                break;
            }
            default:  // random bytes
                b[pick(b.size())] = uint8_t(rng());
                break;
        }
    }
    return b;
}

class TapeFuzz : public TapeDeckTest {
protected:
    // Loads every mutant of the seeds with the loader of the kind and checks
    // what it left in the deck.
    void campaign(const std::vector<Bytes>& seeds, char kind, const char* extension, uint32_t seed) {
        std::mt19937 rng(seed);
        std::string path = scratch.file(std::string("fuzz.") + extension);
        int loaded = 0;
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < iterations(); ++i) {
            Bytes mutant = mutate(seeds[size_t(i) % seeds.size()], rng);
            std::ofstream(path, std::ios::binary | std::ios::trunc)
                .write(reinterpret_cast<const char*>(mutant.data()), mutant.size());
            auto t0 = std::chrono::steady_clock::now();
            int result = loadTapeImage(path, kind);
            double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            ASSERT_TRUE(result == 0 || result == 1);
            ASSERT_LT(seconds, 2.0) << "mutant " << i << " of " << mutant.size() << " bytes";
            loaded += result;
            expectWellFormedDeck(i);
            if (HasFatalFailure()) {
                std::ofstream(scratch.file("failing"), std::ios::binary)
                    .write(reinterpret_cast<const char*>(mutant.data()), mutant.size());
                return;
            }
        }
        double total = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        RecordProperty("loaded", loaded);
        EXPECT_GT(loaded, 0) << "the mutants should not all be refused";
        EXPECT_LT(total, 0.15 * iterations());
        EXPECT_EQ(tableDataPulse, nullptr) << "no table is left half built";
    }

    static void expectWellFormedDeck(int mutant) {
        ASSERT_LE(uint64_t(tape->pulseCount), kMaxTapePulses + 16) << mutant;
        ASSERT_EQ(tape->pulses == nullptr, tape->pulseCount == 0) << mutant;
        for (uint32_t i = 0; i < tape->pulseCount; ++i) {
            ASSERT_GE(tape->pulses[i].duration, 1u) << mutant;
            ASSERT_LE(tape->pulses[i].level, 1) << mutant;
        }
        uint32_t last = 0;
        for (uint32_t i = 0; i < tapeIndex->cdtNbBlock; ++i) {
            const tapeIndexEntry& e = tapeIndex->entries[i];
            ASSERT_LE(e.pulseIndex, tape->pulseCount) << mutant;
            ASSERT_GE(e.pulseIndex, last) << mutant;
            last = e.pulseIndex;
            if (e.text) {
                ASSERT_LT(std::strlen(e.text), 256u) << mutant;
            }
        }
        // A short play of whatever was loaded.
        tape->playPause(true);
        tape->motorLine = true;
        tape->setPlaymotorChange();
        run(kTapeMotorStartUs + 20000);
        tape->motorLine = false;
        tape->setPlaymotorChange();
    }
};

Bytes fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST_F(TapeFuzz, CdtLoaderSurvivesMutants) {
    std::vector<Bytes> seeds{cdtOfEveryBlock()};
    std::string real = sharedPath("media/cpcrogue.cdt");
    if (std::filesystem::exists(real)) seeds.push_back(fileBytes(real));
    campaign(seeds, 'c', "cdt", 1);
}

TEST_F(TapeFuzz, CswLoaderSurvivesMutants) {
    campaign({cswFromPulses(somePulses(), 44100, 1), cswFromPulses(somePulses(), 22050, 2)}, 's', "csw", 2);
}

TEST_F(TapeFuzz, WavLoaderSurvivesMutants) {
    std::vector<tapePulse> p = somePulses();
    p.resize(60);
    campaign({wavFromPulses(p, 44100, 8), wavFromPulses(p, 22050, 16), wavFromPulses(p, 11025, 8, 2)}, 'w',
             "wav", 3);
}

TEST_F(TapeFuzz, HostileLengthsAreBounded) {
    // A pulse count that would ask for 20 GB of inflate room.
    Bytes rle{5, 5, 5};
    uLongf n = compressBound(rle.size());
    Bytes packed(n);
    compress2(packed.data(), &n, rle.data(), rle.size(), 9);
    packed.resize(n);
    Bytes csw = cswHeaderV2(44100, 0xFFFFFFFF, 2, 0);
    csw.insert(csw.end(), packed.begin(), packed.end());
    EXPECT_EQ(loadTapeImage(scratch.write("huge.csw", csw), 's'), 1);
    EXPECT_EQ(tape->pulses[2].duration, 113u);
    // RIFF and data sizes far beyond the file.
    Bytes wav = wavHeader(44100, 1, 8, 0xFFFFFFF0);
    wav[4] = wav[5] = wav[6] = wav[7] = 0xFF;
    wav.insert(wav.end(), 100, 0x00);
    wav.insert(wav.end(), 100, 0xFF);
    ASSERT_EQ(loadTapeImage(scratch.write("huge.wav", wav), 'w'), 1);
    EXPECT_LT(tape->pulseCount, 10u);
    // Odd formats: no channels, a block align that does not divide.
    Bytes odd = wavHeader(44100, 1, 8, 0);
    odd[22] = 0;
    EXPECT_EQ(loadTapeImage(scratch.write("odd.wav", odd), 'w'), 0);
    odd = wavHeader(44100, 2, 8, 0);
    odd[32] = 3;
    EXPECT_EQ(loadTapeImage(scratch.write("odd.wav", odd), 'w'), 0);
    // A CSW block inside a CDT whose length is below its own header.
    Bytes cdt = cdtHeader();
    cdt.insert(cdt.end(), {0x18, 3, 0, 0, 0, 0xAA, 0xBB, 0xCC, 0x12, 0x10, 0x00, 0x02, 0x00});
    EXPECT_EQ(loadTapeImage(scratch.write("csw-in-cdt.cdt", cdt), 'c'), 1);
    ASSERT_EQ(tapeIndex->cdtNbBlock, 4u);
    EXPECT_EQ(tapeIndex->entries[2].kind, 0x12) << "the block's own length finds the next block";
}

}  // namespace
