// The samples the frame clock produces: their rate, the queueing, the stereo
// placement and the Digiblaster's decay.
#include <gtest/gtest.h>

#include "sound/audio_output.h"
#include "sound/ay8910.h"
#include "support/machine_fixture.h"
#include "tape/tape_drive.h"
#include "video/gate_array.h"

using test_support::BareMachine;

namespace {

class GateArrayAudio : public BareMachine {
protected:
    void SetUp() override {
        BareMachine::SetUp();
        ay->reset();
        test_support::collectAudioWithoutDevice(true);
    }
    void TearDown() override {
        CPC_audio_enable = false;
        CPC_audio_stereo = true;
        digiBlaster = false;
        CPC_audio_volume = 1.0f;
        CPC_audio_buffer_length = 0;
        BareMachine::TearDown();
    }
    // Channels always sounding at fixed volumes (tone and noise off).
    void steadyLevels(uint8_t a, uint8_t b, uint8_t c) {
        for (int ch = 0; ch < 3; ++ch) {
            ay->toneDisable[ch] = 1;
            ay->noiseDisable[ch] = 1;
        }
        ay->regs[8] = a;
        ay->regs[9] = b;
        ay->regs[10] = c;
    }
    // Steps until the next stereo frame is appended; returns its two floats.
    std::pair<float, float> nextFrame() {
        const uint16_t before = CPC_audio_buffer_length;
        for (int i = 0; i < 100 && CPC_audio_buffer_length == before; ++i) ga->clockMicrosecond();
        const uint16_t at = CPC_audio_buffer_length == 0 ? 4094 : CPC_audio_buffer_length - 2;
        return {CPC_audio_buffer[at], CPC_audio_buffer[at + 1]};
    }
};

TEST_F(GateArrayAudio, RateAndQueueingAt44100) {
    int frames = 0, queued = 0;
    for (int f = 0; f < 10; ++f) {
        int thisFrame = 0;
        for (int us = 0; us < 19968; ++us) {
            const uint16_t before = CPC_audio_buffer_length;
            ga->clockMicrosecond();
            if (CPC_audio_buffer_length != before) ++thisFrame;
            if (CPC_audio_buffer_length < before) ++queued;
        }
        EXPECT_GE(thisFrame, 880);
        EXPECT_LE(thisFrame, 881);
        frames += thisFrame;
    }
    EXPECT_EQ(queued, frames / 2048) << "a whole buffer of 2048 frames at a time";
}

TEST_F(GateArrayAudio, NothingWhileSoundIsOff) {
    CPC_audio_enable = false;
    steps(1000);
    EXPECT_EQ(CPC_audio_buffer_length, 0);
}

TEST_F(GateArrayAudio, StereoPutsBInTheMiddle) {
    steadyLevels(15, 8, 4);
    auto [left, right] = nextFrame();
    EXPECT_FLOAT_EQ(left, ay->levelStereoFull[15] + ay->levelStereoHalf[8]);
    EXPECT_FLOAT_EQ(right, ay->levelStereoFull[4] + ay->levelStereoHalf[8]);

    CPC_audio_volume = 0.5f;
    std::tie(left, right) = nextFrame();
    EXPECT_FLOAT_EQ(left, (ay->levelStereoFull[15] + ay->levelStereoHalf[8]) * 0.5f);
}

TEST_F(GateArrayAudio, MonoSumsTheChannelsAndAddsTapeNoise) {
    CPC_audio_stereo = false;
    steadyLevels(15, 8, 4);
    const float sum = ay->levelMono[15] + ay->levelMono[8] + ay->levelMono[4];
    auto [left, right] = nextFrame();
    EXPECT_FLOAT_EQ(left, sum);
    EXPECT_FLOAT_EQ(right, sum);
    tape->moving = true;
    tape->readLevel = 1;
    tape->inertia = 0;
    tape->pulseLeft = 100000;  // a long high pulse playing
    std::tie(left, right) = nextFrame();
    EXPECT_FLOAT_EQ(left, sum + 0.03f);
}

TEST_F(GateArrayAudio, DigiblasterSampleFadesWhenUnchanged) {
    CPC_audio_stereo = false;
    digiBlaster = true;
    printerData = 64;
    EXPECT_FLOAT_EQ(nextFrame().first, 64 / 381.38138f);
    for (int k = 1; k < 254; ++k) nextFrame();
    EXPECT_FLOAT_EQ(nextFrame().first, 64 / 381.38138f) << "still held after 254 unchanged frames";
    EXPECT_FLOAT_EQ(nextFrame().first, 0.0f) << "dropped on the 255th";
    printerData = 200;  // negative half
    EXPECT_FLOAT_EQ(nextFrame().first, -(255 - 200) / 381.38138f);
}

}  // namespace
