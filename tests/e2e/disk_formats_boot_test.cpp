// Real disks end to end: a booted 6128 in this process catalogues one through
// AMSDOS and saves and loads a program on a blank image; HFE, IPF and RAW copies,
// named on the command line, boot the game, as the DSK does, to its kept title
// picture; and saved work is written back.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <thread>

#include "disk/floppy_drive.h"
#include "e2e/headless_run.h"
#include "e2e/window_xvfb_session.h"
#include "frontend/autorun.h"
#include "frontend/disk_writeback.h"
#include "frontend/frontend_services.h"
#include "frontend/icons.h"
#include "frontend/main_loop.h"
#include "frontend/media_loader.h"
#include "machine/base_path.h"
#include "machine/cpc.h"
#include "machine/emulation_thread.h"
#include "machine/frontend_hooks.h"
#include "machine/text_buffers.h"
#include "machine/timed_actions.h"
#include "support/archive_writer.h"
#include "support/disk_image_writers.h"
#include "support/disk_test_support.h"
#include "support/machine_fixture.h"
#include "support/sna_test_support.h"

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

// Saved work survives: a program SAVEd on a copy of a real disk is in the file
// after the disk leaves the drive (eject click, another disk, model change,
// end of a headless run), under every write policy, on a new blank disk, and a
// directory that cannot be written is reported without touching the file.
namespace fs = std::filesystem;

namespace {

std::string lastShown;
void captureOsd(const char* text) { lastShown = text; }

const char kSaveProgram[] = "10 PRINT 6*7\rSAVE \"TEST\"\r";
const char kLoadProgram[] = "cat\rLOAD \"TEST\"\rRUN\r";

size_t occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

std::vector<std::string> filesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class WriteBack : public Machine {
protected:
    WriteBack() : Machine({.toBasic = true, .buildLater = true}) {}
    void SetUp() override {
        Machine::SetUp();
        if (IsSkipped()) return;
        SKIP_WITHOUT_SHARED("media/cpcrogue.dsk");
        original = fileBytes(sharedPath("media/cpcrogue.dsk"));
        disk = disk_test::writeTempFile("cpcrogue.dsk", original);
        dir = fs::path(disk).parent_path();
        diskWritePolicy = DiskWritePolicy::Back;
    }
    // In this process: a 6128 at the BASIC prompt with the copy in drive A.
    void boot() {
        build();
        ASSERT_TRUE(loadeject_dsk(disk.c_str(), 0, 'd'));
    }
    // The file now holds the program: a run of the binary lists it and runs it.
    void expectProgramOnDisk() {
        EXPECT_EQ(fileBytes(disk + ".bak"), original);
        EXPECT_NE(fileBytes(disk), original);
        expectProgramIn(disk);
    }
    // A run of the binary lists the program on `file` and runs it.
    void expectProgramIn(const std::string& file) {
        ScreenRun next = runToScreenshot(home, 900, {"-0", file, "-a", kLoadProgram});
        ASSERT_TRUE(next.ok()) << next.pictureError << next.process.output;
        ScreenText text = readScreenText(next.picture, font);
        EXPECT_TRUE(text.contains("TEST    .BAS")) << text.dump();
        EXPECT_TRUE(text.contains(" 42")) << text.dump();
    }

    std::vector<uint8_t> original;
    std::string disk;
    fs::path dir;
};

}  // namespace

TEST_F(WriteBack, DiskLeavingTheDriveIsWrittenBack) {
    std::string other = disk_test::writeTempFile("other.dsk", original);
    const std::function<void()> leave[] = {
        [] {  // a click on the drive
            statusImages[imgDisk0].rect = {100, 560, 40, 20};
            button_x = 110;
            button_y = 570;
            checkClickButton();
            EXPECT_EQ(lastShown, "\366 Disk A written back to cpcrogue.dsk \367");
        },
        [&] {  // another disk dropped on it
            load_file_snadsk(other.c_str(), 0);
            frames(20);
            EXPECT_EQ(std::string(fileName_dsk0_str), "other.dsk");
            EXPECT_EQ(lastShown, "A:\\other.dsk (cpcrogue.dsk written back)");
        },
        [] { EXPECT_TRUE(chooseCPCType("464")); },  // a model without drives
    };
    frontendHooks.showOSDText = captureOsd;
    for (const auto& how : leave) {
        disk = disk_test::writeTempFile("cpcrogue.dsk", original);
        fs::remove(disk + ".bak");
        boot();
        type(kSaveProgram, 300);
        EXPECT_TRUE(fd0->diskChanged);
        EXPECT_EQ(fileBytes(disk), original);  // nothing written while the disk is in use
        how();
        expectProgramOnDisk();
        takeDown();
    }
    EXPECT_EQ(fileBytes(other), original);
    frontendHooks.showOSDText = FrontendHooks{}.showOSDText;
}

