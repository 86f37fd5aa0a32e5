// Loading, ejecting and flipping disks and tapes by file name (and the names of
// the other side of a set), the numbered save names, the Insert-key catalogue
// and the tape autorun, with timed actions on emulated time.
#include "frontend/media_loader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "disk/fdc765.h"
#include "frontend/autorun.h"
#include "frontend/flip_names.h"
#include "frontend/frontend_test_helpers.h"
#include "frontend/media_tape.h"
#include "machine/cpc.h"
#include "machine/cpu.h"
#include "machine/emulation_thread.h"
#include "machine/frontend_hooks.h"
#include "machine/keyboard.h"
#include "machine/model.h"
#include "machine/text_buffers.h"
#include "machine/timed_actions.h"
#include "support/disk_test_support.h"
#include "support/tape_test_support.h"
#include "support/temp_home.h"
#include "tape/tape_drive.h"

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
    // A drive as the user sees it: a disk in or not, its name, its eject icon.
    static std::string drive(int unit) {
        return std::string((unit ? fd1 : fd0)->diskInserted ? "in " : "empty ") +
               (unit ? fileName_dsk1_str : fileName_dsk0_str) + " eject " + std::to_string(t_eject_disk[unit]);
    }
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
    EXPECT_EQ(drive(0), "in Game.DSK eject 1");
    EXPECT_TRUE(wasShown("A:\\Game.DSK"));

    // The configuration passes the name in fullFileNameStr, which the load also writes.
    copyToTextBuffer(fullFileNameStr, image("Config.dsk").c_str());
    EXPECT_TRUE(load_file_snadsk(fullFileNameStr, 0));
    wait(100);
    EXPECT_STREQ(fileName_dsk0_str, "Config.dsk");

    // Into drive B as well.
    EXPECT_TRUE(load_file_snadsk(image("Other.dsk").c_str(), 1));
    wait(100);
    EXPECT_EQ(drive(1), "in Other.dsk eject 1");
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
    EXPECT_EQ(drive(0), "empty  eject 0");
    EXPECT_TRUE(wasShown("A:\\Disk ejected !"));

    // Each refusal names the file and the reason.
    const std::tuple<std::string, char, std::string> refused[] = {
        {writeTempFile("Junk.dsk", std::vector<uint8_t>(1000, 0x20)), 'd', "Junk.dsk: not a DSK image !"},
        {writeTempFile("Empty.dsk", {}), 'd', "Empty.dsk: empty file !"},
        {path, 'h', "Work.dsk: not an HFE image !"},
        {path, 'x', "Work.dsk: not a disk image !"}};  // a kind without a reader
    for (const auto& [file, kind, why] : refused) {
        EXPECT_FALSE(loadeject_dsk(file.c_str(), 1, kind));
        EXPECT_EQ(drive(1), "empty  eject 0");
        EXPECT_TRUE(wasShown("\366 " + why + " \367")) << why;
    }
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
    EXPECT_EQ(drive(0), "in Game (Face B).dsk eject 1");
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
    EXPECT_EQ(std::tuple(autorunInProgress(), keyDown(0x76)), std::tuple(false, false));
}

TEST_F(MediaLoader, TheLastDiskNamedForADriveWinsAndSpecialFilesAreTold) {
    // Both loads are pending at once, as with -0 A.dsk -0 B.dsk.
    EXPECT_TRUE(load_file_snadsk(image("A.dsk").c_str(), 0));
    EXPECT_TRUE(load_file_snadsk(image("B.dsk").c_str(), 0));
    wait(200);
    EXPECT_EQ(drive(0), "in B.dsk eject 1");

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
    TempKestrixHome dir(false);
    const std::string base = dir.path() + "/";
    // "Face A" is tried before "Side 1": its "Face B" is absent, "Side 2" is there.
    std::ofstream(base + "Game Face A Side 2.dsk") << "x";
    std::filesystem::create_directory(base + "Other Face B.dsk");  // a directory is no disk
    EXPECT_EQ(findOtherSide(base, "Game Face A Side 1.dsk"), base + "Game Face A Side 2.dsk");
    EXPECT_EQ(findOtherSide(base, (base + "Game Face A Side 1.dsk").c_str()), base + "Game Face A Side 2.dsk")
        << "the name is taken after the last separator of the path";
    std::ofstream(base + "Game Face B Side 1.dsk") << "x";
    EXPECT_EQ(findOtherSide(base, "Game Face A Side 1.dsk"), base + "Game Face B Side 1.dsk") << "the first wins";
    EXPECT_EQ(findOtherSide(base, "Other Face A.dsk"), "");
    EXPECT_EQ(findOtherSide(base, ""), "");
    EXPECT_EQ(findOtherSide(base, nullptr), "");
}

