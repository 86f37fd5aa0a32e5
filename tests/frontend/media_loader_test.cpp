// Loading, ejecting and flipping disks by file name (and the names of the other
// side of a set), the numbered save names and the Insert-key catalogue, with
// timed actions on emulated time.
#include "frontend/media_loader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "disk/fdc765.h"
#include "frontend/autorun.h"
#include "frontend/flip_names.h"
#include "frontend/frontend_test_helpers.h"
#include "machine/cpu.h"
#include "machine/emulation_thread.h"
#include "machine/frontend_hooks.h"
#include "machine/keyboard.h"
#include "machine/text_buffers.h"
#include "machine/timed_actions.h"
#include "support/disk_test_support.h"

using namespace disk_test;
using namespace frontend_test;

namespace {

class MediaLoader : public ::testing::Test {
protected:
    void SetUp() override {
        MakeMFMEnDecodeTable();
        allocateTextBuffers();
        headlessMode = true;
        clearTimedActions();
        running = 0;
        if (!cpu) cpu = new Z80CPU();
        if (!cPCKeyBoard) cPCKeyBoard = new keyboard();
        cPCKeyBoard->reset();
        if (!fd0) fd0 = new floppyDrive();
        if (!fd1) fd1 = new floppyDrive();
        fd0->init(0);
        fd1->init(1);
        if (!fdc) fdc = new FDCupd765();
        fdc->reset(fd0, fd1, nullptr, nullptr, false);
        for (int u = 0; u < 2; ++u) copyToTextBuffer(u ? fileName_dsk1_str : fileName_dsk0_str, "");
        copyToTextBuffer(fullFileNameStr, "");
        flipSideInUse = false;
        autorunCancel();
        shownTexts.clear();
        frontendHooks.showOSDText = captureShownText;
    }
    void TearDown() override {
        frontendHooks.showOSDText = FrontendHooks{}.showOSDText;
        clearTimedActions();
        eject_dsk(0, true);
        eject_dsk(1, true);
        // Later tests of this program build their own machine.
        delete fdc;
        delete fd0;
        delete fd1;
        fdc = nullptr;
        fd0 = fd1 = nullptr;
        headlessMode = false;
    }
    static void wait(uint32_t ms) { advanceEmulatedTime(ms * 1000); }
    static bool wasShown(const std::string& text) { return timesShown(text) > 0; }
    std::string image(const std::string& name, int sides = 1) {
        std::vector<Track> tracks = {standardTrack(0)};
        if (sides == 2) tracks.push_back(standardTrack(0, 1));
        return writeTempFile(name, buildImage(tracks, 1, sides, false));
    }
};

}  // namespace

TEST_F(MediaLoader, DiskArrivesAfterTheDelayWhateverTheCaseOfItsExtension) {
    std::string path = image("Game.DSK");
    EXPECT_TRUE(load_file_snadsk(path.c_str(), 0));
    EXPECT_FALSE(fd0->diskInserted);
    wait(100);
    EXPECT_TRUE(fd0->diskInserted);
    EXPECT_STREQ(fileName_dsk0_str, "Game.DSK");
    EXPECT_EQ(t_eject_disk[0], 1);
    EXPECT_TRUE(wasShown("A:\\Game.DSK"));

    // The configuration passes the name in fullFileNameStr, which the load also writes.
    copyToTextBuffer(fullFileNameStr, image("Config.dsk").c_str());
    EXPECT_TRUE(load_file_snadsk(fullFileNameStr, 0));
    wait(100);
    EXPECT_STREQ(fileName_dsk0_str, "Config.dsk");

    // Into drive B as well.
    EXPECT_TRUE(load_file_snadsk(image("Other.dsk").c_str(), 1));
    wait(100);
    EXPECT_TRUE(fd1->diskInserted);
    EXPECT_TRUE(wasShown("B:\\Other.dsk"));
}

TEST_F(MediaLoader, NamesWithoutOrWithUnknownExtensionAreRefused) {
    const std::string missing = std::filesystem::path(image("x.dsk")).parent_path().string() + "/missing.dsk";
    const std::pair<std::string, std::string> refused[] = {
        {writeTempFile("dir.v2/plain", {1, 2, 3}), "Warning this file is not recognized (no .extension found) !"},
        {writeTempFile("file.xyz", {1, 2, 3}), "Warning this file is not recognized (wrong extension) !"},
        {missing, missing + " not found !"}};
    for (const auto& [file, why] : refused) {
        EXPECT_FALSE(load_file_snadsk(file.c_str(), 0)) << file;
        EXPECT_TRUE(wasShown("\366 " + why + " \367")) << why;
    }
    wait(200);
    EXPECT_FALSE(fd0->diskInserted);
}

