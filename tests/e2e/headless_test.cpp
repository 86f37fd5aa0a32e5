#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <fstream>

#include "e2e/headless_run.h"
#include "frontend/window.h"

namespace {

// One headless run: files put into the base directory first ($HOME in them and
// in the options is its path), the exit code (kAnyExit: not looked at), what the
// output must and must not hold.
constexpr int kAnyExit = -100;
struct RunCase {
    const char* name;
    std::vector<std::string> args;
    int exitCode;
    std::vector<std::string> shown, notShown;
    std::vector<std::pair<std::string, std::string>> files = {};
    const char* fifo = nullptr;  // made in the base directory: a special file must end the run, not block it
    bool roms = true;
    rlim_t fileSizeLimit = RLIM_INFINITY;  // bytes a file of the run may hold: a disk that fills up
};

void PrintTo(const RunCase& c, std::ostream* os) { *os << c.name; }

std::string withHome(std::string s, const std::string& home) {
    for (size_t at; (at = s.find("$HOME")) != std::string::npos;) s.replace(at, 5, home);
    return s;
}

// clang-format off
const RunCase kRuns[] = {
    {"MissingOsRomIsNamedAndEndsWithOne", {"--frames=5"}, 1,
     {"$HOME/ROM/Rom CPC 6128 (UK) (Rom A) (1985) (OS v3) [UTILITAIRE] [ROM].rom", "main: CPC can't be started!"}, {},
     {}, nullptr, false},
    // The on-screen text frames its messages with bytes of the font; a terminal gets the message without them.
    {"LogLinesLeaveOutTheOnScreenFrameBytes", {"--frames=2", "-l", "$HOME/missing.rom"}, kAnyExit,
     {"OSD:  ROM missing.rom not found ! \n"}, {"\366", "\367"}},
    // Scripts must see a refused command line: 2.
    {"UnknownOptionIsRefused", {"-q"}, 2, {"-q is invalid or missing an argument - ignored", "Usage: "}, {}},
    {"MissingValueShowsTheUsage", {"--mem="}, 2, {"is missing an argument", "Usage: "}, {}},
    {"BadFrameCountIsRefused", {"--frames=x"}, 2, {"Usage: "}, {}},
    {"NegativeBenchSkipIsRefused", {"--bench-skip=-3"}, 2, {}, {}},
    {"BogusOptionIsRefused", {"--bogus"}, 2, {}, {}},
    {"OversizedMemoryIsRefused", {"--frames=2", "-m", "65536"}, 2, {}, {}},
    {"BenchCountsTheFramesAfterTheSkippedOnes", {"--frames=30", "--bench-skip=12", "--bench"}, 0,
     {"frames 18, seconds "}, {}},
    {"CrtcType3", {"--frames=2", "-t", "3"}, 0, {}, {"Unknown CRTC"}},
    {"CrtcType5IsUnknown", {"--frames=2", "-t", "5"}, kAnyExit, {" changeCRTCType: Unknown CRTC 5"}, {}},
    {"DefaultSectionSkipsTheRest", {"--frames=1"}, kAnyExit, {}, {"Unknown CPC"},
     {{"Kestrix.ini", "[default]\ndefault=y\ncpc=zx81\n"}}},
    {"ConfigurationWithCrLfIsApplied", {"--frames=1"}, kAnyExit, {" chooseCPCType: Unknown CPC zx81"}, {},
     {{"Kestrix.ini", "[default]\r\ndefault=n\r\n\r\ncpc=zx81\r\n"}}},
    {"ConfigurationOver16KbIsReadInPartAndEndsWithOne", {"--frames=1"}, 1,
     {"more than 16 KB: only its first 9 bytes are read", "Unknown CPC zx81"}, {},
     {{"Kestrix.ini", "cpc=zx81\n" + std::string(16380, ';') + "\ncpc=464\n"}}},
    // Each setting and option is taken as given or refused: 1 for the file, 2 for the command line.
    {"BadValueInTheConfigurationEndsWithOne", {"--frames=2"}, 1, {"keymap 'junk' is not char or position"}, {},
     {{"Kestrix.ini", "keymap=junk\n"}}},
    {"UnknownModelIsRefused", {"--frames=2", "-c", "junk"}, 2, {"Unknown CPC junk"}, {}},
    {"UnknownKeymapIsRefused", {"--frames=2", "--keymap=junk"}, 2, {"keymap 'junk' is not char or position"}, {}},
    {"MemoryOfNoExpansionIsRefused", {"--frames=2", "-m", "65"}, 2, {"memory size '65' is not 64, 128"}, {}},
    {"DiskAsTapeIsRefused", {"--frames=2", "-k", "$HOME/x.dsk"}, 2, {"x.dsk is not a file of that kind"}, {},
     {{"x.dsk", "x"}}},
    {"OverlongAutorunIsRefused", {"--frames=2", "-a", std::string(254, 'a')}, 2, {"longer than 253, refused"}, {}},
    {"UntypableAutorunIsRefused", {"--frames=2", "-a", "a~b"}, 2, {"character 126 at 1 cannot be typed"}, {}},
    {"StrayArgumentOfNoKnownKindIsRefused", {"--frames=2", "stray"}, 2, {"stray is neither an option nor a file"}, {}},
    {"StrayFileLoadsByItsExtension", {"--frames=20", "$HOME/junk.dsk"}, 1, {"junk.dsk: not a DSK image"}, {},
     {{"junk.dsk", std::string(600, 'j')}}},
    // A file that did not load: 1.
    {"MissingDiskEndsWithOne", {"--frames=2", "-0", "$HOME/missing.dsk"}, 1, {"missing.dsk not found"}, {}},
    {"DiskReadAfterTheStartEndsWithOne", {"--frames=20", "-0", "$HOME/junk.dsk"}, 1, {}, {},
     {{"junk.dsk", std::string(600, 'j')}}},
    {"MissingTapeOfTheConfigurationEndsWithOne", {"--frames=2"}, 1, {}, {},
     {{"Kestrix.ini", "cdt=$HOME/missing.cdt\n"}}},
    {"FifoAsDiskEndsTheRun", {"--frames=2", "-0", "$HOME/fifo"}, 1, {"is a FIFO, not a file"}, {}, {}, "fifo"},
    {"FifoAsTapeEndsTheRun", {"--frames=2", "-k", "$HOME/fifo"}, 1, {"is a FIFO, not a file"}, {}, {}, "fifo"},
    {"WavThatCannotBeMadeEndsWithOne", {"--frames=2", "--record-wav=$HOME/none/a.wav"}, 1,
     {"Cannot record the sound to a.wav"}, {}},
    {"TapeTurboIsOnOrOff", {"--frames=2", "--tape-turbo=fast"}, 2, {"tape turbo 'fast' is not on or off"}, {}},
    {"FifoAsConfigurationIsSkipped", {"--frames=2"}, 0, {"Kestrix.ini is a FIFO, not a file"}, {}, {}, "Kestrix.ini"},
    // A save that failed: 1, the file and the reason named, the file that was there (files) as it was.
    {"SnapshotOntoAFullDiskEndsWithOne", {"--frames=2", "--snapshot=/dev/full"}, 1,
     {"snapshot /dev/full not written: No space left on device"}, {}},
    {"SnapshotTooLargeKeepsTheOldOne", {"--frames=2", "--snapshot=$HOME/good.sna"}, 1,
     {"snapshot $HOME/good.sna not written: File too large"}, {}, {{"good.sna", "GOOD"}}, nullptr, true, 4096},
    {"ScreenshotOntoAFullDiskEndsWithOne", {"--frames=2", "--screenshot=/dev/full"}, 1,
     {"cannot write /dev/full: No space left on device"}, {}},
    {"ScreenshotTooLargeKeepsTheOldOne", {"--frames=2", "--screenshot=$HOME/good.png"}, 1,
     {"cannot write $HOME/good.png: File too large"}, {}, {{"good.png", "GOOD"}}, nullptr, true, 512},
    {"NewDiskOntoAnExistingFileEndsWithOne", {"--frames=2", "--new-disk=$HOME/old.dsk"}, 1,
     {"new-disk: $HOME/old.dsk exists"}, {}, {{"old.dsk", "OLD"}}},
    {"NewDiskInAMissingFolderEndsWithOne", {"--frames=2", "--new-disk=$HOME/none/new.dsk"}, 1,
     {"new-disk: $HOME/none/new.dsk not created: cannot write to $HOME/none"}, {}},
};
// clang-format on

class Headless : public ::testing::TestWithParam<RunCase> {};

TEST_P(Headless, RunEndsAsScriptsExpect) {
    const RunCase& c = GetParam();
    if (c.roms) SKIP_WITHOUT_SHARED_ROMS();
    TempKestrixHome home(c.roms);
    for (const auto& [name, contents] : c.files) home.writeFile(name, withHome(contents, home.path()));
    if (c.fifo) {
        ASSERT_EQ(mkfifo(home.file(c.fifo).c_str(), 0600), 0);
    }
    std::vector<std::string> args;
    for (const std::string& a : c.args) args.push_back(withHome(a, home.path()));
    const auto start = std::chrono::steady_clock::now();
    // The run inherits the limit; the soft one goes back up afterwards.
    rlimit unlimited{};
    getrlimit(RLIMIT_FSIZE, &unlimited);
    const rlimit limit = {std::min(c.fileSizeLimit, unlimited.rlim_max), unlimited.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limit);
    HeadlessResult r = runKestrixHeadless(home.path(), args);
    setrlimit(RLIMIT_FSIZE, &unlimited);
    if (c.fifo) {
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    }
    if (c.exitCode != kAnyExit) {
        EXPECT_EQ(r.exitCode, c.exitCode) << r.output;
    }
    for (const std::string& text : c.shown)
        EXPECT_NE(r.output.find(withHome(text, home.path())), std::string::npos) << r.output;
    for (const std::string& text : c.notShown) EXPECT_EQ(r.output.find(text), std::string::npos) << r.output;
    for (const auto& [name, contents] : c.files) {
        const std::vector<uint8_t> now = fileBytes(home.file(name));
        EXPECT_EQ(std::string(now.begin(), now.end()), withHome(contents, home.path())) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, Headless, ::testing::ValuesIn(kRuns),
                         [](const ::testing::TestParamInfo<RunCase>& info) { return std::string(info.param.name); });

// What a new user types first: no ROMs, no display, no base directory set up.
TEST(CommandLineRequests, HelpAndVersionGoToStandardOutputBeforeAnythingStarts) {
    TempKestrixHome empty(false);
    const std::string errPath = empty.file("stderr.txt");
    auto run = [&](const std::string& option, std::string& out, std::string& err) {
        const int status = runCommand("DISPLAY= KESTRIX_HOME=" + shellQuote(empty.path()) + " " +
                                          shellQuote(KESTRIX_EXE) + " " + option + " 2>" + shellQuote(errPath),
                                      &out);
        std::ifstream in(errPath);
        err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return status;
    };
    std::string out, err;
    EXPECT_EQ(run("--help", out, err), 0) << out << err;
    EXPECT_EQ(err, "") << "nothing else ran: no ROM looked for, no log";
    EXPECT_EQ(out.rfind("Usage: ", 0), 0u) << "no log prefix:\n" << out;
    for (const char* option :
         {"--help",     "--fullscreen", "--windowx",     "--windowy",    "--nosound",   "--digiblaster", "--volsound",
          "--joystick", "--scanlines",  "--cpc=",        "--crtc=",      "--mem=",      "--dsk0=",       "--dsk1=",
          "--tape=",    "--cpr=",       "--sna=",        "--snr=",       "--urom=",     "--rom=",        "--lrom=",
          "--autotape", "--auto=",      "--gunstick",    "--diskwrite=", "--new-disk=", "--keymap=",     "--version",
          "--headless", "--frames=",    "--screenshot=", "--bench",      "--snapshot=", "--bench-skip="}) {
        EXPECT_NE(out.find(option), std::string::npos) << option << " is not listed:\n" << out;
    }
    EXPECT_EQ(run("--headless -h", out, err), 0);
    EXPECT_EQ(out.rfind("Usage: ", 0), 0u) << out;
    EXPECT_EQ(run("--version", out, err), 0) << out << err;
    EXPECT_EQ(out.rfind(std::string(KestrixVersionText) + "\n", 0), 0u) << out;
    EXPECT_EQ(err, "");
    // An argument that reads like an option is still the argument.
    EXPECT_EQ(run("--headless --frames=1 -a --help", out, err), 1) << out << err;
    EXPECT_EQ(out.find("Usage: "), std::string::npos) << out;
}

}  // namespace
