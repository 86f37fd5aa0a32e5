// DSK and Extended DSK images turned into MFM tracks, and the refusal or safe
// loading of malformed images.
#include <gtest/gtest.h>

#include <SDL.h>

#include <filesystem>
#include <fstream>
#include <tuple>

#include "disk/dsk_image.h"
#include "disk/disk_checks.h"
#include "machine/frontend_hooks.h"

using namespace disk_test;

namespace {

int countSyncWords(const floppyDrive& drive, int track) {
    int syncs = 0;
    for (uint32_t i = 0; i < drive.trackLengths[track].length; ++i) syncs += drive.trackBuffers[track][i] == 0x4489;
    return syncs;
}

}  // namespace

TEST(DskLoader, FortyTrackImageGivesFortyTwoTracks) {
    Bench bench;
    ASSERT_EQ(loadImage(bench.driveA, buildImage(standardTracks(40), 40, 1, false)), 1);
    ASSERT_EQ(bench.driveA.trackCount, 42);
    EXPECT_GT(countSyncWords(bench.driveA, 39), 0);
    EXPECT_EQ(std::make_tuple(bench.driveA.lastCylinder, countSyncWords(bench.driveA, 40),
                              countSyncWords(bench.driveA, 41), bench.driveA.trackLengths[41].length),
              std::make_tuple(41, 0, 0, 6350));

    // A read on the blank track ends after two index pulses with no data.
    ASSERT_TRUE(bench.spinUp(bench.driveA));
    bench.specify();
    ASSERT_EQ(bench.seekTo(0, 41), (std::vector<uint8_t>{0x20, 41}));
    Execution read = bench.run(sectorCommand(0x06, 0, 41, 0, 0xC1, 2, 0xC1));
    EXPECT_EQ(results(read), "40 85 00 29 00 C1 02");
    EXPECT_LT(read.microseconds, 3u * 6350 * 32);
}

TEST(DskLoader, NineSectorTrackHasTheFormattedLayout) {
    Bench bench;
    ASSERT_EQ(loadImage(bench.driveA, buildImage(standardTracks(1), 1, 1, false)), 1);
    const uint16_t* words = bench.driveA.trackBuffers[0];
    EXPECT_EQ(std::make_tuple(bench.driveA.trackLengths[0].length, words[0], words[92], words[95]),
              std::make_tuple(6350, 0x9254, 0x5224, 0x5552));
    for (int s = 0; s < 9; ++s) {
        uint32_t at = 146 + s * (62 + 512 + 78);  // sync, ID mark, R, data mark
        EXPECT_EQ(std::make_tuple(words[at + 12], words[at + 15], mfmdecode[words[at + 18]], words[at + 15 + 44]),
                  std::make_tuple(0x4489, 0x5554, 0xC1 + s, 0x5545))
            << "sector " << s;
    }
    // The last sector's gap 3 ends at word 6014, the 4E fill runs on to 6350.
    EXPECT_EQ(words[6013], 0x9254);
    uint32_t lastCrc = 6014 - 78 - 2;
    uint16_t crc = 0xFFFF;
    for (uint8_t b : {0xA1, 0xA1, 0xA1, 0xFB}) crc = crcUpdate(crc, b);
    for (uint8_t b : patternData(0, 0xC9, 512)) crc = crcUpdate(crc, b);
    EXPECT_EQ(std::make_tuple(mfmdecode[words[lastCrc]], mfmdecode[words[lastCrc + 1]]),
              std::make_tuple(crc >> 8, crc & 0xFF));
    EXPECT_EQ(words[lastCrc - 512 - 1], 0x5545);
}

TEST(DskLoader, DoubleSidedImageFillsBothSides) {
    Bench bench;
    std::vector<Track> tracks;
    for (int c = 0; c < 3; ++c) {
        tracks.push_back(standardTrack(static_cast<uint8_t>(c), 0, 9));
        Track back = standardTrack(static_cast<uint8_t>(c), 1, 4);
        tracks.push_back(back);
    }
    ASSERT_EQ(loadImage(bench.driveA, buildImage(tracks, 3, 2, false)), 1);
    EXPECT_EQ(std::make_tuple(bench.driveA.doubleSided, bench.driveA.trackCount, countSyncWords(bench.driveA, 4),
                              countSyncWords(bench.driveA, 5)),
              std::make_tuple(1, 84, 9 * 6, 4 * 6));

    ASSERT_TRUE(bench.spinUp(bench.driveA));
    Execution read = bench.run(sectorCommand(0x06, 0, 0, 1, 0xC4, 2, 0xC4));
    EXPECT_EQ(read.data, patternData(0, 0xC4, 512));
    EXPECT_EQ(results(read), "44 80 00 00 01 C4 02");
}

