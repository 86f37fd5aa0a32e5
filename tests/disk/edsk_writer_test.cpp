// The Extended DSK writer: a disk written from the drive's tracks and loaded
// again reads through the controller exactly as before, sector by sector.
#include "disk/edsk_writer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <tuple>

#include "disk/disk_checks.h"
#include "disk/dsk_image.h"
#include "disk/hfe_image.h"
#include "disk/mfm_codec.h"
#include "support/disk_image_writers.h"
#include "support/temp_home.h"

using namespace disk_test;

namespace {

struct SectorView {
    uint8_t C, H, R, N, ST1, ST2;
    bool weak;
    std::vector<uint8_t> result, data;  // READ DATA through the controller
    bool operator==(const SectorView&) const = default;
};

// Every sector the writer finds on every track, read again with READ DATA.
std::vector<std::vector<SectorView>> readEverySector(Bench& bench) {
    floppyDrive& drive = bench.driveA;
    int sides = drive.doubleSided ? 2 : 1;
    std::vector<std::vector<SectorView>> disk;
    for (int c = 0; c < drive.trackCount / sides; ++c) {
        bench.seekTo(0, static_cast<uint8_t>(c));
        for (int side = 0; side < sides; ++side) {
            std::vector<SectorView> track;
            for (const foundSector& s : readDriveTrack(drive, c * sides + side).sectors) {
                Execution read =
                    bench.run({0x46, static_cast<uint8_t>(side << 2), s.C, s.H, s.R, s.N, s.R, 0x2A, 0xFF});
                // A weak sector's data depends on the turn it is read in.
                if (s.weak) read.data.clear();
                track.push_back({s.C, s.H, s.R, s.N, s.ST1, s.ST2, s.weak, read.result, read.data});
            }
            disk.push_back(track);
        }
    }
    while (!disk.empty() && disk.back().empty()) disk.pop_back();
    return disk;
}

// Writes the bench's disk, loads the image into a fresh bench and compares every sector.
void expectRoundTrip(Bench& original, size_t minimumSectors) {
    std::vector<uint8_t> image;
    ASSERT_TRUE(buildExtendedDSK(original.driveA, image));
    std::vector<std::vector<SectorView>> before = readEverySector(original);
    Bench again;
    ASSERT_TRUE(insertSpinning(again, image));
    std::vector<std::vector<SectorView>> after = readEverySector(again);
    size_t sectors = 0;
    for (const auto& t : before) sectors += t.size();
    EXPECT_GE(sectors, minimumSectors);
    EXPECT_TRUE(before == after) << "a sector reads differently after the round trip";
    // Written again unchanged, the image is the same bytes.
    std::vector<uint8_t> second;
    ASSERT_TRUE(buildExtendedDSK(again.driveA, second));
    EXPECT_EQ(image, second);
}


}  // namespace

TEST(EdskWriter, SharedImagesReadTheSameAfterARoundTrip) {
    int seen = 0;
    for (const char* name : {"cpcrogue.dsk", "rogue.dsk", "Slot5Game.dsk", "SinewaveDemo.dsk"}) {
        std::string path = sharedPath(std::string("media/") + name);
        if (!std::filesystem::exists(path)) continue;
        ++seen;
        SCOPED_TRACE(name);
        Bench bench;
        ASSERT_TRUE(insertSpinning(bench, fileBytes(path)));
        expectRoundTrip(bench, 40 * 9);
    }
    if (!seen) GTEST_SKIP() << "no shared disk images in " << sharedPath("media");
}

