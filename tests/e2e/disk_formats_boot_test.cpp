// Real disks end to end: a booted 6128 in this process catalogues one through
// AMSDOS and saves and loads a program on a blank image; HFE, IPF and RAW copies,
// named on the command line, catalogue like the DSK itself and boot the game, as
// the DSK does, to its kept title picture.
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/headless_run.h"
#include "frontend/autorun.h"
#include "frontend/media_loader.h"
#include "support/disk_image_writers.h"
#include "support/disk_test_support.h"
#include "support/machine_fixture.h"

using namespace test_support;

namespace {

struct Copies {
    std::string dsk, hfe, ipf, raw;
};

// Writes the three copies of a shared disk beside each other; false when the disk is absent.
bool writeCopies(const std::string& name, Copies& copies) {
    copies.dsk = sharedPath("media/" + name + ".dsk");
    if (!std::filesystem::exists(copies.dsk)) return false;
    int sides = 0;
    std::vector<disk_test::MfmTrack> tracks = disk_test::tracksOfDsk(copies.dsk, sides);
    disk_test::IpfDisk ipf;
    std::vector<disk_test::RawTrack> raw;
    for (const auto& t : tracks) {
        ipf.tracks.push_back(disk_test::ipfTrackFromWords(t));
        raw.push_back({t.track, t.side, {disk_test::wordsToBytes(t.words)}});
    }
    int count = static_cast<int>(tracks.size()) / sides;
    copies.hfe = disk_test::writeTempFile(name + ".hfe", disk_test::writeHFE(tracks, count, sides));
    copies.ipf = disk_test::writeTempFile(name + ".ipf", disk_test::writeIPF(ipf));
    copies.raw = disk_test::writeTempFile(name + ".raw", disk_test::writeRAW(raw));
    return true;
}

ScreenRun runWith(const std::string& disk, const char* autorun, int frames) {
    TempKestrixHome home;
    return runToScreenshot(home, frames, {"-c", "6128", "-0", disk, "-a", autorun});
}

}  // namespace

TEST(DiskFormatsBinary, CatListsTheSameFilesAsTheDsk) {
    SKIP_WITHOUT_SHARED_ROMS();
    RomFont font;
    ASSERT_TRUE(font.loadFromOsRom(sharedOsRom("6128")));
    for (auto [name, file] : {std::pair{"cpcrogue", "CPCROGUE.BIN"}, std::pair{"Slot5Game", "SLOT5   .SPR"}}) {
        Copies copies;
        if (!writeCopies(name, copies)) GTEST_SKIP() << "shared disk image not found: " << name;
        ScreenRun reference = runWith(copies.dsk, "cat", 450);
        ASSERT_TRUE(reference.ok()) << reference.process.output;
        ScreenText expected = readScreenText(reference.picture, font);
        ASSERT_TRUE(expected.contains(file)) << expected.dump();
        for (const std::string& copy : {copies.hfe, copies.ipf, copies.raw}) {
            ScreenRun run = runWith(copy, "cat", 450);
            ASSERT_TRUE(run.ok()) << run.process.output;
            EXPECT_EQ(readScreenText(run.picture, font).lines, expected.lines) << copy;
        }
    }
}

// The game's title picture, checked by eye once and kept: any change in the
// disk, video or processor path that alters a pixel of it shows here.
TEST(DiskFormatsBinary, CpcrogueReachesTheKeptTitlePictureFromEveryFormat) {
    SKIP_WITHOUT_SHARED_ROMS();
    Copies copies;
    if (!writeCopies("cpcrogue", copies)) GTEST_SKIP() << "shared disk image cpcrogue.dsk not found";
    const RgbaImage reference = cpcrogueTitle();
    ASSERT_FALSE(reference.empty());
    for (const std::string& copy : {copies.dsk, copies.hfe, copies.ipf, copies.raw}) {
        ScreenRun run = runWith(copy, "run\"cpcrogue", 900);
        ASSERT_TRUE(run.ok()) << run.pictureError << "\n" << run.process.output;
        EXPECT_EQ(differingPixels(run.picture, reference), 0) << copy;
    }
}

namespace {

class DiskBoot : public Machine {
protected:
    DiskBoot() : Machine({.toBasic = true}) {}
};

std::vector<uint8_t> blankDataDisk() {
    std::vector<disk_test::Track> tracks;
    for (int c = 0; c < 40; ++c) {
        disk_test::Track t = disk_test::standardTrack(static_cast<uint8_t>(c));
        t.gap3 = 0x52;
        for (auto& s : t.sectors) s.data.assign(512, 0xE5);
        tracks.push_back(t);
    }
    return disk_test::buildImage(tracks, 40, 1, false);
}

}  // namespace

TEST_F(DiskBoot, CatListsTheDiskInDriveA) {
    SKIP_WITHOUT_SHARED("media/cpcrogue.dsk");
    std::string disk = sharedPath("media/cpcrogue.dsk");
    ASSERT_TRUE(loadeject_dsk(disk.c_str(), 0, 'd'));
    autorun_cat();
    frames(400);
    ScreenText text = screen();
    EXPECT_TRUE(text.contains("Drive A: user  0")) << text.dump();
    EXPECT_TRUE(text.contains("CPCROGUE.BIN")) << text.dump();
    EXPECT_TRUE(text.contains("K free")) << text.dump();
}

TEST_F(DiskBoot, SaveAndLoadOnABlankImage) {
    std::string disk = disk_test::writeTempFile("blank.dsk", blankDataDisk());
    ASSERT_TRUE(loadeject_dsk(disk.c_str(), 0, 'd'));
    type("10 PRINT 6*7\rSAVE \"T\"\r");
    frames(300);
    type("NEW\rLOAD \"T\"\r");
    frames(300);
    type("CLS:RUN\r");
    frames(50);
    ScreenText text = screen();
    EXPECT_TRUE(text.contains(" 42")) << text.dump();
    EXPECT_FALSE(text.contains("not found")) << text.dump();
    type("CAT\r");
    frames(300);
    text = screen();
    EXPECT_TRUE(text.contains("T       .BAS")) << text.dump();
}
