// The DMA channels: a list played line by line into the AY, seen at each HSYNC end.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "support/asic_test_support.h"

using namespace asic_test;

namespace {

struct Line {
    uint8_t r0, r2, dcsr;
    bool intLine;
};

class AsicDma : public PlusMachine {
protected:
    void SetUp() override {
        PlusMachine::SetUp();
        mem->banks[0][0] = 0x76;  // the processor halts and stays out of the way
        programFirmwareCrtc();
    }
    void list(uint16_t address, const std::vector<uint16_t>& words) {
        for (size_t i = 0; i < words.size(); ++i) {
            const uint16_t a = static_cast<uint16_t>(address + 2 * i);
            mem->banks[a >> 14][a & 0x3FFF] = static_cast<uint8_t>(words[i]);
            mem->banks[a >> 14][(a + 1) & 0x3FFF] = static_cast<uint8_t>(words[i] >> 8);
        }
    }
    // Runs to the end of the next `count` HSYNCs, noting the AY and DCSR after each.
    std::vector<Line> lines(int count) {
        std::vector<Line> seen;
        bool last = crtc->hsync;
        while (static_cast<int>(seen.size()) < count) {
            as->clockMicrosecond();
            if (last && !crtc->hsync) seen.push_back({ay->regs[0], ay->regs[2], as->dcsr, cpu->intLine});
            last = crtc->hsync;
        }
        return seen;
    }
};

TEST_F(AsicDma, ListTimingRepeatLoopIntAndStop) {
    list(0x4000, {0x0011, 0x1002, 0x2003, 0x0201, 0x1001, 0x0202, 0x1001, 0x4001, 0x4010, 0x4020, 0x0033});
    as->mWrite(0x2C00, 0x00);
    as->mWrite(0x2C01, 0x40);
    as->mWrite(0x2C02, 0x00);
    as->mWrite(0x2C0F, 0x01);
    std::vector<Line> seen = lines(26);
    // One instruction a line; PAUSE 2 holds the next fetch two lines; three
    // passes of LOAD 1, PAUSE 1, LOAD 2, PAUSE 1, LOOP; then INT and STOP.
    const uint8_t r2[22] = {0, 0, 0, 0, 1, 1, 2, 2, 2, 1, 1, 2, 2, 2, 1, 1, 2, 2, 2, 2, 2, 2};
    size_t first = 0;
    while (first < seen.size() && seen[first].r0 != 0x11) ++first;
    ASSERT_LT(first + 22, seen.size()) << "the first LOAD never came";
    for (size_t i = 0; i < 22; ++i) EXPECT_EQ(seen[first + i].r2, r2[i]) << "line " << i;
    EXPECT_EQ(seen[first + 18].dcsr & 0x40, 0) << "no INT before the loop ends";
    EXPECT_EQ(seen[first + 19].dcsr & 0x41, 0x41) << "INT on channel 0 sets DCSR bit 6";
    EXPECT_TRUE(seen[first + 19].intLine);
    EXPECT_EQ(seen[first + 20].dcsr & 0x01, 0) << "STOP clears the enable";
    EXPECT_EQ(seen.back().r0, 0x11) << "nothing runs after STOP";
}

TEST_F(AsicDma, ClearingTheEnableMidLineFinishesThatLine) {
    list(0x4100, {0x0022, 0x0044});
    as->mWrite(0x2C00, 0x00);
    as->mWrite(0x2C01, 0x41);
    as->mWrite(0x2C0F, 0x01);
    // To the first microsecond of an HSYNC, then the channel is switched off.
    bool last = crtc->hsync;
    do {
        last = crtc->hsync;
        as->clockMicrosecond();
    } while (!(crtc->hsync && !last));
    as->mWrite(0x2C0F, 0x00);
    lines(3);
    EXPECT_EQ(ay->regs[0], 0x22) << "the line's fetch and execute still ran";
    EXPECT_EQ(as->dmaChannels[0].address, 0x4102) << "and nothing after it";
}

TEST_F(AsicDma, PrescalerStretchesAPause) {
    list(0x4200, {0x1001, 0x0055});
    as->mWrite(0x2C08, 0x00);  // channel 2
    as->mWrite(0x2C09, 0x42);
    as->mWrite(0x2C0A, 0x02);  // three lines a pause unit
    as->mWrite(0x2C0F, 0x04);
    std::vector<Line> seen = lines(6);
    auto load = std::find_if(seen.begin(), seen.end(), [](const Line& l) { return l.r0 == 0x55; });
    EXPECT_EQ(load - seen.begin(), 3) << "PAUSE 1 with prescaler 2 is three lines long";
}

// A list that sets channel A to period 142 (1 MHz / 16 / 142 = 440 Hz) at full
// volume: the tone is in the samples the frame clock produces.
TEST_F(AsicDma, AListPlaysA440HzTone) {
    list(0x4000, {0x008E, 0x0100, 0x073E, 0x080F, 0x4020});
    as->mWrite(0x2C04, 0x00);  // channel 1
    as->mWrite(0x2C05, 0x40);
    as->mWrite(0x2C0F, 0x02);
    lines(8);
    test_support::collectAudioWithoutDevice(false);
    std::vector<float> samples;
    for (int us = 0; us < 1000000; ++us) {
        const uint16_t before = CPC_audio_buffer_length;
        as->clockMicrosecond();
        if (CPC_audio_buffer_length != before) {
            samples.push_back(CPC_audio_buffer[CPC_audio_buffer_length ? CPC_audio_buffer_length - 2 : 4094]);
        }
    }
    CPC_audio_enable = false;
    CPC_audio_buffer_length = 0;
    const auto [lowest, highest] = std::minmax_element(samples.begin(), samples.end());
    const float low = *lowest, high = *highest;
    ASSERT_GT(high - low, 0.1f) << "no tone";
    const float middle = (low + high) / 2;
    int rising = 0;
    for (size_t i = 1; i < samples.size(); ++i) rising += samples[i - 1] < middle && samples[i] >= middle;
    EXPECT_NEAR(rising, 440, 2);
}

}  // namespace
