#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <fstream>

#include "frontend/window.h"
#include "e2e/headless_run.h"

namespace {

class Headless : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_SHARED_ROMS();
    }
};

TEST_F(Headless, EveryCpcModelStarts) {
    TempKestrixHome home;
    for (const char* model : {"464", "664", "6128"}) {
        HeadlessResult r = runKestrixHeadless(home.path(), {"--frames=50", "-c", model});
        EXPECT_EQ(r.exitCode, 0) << model << "\n" << r.output;
        EXPECT_EQ(r.output.find("can't be started"), std::string::npos) << r.output;
    }
}

TEST(HeadlessNoRoms, MissingOsRomIsReportedAndEndsWithOne) {
    TempKestrixHome home(false);
    HeadlessResult r = runKestrixHeadless(home.path(), {"--frames=5"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find(home.path() + "/ROM/Rom CPC 6128 (UK) (Rom A) (1985) (OS v3) [UTILITAIRE] [ROM].rom"),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("main: CPC can't be started!"), std::string::npos) << r.output;
}

// What a new user types first: no ROMs, no display, no base directory set up.
TEST(CommandLineRequests, HelpAndVersionGoToStandardOutputBeforeAnythingStarts) {
    TempKestrixHome empty(false);
    auto run = [&](const std::string& option, std::string& out, std::string& err) {
        const std::string errPath = empty.path() + "/stderr.txt";
        const std::string command = "DISPLAY= KESTRIX_HOME='" + empty.path() + "' '" + KESTRIX_EXE + "' " + option +
                                    " 2>'" + errPath + "'";
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe) return -1;
        out.clear();
        char chunk[4096];
        size_t n;
        while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) out.append(chunk, n);
        const int status = pclose(pipe);
        std::ifstream in(errPath);
        err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    std::string out, err;
    EXPECT_EQ(run("--help", out, err), 0) << out << err;
    EXPECT_EQ(err, "") << "nothing else ran: no ROM looked for, no log";
    EXPECT_EQ(out.rfind("Usage: ", 0), 0u) << "no log prefix:\n" << out;
    for (const char* option :
         {"--help", "--fullscreen", "--windowx", "--windowy", "--nosound", "--digiblaster", "--volsound", "--joystick",
          "--scanlines", "--cpc=", "--crtc=", "--mem=", "--dsk0=", "--dsk1=", "--tape=", "--cpr=", "--sna=", "--snr=",
          "--urom=", "--rom=", "--lrom=", "--autotape", "--auto=", "--gunstick", "--diskwrite=", "--new-disk=",
          "--keymap=", "--version", "--headless", "--frames=", "--screenshot=", "--bench", "--snapshot=",
          "--bench-skip="}) {
        EXPECT_NE(out.find(option), std::string::npos) << option << " is not listed:\n" << out;
    }
    EXPECT_EQ(run("--headless -h", out, err), 0);
    EXPECT_EQ(out.rfind("Usage: ", 0), 0u) << out;
    EXPECT_EQ(run("--version", out, err), 0) << out << err;
    EXPECT_EQ(out, std::string(KestrixVersionText) + "\n");
    EXPECT_EQ(err, "");
    // An argument that reads like an option is still the argument.
    EXPECT_EQ(run("--headless --frames=1 -a --help", out, err), 1) << out << err;
    EXPECT_EQ(out.find("Usage: "), std::string::npos) << out;
}