TEST(DskLoader, RefusesWhatIsNotADisk) {
    floppyDrive drive;
    drive.init(0);
    std::vector<uint8_t> junk(4096, 0x41);
    EXPECT_EQ(loadImage(drive, junk), 0);
    EXPECT_EQ(loadImage(drive, {}), 0);
    std::vector<uint8_t> image = buildImage(standardTracks(2), 2, 1, false);
    image[0x31] = 0;
    EXPECT_EQ(loadImage(drive, image), 0);
    image[0x31] = 3;
    EXPECT_EQ(loadImage(drive, image), 0);
    EXPECT_FALSE(drive.diskInserted);
}

TEST(DskLoader, MalformedImagesLoadSafely) {
    floppyDrive drive;
    drive.init(0);
    std::vector<uint8_t> image = buildImage(standardTracks(5), 5, 1, true);
    // Cut inside the sector data of the third track: the rest reads as zeros.
    std::vector<uint8_t> truncated(image.begin(), image.begin() + 256 + 2 * 0x1300 + 700);
    ASSERT_EQ(loadImage(drive, truncated), 1);
    EXPECT_EQ(std::tuple(drive.trackCount, countSyncWords(drive, 2) > 0, countSyncWords(drive, 3)),
              std::tuple(42, true, 0));

    // Header only, counting far more tracks than there are.
    std::vector<uint8_t> header(image.begin(), image.begin() + 256);
    header[0x30] = 200;
    ASSERT_EQ(loadImage(drive, header), 1);
    EXPECT_EQ(drive.trackCount, 200);

    // Stored lengths far beyond the track and sector counts beyond the block.
    Track huge;
    huge.track = 0;
    for (int i = 0; i < 40; ++i) {
        const uint8_t r = static_cast<uint8_t>(i + 1);
        huge.sectors.push_back({0, 0, r, 6, 0, 0, patternData(0, r, 5000)});
    }
    ASSERT_EQ(loadImage(drive, buildImage({huge}, 1, 1, true)), 1);
    EXPECT_LE(drive.trackLengths[0].length, kMaxTrackLength);

    // A track number beyond the disk is skipped, the others still load.
    std::vector<Track> tracks = standardTracks(3);
    tracks[1].track = 250;
    ASSERT_EQ(loadImage(drive, buildImage(tracks, 3, 1, true)), 1);
    EXPECT_GT(countSyncWords(drive, 0), 0);
    EXPECT_EQ(drive.trackCount, 42);
}

TEST(DskLoader, StandardImageWithSizeCodeZeroKeeps128ByteSectors) {
    Bench bench;
    Track t;
    for (int i = 0; i < 16; ++i) {
        const uint8_t r = static_cast<uint8_t>(i + 1);
        t.sectors.push_back({0, 0, r, 0, 0, 0, patternData(0, r, 128)});
    }
    t.N = 0;
    t.gap3 = 0x10;
    ASSERT_TRUE(insertSpinning(bench, buildImage({t, standardTrack(1)}, 2, 1, false)));
    Execution read = bench.run(sectorCommand(0x06, 0, 0, 0, 5, 0, 5, 0x10, 0x80));
    EXPECT_EQ(read.data, patternData(0, 5, 128));
    bench.specify();
    ASSERT_EQ(bench.seekTo(0, 1), (std::vector<uint8_t>{0x20, 1}));
    read = bench.run(sectorCommand(0x06, 0, 1, 0, 0xC3, 2, 0xC3));
    EXPECT_EQ(read.data, patternData(1, 0xC3, 512));  // the next track's data was found where it lies
}

TEST(DskLoader, TrackDumpHoldsFiveRevolutionsOfEveryTrack) {
    floppyDrive drive;
    drive.init(0);
    ASSERT_EQ(loadImage(drive, buildImage(standardTracks(2), 2, 1, false)), 1);
    std::string path = writeTempFile("dump.bin", {});
    ASSERT_TRUE(writeDiskTrackDump(&drive, path.c_str()));
    uint64_t expected = 0;
    for (int i = 0; i < drive.trackCount; ++i) expected += drive.trackLengths[i].length * 5u;
    EXPECT_EQ(std::filesystem::file_size(path), expected);
    std::ifstream in(path, std::ios::binary);
    std::vector<char> first(200);
    in.read(first.data(), 200);
    EXPECT_EQ(std::make_tuple(uint8_t(first[0]), uint8_t(first[95])), std::make_tuple(0x4E, 0xFC));
}

