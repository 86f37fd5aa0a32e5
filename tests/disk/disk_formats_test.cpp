// HFE, IPF and RAW images: written from the tracks the DSK loader builds and
// read back word for word, with the features each format adds (fuzzy areas,
// gap streams, revolutions) and their edge cases.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "disk/hfe_image.h"
#include "disk/ipf_image.h"
#include "disk/raw_image.h"
#include "support/disk_image_writers.h"
#include "disk/disk_checks.h"
#include "support/temp_home.h"

using namespace disk_test;

namespace {

std::vector<uint16_t> copyOf(const floppyDrive& drive, int index, int copy = 0) {
    uint32_t length = drive.trackLengths[index].length;
    const uint16_t* words = drive.trackBuffers[index] + copy * length;
    return {words, words + length};
}

// A DSK track of standard sectors, as the DSK loader builds it.
MfmTrack dskTrack(uint8_t cylinder, int sectors = 9) {
    floppyDrive drive;
    drive.init(0);
    loadImage(drive, buildImage({standardTrack(cylinder, 0, sectors)}, 1, 1, false));
    MfmTrack t;
    t.track = cylinder;
    t.words = copyOf(drive, 0);
    return t;
}

constexpr size_t kFirstDataWord = 206;  // first sector's data on a DSK-built track

}  // namespace

TEST(DiskFormats, RealDisksReadBackWordForWordFromEveryFormat) {
    for (const char* name : {"cpcrogue.dsk", "Slot5Game.dsk"}) {
        SKIP_WITHOUT_SHARED(std::string("media/") + name);
        std::string path = sharedPath(std::string("media/") + name);
        int sides = 0;
        std::vector<MfmTrack> tracks = tracksOfDsk(path, sides);
        ASSERT_FALSE(tracks.empty()) << name;
        int count = static_cast<int>(tracks.size()) / sides;

        IpfDisk ipf;
        std::vector<RawTrack> raw;
        for (const MfmTrack& t : tracks) {
            ipf.tracks.push_back(ipfTrackFromWords(t));
            std::vector<uint8_t> bytes = wordsToBytes(t.words);
            raw.push_back({t.track, t.side, {bytes, bytes}});
        }
        struct Case {
            int (*loader)(floppyDrive*);
            std::vector<uint8_t> image;
        };
        for (const Case& c : {Case{fileHFE, writeHFE(tracks, count, sides)}, Case{fileIPF, writeIPF(ipf)},
                              Case{fileRAW, writeRAW(raw)}}) {
            floppyDrive drive;
            drive.init(0);
            ASSERT_EQ(loadWith(c.loader, drive, c.image), 1) << name;
            EXPECT_EQ(drive.doubleSided, sides - 1);
            ASSERT_GE(drive.trackCount, static_cast<int>(tracks.size()));
            for (size_t i = 0; i < tracks.size(); ++i) {
                ASSERT_EQ(copyOf(drive, static_cast<int>(i)), tracks[i].words) << name << " track " << i;
                EXPECT_EQ(copyOf(drive, static_cast<int>(i), 4), tracks[i].words) << name << " track " << i;
            }
        }
    }
}

TEST(DiskFormats, IpfFuzzyAreaReadsDifferentlyOnEveryRevolution) {
    IpfDisk disk;
    disk.tracks.push_back(ipfTrackFromWords(dskTrack(0), kFirstDataWord, 512));
    Bench bench;
    ASSERT_EQ(loadWith(fileIPF, bench.driveA, writeIPF(disk)), 1);
    ASSERT_TRUE(bench.spinUp(bench.driveA));
    Execution first = bench.run(sectorCommand(0x06, 0, 0, 0, 0xC1, 2, 0xC1));
    Execution second = bench.run(sectorCommand(0x06, 0, 0, 0, 0xC1, 2, 0xC1));
    ASSERT_EQ(first.data.size(), 512u);
    ASSERT_EQ(second.data.size(), 512u);
    EXPECT_NE(first.data, second.data);
    EXPECT_EQ(results(first), "40 20 20 00 00 C1 02");
    // The sector beside it is untouched.
    Execution next = bench.run(sectorCommand(0x06, 0, 0, 0, 0xC2, 2, 0xC2));
    EXPECT_EQ(next.data, patternData(0, 0xC2, 512));
    EXPECT_EQ(results(next), "40 80 00 00 00 C2 02");
}

// Three tracks of side 0, with two sides announced.
IpfDisk ipfOfThreeTracks() {
    IpfDisk disk;
    disk.maxSide = 1;
    for (uint8_t c = 0; c < 3; ++c) disk.tracks.push_back(ipfTrackFromWords(dskTrack(c, 2)));
    return disk;
}

