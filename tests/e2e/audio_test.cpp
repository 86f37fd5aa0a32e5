// What the program plays, caught with SDL's file-writing audio driver while
// BASIC is told to SOUND a tone in a real window under Xvfb.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <thread>
#include <vector>

#include "support/window_test_images.h"
#include "window_xvfb_session.h"

namespace {

using window_test::KestrixWindow;

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
    // Starts kestrix with `args`, plays the tone from BASIC and closes it.
    Capture play(const std::vector<std::string>& args) {
        Capture c;
        KestrixWindow k;
        std::string file = k.home().path() + "/audio.raw";
        k.setEnv("SDL_AUDIODRIVER", "disk");
        k.setEnv("SDL_DISKAUDIOFILE", file);
        if (!open(k, args, true) || !k.typeKeys(kSoundCommand)) {
            c.why = "no BASIC prompt to type at";
            return c;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(3000));
        closeAndExpectCleanExit(k);
        c.ran = true;
        c.left = leftChannel(file, &c.bytes);
        return c;
    }

    // Typed keys can be lost on a heavily loaded machine; a few tries tell that from a silent AY.
    Capture playSounding(const std::vector<std::string>& args) {
        Capture c;
        for (int attempt = 0; attempt < 3; ++attempt) {
            c = play(args);
            auto span = soundingSpan(c.left);
            if (!c.ran || span.second - span.first > 65536u) break;
        }
        return c;
    }
};

TEST_F(SoundFromBasic, ToneIs440HzAndVolume64HalvesIt) {
    Capture full = playSounding({});
    ASSERT_TRUE(full.ran) << full.why;
    auto [from, to] = soundingSpan(full.left);
    ASSERT_GT(to, 0u) << "no sound in " << full.bytes << " bytes after three tries";
    ASSERT_GT(to - from, 65536u) << "the two-second tone is there";
    const size_t n = 32768;
    size_t middle = from + (to - from - n) / 2;
    double f = toneFrequency(full.left, middle, n);
    EXPECT_NEAR(f, 440.0, 4.4);

    Capture half = playSounding({"-v", "64"});
    ASSERT_TRUE(half.ran) << half.why;
    auto [hFrom, hTo] = soundingSpan(half.left);
    ASSERT_GT(hTo - hFrom, 65536u);
    float fullSwing = peakToPeak(full.left, from, to);
    float halfSwing = peakToPeak(half.left, hFrom, hTo);
    EXPECT_NEAR(halfSwing / fullSwing, 0.5, 0.02);
    std::printf("tone %.2f Hz; volume 64 gives %.3f of the swing\n", f, halfSwing / fullSwing);
    EXPECT_NEAR(toneFrequency(half.left, hFrom + (hTo - hFrom - n) / 2, n), 440.0, 4.4);
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
