// Bounded random mutation of DSK images: whatever the bytes, the loader
// refuses or loads, and the loaded disk turns under a reading controller
// without touching memory it does not own (run under the sanitizers too).
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "disk_test_support.h"

using namespace disk_test;

namespace {

void mutate(std::vector<uint8_t>& bytes, std::mt19937& random) {
    std::uniform_int_distribution<int> kind(0, 9);
    int edits = 1 + static_cast<int>(random() % 8);
    for (int e = 0; e < edits && !bytes.empty(); ++e) {
        size_t at = random() % bytes.size();
        switch (kind(random)) {
            case 0: bytes.resize(at); break;                                      // truncate
            case 1: bytes.insert(bytes.begin() + at, random() % 64, uint8_t(random())); break;
            case 2: bytes[at] = 0xFF; break;
            case 3: bytes[at] = 0x00; break;
            default: {
                // Header and track-block fields are where the loader trusts numbers.
                size_t field = random() % 2 ? (0x30 + random() % 4) : (256 + random() % 0x100);
                if (field < bytes.size()) bytes[field] = static_cast<uint8_t>(random());
                else bytes[at] ^= static_cast<uint8_t>(1u << (random() % 8));
                break;
            }
        }
    }
}

}  // namespace

TEST(DskFuzz, MutatedImagesLoadSafelyAndTurnUnderTheController) {
    std::vector<std::vector<uint8_t>> seeds = sampleImages();
    // KESTRIX_FUZZ_ITERATIONS and KESTRIX_FUZZ_SEED widen a local run.
    const char* more = std::getenv("KESTRIX_FUZZ_ITERATIONS");
    const char* seed = std::getenv("KESTRIX_FUZZ_SEED");
    int iterations = more ? std::atoi(more) : 120;
    std::mt19937 random(seed ? static_cast<uint32_t>(std::strtoul(seed, nullptr, 0)) : 0x6D617473u);
    int loaded = 0, refused = 0;
    Bench bench;
    for (int iteration = 0; iteration < iterations; ++iteration) {
        std::vector<uint8_t> bytes = seeds[iteration % seeds.size()];
        mutate(bytes, random);
        int result = loadImage(bench.driveA, bytes);
        ASSERT_GE(result, 0);
        if (result == 1) {
            ++loaded;
            bench.driveA.start_motor(true);
            // Read ID and a sector read, for a fraction of a revolution each.
            bench.run({0x4A, 0x00}, {}, 20000);
            bench.run(sectorCommand(0x06, 0, 0, 0, 0xC1, 2, 0xC1), {}, 20000);
            bench.fdc.reset(&bench.driveA, &bench.driveB, nullptr, nullptr, false);
        } else {
            ++refused;
        }
    }
    EXPECT_GT(loaded, 0);
    EXPECT_GT(refused, 0);
}
