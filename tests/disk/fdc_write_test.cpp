// Writing through the controller: sectors, deleted data and whole formats,
// read back through the same controller.
#include <gtest/gtest.h>

#include "disk/disk_checks.h"

using namespace disk_test;

namespace {

class WriteBench : public ::testing::Test {
protected:
    Bench bench;
    void SetUp() override {
        ASSERT_TRUE(insertSpinning(bench, buildImage(standardTracks(3), 3, 1, false)));
        bench.specify();
    }
    Execution read(uint8_t r, uint8_t c = 0, uint8_t code = 0x06) {
        return bench.run(sectorCommand(code, 0, c, 0, r, 2, r));
    }
};

std::vector<uint8_t> newData(uint8_t seed) {
    std::vector<uint8_t> data(512);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(seed ^ (i * 13) ^ (i >> 3));
    return data;
}

}  // namespace

TEST_F(WriteBench, WrittenSectorReadsBackAndItsNeighboursStayIntact) {
    std::vector<uint8_t> data = newData(0x5A);
    Execution write = bench.run(sectorCommand(0x05, 0, 0, 0, 0xC4, 2, 0xC4), data);
    EXPECT_EQ(results(write), "40 80 00 00 00 C4 02");

    Execution back = read(0xC4);
    EXPECT_EQ(back.data, data);
    EXPECT_EQ(results(back), "40 80 00 00 00 C4 02");
    EXPECT_EQ(read(0xC3).data, patternData(0, 0xC3, 512));
    EXPECT_EQ(read(0xC5).data, patternData(0, 0xC5, 512));
    Execution id = bench.run({0x4A, 0x00});
    EXPECT_EQ(results(id), "00 00 00 00 00 C6 02");
}

TEST_F(WriteBench, WritingDuringAnyRevolutionChangesAllFiveCopies) {
    // Wait until the drive plays its fourth copy, then write.
    while (bench.driveA.revolution != 3) bench.tick();
    std::vector<uint8_t> data = newData(0x33);
    Execution write = bench.run(sectorCommand(0x05, 0, 0, 0, 0xC2, 2, 0xC2), data);
    EXPECT_EQ(results(write), "40 80 00 00 00 C2 02");
    const uint16_t* words = bench.driveA.trackBuffers[0];
    uint32_t length = bench.driveA.trackLengths[0].length;
    for (uint32_t i = 0; i < length; ++i) {
        for (int copy = 1; copy < 5; ++copy) ASSERT_EQ(words[copy * length + i], words[i]) << "word " << i;
    }
    for (int turn = 0; turn < 5; ++turn) {
        Execution back = read(0xC2);
        ASSERT_EQ(back.data, data) << "turn " << turn;
    }
}

TEST_F(WriteBench, WriteDeletedDataReadsBackAsDeleted) {
    std::vector<uint8_t> data = newData(0x77);
    Execution write = bench.run(sectorCommand(0x09, 0, 0, 0, 0xC7, 2, 0xC7), data);
    EXPECT_EQ(results(write), "40 80 00 00 00 C7 02");
    Execution back = read(0xC7);
    EXPECT_EQ(back.data, data);
    EXPECT_EQ(results(back), "00 00 40 00 00 C7 02");
    Execution asDeleted = read(0xC7, 0, 0x0C);
    EXPECT_EQ(results(asDeleted), "40 80 00 00 00 C7 02");
}

TEST_F(WriteBench, FormattedTrackIsFoundByReadIdAndReadData) {
    ASSERT_EQ(bench.seekTo(0, 2), (std::vector<uint8_t>{0x20, 2}));
    std::vector<uint8_t> ids;
    for (uint8_t r = 0x41; r <= 0x49; ++r) ids.insert(ids.end(), {2, 0, r, 2});
    // FORMAT TRACK: N 2, 9 sectors, gap 0x52, filler 0xE5.
    Execution format = bench.run({0x4D, 0x00, 0x02, 0x09, 0x52, 0xE5}, ids);
    EXPECT_EQ(results(format), "00 00 00 02 00 00 02");

    Execution id = bench.run({0x4A, 0x00});
    EXPECT_EQ(results(id), "00 00 00 02 00 41 02");

    for (uint8_t r = 0x41; r <= 0x49; ++r) {
        Execution back = read(r, 2);
        ASSERT_EQ(back.data, std::vector<uint8_t>(512, 0xE5)) << int(r);
        ASSERT_EQ(back.result[1], 0x80) << int(r);
    }
    // The old sectors are gone.
    Execution old = read(0xC1, 2);
    EXPECT_EQ(results(old), "40 04 00 02 00 C1 02");

    // And a formatted sector takes data like any other.
    std::vector<uint8_t> data = newData(0x19);
    bench.run(sectorCommand(0x05, 0, 2, 0, 0x45, 2, 0x45), data);
    EXPECT_EQ(read(0x45, 2).data, data);
    EXPECT_EQ(read(0x46, 2).data, std::vector<uint8_t>(512, 0xE5));
}

TEST_F(WriteBench, ScanEqualFindsTheMatchingSector) {
    std::vector<uint8_t> same = patternData(0, 0xC3, 512);
    Execution hit = bench.run({0x51, 0x00, 0, 0, 0xC3, 2, 0xC3, 0x2A, 0x01}, same);
    EXPECT_EQ(results(hit), "00 00 08 00 00 C3 02");
    std::vector<uint8_t> other = same;
    other[10] ^= 0xFF;
    Execution miss = bench.run({0x51, 0x00, 0, 0, 0xC3, 2, 0xC3, 0x2A, 0x01}, other);
    EXPECT_EQ(results(miss), "00 00 04 00 00 C3 02");
}
