// The program as a person uses it: a real window under Xvfb, looked at with
// screenshots, typed at, clicked, driven with the function keys through
// xdotool, and listened to through SDL's file-writing audio driver.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "frontend/missing_rom_window.h"
#include "imggen/font_glyphs.h"
#include "support/disk_test_support.h"
#include "support/window_test_images.h"
#include "window_xvfb_session.h"

namespace {

using test_support::RgbaImage;
using test_support::ScreenText;
using window_test::findIcon;
using window_test::KestrixWindow;
namespace fs = std::filesystem;

constexpr int kStripTop = 548;

// '*' is SHIFT with the key right of L (host ';'): keys go by position.
const std::vector<std::string> kPrint6Times7 = {"p", "r",     "i", "n", "t", "space", "6", "shift+semicolon",
                                                "7", "Return"};

// Polls for the thing itself, with a deadline generous enough for a busy machine.
bool eventually(const std::function<bool()>& check) { return pollFor(60, check); }

class WindowedKestrix : public window_test::XvfbTest {};

TEST_F(WindowedKestrix, ShowsTheBasicScreenAboveTheStatusStrip) {
    KestrixWindow k;
    if (!open(k)) return;
    EXPECT_EQ(k.title(), "Kestrix v2005");
    int w = 0, h = 0;
    ASSERT_TRUE(k.geometry(w, h));
    EXPECT_EQ(std::pair(w, h), std::pair(768, 582));
    if (!reachBasic(k)) return;
    ScreenText screen = k.readScreen();
    EXPECT_TRUE(screen.contains("BASIC 1.1")) << screen.dump();

    RgbaImage shot;
    ASSERT_TRUE(k.screenshot(shot));
    // Run, drives, tape, monitor, sound ("on after start-up"), input, model and flag, left to right.
    const std::pair<const char*, SDL_Rect> strip[] = {
        {"play", {}},  {"disk0", {24, 0, 12, 11}}, {"disk1", {24, 0, 12, 11}}, {"minis_k70", {}}, {"color", {}},
        {"music", {}}, {"joystick_no", {}},        {"6128", {32, 16, 24, 16}}, {"flag_uk", {}}};
    int left = -1;
    for (const auto& [icon, covered] : strip) {
        const int at = findIcon(shot, icon, covered, icon == std::string("flag_uk") ? 564 : kStripTop);
        EXPECT_GT(at, left) << icon << " is not right of the icon before it";
        left = at;
    }

    // F7: the next presented frame goes to a numbered PNG.
    ASSERT_TRUE(k.key("F7"));
    eventually([&] { return k.log().find(".png ok !") != std::string::npos; });
    const std::string log = k.log();
    EXPECT_NE(log.find("Writing PNG image"), std::string::npos) << log;
    EXPECT_NE(log.find(".png ok !"), std::string::npos) << log;

    // A typed line is answered by BASIC.
    ASSERT_TRUE(k.typeKeys(kPrint6Times7));
    EXPECT_TRUE(k.waitForText(" 42", 60, &screen)) << screen.dump();
    EXPECT_TRUE(screen.contains("print 6*7")) << screen.dump();
    closeAndExpectCleanExit(k);
    EXPECT_NE(k.log().find("Thread returned value: 0"), std::string::npos) << k.log();
}

TEST_F(WindowedKestrix, F11SwitchesToFullScreenAndBack) {
    KestrixWindow k;
    if (!open(k, {}, true)) return;
    ASSERT_TRUE(k.key("F11"));
    int w = 0, h = 0;
    RgbaImage root, shot;
    // 1280 x 1024: the picture at 1:1, centred across, from the top; black beside it and no status strip below.
    auto rgb = [&root](int x, int y) { return root.at(x, y) & 0xFFFFFF; };
    EXPECT_TRUE(eventually([&] {
        return k.geometry(w, h) && std::pair(w, h) == std::pair(1280, 1024) && k.screenshotRoot(root) &&
               rgb(100, 300) == 0 && rgb(1200, 300) == 0 && rgb(256 + 400, 1000) == 0 && rgb(256 + 400, 300) != 0;
    })) << w
        << "x" << h;
    ASSERT_TRUE(k.key("F11"));
    EXPECT_TRUE(eventually([&] {
        return k.geometry(w, h) && std::pair(w, h) == std::pair(768, 582) && k.screenshot(shot) &&
               findIcon(shot, "play") >= 0;
    })) << w
        << "x" << h << ", the strip is back";
    EXPECT_TRUE(k.readScreen().contains("Ready"));
    closeAndExpectCleanExit(k);
}

TEST_F(WindowedKestrix, ClosingTheWindowDuringStartUpEndsTheProgramCleanly) {
    KestrixWindow k;
    if (!open(k)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    closeAndExpectCleanExit(k);
}

// A SAVE is in the file soon after the drive stops, before the program ends: killed then, it is there next time.
TEST_F(WindowedKestrix, SaveSurvivesTheProgramBeingKilled) {
    SKIP_WITHOUT_SHARED("media/cpcrogue.dsk");
    const std::vector<uint8_t> original = fileBytes(sharedPath("media/cpcrogue.dsk"));
    const std::string disk = disk_test::writeTempFile("cpcrogue.dsk", original);
    {
        KestrixWindow k;
        if (!open(k, {"-0", disk, "-a", "10 PRINT 6*7\rSAVE \"TEST\"\r"})) return;
        EXPECT_TRUE(eventually([&] { return fileBytes(disk) != original; })) << k.log();
        ASSERT_TRUE(k.kill()) << "the program ended by itself:\n" << k.log();
    }
    KestrixWindow again;
    if (!open(again, {"-0", disk, "-a", "cat\r"})) return;
    ScreenText screen;
    EXPECT_TRUE(again.waitForText("TEST    .BAS", 60, &screen)) << screen.dump();
    closeAndExpectCleanExit(again);
    EXPECT_EQ(fileBytes(disk + ".bak"), original);
}

TEST_F(WindowedKestrix, WithoutImagesTheStripIsEmptyAndTheMachineRuns) {
    KestrixWindow k(false);
    if (!open(k, {}, true)) return;
    RgbaImage shot;
    ASSERT_TRUE(k.screenshot(shot));
    int coloured = 0;
    for (int y = kStripTop; y < 582; ++y)
        for (int xx = 0; xx < 768; ++xx) coloured += (shot.at(xx, y) & 0xFFFFFF) != 0xFFFFFF;
    EXPECT_EQ(coloured, 0) << "an empty, white strip";
    EXPECT_NE(k.log().find("main: SDL_readFileBMP: - SDL_Error:"), std::string::npos) << k.log();
    closeAndExpectCleanExit(k);
}

// The program's own font, as the window without ROMs draws its text.
test_support::RomFont programFont() {
    uint8_t glyphs[2048];
    for (int code = 0; code < 256; ++code) {
        const GlyphRows g = fontGlyph(static_cast<uint8_t>(code));
        for (int r = 0; r < 8; ++r) glyphs[code * 8 + r] = g.rows[r];
    }
    test_support::RomFont font;
    font.loadFromBytes(glyphs);
    return font;
}

TEST_F(WindowedKestrix, WithoutTheOsRomAWindowNamesTheFolderAndTheFilesUntilClosed) {
    const test_support::RomFont font = programFont();
    // Ended once with a key, once by closing the window.
    for (bool byKey : {true, false}) {
        KestrixWindow k(true, false);
        ASSERT_TRUE(k.start());
        ASSERT_FALSE(k.waitForWindow(60, kMissingRomWindowTitle).empty()) << k.log();
        const std::string folder = "  " + k.home().path() + "/ROM/";
        const std::string os = "  missing  Rom CPC 6128 (UK) (Rom A) (1985) (OS v3) [UTILITAIRE] [ROM].rom";
        ScreenText screen;
        RgbaImage shot;
        EXPECT_TRUE(eventually([&] {
            if (!k.screenshot(shot)) return false;
            screen = test_support::readScreenText(shot, font);
            return screen.contains(folder) && screen.contains(os);
        })) << screen.dump();
        EXPECT_TRUE(screen.contains("  missing  AMSDOS.ROM")) << screen.dump();
        EXPECT_TRUE(screen.contains("Close this window or press a key to quit.")) << screen.dump();
        ASSERT_FALSE(k.waitForWindow(60, kMissingRomWindowTitle).empty()) << "the window waits for the user";
        if (byKey) {
            ASSERT_TRUE(k.key("space"));
        } else {
            ASSERT_TRUE(k.requestClose());
        }
        EXPECT_EQ(k.waitForExit(), 1) << k.log();
        EXPECT_NE(k.log().find("main: CPC can't be started!"), std::string::npos) << k.log();
    }
}

// F6: numbered snapshots beside the loaded disk, or in the directory "filepathsna" names.
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

// Typing, clicking and pasting: the virtual keyboard window, single-key taps, the character keymap,
// Shift+Insert and the F12 input cycle, each checked on what the window shows.

constexpr double kDeadlineSeconds = 60;

class WindowedInput : public window_test::XvfbTest {
protected:
    // Starts kestrix and waits for BASIC; false when it does not get there.
    static bool openAtBasic(KestrixWindow& k, const std::vector<std::string>& args = {}) {
        return open(k, args, true) && runCommand("xdotool windowfocus --sync " + k.windowId()) == 0;
    }
    static bool xdo(const std::string& args) { return runCommand("xdotool " + args) == 0; }
    // Text on the screen row under `text`, `length` characters from its column.
    static std::string answerUnder(const ScreenText& screen, const std::string& text, int length) {
        test_support::TextPosition at = screen.find(text);
        return at.found() ? screen.slice(at.row + 1, at.column, length) : "";
    }
};

TEST_F(WindowedInput, KeyboardWindowClicksTypeAndRightClicksLatchShift) {
    KestrixWindow k;
    if (!openAtBasic(k)) return;
    RgbaImage shot;
    ASSERT_TRUE(k.screenshot(shot));
    const int icon = window_test::findIcon(shot, "keyboard");
    ASSERT_GE(icon, 0);
    ASSERT_TRUE(xdo("mousemove --window " + k.windowId() + " " + std::to_string(icon + 8) + " 560 click 1"));
    std::string keyboardWindow;
    ASSERT_TRUE(eventually([&] {
        runCommand("xdotool search --onlyvisible --name '^Virtual Keyboard Window$'", &keyboardWindow);
        return !keyboardWindow.empty() && keyboardWindow.find('\n') > 0;
    }));
    keyboardWindow = keyboardWindow.substr(0, keyboardWindow.find('\n'));
    // Side by side: screenshots of the main window show what lies on top of it.
    ASSERT_TRUE(xdo("windowmove --sync " + keyboardWindow + " 0 0"));
    ASSERT_TRUE(xdo("windowmove --sync " + k.windowId() + " 0 320"));
    auto click = [&](int x, int y, int button) {
        return xdo("mousemove --window " + keyboardWindow + " " + std::to_string(x) + " " + std::to_string(y) +
                   " click " + std::to_string(button));
    };
    ScreenText screen;
    ASSERT_TRUE(click(80, 140, 1));  // Q
    EXPECT_TRUE(k.waitForText("q", kDeadlineSeconds, &screen)) << screen.dump();
    ASSERT_TRUE(click(40, 220, 3));  // SHIFT latched
    ASSERT_TRUE(click(90, 180, 1));  // A
    EXPECT_TRUE(k.waitForText("qA", kDeadlineSeconds, &screen)) << screen.dump();
    ASSERT_TRUE(click(570, 40, 3));  // the release area lets SHIFT go
    ASSERT_TRUE(click(90, 180, 1));
    EXPECT_TRUE(k.waitForText("qAa", kDeadlineSeconds, &screen)) << screen.dump();
}

TEST_F(WindowedInput, SixLinesOfSingleKeyTapsAllReachBasic) {
    KestrixWindow k;
    if (!openAtBasic(k)) return;
    // One xdotool call per key, each a press and release at once.
    for (int n = 1; n <= 6; ++n) {
        const std::vector<std::string> keys = {
            "p", "r", "i", "n", "t", "space", std::to_string(n), "shift+semicolon", "1", "1", "Return"};
        for (const std::string& key : keys) {
            ASSERT_TRUE(xdo("key " + key));
        }
    }
    ScreenText screen;
    ASSERT_TRUE(k.waitForText("print 6*11", kDeadlineSeconds, &screen)) << screen.dump();
    ASSERT_TRUE(eventually([&] {
        screen = k.readScreen();
        return answerUnder(screen, "print 6*11", 4) == " 66 ";
    })) << screen.dump();
    for (int n = 1; n <= 6; ++n) {
        char line[16], answer[8];
        std::snprintf(line, sizeof line, "print %d*11", n);
        std::snprintf(answer, sizeof answer, " %d ", 11 * n);
        EXPECT_EQ(answerUnder(screen, line, 4), answer) << screen.dump();
    }
}

TEST_F(WindowedInput, CharacterKeymapTypesTheHostsCharactersAndShiftInsertPastes) {
    KestrixWindow k;
    if (!openAtBasic(k, {"--keymap=char"})) return;
    // On the host's US layout '*' is Shift+8, which by position is '('.
    ASSERT_TRUE(xdo("type 'print 6*7'"));
    ASSERT_TRUE(xdo("key Return"));
    ScreenText screen;
    ASSERT_TRUE(eventually([&] {
        screen = k.readScreen();
        return answerUnder(screen, "print 6*7", 4) == " 42 ";
    })) << screen.dump();

    if (runCommand("command -v xclip >/dev/null") != 0) GTEST_SKIP() << "xclip missing (scripts/setup.sh installs it)";
    // xclip stays in the background to serve the clipboard until the X server ends.
    ASSERT_EQ(runCommand("printf 'print 2+2\\n' | xclip -selection clipboard >/dev/null 2>&1"), 0);
    ASSERT_TRUE(xdo("key shift+Insert"));
    ASSERT_TRUE(eventually([&] {
        screen = k.readScreen();
        return answerUnder(screen, "print 2+2", 3) == " 4 ";
    })) << screen.dump();
}

TEST_F(WindowedInput, HoldingPageUpGoesBackInTimeAndLettingGoRunsOn) {
    // The top row counts emulated seconds, from a snapshot of the program running, so that every state kept
    // to go back to runs it (typed keys are not in the states).
    TempKestrixHome maker;
    const std::string running = maker.file("counting.sna");
    ASSERT_EQ(runKestrixHeadless(maker.path(), {"--frames=600", "-a", "10 LOCATE 1,1:PRINT INT(TIME/300);\r20 GOTO 10\rRUN\r",
                                                "--snapshot=" + running})
                  .exitCode,
              0);
    KestrixWindow k;
    if (!openAtBasic(k, {"-s", running})) return;
    ScreenText screen;
    auto seconds = [&] {
        screen = k.readScreen();
        const test_support::TextPosition banner = screen.find("Amstrad 128K");
        if (!banner.found()) return -1;
        const std::string top = screen.slice(banner.row - 1, 0, banner.column + 8);
        return top.find_first_of("0123456789") == std::string::npos ? -1 : std::atoi(top.c_str());
    };
    int reached = -1;
    ASSERT_TRUE(eventually([&] { return (reached = seconds()) >= 20; })) << screen.dump();
    ASSERT_TRUE(xdo("keydown Prior"));
    const bool wentBack = eventually([&] {
        const int now = seconds();
        return now >= 0 && now <= reached - 4;
    });
    ASSERT_TRUE(xdo("keyup Prior"));
    EXPECT_TRUE(wentBack) << "held at " << reached << " s: " << screen.dump();
    const int back = seconds();
    EXPECT_TRUE(eventually([&] { return seconds() > back + 1; })) << "runs on from " << back << ": " << screen.dump();
}

TEST_F(WindowedInput, F12CyclesNoneJoystickLightGunAndTheInputIconFollows) {
    KestrixWindow k;
    if (!open(k)) return;
    auto iconShown = [&](const std::string& name) {
        return eventually([&] {
            RgbaImage shot;
            return k.screenshot(shot) && window_test::findIcon(shot, name) >= 0;
        });
    };
    EXPECT_TRUE(iconShown("joystick_no"));
    for (const char* next : {"joystick", "GunStick", "joystick_no"}) {
        ASSERT_TRUE(k.key("F12"));
        EXPECT_TRUE(iconShown(next)) << next;
    }
}

// What the program plays, caught with SDL's file-writing audio driver while BASIC is told to SOUND a tone.

constexpr double kRate = 44100.0;

// SOUND 1,142,200,15: channel A, tone period 142 (1 MHz / 16 / 142 = 440 Hz),
// two seconds, full volume.
const std::vector<std::string> kSoundCommand = {"s", "o",     "u", "n", "d", "space", "1", "comma", "1",     "4",
                                                "2", "comma", "2", "0", "0", "comma", "1", "5",     "Return"};

struct Capture {
    bool ran = false;
    std::string why;
    size_t bytes = 0;
    std::vector<float> left;  // the left channel
    std::string figures;      // the program's figures of the queue, at its end
};

std::vector<float> leftChannel(const std::string& path, size_t* bytes) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    *bytes = raw.size();
    std::vector<float> left;
    for (size_t i = 0; i + 8 <= raw.size(); i += 8) {
        float sample;
        std::memcpy(&sample, &raw[i], sizeof sample);
        left.push_back(sample);
    }
    return left;
}

// The sounding part: from the first to the last sample away from the level
// the output rests at.
std::pair<size_t, size_t> soundingSpan(const std::vector<float>& s) {
    if (s.empty()) return {0, 0};
    float rest = s.front();
    size_t first = s.size(), last = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if (std::fabs(s[i] - rest) > 1e-4f) {
            first = std::min(first, i);
            last = i;
        }
    }
    return first < s.size() ? std::make_pair(first, last + 1) : std::make_pair(size_t(0), size_t(0));
}