// Tapes by file name: loading, refusing, the GX4000, the tape autorun and flipping sides.
namespace {

class TapeMedia : public TapeDeckTest {
protected:
    std::vector<std::string>& osd = shownTexts;
    void SetUp() override {
        TapeDeckTest::SetUp();
        shownTexts.clear();
        frontendHooks.showOSDText = captureShownText;
    }
    void TearDown() override {
        frontendHooks.showOSDText = FrontendHooks{}.showOSDText;
        autorunCancel();
        delete fdc;
        fdc = nullptr;
        TapeDeckTest::TearDown();
    }
    std::string writeTape(const std::string& name, uint16_t toneCount = 5) {
        Bytes image = cdtHeader();
        image.insert(image.end(), {0x12, 0xE8, 0x03, uint8_t(toneCount), uint8_t(toneCount >> 8)});
        return scratch.write(name, image);
    }
    static void advanceMs(uint32_t ms) { advanceEmulatedTime(ms * 1000); }
    // The deck as the user sees it: a tape in or not, its name and whether it has pulses.
    static std::string deck() {
        return std::string(t_loadeject_cdt ? "in " : "empty ") + fileName_cdt_str +
               (tape->pulseCount ? " pulses" : " none");
    }
};

TEST_F(TapeMedia, LoadAndEjectATape) {
    std::string path = writeTape("Game.cdt");
    EXPECT_TRUE(load_tape_file(path.c_str()));
    EXPECT_EQ(deck(), "in Game.cdt pulses");
    EXPECT_EQ(osd.back(), "Game.cdt");
    EXPECT_GT(tape->pulseCount, 5u);

    eject_cdt();
    EXPECT_EQ(deck(), "empty  none");
    EXPECT_EQ(osd.back(), "Tape ejected !");
}

TEST_F(TapeMedia, FailedLoadsSayWhyAndLeaveTheDeckEmpty) {
    ASSERT_TRUE(load_tape_file(writeTape("Game.TZX").c_str())) << "extensions in any case";
    const std::string missing = scratch.file("missing.cdt");
    const std::pair<std::string, std::string> refused[] = {
        {scratch.write("broken.csw", {'n', 'o', 'p', 'e'}),
         "broken.csw: This file is not a Compressed Square Wave - id != 'Compressed Square Wave' !"},
        {scratch.write("broken.wav", {'n'}), "broken.wav: This file is not a WAVE - id != 'RIFF' !"},
        {scratch.write("broken.cdt", {'n'}), "broken.cdt: not a TZX tape image - id != 'ZXTape!' !"},
        {scratch.write("cut.csw", join({cswHeaderV2(44100, 9, 2, 0), {0x78, 0x9C, 0x63}})),
         "cut.csw: the compressed pulses are damaged (zlib error -3) !"},
        {missing, missing + " not found !"}};
    for (const auto& [file, why] : refused) {
        EXPECT_FALSE(load_tape_file(file.c_str())) << file;
        EXPECT_EQ(osd.back(), "\366 " + why + " \367");
        EXPECT_EQ(tape->pulseCount, 0u) << "the old tape went out first";
    }
}

TEST_F(TapeMedia, AnEmptyImageIsRefusedAndTheTapeInTheDeckStays) {
    ASSERT_TRUE(load_tape_file(writeTape("Game.cdt").c_str()));
    const uint32_t pulses = tape->pulseCount;
    const Bytes wavHeaderOnly = {'R',  'I',  'F', 'F', 36,   0,    0, 0, 'W', 'A', 'V', 'E',
                                 'f',  'm',  't', ' ', 16,   0,    0, 0, 1,   0,   1,   0,
                                 0x44, 0xAC, 0,   0,   0x44, 0xAC, 0, 0, 1,   0,   8,   0};
    const std::pair<std::string, Bytes> empties[] = {{"empty.cdt", cdtHeader()}, {"empty.wav", wavHeaderOnly}};
    for (const auto& [name, image] : empties) {
        EXPECT_FALSE(load_tape_file(scratch.write(name, image).c_str())) << name;
        EXPECT_EQ(tape->pulseCount, pulses) << name;
        EXPECT_EQ(deck(), "in Game.cdt pulses") << name;
    }
    EXPECT_EQ(osd.back(), "\366 empty.wav: holds no samples, refused ! \367");
}

TEST_F(TapeMedia, TheGx4000HasNoTapeDeck) {
    cpcType = GX4000;
    EXPECT_FALSE(load_tape_file(writeTape("Game.cdt").c_str()));
    EXPECT_EQ(tape->pulseCount, 0u);
}

TEST_F(TapeMedia, AutorunPressesPlayThenTypesTheCommand) {
    ASSERT_TRUE(load_tape_file(writeTape("Game.cdt").c_str()));
    autorun_cdt(2000);
    EXPECT_TRUE(autorunInProgress());
    advanceMs(1999);
    EXPECT_FALSE(tape->playKey);
    advanceMs(1);
    EXPECT_TRUE(tape->playKey) << "play goes down after the delay";
    advanceMs(511);
    EXPECT_FALSE(keyDown(0x62));
    advanceMs(1);
    EXPECT_TRUE(keyDown(0x62)) << "R, 512 ms after play";
    EXPECT_TRUE(keyDown(0x25)) << "with SHIFT";
    advanceMs(30);
    EXPECT_FALSE(keyDown(0x62)) << "held one 30 ms key period";
    EXPECT_FALSE(keyDown(0x25));
    advanceMs(30);
    EXPECT_TRUE(keyDown(0x52)) << "U";

    autorun_cdt(0);  // ignored while one runs
    int returns = 0;
    bool wasDown = false;
    for (int ms = 0; ms < 3000 && autorunInProgress(); ++ms) {
        advanceMs(1);
        bool down = keyDown(0x06);
        returns += down && !wasDown;
        wasDown = down;
    }
    EXPECT_EQ(std::tuple(autorunInProgress(), returns, allKeysUp()), std::tuple(false, 20, true));
}

TEST_F(TapeMedia, ModelsWithADiskInterfaceSwitchToTapeFirst) {
    fdc = new FDCupd765();
    // The keys of "|tape" (or "|tqpe") as they go down, one entry per press.
    auto typeTapeCommand = [] {
        std::vector<uint8_t> typed;
        autorun_cdt(0);
        for (int ms = 0; ms < 512 + 60 * 4 + 30; ++ms) {
            advanceMs(1);
            for (uint8_t code : {0x32, 0x63, 0x85, 0x33, 0x72, 0x35, 0x83}) {
                if (keyDown(code) && (typed.empty() || typed.back() != code)) typed.push_back(code);
            }
        }
        return typed;
    };
    EXPECT_EQ(typeTapeCommand(), (std::vector<uint8_t>{0x32, 0x63, 0x85, 0x33, 0x72})) << "|tape";
    advanceMs(3000);

    cpcLang = LangFrench;
    EXPECT_EQ(typeTapeCommand(), (std::vector<uint8_t>{0x32, 0x63, 0x83, 0x33, 0x72}))
        << "|tqpe on the AZERTY keyboard";
}

TEST_F(TapeMedia, FlipLoadsTheOtherSideFromTheTapesDirectory) {
    writeTape("Game (Side 2).cdt", 9);
    ASSERT_TRUE(load_tape_file(writeTape("Game (Side 1).cdt").c_str()));
    EXPECT_TRUE(flipTapeSide());
    EXPECT_EQ(deck(), "in Game (Side 2).cdt pulses");
    EXPECT_FALSE(flipTapeSide()) << "a second flip within a second is ignored";
    advanceMs(1000);
    EXPECT_TRUE(flipTapeSide());
    EXPECT_STREQ(fileName_cdt_str, "Game (Side 1).cdt");

    advanceMs(1000);
    ASSERT_TRUE(load_tape_file(writeTape("Other (Side 1).cdt").c_str()));
    EXPECT_FALSE(flipTapeSide()) << "no other side on disk";
    EXPECT_EQ(deck(), "in Other (Side 1).cdt pulses");
}

// Autorun typing on emulated time: storage of the text, the key sequence with
// SHIFT, timing, an untypable character and a second start taking over.

using frontend_test::allKeysUp;

struct Press {
    uint32_t atMs;  // since the start of the test
    uint8_t code;
    bool shift;
    uint32_t releasedMs = 0;
};

class Autorun : public ::testing::Test {
protected:
    void SetUp() override {
        allocateTextBuffers();
        beginCPC();
        cPCKeyBoard->reset();
        savedHeadless = headlessMode;
        headlessMode = true;
        clearTimedActions();
        autorunCancel();
        startUs = emulatedTimeMicroseconds();
    }
    void TearDown() override {
        autorunCancel();
        clearTimedActions();
        headlessMode = savedHeadless;
        endCPC();
    }

