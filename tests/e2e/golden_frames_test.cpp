// Each line of golden_frames.txt: a command line run in this process as the headless program runs it, a frame count,
// and the CRC32s of the frame buffer after the last frame and of every audio sample. KESTRIX_UPDATE_GOLDEN=1
// rewrites the CRCs in the source tree's table after a deliberate change.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "e2e_cases.h"
#include "machine/emulation_thread.h"
#include "sound/audio_output.h"
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

// Runs the line; false when it cannot: a file it names is absent (why says
// which), or, a failure, the machine does not start.
bool runGolden(const Golden& g, uint32_t& picture, uint32_t& sound, std::string& why) {
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
    for (int i = 0; started && i < g.frames; ++i) {
        runOneFrame();
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
    if (update) {
        std::ofstream out(kTable, std::ios::trunc);
        for (const std::string& line : lines) out << line << '\n';
        std::printf("golden frames: %d cases written to %s\n", cases, kTable.c_str());
    }
}

}  // namespace
