// Reading through the controller: normal sectors, the copy-protection marks
// and CRC errors an image can carry, weak sectors and the DSK geometry.
#include <gtest/gtest.h>

#include "disk/disk_checks.h"

using namespace disk_test;

namespace {

class ReadBench : public ::testing::Test {
protected:
    Bench bench;
    void insert(const std::vector<Track>& tracks, bool extended, int trackCount = 1) {
        ASSERT_TRUE(insertSpinning(bench, buildImage(tracks, trackCount, 1, extended)));
    }
    Execution readSector(uint8_t r, uint8_t code = 0x06, uint8_t c = 0, uint8_t n = 2) {
        return bench.run(sectorCommand(code, 0, c, 0, r, n, r));
    }
};

}  // namespace

TEST_F(ReadBench, ReadDataToEotEndsWithEndOfCylinder) {
    insert({standardTrack(0)}, false);
    Execution read = readSector(0xC3);
    EXPECT_EQ(read.data, patternData(0, 0xC3, 512));
    EXPECT_EQ(read.result, (std::vector<uint8_t>{0x40, 0x80, 0x00, 0, 0, 0xC3, 2}));

    // Several sectors in one command.
    read = bench.run(sectorCommand(0x06, 0, 0, 0, 0xC1, 2, 0xC9));
    std::vector<uint8_t> expected;
    for (uint8_t r = 0xC1; r <= 0xC9; ++r) {
        std::vector<uint8_t> part = patternData(0, r, 512);
        expected.insert(expected.end(), part.begin(), part.end());
    }
    EXPECT_EQ(read.data, expected);
    EXPECT_EQ(results(read), "40 80 00 00 00 C9 02");
    EXPECT_EQ(bench.status(), 0x80);
}

TEST_F(ReadBench, ReadIdGivesTheNextIdUnderTheHead) {
    insert({standardTrack(0)}, false);
    EXPECT_EQ(results(bench.run({0x4A, 0x00})), "00 00 00 00 00 C1 02");
}

TEST_F(ReadBench, MissingSectorEndsWithNoDataAfterTwoIndexPulses) {
    insert({standardTrack(0)}, false);
    Execution read = readSector(0x42);
    EXPECT_EQ(results(read), "40 04 00 00 00 42 02");
    EXPECT_GT(read.microseconds, 6350u * 32);
    EXPECT_LT(read.microseconds, 2u * 6350 * 32 + 1000);
}

TEST_F(ReadBench, UnreadBytesAreReportedAsOverrun) {
    insert({standardTrack(0)}, false);
    Execution read = bench.run(sectorCommand(0x06, 0, 0, 0, 0xC2, 2, 0xC2), {}, 4000000, false);
    EXPECT_EQ(results(read), "40 10 00 00 00 C2 02");
}

