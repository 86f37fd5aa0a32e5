// The file browser's model: one folder listed for one media kind, type-ahead,
// and the folder and recent files it keeps in Kestrix.ini.
#include "frontend/file_browser.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "machine/base_path.h"
#include "machine/config.h"
#include "support/temp_home.h"

namespace {

namespace fs = std::filesystem;

std::string listing(const FileBrowser& b) {
    std::string text;
    for (const BrowserEntry& e : b.entries()) text += " " + e.name + (e.folder ? "/" : "") + (e.readable ? "" : "!");
    return text;
}

TEST(FileBrowser, ListsFoldersAndFilesOfItsKindWithTypeAheadAndRemembersTheFolder) {
    TempKestrixHome home(false);
    setenv("KESTRIX_HOME", home.path().c_str(), 1);
    initBasePath();
    const std::string folder = home.path() + "/media/";
    fs::create_directories(folder + "games");
    for (const char* name : {"B.dsk", "a.DSK", ".hidden.dsk", "notes.txt", "tape.cdt", "c.zip", "d.dsk.gz", "t.cdt.gz"}) std::ofstream(folder + name) << "x";
    fs::create_symlink(folder + "nowhere.dsk", folder + "broken.dsk");

    FileBrowser browser;
    browser.open(MediaClass::Disk);
    EXPECT_EQ(browser.folder(), std::string(getbasepath));
    ASSERT_TRUE(browser.list(folder));
    EXPECT_EQ(listing(browser), " ../ games/ a.DSK B.dsk broken.dsk! c.zip d.dsk.gz");
    browser.typeAhead('b', 10000);
    EXPECT_EQ(browser.selected(), 3);
    browser.typeAhead('r', 10100);
    EXPECT_EQ(browser.selected(), 4);
    EXPECT_EQ(browser.activate(4), "") << "an unreadable file is never opened";
    browser.typeAhead('a', 12000);
    EXPECT_EQ(browser.selected(), 2) << "a pause starts a new prefix";
    EXPECT_EQ(browser.activate(2), folder + "a.DSK");
    EXPECT_EQ(browser.activate(1), "");
    EXPECT_EQ(browser.folder(), folder + "games/");
    browser.activate(0);
    EXPECT_EQ(browser.folder(), folder);

    FileBrowser again;
    again.open(MediaClass::Disk);
    EXPECT_EQ(again.folder(), folder) << "the disk folder is remembered";
    again.open(MediaClass::Tape);
    EXPECT_EQ(again.folder(), std::string(getbasepath));

    for (const char* file : {"/x/one.dsk", "/x/two.cdt", "/x/one.dsk"}) noteRecentFile(file);
    EXPECT_EQ(recentFiles(), (std::vector<std::string>{"/x/one.dsk", "/x/two.cdt"}));
    EXPECT_EQ(mainConfigValue("diskdir"), folder);
    freeBasePath();
    unsetenv("KESTRIX_HOME");
}

}  // namespace