// A file another name, the other drive or another program shares is not replaced behind their back; a link is
// followed to its file.
TEST_F(WriteBack, SharedFileGetsACopyAndALinkItsFile) {
    const std::pair<const char*, const char*> cases[] = {  // the name loaded ("": changed on the host), the message
        {"link.dsk", "Disk A written back to cpcrogue.dsk"}, {"hard.dsk", "(hard.dsk has other hard links)"},
        {"cpcrogue.dsk", "(cpcrogue.dsk is also in drive B)"},
        {"", "(cpcrogue.dsk changed on the host since it was loaded)"}};
    frontendHooks.showOSDText = captureOsd;
    for (auto [loaded, shown] : cases) {
        SCOPED_TRACE(shown);
        for (const std::string& name : filesIn(dir)) fs::remove(dir / name);
        disk = disk_test::writeTempFile("cpcrogue.dsk", original);
        const std::string name = *loaded ? loaded : "cpcrogue.dsk";
        if (name == "link.dsk") fs::create_symlink(disk, dir / name);
        if (name == "hard.dsk") fs::create_hard_link(disk, dir / name);
        build();
        EXPECT_TRUE(loadeject_dsk((dir / name).c_str(), 0, 'd'));
        EXPECT_TRUE(!*loaded || name != "cpcrogue.dsk" || loadeject_dsk(disk.c_str(), 1, 'd'));
        type(kSaveProgram, 300);
        if (!*loaded) std::ofstream(disk, std::ios::binary | std::ios::app) << '!';
        const std::vector<uint8_t> before = fileBytes(disk);
        EXPECT_TRUE(writeBackDisk(0));
        EXPECT_NE(lastShown.find(shown), std::string::npos) << lastShown;
        EXPECT_EQ(fileBytes(disk) == before, name != "link.dsk");
        EXPECT_EQ(fs::exists(dir / (name.substr(0, name.size() - 4) + "_000.dsk")), name != "link.dsk");
        EXPECT_EQ(fs::is_symlink(dir / "link.dsk"), name == "link.dsk");
        takeDown();
    }
    frontendHooks.showOSDText = FrontendHooks{}.showOSDText;
}

// Each signal that asks a program to end (terminal, session, user) ends the run the ordinary way, which writes
// the changed disks back.
class StopSignals : public WriteBack, public ::testing::WithParamInterface<std::pair<const char*, int>> {};

TEST_P(StopSignals, EndTheRunTheOrdinaryWay) {
    mainLoopEnd = 0;
    installStopSignals();
    std::raise(GetParam().second);
    EXPECT_EQ(mainLoopEnd, 1);
    mainLoopEnd = 0;
    for (int number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) std::signal(number, SIG_DFL);
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignals,
                         ::testing::Values(std::pair{"Interrupt", SIGINT}, std::pair{"Terminate", SIGTERM},
                                           std::pair{"HangUp", SIGHUP}, std::pair{"Quit", SIGQUIT}),
                         [](const auto& info) { return std::string(info.param.first); });

// The binary, headless, one run per step as a user would.
class WriteBackRuns : public WriteBack {
protected:
    HeadlessResult runWith(std::vector<std::string> args, const char* text, int frameCount = 700) {
        args.push_back("--frames=" + std::to_string(frameCount));
        if (*text) args.insert(args.end(), {"-a", text});
        return runKestrixHeadless(home.path(), args);
    }
};

TEST_F(WriteBackRuns, SavedProgramIsThereNextRunAndTheGameStillRuns) {
    HeadlessResult first = runWith({"-0", disk}, kSaveProgram);
    EXPECT_NE(first.output.find("Disk A written back to cpcrogue.dsk"), std::string::npos) << first.output;
    EXPECT_EQ(fileBytes(disk + ".bak"), original);
    std::vector<uint8_t> written = fileBytes(disk);
    EXPECT_NE(written, original);

    expectProgramIn(disk);
    EXPECT_EQ(fileBytes(disk), written);  // read only: not written again
    ScreenRun game = runToScreenshot(home, 900, {"-0", disk, "-a", "run\"cpcrogue"});
    ASSERT_TRUE(game.ok()) << game.pictureError << game.process.output;
    EXPECT_TRUE(readScreenText(game.picture, font).contains("PRESS ENTER TO START"));
    EXPECT_EQ(fileBytes(disk + ".bak"), original);
}

