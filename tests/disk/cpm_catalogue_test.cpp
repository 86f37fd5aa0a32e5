// The CP/M catalogue of disk images, read without a drive of the machine.
#include "disk/cpm_catalogue.h"

#include <gtest/gtest.h>

#include <cstring>

#include "disk/edsk_writer.h"
#include "support/disk_test_support.h"
#include "support/shared_files.h"

namespace {

std::string listing(const DiskCatalogue& c) {
    std::string text = std::string(c.format) + ":";
    for (const CatalogueEntry& e : c.entries) {
        text += " " + std::to_string(e.user) + ":" + e.name + "=" + std::to_string(e.sizeK) + (e.system ? "s" : "") +
                (e.readOnly ? "r" : "");
    }
    return text;
}

TEST(CpmCatalogue, ListsTheSharedDisk) {
    SKIP_WITHOUT_SHARED("media/cpcrogue.dsk");
    DiskCatalogue catalogue;
    ASSERT_TRUE(readCatalogueOfFile(sharedPath("media/cpcrogue.dsk").c_str(), catalogue));
    EXPECT_EQ(listing(catalogue), "Data: 0:CPCROGUE.BIN=8");
}

// A blank data disk, or the same turned into the system format, with a directory written into it: extents of
// one file add up, users stay apart, deleted entries and the attribute bits do not show in the names.
TEST(CpmCatalogue, ReadsTheDirectoryOfDataAndSystemDisksAndRefusesWhatIsNoDisk) {
    constexpr size_t kTrackBlock = 0x1300;
    for (bool system : {false, true}) {
        std::vector<uint8_t> image;
        buildBlankDataDisk(image);
        if (system) {
            for (size_t t = 0; t < 40; ++t)
                for (size_t s = 0; s < 9; ++s) image[0x100 + t * kTrackBlock + 0x1A + 8 * s] -= 0x80;
        }
        uint8_t* directory = &image[0x100 + (system ? 2 : 0) * kTrackBlock + 0x100];
        auto entry = [&](int n, uint8_t user, const char* name11, uint8_t extent, int blocks) {
            uint8_t* e = directory + 32 * n;
            e[0] = user;
            std::memcpy(e + 1, name11, 11);
            e[12] = extent;
            for (int b = 0; b < 16; ++b) e[16 + b] = b < blocks ? static_cast<uint8_t>(2 + n * 16 + b) : 0;
        };
        entry(0, 0, "HELLO   BAS", 0, 16);
        entry(1, 0, "HELLO   BAS", 1, 3);
        entry(2, 0xE5, "GONE    BAS", 0, 4);
        entry(3, 3, "HELLO   BAS", 0, 1);
        entry(4, 0, "DISC    BIN", 0, 2);
        directory[32 * 4 + 9] |= 0x80;   // read-only
        directory[32 * 4 + 10] |= 0x80;  // system
        DiskCatalogue catalogue;
        ASSERT_TRUE(readCatalogueOfFile(disk_test::writeTempFile("cat.dsk", image).c_str(), catalogue));
        EXPECT_EQ(listing(catalogue), std::string(system ? "System" : "Data") +
                                          ": 0:DISC.BIN=2sr 0:HELLO.BAS=19 3:HELLO.BAS=1");
        image.resize(0x118);  // no track survives
        EXPECT_FALSE(readCatalogueOfFile(disk_test::writeTempFile("cut.dsk", image).c_str(), catalogue));
        EXPECT_TRUE(catalogue.entries.empty());
    }
    DiskCatalogue catalogue;
    EXPECT_FALSE(readCatalogueOfFile(disk_test::writeTempFile("text.dsk", {'n', 'o'}).c_str(), catalogue));
    EXPECT_FALSE(readCatalogueOfFile(disk_test::writeTempFile("tape.cdt", {'n', 'o'}).c_str(), catalogue));
}

}  // namespace