TEST(DiskFormats, IpfWithOnlySideZeroStoredIsSingleSidedInEitherBlockLayout) {
    IpfDisk disk = ipfOfThreeTracks();
    floppyDrive drive;
    drive.init(0);
    ASSERT_EQ(loadWith(fileIPF, drive, writeIPF(disk)), 1);
    EXPECT_EQ(std::make_tuple(drive.doubleSided, drive.trackCount), std::make_tuple(0, 43));
    EXPECT_EQ(copyOf(drive, 2), dskTrack(2, 2).words);

    // The older CAPS block layout renders the same track.
    disk.encoder = 1;
    ASSERT_EQ(loadWith(fileIPF, drive, writeIPF(disk)), 1);
    EXPECT_EQ(copyOf(drive, 2), dskTrack(2, 2).words);
}

TEST(DiskFormats, IpfOfAnotherCreatorIsRefused) {
    IpfDisk disk = ipfOfThreeTracks();
    disk.encoder = 1;
    disk.creator = 0;
    floppyDrive drive;
    drive.init(0);
    LogCapture log;
    EXPECT_EQ(loadWith(fileIPF, drive, writeIPF(disk)), 0);
    EXPECT_NE(log.text.find("\366 IPF-this file is not an original SPS ! \367"), std::string::npos) << log.text;
}

TEST(DiskFormats, IpfGapStreamsFillForwardsAndBackwards) {
    floppyDrive drive;
    drive.init(0);
    // Block 0: 20 data words and a 100-word gap described forwards (40 x 4E)
    // and backwards (30 x 00); the 30 words between take the forward sample.
    IpfTrack t;
    t.lengthWords = 200;
    IpfBlock b0;
    ipfElement(b0.stream, 2, 20, std::vector<uint8_t>(20, 0x11));
    b0.stream.push_back(0);
    b0.dataBits = 20 * 16;
    b0.gapBits = 100 * 16;
    b0.flags = 3;
    b0.gapDefault = 0xE5;
    for (auto [length, sample] : {std::pair{40, 0x4E}, std::pair{30, 0x00}}) {
        ipfElement(b0.gapStream, 1, length * 16);
        ipfElement(b0.gapStream, 2, 8, {static_cast<uint8_t>(sample)});
        b0.gapStream.push_back(0);
    }
    IpfBlock b1;  // raw words (an odd byte stands alone), gap bytes and data: 10 words
    ipfElement(b1.stream, 4, 3, {0x12, 0x34, 0x56});
    ipfElement(b1.stream, 3, 2, {0x4E, 0x4E});
    ipfElement(b1.stream, 2, 6, std::vector<uint8_t>(6, 0x22));
    b1.stream.push_back(0);
    b1.dataBits = 10 * 16;
    b1.gapBits = 70 * 16;
    t.blocks = {b0, b1};
    IpfDisk gaps;
    gaps.tracks.push_back(t);
    ASSERT_EQ(loadWith(fileIPF, drive, writeIPF(gaps)), 1);
    std::vector<uint16_t> expected;
    for (auto [count, word] : {std::pair<size_t, uint16_t>{20, mfmencode[0x11]}, {70, mfmencode[0x4E]},
                               {30, mfmencode[0x00]}, {1, 0x1234}, {1, 0x5600}, {2, mfmencode[0x4E]},
                               {6, mfmencode[0x22]}, {70, mfmencode[0x4E]}})
        expected.insert(expected.end(), count, word);
    EXPECT_EQ(copyOf(drive, 0), expected);
}

TEST(DiskFormats, RawRevolutionsRepeatAlignAndAreChecked) {
    std::vector<uint8_t> rev0 = wordsToBytes(dskTrack(0).words);
    // Three revolutions that differ in one gap byte each are repeated to five.
    std::vector<uint8_t> rev1 = rev0, rev2 = rev0;
    rev1[20] = 0x11;
    rev2[20] = 0x22;
    floppyDrive drive;
    drive.init(0);
    // A track beyond the drive's reach is left out.
    ASSERT_EQ(loadWith(fileRAW, drive, writeRAW({{0, 0, {rev0, rev1, rev2}}, {50, 0, {rev0}}})), 1);
    EXPECT_EQ(std::make_tuple(drive.doubleSided, drive.trackCount), std::make_tuple(0, 43));
    const uint16_t* words = drive.trackBuffers[0];
    uint32_t length = drive.trackLengths[0].length;
    ASSERT_EQ(length, rev0.size() / 2);
    uint8_t expected[5] = {rev0[20], 0x11, 0x22, rev0[20], 0x11};
    for (int k = 0; k < 5; ++k) EXPECT_EQ(words[k * length + 10] >> 8, expected[k]) << "copy " << k;

    // A revolution that started a few cells later is turned back onto the first.
    size_t bits = rev0.size() * 8;
    auto bitOf = [&](size_t i) { return (rev0[(i % bits) / 8] >> (7 - (i % bits) % 8)) & 1; };
    std::vector<uint8_t> shifted(rev0.size(), 0);
    for (size_t i = 0; i < bits; ++i) shifted[i / 8] |= static_cast<uint8_t>(bitOf(i + bits - 5) << (7 - i % 8));
    RawTrack late{0, 0, {rev0, shifted}, 5};  // stored as copies shifted by five cells
    ASSERT_EQ(loadWith(fileRAW, drive, writeRAW({late, {1, 1, {rev0}}})), 1);
    EXPECT_EQ(drive.doubleSided, 1);
    EXPECT_EQ(copyOf(drive, 0, 1), copyOf(drive, 0, 0));
    EXPECT_EQ(copyOf(drive, 0, 0), dskTrack(0).words);

    // Any wrong CRC refuses the image.
    std::vector<uint8_t> image = writeRAW({{0, 0, {rev0, rev1}}});
    for (size_t at : {size_t(4 + 36 + 12 + 20), image.size() - 1, image.size() - 2 * rev0.size() - 4}) {
        std::vector<uint8_t> bad = image;
        bad[at] ^= 0x40;
        EXPECT_EQ(loadWith(fileRAW, drive, bad), 0) << "changed byte " << at;
    }
}