TEST_F(WriteBackRuns, CopyPolicyNumbersCopiesAndOffWritesNothing) {
    HeadlessResult first = runWith({"--diskwrite=copy", "-0", disk}, kSaveProgram);
    EXPECT_NE(first.output.find("Disk A written to cpcrogue_000.dsk"), std::string::npos) << first.output;
    home.writeFile("Kestrix.ini", "diskwrite=copy\n");
    runWith({"-0", disk}, kSaveProgram);
    EXPECT_EQ(fileBytes(disk), original);
    EXPECT_EQ(filesIn(dir), (std::vector<std::string>{"cpcrogue.dsk", "cpcrogue_000.dsk", "cpcrogue_001.dsk"}));
    expectProgramIn((dir / "cpcrogue_001.dsk").string());

    fs::remove(dir / "cpcrogue_000.dsk");
    fs::remove(dir / "cpcrogue_001.dsk");
    home.writeFile("Kestrix.ini", "");
    HeadlessResult off = runWith({"--diskwrite=off", "-0", disk}, kSaveProgram);
    EXPECT_NE(off.output.find("changes dropped"), std::string::npos) << off.output;
    EXPECT_EQ(filesIn(dir), std::vector<std::string>{"cpcrogue.dsk"});
    EXPECT_EQ(fileBytes(disk), original);
    EXPECT_NE(runWith({"--diskwrite=sometimes"}, "").output.find("--diskwrite=sometimes is invalid"),
              std::string::npos);
}

TEST_F(WriteBackRuns, PreservationImageGetsANumberedDskCopy) {
    int sides = 0;
    const std::vector<disk_test::MfmTrack> tracks = disk_test::tracksOfDsk(disk, sides);
    ASSERT_FALSE(tracks.empty());
    const std::vector<uint8_t> hfeBytes = disk_test::writeHFE(tracks, 42, sides);
    const std::string hfe = disk_test::writeTempFile("rogue.hfe", hfeBytes);
    HeadlessResult first = runWith({"-0", hfe}, kSaveProgram);
    EXPECT_NE(first.output.find("rogue_000.dsk"), std::string::npos) << first.output;
    EXPECT_EQ(fileBytes(hfe), hfeBytes);
    expectProgramIn((fs::path(hfe).parent_path() / "rogue_000.dsk").string());
}

TEST_F(WriteBackRuns, DiskInAZipCataloguesAndIsSavedBesideTheZip) {
    const std::string zip = (dir / "x.zip").string();
    const std::vector<uint8_t> zipped = zipArchive({{"games/", {}}, {"cpcrogue.dsk", original}});
    std::ofstream(zip, std::ios::binary).write(reinterpret_cast<const char*>(zipped.data()), zipped.size());
    ScreenRun cat = runToScreenshot(home, 450, {"-0", zip, "-a", "cat"});
    ASSERT_TRUE(cat.ok()) << cat.pictureError << cat.process.output;
    EXPECT_TRUE(readScreenText(cat.picture, font).contains("CPCROGUE.BIN"));
    // Named alone, as a desktop opens a file with the program.
    EXPECT_NE(runWith({zip}, kSaveProgram).output.find("Disk A written to x_000.dsk"), std::string::npos);
    EXPECT_EQ(fileBytes(zip), zipped);
    expectProgramIn((dir / "x_000.dsk").string());
}

TEST_F(WriteBackRuns, NewDiskTakesASaveAndIsNeverOverwritten) {
    std::string blank = (dir / "new.dsk").string();
    runWith({"--new-disk=" + blank}, kSaveProgram);
    ASSERT_TRUE(fs::exists(blank));
    expectProgramIn(blank);
    std::vector<uint8_t> before = fileBytes(blank);
    HeadlessResult again = runWith({"--new-disk=" + blank}, "");
    EXPECT_NE(again.output.find("exists"), std::string::npos) << again.output;
    EXPECT_EQ(fileBytes(blank), before);
}

