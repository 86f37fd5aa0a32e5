// The audio device on SDL's file-writing driver: switching, modes, volume and
// what the stop protocol and file opens do to the queue.
#include "sound/audio_output.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <tuple>
#include <vector>

#include "machine/emulation_thread.h"
#include "machine/file_reader.h"
#include "support/temp_home.h"

namespace {

namespace fs = std::filesystem;

class AudioOutput : public ::testing::Test {
protected:
    TempKestrixHome scratch{false};
    const fs::path dir{scratch.path()};

    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", (dir / "out.raw").c_str(), 1);
        headlessMode = false;
        freeRunEnable = 0;
        freerun_keep_CPC_audio_enable = false;
        running = 0;
        CPC_audio_stereo = false;
        digiBlaster = false;
    }
    void TearDown() override {
        disable_sound();
        running = 0;
        freeRunEnable = 0;
        freerun_keep_CPC_audio_enable = false;
        CPC_audio_stereo = false;
        digiBlaster = false;
        CPC_audio_volume = 1.0f;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        unsetenv("SDL_AUDIODRIVER");
        unsetenv("SDL_DISKAUDIOFILE");
    }
    void queueSomething() {
        std::vector<float> samples(4096, 0.25f);
        ASSERT_EQ(SDL_QueueAudio(cpcAudioDevice, samples.data(), samples.size() * sizeof(float)), 0);
        ASSERT_GT(SDL_GetQueuedAudioSize(cpcAudioDevice), 0u);
    }
};

TEST_F(AudioOutput, SoundSwitchOpensAPlayingFloatStereoDeviceAndClosesIt) {
    CPC_audio_buffer_length = 1234;
    CPC_audio_frameCount_timer = 7.0f;
    endisable_sound();
    ASSERT_TRUE(CPC_audio_enable) << SDL_GetError();
    ASSERT_NE(cpcAudioDevice, 0u);
    EXPECT_EQ(std::tuple(cpcAudioSpecObtained.freq, cpcAudioSpecObtained.format, cpcAudioSpecObtained.channels),
              std::tuple(44100, AUDIO_F32LSB, 2));
    EXPECT_NEAR(CPC_audio_frameCount, 1000000.0f / 44100.0f, 1e-3);
    EXPECT_EQ(CPC_audio_buffer_length, 0) << "a new device starts an empty buffer";
    EXPECT_EQ(CPC_audio_frameCount_timer, 0.0f);
    EXPECT_EQ(SDL_GetAudioDeviceStatus(cpcAudioDevice), SDL_AUDIO_PLAYING);

    SDL_AudioDeviceID first = cpcAudioDevice;
    enable_sound();
    EXPECT_EQ(cpcAudioDevice, first) << "switching on twice keeps the device";

    endisable_sound();
    EXPECT_FALSE(CPC_audio_enable);
    EXPECT_EQ(cpcAudioDevice, 0u);
    EXPECT_EQ(SDL_GetAudioDeviceStatus(first), SDL_AUDIO_STOPPED) << "the device is closed";
}

TEST_F(AudioOutput, HeadlessRunsOpenNoDevice) {
    headlessMode = true;
    endisable_sound();
    EXPECT_FALSE(CPC_audio_enable);
    EXPECT_EQ(cpcAudioDevice, 0u);
    headlessMode = false;
}

TEST_F(AudioOutput, FreeRunKeepsTheDeviceClosedAndPromisesSoundForItsEnd) {
    endisable_sound();
    ASSERT_TRUE(CPC_audio_enable);
    running = 1;
    freeRunEnable = 1;
    freeRun();
    EXPECT_FALSE(CPC_audio_enable) << "free run is silent";
    EXPECT_TRUE(freerun_keep_CPC_audio_enable);

    // The sound key during free run opens nothing.
    freerun_keep_CPC_audio_enable = false;
    endisable_sound();
    EXPECT_FALSE(CPC_audio_enable);
    EXPECT_EQ(cpcAudioDevice, 0u);
    EXPECT_TRUE(freerun_keep_CPC_audio_enable);

    // Leaving free run (the stop protocol clears it) brings the sound back.
    stopRun();
    EXPECT_EQ(freeRunEnable, 0);
    run();
    EXPECT_TRUE(CPC_audio_enable);
    EXPECT_FALSE(freerun_keep_CPC_audio_enable);
}

TEST_F(AudioOutput, ModesCycleThroughStereoDigiblasterAndMonoReopeningTheDevice) {
    CPC_audio_stereo = true;
    digiBlaster = false;
    endisable_sound();
    ASSERT_TRUE(CPC_audio_enable);
    const std::pair<bool, bool> expected[] = {{false, true}, {false, false}, {true, false}};
    for (auto [stereo, digi] : expected) {
        CPC_audio_buffer_length = 100;
        cycleCPCAudio();
        EXPECT_EQ(CPC_audio_stereo, stereo);
        EXPECT_EQ(digiBlaster, digi);
        EXPECT_TRUE(CPC_audio_enable);
        EXPECT_EQ(CPC_audio_buffer_length, 0) << "each step empties the buffer";
    }
    // With the sound off only the mode changes.
    disable_sound();
    cycleCPCAudio();
    EXPECT_FALSE(CPC_audio_stereo);
    EXPECT_TRUE(digiBlaster);
    EXPECT_FALSE(CPC_audio_enable);
}

TEST_F(AudioOutput, VolumeTakesZeroTo128AndIgnoresTheRest) {
    // Out of range leaves the last volume.
    const std::pair<int, float> volumes[] = {{64, 0.5f}, {0, 0.0f}, {129, 0.0f}, {-1, 0.0f}, {128, 1.0f}};
    for (auto [volume, level] : volumes) {
        setSoundVolume(volume);
        EXPECT_FLOAT_EQ(CPC_audio_volume, level) << volume;
    }
}

TEST_F(AudioOutput, StoppingEmptiesAndPausesTheQueueAndRunningResumesIt) {
    endisable_sound();
    ASSERT_TRUE(CPC_audio_enable);
    running = 1;
    queueSomething();
    stopRun();
    EXPECT_EQ(SDL_GetQueuedAudioSize(cpcAudioDevice), 0u);
    EXPECT_EQ(SDL_GetAudioDeviceStatus(cpcAudioDevice), SDL_AUDIO_PAUSED);
    EXPECT_TRUE(CPC_audio_enable) << "a stopped emulation keeps its device open";
    run();
    EXPECT_EQ(SDL_GetAudioDeviceStatus(cpcAudioDevice), SDL_AUDIO_PLAYING);
}

TEST_F(AudioOutput, OpeningAFileDropsQueuedSoundAndPlaysOn) {
    endisable_sound();
    ASSERT_TRUE(CPC_audio_enable);
    fs::path file = dir / "some.bin";
    std::ofstream(file, std::ios::binary) << "data";
    queueSomething();
    EXPECT_EQ(SDL_OpenFile(file.c_str()), 4);
    SDL_CloseFile();
    EXPECT_EQ(SDL_GetQueuedAudioSize(cpcAudioDevice), 0u);
    EXPECT_EQ(SDL_GetAudioDeviceStatus(cpcAudioDevice), SDL_AUDIO_PLAYING);
    queueSomething();
    char buffer[4];
    EXPECT_EQ(SDL_ReadFile(file.c_str(), buffer, 4), 1);
    EXPECT_EQ(SDL_GetQueuedAudioSize(cpcAudioDevice), 0u);
    EXPECT_EQ(SDL_GetAudioDeviceStatus(cpcAudioDevice), SDL_AUDIO_PLAYING);
}

}  // namespace
