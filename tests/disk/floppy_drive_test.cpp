// The drive mechanism: MFM tables, rotation, index, stepping, motor and sides.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>
#include <vector>

#include "disk/disk_checks.h"
#include "support/disk_test_support.h"

using namespace disk_test;

TEST(MfmTables, EncodeDecodeAndCrcAreTheDiskOnes) {
    MakeMFMEnDecodeTable();
    const std::vector<uint16_t> encoded = {mfmencode[0x00], mfmencode[0x4E], mfmencode[0xE5], mfmencode[0xFE],
                                           mfmencode[0xFB]};
    EXPECT_EQ(encoded, (std::vector<uint16_t>{0xAAAA, 0x9254, 0x5491, 0x5554, 0x5545}));
    // The sync words decode whatever their clocks.
    EXPECT_EQ(std::make_tuple(mfmdecode[0x4489], mfmdecode[0x5224]), std::make_tuple(0xA1, 0xC2));
    for (int b = 0; b < 256; ++b) ASSERT_EQ(mfmdecode[mfmencode[b]], b);
    uint16_t crc = 0xFFFF;
    for (const char* c = "123456789"; *c; ++c) crc = crcUpdate(crc, static_cast<uint8_t>(*c));
    EXPECT_EQ(crc, 0x29B1);  // CRC-16-CCITT check value
}

// Without a disk: the signals high, an index at every byte boundary, steps stopping at track 0 and the last cylinder.
TEST(FloppyDrive, EmptyDriveSignalsIndexAndStepping) {
    floppyDrive drive;
    drive.init(0);
    EXPECT_EQ(std::make_tuple(drive.signal_WP(), drive.signal_TS(), drive.trackZero, drive.lastCylinder),
              std::make_tuple(true, true, true, 41));
    int pulses = 0;
    for (int t = 0; t < 32 * 10; ++t) {
        drive.clock();
        if (drive.bitCounter == 0 && drive.indexPulse) ++pulses;
    }
    EXPECT_EQ(pulses, 10);

    drive.stepOutward = true;
    drive.stepLine = true;
    drive.clock();
    EXPECT_EQ(std::make_tuple(drive.cylinder, drive.trackZero), std::make_tuple(0, true));
    drive.stepOutward = false;
    for (int i = 0; i < 60; ++i) drive.clock();  // step line held: one step per microsecond
    EXPECT_EQ(std::make_tuple(drive.cylinder, drive.trackZero), std::make_tuple(41, false));
}

TEST(FloppyDrive, FormattedTrackGivesOneIndexPerRevolution) {
    Bench bench;
    ASSERT_TRUE(insertSpinning(bench, buildImage({standardTrack(0)}, 1, 1, false)));
    std::vector<uint64_t> pulses;
    for (int t = 0; t < 3 * 6350 * 32 + 100; ++t) {
        bench.tick();
        if (bench.driveA.bitCounter == 0 && bench.driveA.indexPulse) pulses.push_back(bench.now);
    }
    ASSERT_GE(pulses.size(), 3u);
    EXPECT_EQ(std::make_tuple(pulses[1] - pulses[0], pulses[2] - pulses[1]), std::make_tuple(6350u * 32, 6350u * 32));
}

TEST(FloppyDrive, MotorGivesReadyAfterSpinUpAndTwoIndexPulses) {
    Bench bench;
    ASSERT_EQ(loadImage(bench.driveA, buildImage({standardTrack(0)}, 1, 1, false)), 1);
    bench.driveA.start_motor(true);
    bench.tick(12400);
    EXPECT_FALSE(bench.driveA.spinning);
    bench.tick(200);
    EXPECT_EQ(std::make_tuple(bench.driveA.spinning, bench.driveA.ready), std::make_tuple(true, false));
    uint64_t start = bench.now;
    while (!bench.driveA.ready && bench.now - start < 1000000) bench.tick();
    ASSERT_TRUE(bench.driveA.ready);
    // The disk turns from 25 ms on, and one revolution lasts 203.2 ms.
    EXPECT_GT(bench.now, 25000u + 6350u * 32);
    EXPECT_LE(bench.now, 25000u + 2 * 6350u * 32 + 64);

    bench.driveA.start_motor(false);
    bench.tick(25001);
    EXPECT_EQ(std::make_tuple(bench.driveA.ready, bench.driveA.motorRunning), std::make_tuple(false, false));
}