// A snapshot is data from anywhere: the disk it names goes in only from the snapshot's own folder, and even then
// its file is never written, only a numbered copy.
TEST_F(WriteBackRuns, SnapshotReachesNoDiskOutsideItsFolderAndWritesOnlyCopies) {
    ASSERT_EQ(runWith({"--snapshot=" + home.file("plain.sna")}, "", 250).exitCode, 0);
    std::vector<uint8_t> sna = fileBytes(home.file("plain.sna"));
    sna_test::chunk(sna, "DSCA", std::vector<uint8_t>(disk.begin(), disk.end()));
    std::string shown[2];
    for (int beside = 0; beside < 2; ++beside) {
        const std::string at = beside ? disk_test::writeTempFile("beside.sna", sna) : home.write("away.sna", sna);
        // A SAVE seeks past the directory track: the disk ROM in the snapshot
        // expects the controller timings it gave before the snapshot was taken.
        shown[beside] = runWith({"-s", at}, kSaveProgram, 900).output;
        EXPECT_EQ(fileBytes(disk), original);
    }
    EXPECT_NE(shown[0].find("Snapshot disk cpcrogue.dsk is not in the snapshot's folder"), std::string::npos);
    EXPECT_NE(shown[1].find("A:\\cpcrogue.dsk (inserted by the snapshot)"), std::string::npos) << shown[1];
    EXPECT_EQ(filesIn(dir), (std::vector<std::string>{"beside.sna", "cpcrogue.dsk", "cpcrogue_000.dsk"}));
    expectProgramIn((dir / "cpcrogue_000.dsk").string());
}

TEST_F(WriteBackRuns, ReadOnlyDirectoryIsReportedAndTheFileUntouched) {
    // Root ignores permission bits: an immutable directory stands in for a read-only one.
    bool root = geteuid() == 0;
    auto chattr = [&](const char* flag) {
        char command[1024];
        std::snprintf(command, sizeof command, "chattr %s '%s' 2>/dev/null", flag, dir.c_str());
        return std::system(command) == 0;
    };
    if (root ? !chattr("+i") : chmod(dir.c_str(), 0555) != 0) GTEST_SKIP() << "cannot make " << dir << " read-only";
    bool writable = std::ofstream(dir / "probe").good();
    HeadlessResult run = writable ? HeadlessResult{} : runWith({"-0", disk}, kSaveProgram);
    if (root) chattr("-i");
    else chmod(dir.c_str(), 0755);
    if (writable) GTEST_SKIP() << dir << " stays writable";
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_NE(run.output.find("Error writing disk A"), std::string::npos) << run.output;
    EXPECT_EQ(filesIn(dir), std::vector<std::string>{"cpcrogue.dsk"});
    EXPECT_EQ(fileBytes(disk), original);
}

// A run that never ends by itself, killed by the test with SIGKILL.
class KilledRuns : public WriteBackRuns {
protected:
    bool start(window_test::KestrixWindow& run, const char* typed) {
        return run.start({"--headless", "--frames=100000000", "-0", disk, "-a", typed});
    }
    bool fileChanged() { return fileBytes(disk) != original; }
    // The directory as the disk alone, as the test found it.
    void freshDisk() {
        for (const std::string& name : filesIn(dir)) fs::remove(dir / name);
        disk = disk_test::writeTempFile("cpcrogue.dsk", original);
    }
};

TEST_F(KilledRuns, SaveIsInTheFileSoonAfterTheDriveStops) {
    window_test::KestrixWindow run(false);
    ASSERT_TRUE(start(run, kSaveProgram));
    EXPECT_TRUE(pollFor(60, [&] { return fileChanged(); }, 5)) << run.log();
    ASSERT_TRUE(run.kill()) << "the run ended by itself:\n" << run.log();
    EXPECT_EQ(filesIn(dir), (std::vector<std::string>{"cpcrogue.dsk", "cpcrogue.dsk.bak"}));
    expectProgramOnDisk();
}