TEST_F(ReadBench, CopyProtectionReadsBackWithTheStoredErrors) {
    Track t = standardTrack(0, 0, 6);
    t.sectors[0].ST2 = 0x40;                                 // deleted data mark
    t.sectors[1].ST1 = 0x01;                                 // missing data mark
    t.sectors[1].ST2 = 0x01;
    t.sectors[2].ST1 = 0x20;                                 // data CRC error
    t.sectors[2].ST2 = 0x20;
    t.sectors[3].ST1 = 0x20;                                 // ID CRC error
    t.sectors[4].ST1 = 0x01;                                 // no ID mark at all
    t.sectors[5].ST1 = 0x20;                                 // weak: three differing copies
    t.sectors[5].ST2 = 0x20;
    std::vector<uint8_t> weak = patternData(0, 0xC6, 512);
    for (int copy = 1; copy < 3; ++copy) {
        std::vector<uint8_t> other = patternData(0, 0xC6, 512);
        for (size_t i = 100; i < 140; ++i) other[i] = static_cast<uint8_t>(other[i] ^ (0x11 * copy));
        weak.insert(weak.end(), other.begin(), other.end());
    }
    t.sectors[5].data = weak;
    insert({t}, true);

    // Read data (06h), read deleted data (0Ch), read data skipping deleted (26h).
    const struct {
        const char* name;
        uint8_t r, code;
        int data;  // 1: the stored bytes come through, 0: nothing does, -1: not looked at
        const char* results;
    } reads[] = {
        {"deleted", 0xC1, 0x06, 1, "00 00 40 00 00 C1 02"},
        {"deleted as deleted", 0xC1, 0x0C, -1, "40 80 00 00 00 C1 02"},
        {"deleted skipped", 0xC1, 0x26, 0, "40 80 00 00 00 C1 02"},
        {"no data mark", 0xC2, 0x06, 0, "40 01 01 00 00 C2 02"},
        {"data CRC error", 0xC3, 0x06, 1, "40 20 20 00 00 C3 02"},
        {"ID CRC error", 0xC4, 0x06, -1, "40 20 00 00 00 C4 02"},
        {"no ID mark", 0xC5, 0x06, 0, "40 04 00 00 00 C5 02"},
    };
    for (const auto& c : reads) {
        SCOPED_TRACE(c.name);
        Execution read = readSector(c.r, c.code);
        if (c.data >= 0) {
            EXPECT_EQ(read.data, c.data ? patternData(0, c.r, 512) : std::vector<uint8_t>{});
        }
        EXPECT_EQ(results(read), c.results);
    }

    // The weak sector: each revolution plays another copy.
    std::vector<std::vector<uint8_t>> seen;
    for (int i = 0; i < 3; ++i) {
        Execution w = readSector(0xC6);
        EXPECT_EQ(results(w), "40 20 20 00 00 C6 02");
        ASSERT_EQ(w.data.size(), 512u);
        seen.push_back(w.data);
    }
    EXPECT_NE(seen[0], seen[1]);
    EXPECT_NE(seen[1], seen[2]);
    for (const auto& data : seen) EXPECT_TRUE(std::equal(data.begin(), data.begin() + 100, weak.begin()));

    // The deleted sector read as deleted data, after all of them, is clean.
    Execution good = readSector(0xC1, 0x0C);
    EXPECT_EQ(good.data, patternData(0, 0xC1, 512));
    EXPECT_EQ(results(good), "40 80 00 00 00 C1 02");
}

TEST_F(ReadBench, WeakSectorTrackKeepsItsGeometry) {
    Track t = standardTrack(0, 0, 9);
    std::vector<uint8_t> three = patternData(0, 0xC5, 512);
    for (int copy = 1; copy < 3; ++copy) {
        std::vector<uint8_t> other = patternData(0, 0xC5, 512);
        other[7] = static_cast<uint8_t>(other[7] + copy);
        three.insert(three.end(), other.begin(), other.end());
    }
    t.sectors[4].data = three;
    insert({t}, true);
    EXPECT_EQ(bench.driveA.trackLengths[0].length, 6350);
    Execution after = readSector(0xC6);
    EXPECT_EQ(after.data, patternData(0, 0xC6, 512));
    EXPECT_EQ(results(after), "40 80 00 00 00 C6 02");
}

TEST_F(ReadBench, ReadTrackReadsSectorsInTrackOrder) {
    Track t = standardTrack(0, 0, 3);
    std::swap(t.sectors[0], t.sectors[2]);  // physical order C3 C2 C1
    insert({t}, false);
    Execution read = bench.run(sectorCommand(0x02, 0, 0, 0, 0xC1, 2, 3));
    std::vector<uint8_t> expected;
    for (uint8_t r : {0xC3, 0xC2, 0xC1}) {
        std::vector<uint8_t> part = patternData(0, r, 512);
        expected.insert(expected.end(), part.begin(), part.end());
    }
    EXPECT_EQ(read.data, expected);
    EXPECT_EQ(results(read), "40 84 00 00 00 C1 02");
}

TEST_F(ReadBench, ShortStoredSectorsStayReadable) {
    Track t = standardTrack(0, 0, 3);
    t.sectors[1].data.resize(100);  // the image kept only part of it
    insert({t}, true);
    Execution read = readSector(0xC2);
    ASSERT_EQ(read.data.size(), 512u);
    EXPECT_TRUE(std::equal(read.data.begin(), read.data.begin() + 100, t.sectors[1].data.begin()));
    EXPECT_EQ(results(read), "40 80 00 00 00 C2 02");
    Execution next = readSector(0xC3);
    EXPECT_EQ(next.data, patternData(0, 0xC3, 512));
}