    uint32_t nowMs() const { return static_cast<uint32_t>((emulatedTimeMicroseconds() - startUs) / 1000); }

    // Runs emulated time in 1 ms steps and records every key that goes down.
    std::vector<Press> record(uint32_t ms) {
        std::vector<Press> presses;
        uint8_t before[16];
        std::memcpy(before, cPCKeyBoard->matrix, 16);
        for (uint32_t i = 0; i < ms; ++i) {
            advanceEmulatedTime(1000);
            const uint8_t* now = cPCKeyBoard->matrix;
            const bool shift = !(now[2] & 0x20);
            for (int line = 0; line < 16; ++line) {
                const uint8_t pressed = before[line] & ~now[line];
                const uint8_t released = now[line] & ~before[line];
                for (int bit = 0; bit < 8; ++bit) {
                    const uint8_t code = static_cast<uint8_t>(line * 16 + bit);
                    if ((pressed >> bit & 1) && code != kCpcKeyShift) presses.push_back({nowMs(), code, shift});
                    if (released >> bit & 1) {
                        for (Press& p : presses)
                            if (p.code == code && !p.releasedMs) p.releasedMs = nowMs();
                    }
                }
            }
            std::memcpy(before, now, 16);
        }
        return presses;
    }

    bool savedHeadless = false;
    uint64_t startUs = 0;
};

// The presses as "code" each, or with `times` "code pressed-released" and S for SHIFT held.
std::string typed(const std::vector<Press>& presses, bool times = false) {
    std::string out;
    for (const Press& p : presses) {
        char one[48];
        std::snprintf(one, sizeof one, times ? "%s%02X %u-%u" : "%s%02X", p.shift ? "S" : "", p.code, p.atMs,
                      p.releasedMs);
        out += (out.empty() ? "" : ", ") + std::string(one);
    }
    return out;
}

TEST_F(Autorun, TextIsStoredReversedBehindReturn) {
    setAutorunText("run\"x");
    EXPECT_EQ(std::string(autorun_dsk_str) + " at " + std::to_string(autorun_dsk_str_idx), "\rx\"nur at 5");
    EXPECT_TRUE(autorunInProgress()) << "pending until typed";

    const std::string longText(600, 'k');
    sendAutorunText(longText.c_str());
    EXPECT_EQ(autorun_dsk_str_idx, kAutorunMaxChars);
    EXPECT_EQ(std::strlen(autorun_dsk_str), kAutorunMaxChars + 1u);
}

TEST_F(Autorun, TypesEachKeyForOnePeriodAfterTheDelay) {
    setAutorunText("aB1");
    autorun_dsk(kAutorunOptionDelayMs, kAutorunKeyPeriodMs);
    EXPECT_EQ(typed(record(1999)), "");
    EXPECT_TRUE(autorunInProgress());

    // a, B with SHIFT, 1 on the keypad, then RETURN (keypad ENTER), each held 30 ms.
    EXPECT_EQ(typed(record(500), true), "85 2000-2030, S66 2060-2090, 15 2120-2150, 06 2180-2210");
    EXPECT_EQ(std::tuple(allKeysUp(), autorunInProgress()), std::tuple(true, false));
    EXPECT_EQ(autorun_dsk_key[0], 0);
}

TEST_F(Autorun, UntypableCharacterEndsTyping) {
    setAutorunText("a~b");
    autorun_dsk(0, 30);
    EXPECT_EQ(typed(record(1000)), "85");
    EXPECT_EQ(std::tuple(allKeysUp(), autorunInProgress()), std::tuple(true, false))
        << "the rest is dropped, so later autoruns are not blocked";

    setAutorunText("c");
    autorun_dsk(0, 30);
    EXPECT_EQ(typed(record(200)), "76, 06");
}

TEST_F(Autorun, SecondStartTakesOver) {
    setAutorunText("abc");
    autorun_dsk(0, 30);
    record(40);  // 'a' typed, 'b' pending
    setAutorunText("z");
    autorun_dsk(10, 30);
    EXPECT_EQ(typed(record(500)), "87, 06") << "only the new text is typed";
    EXPECT_TRUE(allKeysUp());
}

TEST_F(Autorun, StartWhileAKeyIsHeldReleasesIt) {
    setAutorunText("x");
    autorun_dsk(0, 30);
    advanceEmulatedTime(1000);
    ASSERT_EQ(cPCKeyBoard->matrix[7], 0x7F);
    setAutorunText("");
    autorun_dsk(100, 30);
    EXPECT_TRUE(allKeysUp());
    EXPECT_EQ(typed(record(300)), "06") << "an empty text types RETURN alone";
}

}  // namespace