TEST(FloppyDrive, ShorterDiskPutsTheHeadBackToCylinderZero) {
    Bench bench;
    bench.driveA.lastCylinder = 79;
    bench.driveA.cylinder = 60;
    bench.driveA.trackZero = false;
    bench.fdc.units[0]->pcn = 60;
    ASSERT_EQ(loadImage(bench.driveA, buildImage({standardTrack(0)}, 40, 1, false)), 1);
    EXPECT_EQ(std::make_tuple(bench.driveA.cylinder, bench.driveA.trackZero, bench.fdc.units[0]->pcn,
                              bench.driveA.lastCylinder),
              std::make_tuple(0, true, 0, 41));

    // A head on a cylinder the new disk has stays where it is.
    bench.driveA.cylinder = 30;
    ASSERT_EQ(loadImage(bench.driveA, buildImage({standardTrack(0)}, 40, 1, false)), 1);
    EXPECT_EQ(bench.driveA.cylinder, 30);
}

TEST(FloppyDrive, FlippingADoubleSidedDiskSwapsItsSides) {
    Bench bench;
    std::vector<Track> tracks;
    for (int c = 0; c < 2; ++c) {
        tracks.push_back(standardTrack(static_cast<uint8_t>(c), 0, 9));
        tracks.push_back(standardTrack(static_cast<uint8_t>(c), 1, 3));
    }
    ASSERT_EQ(loadImage(bench.driveA, buildImage(tracks, 2, 2, false)), 1);
    ASSERT_EQ(bench.driveA.doubleSided, 1);
    uint16_t side0 = bench.driveA.trackLengths[0].length;
    uint16_t* side0Buffer = bench.driveA.trackBuffers[0];
    bench.driveA.flip_side();
    EXPECT_EQ(std::make_tuple(bench.driveA.sideFlipped, bench.driveA.trackBuffers[1],
                              bench.driveA.trackLengths[1].length, bench.driveA.headSide),
              std::make_tuple(true, side0Buffer, side0, 0));
    // Single-sided disks only keep head 0.
    Bench single;
    ASSERT_EQ(loadImage(single.driveA, buildImage({standardTrack(0)}, 1, 1, false)), 1);
    single.driveA.change_SIDE1_SELECT(true);
    EXPECT_EQ(single.driveA.headSide, 0);
}

TEST(FloppyDrive, EjectLeavesNoTrackAndDropsReady) {
    Bench bench;
    ASSERT_TRUE(insertSpinning(bench, buildImage({standardTrack(0)}, 1, 1, false)));
    bench.driveA.eject_disk();
    EXPECT_EQ(std::make_tuple(bench.driveA.ready, bench.driveA.diskInserted, bench.driveA.trackBuffer),
              std::make_tuple(false, false, nullptr));
    bench.tick(1000);  // turning an empty drive touches nothing
}

namespace {

// Everything a drive shows, with the cells of a quiet spell caught up.
std::vector<uint32_t> driveState(floppyDrive& d) {
    d.wake();
    return {d.bitCounter, d.indexPulse, d.shiftRegister, d.cellMask, d.readWord, d.currentWord, d.position,
            d.copyEnd,    d.revolution, d.cylinder,      d.ready,    d.spinning, d.motorRunning, d.syncWindow};
}

}  // namespace