TEST_F(MediaLoader, LoadEjectTogglesAndAFailedLoadLeavesTheDriveEmpty) {
    std::string path = image("Work.dsk");
    ASSERT_TRUE(loadeject_dsk(path.c_str(), 0, 'd'));
    EXPECT_FALSE(loadeject_dsk(path.c_str(), 0, 'd'));
    EXPECT_FALSE(fd0->diskInserted);
    EXPECT_TRUE(wasShown("A:\\Disk ejected !"));
    EXPECT_STREQ(fileName_dsk0_str, "");

    std::string junk = writeTempFile("Junk.dsk", std::vector<uint8_t>(1000, 0x20));
    EXPECT_FALSE(loadeject_dsk(junk.c_str(), 1, 'd'));
    EXPECT_FALSE(fd1->diskInserted);
    EXPECT_EQ(t_eject_disk[1], 0);
    EXPECT_TRUE(wasShown("\366 FDD1 loading DSK error ! \367"));

    EXPECT_FALSE(loadeject_dsk(path.c_str(), 0, 'h'));  // a DSK is no HFE image
    EXPECT_FALSE(loadeject_dsk(path.c_str(), 0, 'x'));  // a kind without a reader
    EXPECT_TRUE(wasShown("\366 FDD0 loading DSK error ! \367"));
}

TEST_F(MediaLoader, DiskLoadsNeedAController) {
    FDCupd765* kept = fdc;
    fdc = nullptr;
    EXPECT_FALSE(loadeject_dsk(image("A.dsk").c_str(), 0, 'd'));
    EXPECT_TRUE(wasShown("\366 FDC not active ! \367"));
    fdc = kept;
}

TEST_F(MediaLoader, FlipLoadsTheOtherFileOfASet) {
    std::string faceA = image("Game (Face A).dsk");
    std::string faceB = image("Game (Face B).dsk");
    ASSERT_TRUE(load_file_snadsk(faceA.c_str(), 0));
    wait(100);
    ASSERT_STREQ(fileName_dsk0_str, "Game (Face A).dsk");
    EXPECT_TRUE(flipSide(0, fileName_dsk0_str));
    EXPECT_FALSE(flipSide(0, fileName_dsk0_str));  // still locked
    wait(100);
    EXPECT_STREQ(fileName_dsk0_str, "Game (Face B).dsk");
    EXPECT_TRUE(fd0->diskInserted);
    wait(1000);
    EXPECT_TRUE(flipSide(0, fileName_dsk0_str));
    wait(100);
    EXPECT_STREQ(fileName_dsk0_str, "Game (Face A).dsk");

    // No other file: nothing happens.
    wait(1000);
    EXPECT_FALSE(loadeject_dsk(faceA.c_str(), 0, 'd'));  // ejects
    ASSERT_TRUE(loadeject_dsk(image("Single (Face 1).dsk").c_str(), 0, 'd'));
    EXPECT_FALSE(flipSide(0, fileName_dsk0_str));
    EXPECT_STREQ(fileName_dsk0_str, "Single (Face 1).dsk");
}

TEST_F(MediaLoader, FlipTurnsADoubleSidedDiskOver) {
    ASSERT_TRUE(loadeject_dsk(image("Both.dsk", 2).c_str(), 0, 'd'));
    EXPECT_TRUE(wasShown("A:\\0.Both.dsk"));
    EXPECT_TRUE(flipSide(0, fileName_dsk0_str));
    EXPECT_TRUE(fd0->sideFlipped);
    EXPECT_TRUE(wasShown("A:\\1.Both.dsk"));
}

