// Each line of golden_frames.txt: a command line run in this process as the headless program runs it, a frame count,
// and the CRC32s of the frame buffer after the last frame and of every audio sample. KESTRIX_UPDATE_GOLDEN=1
// rewrites the CRCs in the source tree's table after a deliberate change.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "debug/debugger.h"
#include "e2e/headless_run.h"
#include "e2e_cases.h"
#include "machine/emulation_thread.h"
#include "sound/audio_output.h"
#include "sound/wav_recorder.h"
#include "support/frame_record.h"
#include "video/monitor.h"

using namespace test_support;

namespace {

const std::string kTable = std::string(KESTRIX_TEST_SOURCE_DIR) + "/e2e/golden_frames.txt";

struct Golden {
    int frames = 0;
    std::string audio;  // "mono" or "stereo"
    uint32_t picture = 0, sound = 0;
    std::string options;
};

// "FRAMES AUDIO PICTURE SOUND OPTIONS...", the CRCs in hex; false for a
// comment, a blank line or a line that does not read.
bool parseLine(const std::string& line, Golden& g) {
    if (line.empty() || line[0] == '#') return false;
    std::istringstream in(line);
    in >> g.frames >> g.audio >> std::hex >> g.picture >> g.sound;
    if (!in || g.frames <= 0 || (g.audio != "mono" && g.audio != "stereo")) return false;
    std::getline(in >> std::ws, g.options);
    return true;
}

std::string formatLine(const Golden& g) {
    char crcs[32];
    std::snprintf(crcs, sizeof crcs, "%08x %08x", g.picture, g.sound);
    return std::to_string(g.frames) + " " + g.audio + " " + crcs + " " + g.options;
}

// Stops the debugger makes in a run of a line, then lets the machine go:
// `stops` of them, at IM 1's interrupt entry, each let go by a continue, a
// step, a microsecond or a line in turn.
struct Interruptions {
    int stops = 0;
    int made = 0;
};

void letGo(Interruptions& in) {
    ++in.made;
    if (in.made == in.stops) debugger.clear();
    switch (in.made % 4) {
        case 0: debugger.resume(); break;
        case 1: debugger.stepInto(); break;
        case 2: debugger.stepMicro(); break;
        default: debugger.stepLine(); break;
    }
}

// Runs the line; false when it cannot: a file it names is absent (why says
// which), or, a failure, the machine does not start.
bool runGolden(const Golden& g, uint32_t& picture, uint32_t& sound, std::string& why,
               Interruptions* interruptions = nullptr) {
    TempKestrixHome home;
    std::vector<std::string> options;
    if (!e2e::prepareOptions(home, g.options, options, why)) {
        why += " not found";
        return false;
    }
    const AudioMode audio = g.audio == "stereo" ? AudioMode::Stereo : AudioMode::Mono;
    bool started = startInProcessHeadless(home, options, audio);
    EXPECT_TRUE(started) << "the machine did not start with: " << g.options;
    sound = 0;
    if (started && interruptions) {
        BreakPoint entry;
        entry.first = entry.last = 0x0038;
        debugger.add(entry);
    }
    for (int i = 0; started && i < g.frames; ++i) {
        while (!runOneFrame()) letGo(*interruptions);
        if (interruptions && debugger.stopped()) letGo(*interruptions);
        sound = crc32Of(CPC_audio_buffer, CPC_audio_buffer_length * sizeof(float), sound);
        CPC_audio_buffer_length = 0;
    }
    picture = crc32Of(cpcscreenpixels, sizeof cpcscreenpixels);
    stopInProcessHeadless();
    return started;
}

TEST(GoldenFrames, EachCommandLineGivesItsPictureAndSound) {
    SKIP_WITHOUT_SHARED_ROMS();
    std::ifstream in(kTable);
    ASSERT_TRUE(in) << kTable;
    const char* updateVariable = std::getenv("KESTRIX_UPDATE_GOLDEN");
    const bool update = updateVariable && std::string(updateVariable) == "1";
    std::vector<std::string> lines;
    int cases = 0;
    for (std::string line; std::getline(in, line);) {
        Golden g;
        if (parseLine(line, g)) {
            ++cases;
            Golden got = g;
            std::string why;
            if (!runGolden(g, got.picture, got.sound, why)) {
                if (!why.empty()) std::printf("golden frames: skipped (%s): %s\n", why.c_str(), g.options.c_str());
            } else if (update) {
                line = formatLine(got);
            } else {
                EXPECT_EQ(formatLine(got), formatLine(g)) << "picture and audio CRCs";
            }
        }
        lines.push_back(line);
    }
    EXPECT_GT(cases, 0) << "no case read from " << kTable;
    EXPECT_FALSE(debugger.armed()) << "a golden run left the debugger armed";
    if (update) {
        std::ofstream out(kTable, std::ios::trunc);
        for (const std::string& line : lines) out << line << '\n';
        std::printf("golden frames: %d cases written to %s\n", cases, kTable.c_str());
    }
}

// A hundred stops and resumes of the debugger, by every kind of step, leave
// the picture and the sound of a golden line as they are.
TEST(GoldenFrames, AHundredDebuggerStopsChangeNothing) {
    SKIP_WITHOUT_SHARED_ROMS();
    std::ifstream in(kTable);
    int checked = 0;
    for (std::string line; std::getline(in, line);) {
        Golden g;
        if (!parseLine(line, g) || (g.options.find("MODE 2") == std::string::npos &&
                                    g.options.find("asic_interrupts") == std::string::npos))
            continue;
        Interruptions interruptions{100, 0};
        uint32_t picture = 0, sound = 0;
        std::string why;
        if (!runGolden(g, picture, sound, why, &interruptions)) continue;
        ++checked;
        EXPECT_EQ(interruptions.made, 100) << g.options;
        EXPECT_EQ(picture, g.picture) << "picture after " << g.frames << " frames with stops of: " << g.options;
        EXPECT_EQ(sound, g.sound) << "audio of " << g.frames << " frames with stops of: " << g.options;
    }
    debugger.clear();
    if (checked == 0) GTEST_SKIP() << "the golden lines with stops could not run (media or programs missing)";
}

// The program's --record-wav file holds, after its header, exactly the samples
// the frame clock made in this process's run of the same command line.
TEST(GoldenFrames, RecordedWavHoldsTheSamplesOfTheFrameClock) {
    SKIP_WITHOUT_SHARED_ROMS();
    TempKestrixHome home;
    std::vector<std::string> options = {"-c", "6128", "-a", "SOUND 1,142,100,15:SOUND 2,300,100,12,0,0,7"};
    std::vector<int16_t> expected;
    ASSERT_TRUE(startInProcessHeadless(home, options, AudioMode::Mono));
    for (int i = 0; i < 250 && runOneFrame(); ++i, CPC_audio_buffer_length = 0) {
        for (int k = 0; k < CPC_audio_buffer_length; ++k) expected.push_back(wavSampleOf(CPC_audio_buffer[k]));
    }
    stopInProcessHeadless();
    options.insert(options.begin(), {"--frames=250", "--record-wav=" + home.file("a.wav")});
    ASSERT_EQ(runKestrixHeadless(home.path(), options).exitCode, 0);
    const std::vector<uint8_t> wav = fileBytes(home.file("a.wav"));
    ASSERT_EQ(wav.size(), 44 + 2 * expected.size());
    EXPECT_EQ(wav[24] | wav[25] << 8, 44100);
    EXPECT_EQ(std::memcmp(wav.data() + 44, expected.data(), 2 * expected.size()), 0) << "the samples differ";
}

}  // namespace
