// The controller's command protocol, sense commands, seeks and step rates.
#include <gtest/gtest.h>

#include <tuple>

#include "disk/disk_checks.h"

using namespace disk_test;

namespace {

std::vector<uint8_t> formattedDisk() { return buildImage(standardTracks(42), 42, 1, false); }

}  // namespace

TEST(FdcProtocol, IdleControllerAcceptsCommandsAndReportsSt3OnDataRead) {
    Bench bench;
    EXPECT_EQ(bench.status(), 0x80);
    // Unit 0, head 0, no disk: write protected (no disk), two-sided line, track 0.
    uint8_t st3 = bench.readData();
    EXPECT_EQ(st3 & (0x40 | 0x10 | 0x07), 0x40 | 0x10);
}

TEST(FdcProtocol, SenseInterruptWithNothingPendingAndInvalidCommandGiveSingle80) {
    for (uint8_t code : {0x08, 0x1F}) {
        Bench bench;
        ASSERT_TRUE(bench.command({code}));
        EXPECT_EQ(bench.result(), std::vector<uint8_t>{0x80}) << int(code);
        EXPECT_EQ(bench.status(), 0x80) << int(code);
        EXPECT_EQ(bench.fdc.phase, 0) << int(code);
    }
}

TEST(FdcProtocol, CommandByteIsIgnoredWhileDioIsSet) {
    Bench bench;
    ASSERT_TRUE(bench.command({0x1F}));  // leaves a result byte waiting
    bench.tick(2);
    ASSERT_EQ(bench.status() & 0xC0, 0xC0);
    bench.writeData(0x08);
    bench.tick(20);
    EXPECT_EQ(bench.fdc.commandByteIndex, 0);
    EXPECT_EQ(bench.result(), std::vector<uint8_t>{0x80});
}

TEST(FdcProtocol, SpecifyTakesTwoBytesAndGivesNoResult) {
    Bench bench;
    ASSERT_TRUE(bench.command({0x03, 0xA1, 0x02}));
    bench.tick(4);
    EXPECT_EQ(bench.status(), 0x80);
    // There is no DMA, whatever the byte says.
    EXPECT_EQ(std::tie(bench.fdc.SRT, bench.fdc.HUT, bench.fdc.HLT, bench.fdc.ND), std::make_tuple(0x0A, 1, 1, 1));
}

TEST(FdcProtocol, SenseDriveStatusReportsTheDriveLines) {
    Bench bench;
    ASSERT_TRUE(insertSpinning(bench, formattedDisk()));
    ASSERT_TRUE(bench.command({0x04, 0x00}));
    EXPECT_EQ(bench.result(), std::vector<uint8_t>{0x30});  // ready, track 0, writable, single-sided

    bench.driveA.writeProtected = true;
    ASSERT_TRUE(bench.command({0x04, 0x04}));  // head 1 on a single-sided disk
    EXPECT_EQ(bench.result(), std::vector<uint8_t>{0x40 | 0x20 | 0x10 | 0x08 | 0x04});
}

TEST(FdcProtocol, UnitWithoutDriveIsRefused) {
    Bench bench;
    bench.fdc.reset(&bench.driveA, nullptr, nullptr, nullptr, false);
    ASSERT_TRUE(bench.command({0x04, 0x01}));
    std::vector<uint8_t> r = bench.result();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_TRUE(r[0] & 0x80);

    Execution read = bench.run(sectorCommand(0x06, 1, 0, 0, 0xC1, 2, 0xC1));
    EXPECT_EQ(results(read), "41 80 00 00 00 C1 02");

    // A seek on it must not leave the unit busy for ever.
    ASSERT_TRUE(bench.command({0x0F, 0x01, 0x05}));
    bench.tick(100);
    EXPECT_EQ(bench.status(), 0x80);
}

