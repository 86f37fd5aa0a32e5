// End to end in this process: a booted 6128 catalogues a real disk through
// AMSDOS, and saves and loads a program on a blank image.
#include <gtest/gtest.h>

#include <string>

#include "support/machine_fixture.h"
#include "support/disk_test_support.h"
#include "frontend/autorun.h"
#include "frontend/media_loader.h"

using namespace test_support;

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