// The tone's frequency over `n` samples from `from`: whole periods between the
// first and the last rise through the middle of the swing (with hysteresis).
double toneFrequency(const std::vector<float>& s, size_t from, size_t n) {
    const auto [lo, hi] =
        std::minmax_element(s.begin() + static_cast<long>(from), s.begin() + static_cast<long>(from + n));
    const float mid = (*lo + *hi) / 2, band = (*hi - *lo) / 4;
    size_t rises = 0, first = 0, last = 0;
    bool high = s[from] > mid;
    for (size_t i = from; i < from + n; ++i) {
        if (!high && s[i] > mid + band) {
            high = true;
            if (rises++ == 0) first = i;
            last = i;
        } else if (high && s[i] < mid - band) {
            high = false;
        }
    }
    return rises < 2 ? 0 : static_cast<double>(rises - 1) * kRate / static_cast<double>(last - first);
}

float peakToPeak(const std::vector<float>& s, size_t from, size_t to) {
    auto [lo, hi] = std::minmax_element(s.begin() + static_cast<long>(from), s.begin() + static_cast<long>(to));
    return *hi - *lo;
}

class SoundFromBasic : public window_test::XvfbTest {
protected:
    // Starts kestrix with `args`, plays the tone from BASIC and closes it; the disk driver sleeps `delay` ms
    // (and a little more) a chunk of 11.6 ms, a device clock some percent fast or slow.
    Capture play(const std::vector<std::string>& args, const char* delay = "11") {
        Capture c;
        KestrixWindow k;
        std::string file = k.home().path() + "/audio.raw";
        k.setEnv("SDL_AUDIODRIVER", "disk");
        k.setEnv("SDL_DISKAUDIOFILE", file);
        k.setEnv("SDL_DISKAUDIODELAY", delay);
        if (!open(k, args, true) || !k.typeKeys(kSoundCommand)) {
            c.why = "no BASIC prompt to type at";
            return c;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(3000));
        closeAndExpectCleanExit(k);
        c.ran = true;
        c.left = leftChannel(file, &c.bytes);
        const std::string log = k.log();
        c.figures = log.substr(std::min(log.find("audio: queue after"), log.size()));
        return c;
    }