TEST(DskLoader, StoredBytesPastTheSectorStandInForItsCrc) {
    Bench bench;
    Track t = standardTrack(0, 0, 2);
    std::vector<uint8_t> withCrc = patternData(0, 0xC1, 512);
    uint16_t crc = 0xFFFF;
    for (uint8_t b : {0xA1, 0xA1, 0xA1, 0xFB}) crc = crcUpdate(crc, b);
    for (uint8_t b : withCrc) crc = crcUpdate(crc, b);
    withCrc.push_back(static_cast<uint8_t>(crc >> 8));
    withCrc.push_back(static_cast<uint8_t>(crc & 0xFF));
    t.sectors[0].data = withCrc;  // 514 bytes: the data and the CRC read from the real disk
    std::vector<uint8_t> badCrc = withCrc;
    badCrc[513] ^= 0x01;
    badCrc[0] = withCrc[0];
    t.sectors[1].R = 0xC2;
    t.sectors[1].data = badCrc;
    ASSERT_TRUE(insertSpinning(bench, buildImage({t}, 1, 1, true)));
    Execution good = bench.run(sectorCommand(0x06, 0, 0, 0, 0xC1, 2, 0xC1));
    EXPECT_EQ(good.data, patternData(0, 0xC1, 512));
    EXPECT_EQ(results(good), "40 80 00 00 00 C1 02");
    Execution bad = bench.run(sectorCommand(0x06, 0, 0, 0, 0xC2, 2, 0xC2));
    EXPECT_EQ(results(bad), "40 20 20 00 00 C2 02");
}

TEST(DskLoader, TrackHoldingASecondCopyOfItsStartEndsBeforeIt) {
    floppyDrive drive;
    drive.init(0);
    Track t;
    Sector big{0, 0, 1, 6, 0, 0, std::vector<uint8_t>(6144, 0x4E)};
    // What a read across the index brings back: gap, sync area, index mark, gap 1, sync area.
    size_t at = 5000;
    for (int i = 0; i < 12; ++i) big.data[at++] = 0x00;
    for (int i = 0; i < 3; ++i) big.data[at++] = 0xC2;
    big.data[at++] = 0xFC;
    for (int i = 0; i < 50; ++i) big.data[at++] = 0x4E;
    for (int i = 0; i < 12; ++i) big.data[at++] = 0x00;
    t.sectors.push_back(big);
    ASSERT_EQ(loadImage(drive, buildImage({t}, 1, 1, true)), 1);
    // 146 words of preamble, the ID and data mark take 60, the copy starts 5000 bytes in.
    uint32_t copyAt = 146 + 60 + 5000;
    EXPECT_LT(drive.trackLengths[0].length, copyAt);
    EXPECT_GE(drive.trackLengths[0].length, copyAt - 80);
}

TEST(DskLoader, DamagedExtendedTracksHideNothingAfterThemAndAreNamed) {
    floppyDrive drive;
    drive.init(0);
    static std::string osd;
    frontendHooks.showOSDText = [](const char* text) { osd = text; };
    std::vector<uint8_t> image = buildImage(standardTracks(4), 4, 1, true);
    const size_t block = 0x1300;
    // Track 1's block fails its "Track-Info" check; track 2's first sector claims FFFFh bytes.
    image[256 + block] = 'X';
    image[256 + 2 * block + 0x18 + 6] = 0xFF;
    image[256 + 2 * block + 0x18 + 7] = 0xFF;
    ASSERT_EQ(loadImage(drive, image), 1);
    // The good track after the damage loads.
    EXPECT_EQ((std::vector<bool>{countSyncWords(drive, 0) > 0, countSyncWords(drive, 1) > 0,
                                 countSyncWords(drive, 2) > 0, countSyncWords(drive, 3) > 0}),
              (std::vector<bool>{true, false, true, true}));
    EXPECT_NE(osd.find("Damaged tracks: 1 2"), std::string::npos) << osd;

    // A standard image places blocks by their order whatever track they name; a cut one says what it lost.
    std::vector<uint8_t> standard = buildImage(standardTracks(6), 6, 1, false);
    standard[256 + block + 0x10] = 39;
    standard.resize(256 + 3 * block + 0x100 + 1000);
    ASSERT_EQ(loadImage(drive, standard), 1);
    for (int t = 0; t < 4; ++t) EXPECT_GT(countSyncWords(drive, t), 0) << t;
    EXPECT_NE(osd.find("Damaged tracks: 3 4 to 5"), std::string::npos) << osd;

    // No track data at all: a blank disk, and the user is told.
    std::vector<uint8_t> blank = buildImage({}, 40, 1, false);
    ASSERT_EQ(loadImage(drive, blank), 1);
    EXPECT_NE(osd.find("no tracks: blank disk"), std::string::npos) << osd;
    frontendHooks.showOSDText = FrontendHooks{}.showOSDText;
}