// The on-screen text frames its messages with bytes that are glyphs of the font;
// a terminal gets the message without them.
TEST_F(Headless, LogLinesLeaveOutTheOnScreenFrameBytes) {
    TempKestrixHome home;
    HeadlessResult r = runKestrixHeadless(home.path(), {"--frames=2", "-l", home.path() + "/missing.rom"});
    EXPECT_NE(r.output.find("OSD:  ROM missing.rom not found ! \n"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find('\366'), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find('\367'), std::string::npos) << r.output;
}

TEST_F(Headless, CommandLineErrorsEndTheProgram) {
    TempKestrixHome home;
    HeadlessResult unknown = runKestrixHeadless(home.path(), {"-q"});
    EXPECT_EQ(unknown.exitCode, 2) << "scripts must see a refused command line";
    EXPECT_NE(unknown.output.find("-q is invalid or missing an argument - ignored"), std::string::npos)
        << unknown.output;
    EXPECT_NE(unknown.output.find("Usage: "), std::string::npos);

    HeadlessResult empty = runKestrixHeadless(home.path(), {"--mem="});
    EXPECT_NE(empty.output.find("is missing an argument"), std::string::npos) << empty.output;
    EXPECT_NE(empty.output.find("Usage: "), std::string::npos) << "headless, a missing value shows the usage";
    EXPECT_EQ(empty.exitCode, 2);

    HeadlessResult help = runKestrixHeadless(home.path(), {"-h"});
    EXPECT_NE(help.output.find("  -c, --cpc=464, 664, 6128, 464+, 6128+ or gx4000"), std::string::npos);
    EXPECT_NE(help.output.find("--screenshot="), std::string::npos) << "the headless options are listed too";
    EXPECT_EQ(help.exitCode, 0);

    HeadlessResult badFrames = runKestrixHeadless(home.path(), {"--frames=x"});
    EXPECT_EQ(badFrames.exitCode, 2);
    EXPECT_NE(badFrames.output.find("Usage: "), std::string::npos);
    HeadlessResult badSkip = runKestrixHeadless(home.path(), {"--bench-skip=-3"});
    EXPECT_EQ(badSkip.exitCode, 2);
}

// The benchmark measures only the frames after the skipped ones.
TEST_F(Headless, BenchCountsTheFramesAfterTheSkippedOnes) {
    TempKestrixHome home;
    HeadlessResult r = runKestrixHeadless(home.path(), {"--frames=30", "--bench-skip=12", "--bench"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.output.find("frames 18, seconds "), std::string::npos) << r.output;
}

TEST_F(Headless, CrtcTypesOfTheUsageTextAreAccepted) {
    TempKestrixHome home;
    for (const char* type : {"0", "1", "2", "3", "4"}) {
        HeadlessResult r = runKestrixHeadless(home.path(), {"--frames=2", "-t", type});
        EXPECT_EQ(r.exitCode, 0) << type;
        EXPECT_EQ(r.output.find("Unknown CRTC"), std::string::npos) << type << "\n" << r.output;
    }
    HeadlessResult r = runKestrixHeadless(home.path(), {"--frames=2", "-t", "5"});
    EXPECT_NE(r.output.find(" changeCRTCType: Unknown CRTC 5"), std::string::npos) << r.output;
}

TEST_F(Headless, ConfigurationFileAndDefaultSkip) {
    TempKestrixHome home;
    home.writeFile("Kestrix.ini", "[default]\ndefault=y\ncpc=zx81\n");
    HeadlessResult skipped = runKestrixHeadless(home.path(), {"--frames=1"});
    EXPECT_EQ(skipped.output.find("Unknown CPC"), std::string::npos) << "skipped lines are not applied";
    home.writeFile("Kestrix.ini", "[default]\r\ndefault=n\r\n\r\ncpc=zx81\r\n");
    HeadlessResult applied = runKestrixHeadless(home.path(), {"--frames=1"});
    EXPECT_NE(applied.output.find(" chooseCPCType: Unknown CPC zx81"), std::string::npos) << applied.output;
    home.writeFile("Kestrix.ini", std::string(16385, ';'));
    HeadlessResult large = runKestrixHeadless(home.path(), {"--frames=1"});
    EXPECT_NE(large.output.find("is more than 16kb !!!"), std::string::npos) << large.output;
}

}  // namespace

namespace {

// What scripts rely on: 2 for a refused command line, 1 for a file that did not
// load, and special files that end the run at once instead of blocking it.
TEST_F(Headless, ExitCodesScriptsCanTrust) {
    TempKestrixHome home;
    EXPECT_EQ(runKestrixHeadless(home.path(), {"--bogus"}).exitCode, 2);
    EXPECT_EQ(runKestrixHeadless(home.path(), {"--frames=2", "-m", "65536"}).exitCode, 2);
    HeadlessResult missing = runKestrixHeadless(home.path(), {"--frames=2", "-0", home.path() + "/missing.dsk"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.output.find("missing.dsk not found"), std::string::npos) << missing.output;
    std::string junk = home.path() + "/junk.dsk";
    std::ofstream(junk) << std::string(600, 'j');
    EXPECT_EQ(runKestrixHeadless(home.path(), {"--frames=20", "-0", junk}).exitCode, 1) << "a disk read after the start";
    home.writeFile("Kestrix.ini", "cdt=" + home.path() + "/missing.cdt\n");
    EXPECT_EQ(runKestrixHeadless(home.path(), {"--frames=2"}).exitCode, 1);
    std::remove((home.path() + "/Kestrix.ini").c_str());

    std::string fifo = home.path() + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const char* option : {"-0", "-k"}) {
        auto start = std::chrono::steady_clock::now();
        HeadlessResult r = runKestrixHeadless(home.path(), {"--frames=2", option, fifo});
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.output.find("is a FIFO, not a file"), std::string::npos) << r.output;
    }
    ASSERT_EQ(mkfifo((home.path() + "/Kestrix.ini").c_str(), 0600), 0);
    HeadlessResult ini = runKestrixHeadless(home.path(), {"--frames=2"});
    EXPECT_EQ(ini.exitCode, 0);
    EXPECT_NE(ini.output.find("Kestrix.ini is a FIFO, not a file"), std::string::npos) << ini.output;
}

}  // namespace