    // Typed keys can be lost on a heavily loaded machine; a few tries tell that from a silent AY.
    Capture playSounding(const std::vector<std::string>& args, const char* delay) {
        Capture c;
        for (int attempt = 0; attempt < 3; ++attempt) {
            c = play(args, delay);
            auto span = soundingSpan(c.left);
            if (!c.ran || span.second - span.first > 65536u) break;
        }
        return c;
    }
};

// The sound at most 50 ms late on average. How far the queue strayed and how often it ran dry depend on how
// busy the host is (the simulated device of AudioLatency holds those to their bounds): printed, not checked.
void expectLatencyHeld(const Capture& c) {
    double low = 0, high = 0, latency = 99;
    unsigned underruns = 99;
    std::sscanf(c.figures.c_str(), "audio: queue after each push %*f ms on average (%lf to %lf), target %*f ms; "
                "latency %lf ms (the queue's mean %*f ms and the device buffer %*f ms); %u", &low, &high, &latency,
                &underruns);
    EXPECT_LE(latency, 50) << c.figures;
    std::printf("queue %.1f to %.1f ms, latency %.1f ms, %u underruns\n", low, high, latency, underruns);
}

// With the device's clock off (one way, then the other), the pitch stays and the queue holds.
TEST_F(SoundFromBasic, ToneIs440HzAndVolume64HalvesIt) {
    Capture full = playSounding({}, "10");
    expectLatencyHeld(full);
    ASSERT_TRUE(full.ran) << full.why;
    auto [from, to] = soundingSpan(full.left);
    ASSERT_GT(to, 0u) << "no sound in " << full.bytes << " bytes after three tries";
    ASSERT_GT(to - from, 65536u) << "the two-second tone is there";
    const size_t n = 32768;
    size_t middle = from + (to - from - n) / 2;
    double f = toneFrequency(full.left, middle, n);
    EXPECT_NEAR(f, 440.0, 2.2);

    Capture half = playSounding({"-v", "64"}, "12");
    expectLatencyHeld(half);
    ASSERT_TRUE(half.ran) << half.why;
    auto [hFrom, hTo] = soundingSpan(half.left);
    ASSERT_GT(hTo - hFrom, 65536u);
    float fullSwing = peakToPeak(full.left, from, to);
    float halfSwing = peakToPeak(half.left, hFrom, hTo);
    EXPECT_NEAR(halfSwing / fullSwing, 0.5, 0.02);
    std::printf("tone %.2f Hz; volume 64 gives %.3f of the swing\n", f, halfSwing / fullSwing);
    EXPECT_NEAR(toneFrequency(half.left, hFrom + (hTo - hFrom - n) / 2, n), 440.0, 2.2);
}

TEST_F(SoundFromBasic, NoSoundOptionWritesNoSamples) {
    Capture silent = play({"-n"});
    ASSERT_TRUE(silent.ran) << silent.why;
    auto [from, to] = soundingSpan(silent.left);
    EXPECT_EQ(to, 0u) << "nothing but silence";
    // The device is only open while the options are read.
    EXPECT_LT(silent.bytes, static_cast<size_t>(kRate * 8)) << "less than a second was written";
    (void)from;
}

}  // namespace