TEST(EdskWriter, OddSizesMarksErrorsWeakSectorsAndFormattedTracksSurvive) {
    std::vector<Track> tracks{standardTrack(0)};
    Track odd{1, 0, 1, 0x30, 0xE5, {}};
    for (uint8_t r = 1; r <= 12; ++r) odd.sectors.push_back({1, 0, r, 1, 0, 0, {}});
    odd.sectors[1].ST2 = 0x40;                       // deleted
    odd.sectors[2].ST1 = odd.sectors[2].ST2 = 0x20;  // data CRC error
    odd.sectors[3].ST1 = 0x20;                       // ID CRC error
    odd.sectors[4].ST1 = odd.sectors[4].ST2 = 0x01;  // no data mark
    odd.sectors[5].C = 0x55;                         // ID of another cylinder
    tracks.push_back(odd);
    Track mixed{2, 0, 3, 0x40, 0x00, {}};
    for (uint8_t n : {0, 3, 1, 4, 2}) mixed.sectors.push_back({2, 0, static_cast<uint8_t>(0x40 + n), n, 0, 0, {}});
    tracks.push_back(mixed);
    Track weak = standardTrack(3, 0, 3);
    weak.sectors[1].ST1 = weak.sectors[1].ST2 = 0x20;
    weak.sectors[1].data = patternData(3, 0xC2, 3 * 512);
    tracks.push_back(weak);
    // Track 4 stays unformatted; track 5 holds one long sector.
    Track large{5, 0, 6, 0x10, 0xE5, {{5, 0, 1, 6, 0x20, 0x20, {}}}};
    tracks.push_back(large);

    Bench bench;
    ASSERT_TRUE(insertSpinning(bench, buildImage(tracks, 6, 1, true)));
    // The machine formats track 7 with 256-byte sectors and writes a deleted sector into it.
    bench.seekTo(0, 7);
    std::vector<uint8_t> ids;
    for (uint8_t r = 1; r <= 16; ++r) ids.insert(ids.end(), {7, 0, r, 1});
    Execution format = bench.run({0x4D, 0x00, 1, 16, 0x20, 0xAA}, ids);
    EXPECT_EQ(results(format), "00 00 00 07 00 00 01");
    Execution write = bench.run({0x49, 0x00, 7, 0, 5, 1, 5, 0x2A, 0xFF}, patternData(7, 5, 256));
    EXPECT_EQ(results(write), "40 80 00 07 00 05 01");
    EXPECT_TRUE(bench.driveA.diskChanged);

    std::vector<uint8_t> image;
    ASSERT_TRUE(buildExtendedDSK(bench.driveA, image));
    foundTrack written = readDriveTrack(bench.driveA, 7);
    ASSERT_EQ(written.sectors.size(), 16u);
    EXPECT_EQ(std::tie(written.sectors[4].ST2, written.sectors[4].data, written.gap3, written.filler),
              std::make_tuple(0x40, patternData(7, 5, 256), 0x20, 0xAA));
    EXPECT_TRUE(readDriveTrack(bench.driveA, 3).sectors[1].weak);
    EXPECT_FALSE(readDriveTrack(bench.driveA, 4).formatted);
    expectRoundTrip(bench, 9 + 12 + 5 + 3 + 1 + 16);
}

TEST(EdskWriter, DoubleSidedDiskKeepsItsSidesWhicheverWayUpItIs) {
    std::vector<Track> tracks;
    for (uint8_t c = 0; c < 3; ++c) {
        tracks.push_back(standardTrack(c, 0, 9));
        Track back = standardTrack(c, 1, c == 1 ? 0 : 5);  // cylinder 1 has nothing on its back
        for (Sector& s : back.sectors) s.H = 1;
        tracks.push_back(back);
    }
    Bench bench;
    ASSERT_TRUE(insertSpinning(bench, buildImage(tracks, 3, 2, true)));
    std::vector<uint8_t> upright, flipped;
    ASSERT_TRUE(buildExtendedDSK(bench.driveA, upright));
    bench.driveA.flip_side();
    ASSERT_TRUE(buildExtendedDSK(bench.driveA, flipped));
    bench.driveA.flip_side();
    EXPECT_EQ(upright, flipped);
    EXPECT_EQ(upright[0x31], 2);
    expectRoundTrip(bench, 3 * 9 + 2 * 5);
}

