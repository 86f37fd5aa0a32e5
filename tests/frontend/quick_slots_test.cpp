// Quick slots: a slot saved beside the disk brings back the machine whose picture it was saved with; a file
// of that name that is no snapshot is never overwritten; an empty slot says so.
#include "frontend/quick_slots.h"

#include <fstream>

#include "frontend/media_loader.h"
#include "support/disk_test_support.h"
#include "support/machine_fixture.h"

using namespace test_support;

class QuickSlots : public Machine {
protected:
    QuickSlots() : Machine({.sharedRoms = true, .toBasic = true}) {}
};

TEST_F(QuickSlots, SlotComesBackPixelForPixelAndNothingElseIsOverwritten) {
    SKIP_WITHOUT_SHARED("media/cpcrogue.dsk");
    const std::string disk = disk_test::writeTempFile("rogue.dsk", fileBytes(sharedPath("media/cpcrogue.dsk")));
    ASSERT_TRUE(loadeject_dsk(disk.c_str(), 0, 'd'));
    EXPECT_EQ(quickSlotPath(3), disk.substr(0, disk.size() - 4) + ".slot3.sna");
    ASSERT_TRUE(saveQuickSlot(3));
    frames(2);
    const RgbaImage saved = framePictureArea();
    type("MODE 1:BORDER 6\r", 30);
    ASSERT_TRUE(loadQuickSlot(3));
    frames(2);
    EXPECT_EQ(framePictureArea().pixels, saved.pixels);
    std::ofstream(quickSlotPath(4)) << "notes";
    EXPECT_FALSE(saveQuickSlot(4));
    EXPECT_EQ(fileBytes(quickSlotPath(4)).size(), 5u);
    EXPECT_FALSE(loadQuickSlot(5));
    eject_dsk(0, true);
}
