// F6 in a real window: numbered snapshots beside the loaded disk, or in the
// directory "filepathsna" names.
#include <gtest/gtest.h>

#include <filesystem>

#include "window_xvfb_session.h"

namespace {

namespace fs = std::filesystem;
using window_test::KestrixWindow;

// Polls for a file of a whole snapshot's size (header and 128 KB).
bool waitForSnapshot(const fs::path& file) {
    return pollFor(60, [&] {
        std::error_code ec;
        return fs::file_size(file, ec) == 256 + 131072 && !ec;
    });
}

class WindowedSnapshot : public window_test::XvfbTest {};

TEST_F(WindowedSnapshot, F6WritesNumberedSnapshotsBesideTheDiskOrInTheConfiguredDirectory) {
    SKIP_WITHOUT_SHARED("media/cpcrogue.dsk");
    const std::string disk = sharedPath("media/cpcrogue.dsk");
    KestrixWindow k;
    const fs::path games = fs::path(k.home().path()) / "games";
    const fs::path saves = fs::path(k.home().path()) / "saves";
    fs::create_directories(games);
    fs::create_directories(saves);
    fs::copy_file(disk, games / "Game.dsk");
    if (!open(k, {"-0", (games / "Game.dsk").string()})) return;
    ASSERT_TRUE(k.key("F6"));
    EXPECT_TRUE(waitForSnapshot(games / "Game_000.sna")) << k.log();
    ASSERT_TRUE(k.key("F6"));
    EXPECT_TRUE(waitForSnapshot(games / "Game_001.sna")) << k.log();
    EXPECT_NE(k.log().find("Writing snapshot file"), std::string::npos) << k.log();
    closeAndExpectCleanExit(k);

    KestrixWindow configured;
    configured.home().writeFile("Kestrix.ini", "filepathsna=" + saves.string() + "\n");
    if (!open(configured, {"-0", (games / "Game.dsk").string()})) return;
    ASSERT_TRUE(configured.key("F6"));
    EXPECT_TRUE(waitForSnapshot(saves / "Game_000.sna")) << configured.log();
    EXPECT_FALSE(fs::exists(games / "Game_002.sna"));
    closeAndExpectCleanExit(configured);
}

}  // namespace