TEST(FdcProtocol, ReadOnADriveNotReadyEndsWith48AndWriteOnAProtectedDiskWithNotWritable) {
    Bench bench;
    ASSERT_EQ(loadImage(bench.driveA, formattedDisk()), 1);
    Execution read = bench.run(sectorCommand(0x06, 0, 0, 0, 0xC1, 2, 0xC1));
    EXPECT_EQ(results(read), "48 00 00 00 00 C1 02");
    EXPECT_TRUE(read.data.empty());
    ASSERT_TRUE(insertSpinning(bench, formattedDisk()));
    bench.driveA.writeProtected = true;
    Execution write = bench.run(sectorCommand(0x05, 0, 0, 0, 0xC1, 2, 0xC1));
    EXPECT_EQ(results(write), "40 02 00 00 00 C1 02");
}

TEST(FdcProtocol, SeekMovesTheHeadAndReportsSeekEnd) {
    Bench bench;
    ASSERT_EQ(loadImage(bench.driveA, formattedDisk()), 1);
    bench.specify(0x0F);
    ASSERT_TRUE(bench.command({0x0F, 0x00, 10}));
    bench.tick(3);
    EXPECT_EQ(bench.status() & 0x01, 0x01);  // unit 0 seeking
    EXPECT_EQ(bench.seekTo(0, 10), (std::vector<uint8_t>{0x20, 10}));
    EXPECT_EQ(std::make_tuple(bench.driveA.cylinder, bench.status()), std::make_tuple(10, 0x80));
    EXPECT_EQ(bench.seekTo(0, 3), (std::vector<uint8_t>{0x20, 3}));
    EXPECT_EQ(bench.driveA.cylinder, 3);
}

TEST(FdcProtocol, RecalibrateThatNeverReachesTrackZeroGivesUpAfter77Steps) {
    Bench bench;
    bench.driveA.lastCylinder = 90;
    bench.driveA.cylinder = 80;
    bench.driveA.trackZero = false;
    bench.specify(0x0F);
    ASSERT_TRUE(bench.command({0x07, 0x00}));
    for (int t = 0; t < 400000 && bench.fdc.units[0]->seeking; ++t) bench.tick();
    EXPECT_FALSE(bench.fdc.units[0]->seeking);
    EXPECT_EQ(bench.driveA.cylinder, 80 - 77);
    ASSERT_TRUE(bench.command({0x08}));
    std::vector<uint8_t> r = bench.result();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0], 0x70);

    // A second recalibrate reaches track 0 and ends normally.
    ASSERT_TRUE(bench.command({0x07, 0x00}));
    for (int t = 0; t < 400000 && bench.fdc.units[0]->seeking; ++t) bench.tick();
    ASSERT_TRUE(bench.command({0x08}));
    EXPECT_EQ(bench.result(), (std::vector<uint8_t>{0x20, 0x00}));
    EXPECT_EQ(bench.driveA.cylinder, 0);
}

TEST(FdcProtocol, StepRateFollowsSrt) {
    for (uint8_t srt : {uint8_t(0x0F), uint8_t(0x0A), uint8_t(0x00)}) {
        Bench bench;
        bench.driveA.lastCylinder = 41;
        bench.specify(srt);
        ASSERT_TRUE(bench.command({0x0F, 0x00, 4}));
        std::vector<uint64_t> stepTimes;
        uint8_t last = bench.driveA.cylinder;
        for (int t = 0; t < 200000 && stepTimes.size() < 4; ++t) {
            bench.tick();
            if (bench.driveA.cylinder != last) {
                last = bench.driveA.cylinder;
                stepTimes.push_back(bench.now);
            }
        }
        ASSERT_EQ(stepTimes.size(), 4u) << "srt " << int(srt);
        for (size_t i = 1; i < stepTimes.size(); ++i)
            EXPECT_EQ(stepTimes[i] - stepTimes[i - 1], (16u - srt) * 2000u) << "srt " << int(srt);
    }
}