TEST(DiskFormats, HfeEdgeCasesAndTwoSides) {
    std::vector<MfmTrack> tracks;
    for (uint8_t c = 0; c < 40; ++c) tracks.push_back(dskTrack(c, 1));
    floppyDrive drive;
    drive.init(0);
    ASSERT_EQ(loadWith(fileHFE, drive, writeHFE(tracks, 40, 1)), 1);
    EXPECT_EQ(drive.trackCount, 42);
    EXPECT_EQ(copyOf(drive, 39), tracks[39].words);
    for (int t : {40, 41}) {
        std::vector<uint16_t> blank = copyOf(drive, t);
        EXPECT_EQ(blank.size(), kFormatMinTrackLength);
        EXPECT_EQ(std::count(blank.begin(), blank.end(), kMfmFillerE5), std::ptrdiff_t(blank.size()));
    }

    // The file's first cell is the word's high cell: 01 00 reads as 8000.
    MfmTrack one;
    one.words.assign(300, 0x0080);
    std::vector<uint8_t> image = writeHFE({one}, 1, 1);
    image[1024] = 0x01;
    image[1025] = 0x00;
    ASSERT_EQ(loadWith(fileHFE, drive, image), 1);
    EXPECT_EQ(std::make_tuple(drive.trackBuffers[0][0], drive.trackBuffers[0][1]), std::make_tuple(0x8000, 0x0080));

    // Two sides interleaved in half blocks.
    std::vector<MfmTrack> two;
    for (uint8_t c = 0; c < 2; ++c)
        for (uint8_t s = 0; s < 2; ++s) {
            MfmTrack t = dskTrack(static_cast<uint8_t>(c + 3 * s), 3);
            t.track = c;
            t.side = s;
            two.push_back(t);
        }
    ASSERT_EQ(loadWith(fileHFE, drive, writeHFE(two, 2, 2)), 1);
    EXPECT_EQ(drive.doubleSided, 1);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(copyOf(drive, i), two[static_cast<size_t>(i)].words) << "track " << i;
}

// A revolution of an odd number of bytes ends on half a word: the drive plays
// every cell of it once per turn, the last byte included, the first not twice.
TEST(DiskFormats, RawRevolutionOfOddLengthPlaysEachCellOnce) {
    std::vector<uint8_t> rev = wordsToBytes(dskTrack(0).words);
    ASSERT_NE(rev[0], 0x49);
    rev.push_back(0x49);
    floppyDrive drive;
    drive.init(0);
    ASSERT_EQ(loadWith(fileRAW, drive, writeRAW({{0, 0, {rev, rev}}})), 1);
    auto cellsOf = [](const std::vector<uint8_t>& bytes, int times) {
        std::string cells;
        for (int t = 0; t < times; ++t)
            for (uint8_t b : bytes)
                for (int bit = 7; bit >= 0; --bit) cells += char('0' + ((b >> bit) & 1));
        return cells;
    };
    const std::string expected = cellsOf(rev, 4);
    drive.start_motor(true);
    std::string played;
    for (uint64_t t = 0; played.size() < expected.size() * 3 / 4; ++t) {
        drive.clock();
        if (drive.motorRunning && drive.bitCounter == 0)
            for (int bit = 15; bit >= 0; --bit) played += char('0' + ((drive.currentWord >> bit) & 1));
    }
    // From the first ID field on, the cells the head saw are the revolution's, turn after turn.
    std::vector<uint8_t> id = {0xA1, 0xA1, 0xA1, 0xFE, 0, 0, 0xC1, 2};
    std::string idCells;
    for (size_t i = 0; i < id.size(); ++i)
        for (int bit = 15; bit >= 0; --bit)
            idCells += char('0' + (((i < 3 ? kMfmSyncA1 : mfmencode[id[i]]) >> bit) & 1));
    size_t from = played.find(idCells), at = expected.find(idCells);
    ASSERT_NE(from, std::string::npos);
    ASSERT_NE(at, std::string::npos);
    size_t span = played.size() - from;
    ASSERT_GT(span, rev.size() * 8 * 2);
    size_t same = 0;
    while (same < span && played[from + same] == expected[at + same]) ++same;
    EXPECT_EQ(same, span) << "cells differ " << same << " cells after the ID field of a " << rev.size() * 8
                          << "-cell revolution";
}
