// F6 in a real window: numbered snapshots beside the loaded disk, or in the
// directory "filepathsna" names.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "window_xvfb_session.h"

namespace {

namespace fs = std::filesystem;
using window_test::KestrixWindow;

// Polls for a file of a whole snapshot's size (header and 128 KB).
bool waitForSnapshot(const fs::path& file, double seconds = 60) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<int>(seconds * 1000));
    while (std::chrono::steady_clock::now() < deadline) {
        std::error_code ec;
        if (fs::file_size(file, ec) == 256 + 131072 && !ec) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
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
    ASSERT_TRUE(k.start({"-0", (games / "Game.dsk").string()}));
    ASSERT_FALSE(k.waitForWindow().empty()) << k.log();
    ASSERT_TRUE(k.key("F6"));
    EXPECT_TRUE(waitForSnapshot(games / "Game_000.sna")) << k.log();
    ASSERT_TRUE(k.key("F6"));
    EXPECT_TRUE(waitForSnapshot(games / "Game_001.sna")) << k.log();
    EXPECT_NE(k.log().find("Writing snapshot file"), std::string::npos) << k.log();
    ASSERT_TRUE(k.requestClose());
    EXPECT_EQ(k.waitForExit(), 0) << k.log();

    KestrixWindow configured;
    configured.home().writeFile("Kestrix.ini", "filepathsna=" + saves.string() + "\n");
    ASSERT_TRUE(configured.start({"-0", (games / "Game.dsk").string()}));
    ASSERT_FALSE(configured.waitForWindow().empty()) << configured.log();
    ASSERT_TRUE(configured.key("F6"));
    EXPECT_TRUE(waitForSnapshot(saves / "Game_000.sna")) << configured.log();
    EXPECT_FALSE(fs::exists(games / "Game_002.sna"));
    ASSERT_TRUE(configured.requestClose());
    EXPECT_EQ(configured.waitForExit(), 0) << configured.log();
}

}  // namespace