TEST_F(MediaLoader, SaveNamesAreNumberedFromTheLoadedFile) {
    std::string path = image("Numbered.dsk");
    std::string base = path.substr(0, path.size() - 4);
    copyToTextBuffer(fullFileNameStr, path.c_str());
    char name[kTextBufferSize];
    ASSERT_NE(save_find_enum(name, 's', nullptr), nullptr);
    EXPECT_EQ(std::string(name), base + "_000.sna");
    writeTempFile("Numbered_000.sna", {0});
    writeTempFile("Numbered_001.sna", {0});
    ASSERT_NE(save_find_enum(name, 's', nullptr), nullptr);
    EXPECT_EQ(std::string(name), base + "_002.sna");
    ASSERT_NE(save_find_enum(name, 'p', nullptr), nullptr);
    EXPECT_EQ(std::string(name), base + "_000.png");

    ASSERT_TRUE(loadeject_dsk(path.c_str(), 0, 'd'));
    save_dsk(0);
    EXPECT_TRUE(std::filesystem::exists(base + "_000.bin"));
    EXPECT_TRUE(wasShown(" Writing RAW file ok ! "));
}

TEST_F(MediaLoader, InsertKeyTypesCat) {
    autorun_cat();
    EXPECT_TRUE(autorunInProgress());
    wait(500);
    EXPECT_FALSE(keyDown(0x76)) << "'c' not yet";
    wait(20);
    EXPECT_TRUE(keyDown(0x76)) << "'c' held";
    wait(2000);
    EXPECT_FALSE(autorunInProgress());
    EXPECT_FALSE(keyDown(0x76));
}

TEST_F(MediaLoader, TheLastDiskNamedForADriveWinsAndSpecialFilesAreTold) {
    // Both loads are pending at once, as with -0 A.dsk -0 B.dsk.
    EXPECT_TRUE(load_file_snadsk(image("A.dsk").c_str(), 0));
    EXPECT_TRUE(load_file_snadsk(image("B.dsk").c_str(), 0));
    wait(200);
    EXPECT_TRUE(fd0->diskInserted);
    EXPECT_STREQ(fileName_dsk0_str, "B.dsk");

    std::string dir = std::filesystem::path(image("x.dsk")).parent_path().string() + "/folder.dsk";
    std::filesystem::create_directory(dir);
    EXPECT_FALSE(load_file_snadsk(dir.c_str(), 1));
    EXPECT_TRUE(wasShown("\366 " + dir + " is a directory, not a file ! \367"));
}

TEST(FlipNames, SetRules) {
    using V = std::vector<std::string>;
    EXPECT_EQ(flipSideNameCandidates("Game (Face A).dsk"), V{"Game (Face B).dsk"});
    EXPECT_EQ(flipSideNameCandidates("Disk 1A.dsk"), V{"Disk 1B.dsk"});
    EXPECT_EQ(flipSideNameCandidates("Side 3.cdt"), V{"Side 4.cdt"});
    EXPECT_EQ(flipSideNameCandidates("side 6b.cdt"), V{"side 6a.cdt"});
    EXPECT_EQ(flipSideNameCandidates("SIDE d.cdt"), V{"SIDE c.cdt"});
    EXPECT_EQ(flipSideNameCandidates("side 7.cdt side 2.cdt"), V{"side 7.cdt side 1.cdt"});
    EXPECT_TRUE(flipSideNameCandidates("Game.cdt").empty());
    EXPECT_TRUE(flipSideNameCandidates("Game side ").empty());
}

TEST(FlipNames, TheFirstCandidateThatExistsBesideTheFile) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("kestrix-flip-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string base = dir.string() + "/";
    // "Face A" is tried before "Side 1": its "Face B" is absent, "Side 2" is there.
    std::ofstream(base + "Game Face A Side 2.dsk") << "x";
    fs::create_directory(base + "Other Face B.dsk");  // a directory is no disk
    EXPECT_EQ(findOtherSide(base, "Game Face A Side 1.dsk"), base + "Game Face A Side 2.dsk");
    EXPECT_EQ(findOtherSide(base, (base + "Game Face A Side 1.dsk").c_str()), base + "Game Face A Side 2.dsk")
        << "the name is taken after the last separator of the path";
    std::ofstream(base + "Game Face B Side 1.dsk") << "x";
    EXPECT_EQ(findOtherSide(base, "Game Face A Side 1.dsk"), base + "Game Face B Side 1.dsk") << "the first wins";
    EXPECT_EQ(findOtherSide(base, "Other Face A.dsk"), "");
    EXPECT_EQ(findOtherSide(base, ""), "");
    EXPECT_EQ(findOtherSide(base, nullptr), "");
    fs::remove_all(dir);
}