TEST_F(KilledRuns, KillAtAnyMomentLeavesTheFileAsBeforeOrAfterTheBurst) {
    // Three saves in a row keep the motor on: one burst, one write after it.
    const char burst[] = "SAVE \"A\":SAVE \"B\":SAVE \"C\"\r";
    std::vector<uint8_t> after;
    double writtenAfter = 0;  // seconds from the start
    {
        window_test::KestrixWindow run(false);
        const auto started = std::chrono::steady_clock::now();
        ASSERT_TRUE(start(run, burst));
        ASSERT_TRUE(pollFor(60, [&] { return fileChanged(); }, 5)) << run.log();
        writtenAfter = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        ASSERT_TRUE(run.kill());
        after = fileBytes(disk);
    }
    std::mt19937 random(::testing::UnitTest::GetInstance()->random_seed());
    std::uniform_real_distribution<double> moment(0.8 * writtenAfter, 1.3 * writtenAfter);
    int afterCount = 0;
    const int kills = 20;
    for (int i = 0; i < kills; ++i) {
        const double seconds = moment(random);
        SCOPED_TRACE("killed after " + std::to_string(seconds) + " s");
        freshDisk();
        window_test::KestrixWindow run(false);
        ASSERT_TRUE(start(run, burst));
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        ASSERT_TRUE(run.kill());
        const std::vector<uint8_t> now = fileBytes(disk);
        ASSERT_TRUE(now == original || now == after);
        afterCount += now == after;
        if (fs::exists(disk + ".bak")) {
            EXPECT_EQ(fileBytes(disk + ".bak"), original);
        }
        // What a write killed halfway leaves, beside a file of the user's that only looks like it.
        const std::vector<uint8_t> half(original.begin(), original.begin() + original.size() / 2);
        if (i == 0) {
            disk_test::writeTempFile("cpcrogue.dsk.kestrix-tmp-x1Y2z3", half);
            disk_test::writeTempFile("cpcrogue.dsk.kestrix-notes", half);
        }
        runWith({"-0", disk}, "", 10);  // the next start, long enough for the disk to be loaded
        for (const std::string& name : filesIn(dir)) {
            EXPECT_EQ(name.find(".kestrix-tmp-"), std::string::npos) << name;
        }
        if (i == 0) {
            EXPECT_EQ(fileBytes((dir / "cpcrogue.dsk.kestrix-notes").string()), half);
        }
    }
    // Flushed now: a later fork would write the buffer once more.
    std::printf("%d of %d kills came after the write\n", afterCount, kills);
    std::fflush(stdout);
}

// However long the run goes on: never written when only read, once for one save (not again at the end of the
// run), once more for a second save after a stop; the .bak and the numbered copy made once.
TEST_F(WriteBackRuns, DiskIsWrittenOncePerBurstOfWrites) {
    const std::string pause = ":t=TIME:WHILE TIME<t+2400:WEND:";  // 8 s, the drive stopped
    struct Case {
        const char* name;
        const char* policy;
        std::string typed;
        size_t writes;
        std::vector<std::string> files;
    };
    const Case cases[] = {
        {"only read", "back", "CAT" + pause + "CAT\r", 0, {"cpcrogue.dsk"}},
        {"one save", "back", "SAVE \"A\"" + pause + "CAT\r", 1, {"cpcrogue.dsk", "cpcrogue.dsk.bak"}},
        {"two saves", "back", "SAVE \"A\"" + pause + "SAVE \"B\"\r", 2, {"cpcrogue.dsk", "cpcrogue.dsk.bak"}},
        {"two saves, copy", "copy", "SAVE \"A\"" + pause + "SAVE \"B\"\r", 2, {"cpcrogue.dsk", "cpcrogue_000.dsk"}},
    };
    std::vector<uint8_t> twoSaves;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::string& name : filesIn(dir)) fs::remove(dir / name);
        disk = disk_test::writeTempFile("cpcrogue.dsk", original);
        struct stat before {};
        ASSERT_EQ(stat(disk.c_str(), &before), 0);
        HeadlessResult run = runWith({std::string("--diskwrite=") + c.policy, "-0", disk}, c.typed.c_str(), 1500);
        EXPECT_EQ(occurrences(run.output, "diskwrite: disk A written"), c.writes) << run.output;
        EXPECT_EQ(occurrences(run.output, "(drive stopped)"), c.writes) << run.output;
        EXPECT_EQ(filesIn(dir), c.files);
        if (fs::exists(disk + ".bak")) {
            EXPECT_EQ(fileBytes(disk + ".bak"), original);
        }
        const std::string second = c.files.size() > 1 ? c.files[1] : "";
        if (c.writes == 2 && second == "cpcrogue.dsk.bak") twoSaves = fileBytes(disk);
        if (second == "cpcrogue_000.dsk") {
            EXPECT_EQ(fileBytes((dir / second).string()), twoSaves);
        }
        struct stat now {};
        ASSERT_EQ(stat(disk.c_str(), &now), 0);
        if (c.writes == 0 || std::string(c.policy) == "copy") {
            EXPECT_EQ(now.st_ino, before.st_ino);
            EXPECT_EQ(fileBytes(disk), original);
        }
    }
}