// A drive with its motor stopped or without a disk only counts its byte cells
// and catches the rest up when something needs it: a session of idle spells
// broken at odd moments, disk changes, seeks and reads ends exactly as with
// drives that turn in full every microsecond.
TEST(FloppyDrive, QuietSpellsEndAsIfTheDriveHadTurned) {
    const std::vector<uint8_t> image = buildImage(standardTracks(8), 8, 1, false);
    struct Session {
        std::vector<std::vector<uint32_t>> states;
        std::vector<uint8_t> bytes;
    };
    auto session = [&](bool neverQuiet) {
        Session out;
        Bench bench;
        bench.drivesNeverQuiet = neverQuiet;
        auto checkpoint = [&] {
            out.states.push_back(driveState(bench.driveA));
            out.states.push_back(driveState(bench.driveB));
        };
        bench.specify();
        bench.tick(1237);
        checkpoint();
        EXPECT_EQ(loadImage(bench.driveA, image), 1);
        bench.tick(777);
        checkpoint();
        EXPECT_TRUE(bench.spinUp(bench.driveA));
        Execution read = bench.run(sectorCommand(kFdcReadData, 0, 0, 0, 0xC3, 2, 0xC3));
        out.bytes = read.data;
        out.bytes.insert(out.bytes.end(), read.result.begin(), read.result.end());
        bench.tick(450001);  // two revolutions and more with nothing watching the cells
        checkpoint();
        bench.driveA.start_motor(false);
        bench.tick(60013);
        checkpoint();
        std::vector<uint8_t> seek = bench.seekTo(0, 5);
        out.bytes.insert(out.bytes.end(), seek.begin(), seek.end());
        bench.tick(333);
        EXPECT_TRUE(bench.spinUp(bench.driveA));
        Execution id = bench.run({0x4A, 0x00});
        out.bytes.insert(out.bytes.end(), id.result.begin(), id.result.end());
        checkpoint();
        bench.driveA.eject_disk();
        bench.tick(5011);
        checkpoint();
        out.states.push_back({static_cast<uint32_t>(bench.now)});
        return out;
    };
    Session quiet = session(false);
    Session turning = session(true);
    EXPECT_EQ(quiet.states, turning.states);
    EXPECT_EQ(quiet.bytes, turning.bytes);
    EXPECT_GT(quiet.bytes.size(), 512u);  // the sector was read
}

// While the controller hunts, only a sync pattern that follows another within
// sixteen cells realigns the byte cells: the 00 bytes before a mark end in a
// C2 pattern five cells ahead of the first A1, a stray A1 in a gap has none.
TEST(FloppyDrive, OnlyASyncThatFollowsAnotherRealignsTheBytes) {
    MakeMFMEnDecodeTable();
    std::vector<uint16_t> words(200, mfmencode[0x4E]);
    words.push_back(kMfmSyncA1);  // stray
    words.insert(words.end(), 100, mfmencode[0x4E]);
    words.insert(words.end(), 12, mfmencode[0x00]);
    words.insert(words.end(), 3, kMfmSyncA1);
    words.push_back(kMfmIdMark);
    words.insert(words.end(), 84, mfmencode[0x4E]);
    trackInfo* info = init_track_information_bloc(1, 1);
    uint16_t** buffers = init_track_MFM(1, 1);
    std::copy(words.begin(), words.end(), buffers[0]);
    info[0].trackLength = static_cast<uint16_t>(words.size());
    Bench bench;
    floppyDrive& drive = bench.driveA;
    drive.attach_disk(info, buffers, 1, 0, 1);
    drive.start_motor(true);
    while (!(drive.motorRunning && drive.bitCounter == 0 && drive.indexPulse) && bench.now < 2000000) bench.tick();
    ASSERT_TRUE(drive.indexPulse);
    // Byte cells five cells off the words, and the controller hunting.
    drive.wake();
    drive.bitCounter = 10;
    drive.unitRecord->hunting = true;
    std::vector<uint16_t> seen;
    for (size_t i = 0; i < words.size() * 32; ++i) {
        bench.tick();
        if (drive.bitCounter == 0) seen.push_back(drive.currentWord);
    }
    size_t mark = std::find(seen.begin(), seen.end(), kMfmIdMark) - seen.begin();
    ASSERT_LT(mark, seen.size()) << "the mark realigned the bytes";
    ASSERT_GE(mark, 3u);
    EXPECT_EQ(std::vector<uint16_t>(seen.begin() + mark - 3, seen.begin() + mark),
              std::vector<uint16_t>(3, kMfmSyncA1));
    EXPECT_EQ(std::count(seen.begin(), seen.begin() + mark, mfmencode[0x4E]), 0)
        << "the stray A1 left the bytes where they were";
    EXPECT_GE(std::count(seen.begin() + mark, seen.end(), mfmencode[0x4E]), 80) << "aligned after the mark";
}
