// What the program plays, caught with SDL's file-writing audio driver while
// BASIC is told to SOUND a tone in a real window under Xvfb.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
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
const std::vector<std::string> kSoundCommand = {
    "s", "o", "u", "n", "d", "space", "1", "comma", "1", "4", "2", "comma", "2", "0", "0", "comma", "1", "5", "Return"};

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

void fft(std::vector<std::complex<double>>& a) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        double angle = -2 * M_PI / static_cast<double>(len);
        std::complex<double> step(std::cos(angle), std::sin(angle));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> w(1);
            for (size_t k = 0; k < len / 2; ++k) {
                auto u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= step;
            }
        }
    }
}

// The strongest frequency above 50 Hz of `n` samples from `from`.
double dominantFrequency(const std::vector<float>& s, size_t from, size_t n) {
    double mean = 0;
    for (size_t i = 0; i < n; ++i) mean += s[from + i];
    mean /= static_cast<double>(n);
    std::vector<std::complex<double>> a(n);
    for (size_t i = 0; i < n; ++i) {
        double hann = 0.5 - 0.5 * std::cos(2 * M_PI * static_cast<double>(i) / static_cast<double>(n - 1));
        a[i] = (s[from + i] - mean) * hann;
    }
    fft(a);
    size_t best = 0;
    double bestMagnitude = 0;
    for (size_t k = static_cast<size_t>(50.0 * n / kRate); k < n / 2; ++k) {
        if (std::abs(a[k]) > bestMagnitude) {
            bestMagnitude = std::abs(a[k]);
            best = k;
        }
    }
    // Between the bins, by the parabola through the peak and its neighbours.
    double l = std::abs(a[best - 1]), c = std::abs(a[best]), r = std::abs(a[best + 1]);
    double offset = 0.5 * (l - r) / (l - 2 * c + r);
    return (static_cast<double>(best) + offset) * kRate / static_cast<double>(n);
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
    double f = dominantFrequency(full.left, middle, n);
    EXPECT_NEAR(f, 440.0, 4.4);

    Capture half = playSounding({"-v", "64"});
    ASSERT_TRUE(half.ran) << half.why;
    auto [hFrom, hTo] = soundingSpan(half.left);
    ASSERT_GT(hTo - hFrom, 65536u);
    float fullSwing = peakToPeak(full.left, from, to);
    float halfSwing = peakToPeak(half.left, hFrom, hTo);
    EXPECT_NEAR(halfSwing / fullSwing, 0.5, 0.02);
    std::printf("tone %.2f Hz; volume 64 gives %.3f of the swing\n", f, halfSwing / fullSwing);
    EXPECT_NEAR(dominantFrequency(half.left, hFrom + (hTo - hFrom - n) / 2, n), 440.0, 4.4);
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
