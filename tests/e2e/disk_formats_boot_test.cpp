// End to end: HFE, IPF and RAW copies of real disks, named on the command
// line, catalogue like the DSK itself and boot the game, as the DSK does, to its kept title picture.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/disk_image_writers.h"
#include "support/disk_test_support.h"
#include "e2e/headless_run.h"

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