// Flux-level images need not keep byte cells on word boundaries: the writer
// hunts for sync marks cell by cell as the drive does.
TEST(EdskWriter, TracksOffTheWordGridReadTheSame) {
    Bench bench;
    Track t = standardTrack(0);
    t.sectors[3].ST2 = 0x40;
    t.sectors[5].ST1 = t.sectors[5].ST2 = 0x20;
    ASSERT_EQ(loadImage(bench.driveA, buildImage({t}, 1, 1, true)), 1);
    foundTrack aligned = readDriveTrack(bench.driveA, 0);
    uint32_t length = bench.driveA.trackLengths[0].length;
    const uint16_t* words = bench.driveA.trackBuffers[0];

    // Each revolution gains four 4E cells in front: one nibble more than whole words.
    trackInfo* info = init_track_information_bloc(1, 1);
    uint16_t** buffers = init_track_MFM(1, 1);
    info[0].trackLength = static_cast<uint16_t>(length + 1);
    info[0].lastWordNibbles = 1;
    for (int copy = 0; copy < kRevolutionsPerTrack; ++copy) {
        uint32_t carry = 0x9;  // the cells shifted in
        for (uint32_t i = 0; i < length; ++i) {
            uint16_t w = words[copy * length + i];
            buffers[0][copy * (length + 1) + i] = static_cast<uint16_t>((carry << 12) | (w >> 4));
            carry = w & 0xF;
        }
        buffers[0][copy * (length + 1) + length] = static_cast<uint16_t>(carry);
    }
    floppyDrive drive;
    drive.init(0);
    drive.attach_disk(info, buffers, 1, 0, kRevolutionsPerTrack);
    foundTrack shifted = readDriveTrack(drive, 0);
    ASSERT_EQ(shifted.sectors.size(), aligned.sectors.size());
    for (size_t i = 0; i < aligned.sectors.size(); ++i) {
        const foundSector& a = aligned.sectors[i];
        const foundSector& b = shifted.sectors[i];
        EXPECT_EQ(std::tie(a.C, a.H, a.R, a.N, a.ST1, a.ST2, a.data),
                  std::tie(b.C, b.H, b.R, b.N, b.ST1, b.ST2, b.data))
            << "sector " << i;
    }
}

// Disks crafted to make the writer search long: 39 tracks of 255 ID fields of
// 32 KB sectors, and tracks packed with ID fields each followed by a data mark.
TEST(EdskWriter, HostileTracksWriteBackQuickly) {
    std::vector<Track> edsk(39);
    for (uint8_t c = 0; c < 39; ++c)
        edsk[c] = {c, 0, 8, 78, 0xE5, std::vector<Sector>(255, Sector{c, 0, 1, 8, 0, 0, {0}})};
    uint16_t crc = 0xFFFF;
    for (uint8_t b : {0xA1, 0xA1, 0xA1, 0xFE, 0, 0, 1, 8}) crc = crcUpdate(crc, b);
    const std::vector<uint16_t> field = {
        kMfmSyncA1,   kMfmSyncA1,   kMfmSyncA1,   kMfmIdMark,          mfmencode[0],
        mfmencode[0], mfmencode[1], mfmencode[8], mfmencode[crc >> 8], mfmencode[crc & 0xFF],
        kMfmSyncA1,   kMfmSyncA1,   kMfmSyncA1,   kMfmDataMark};
    std::vector<MfmTrack> packed(42);
    for (uint8_t c = 0; c < 42; ++c)
        for (packed[c].track = c; packed[c].words.size() < 6250;)
            packed[c].words.insert(packed[c].words.end(), field.begin(), field.end());
    for (int hfe = 0; hfe < 2; ++hfe) {
        Bench bench;
        ASSERT_EQ(hfe ? loadWith(fileHFE, bench.driveA, writeHFE(packed, 42, 1))
                      : loadImage(bench.driveA, buildImage(edsk, 39, 1, true)),
                  1);
        auto start = std::chrono::steady_clock::now();
        std::vector<uint8_t> image;
        ASSERT_TRUE(buildExtendedDSK(bench.driveA, image));
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%s written back in %.3f s\n", hfe ? "HFE" : "EDSK", seconds);
        EXPECT_LT(seconds, 5.0);
        EXPECT_EQ(readDriveTrack(bench.driveA, 1).sectors.size(), hfe ? 255u : 92u) << "what a track block holds";
    }
}
