// Event dispatch of the main loop against a running machine, without a window;
// the front-end services it relies on; and the audio device on SDL's
// file-writing driver.
#include <SDL.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "frontend/frontend_services.h"
#include "frontend/frontend_test_helpers.h"
#include "frontend/main_loop.h"
#include "frontend/window.h"
#include "machine/base_path.h"
#include "machine/cpc.h"
#include "machine/emulation_thread.h"
#include "machine/file_reader.h"
#include "machine/frontend_hooks.h"
#include "machine/keyboard.h"
#include "machine/memory.h"
#include "machine/model.h"
#include "machine/text_buffers.h"
#include "sound/audio_output.h"
#include "support/machine_fixture.h"
#include "support/temp_home.h"

namespace {

using namespace frontend_test;
using test_support::waitForFrames;

void pressAndRelease(SDL_Scancode key, Uint16 modifiers = 0) {
    dispatchEvent(keyEvent(SDL_KEYDOWN, key, modifiers));
    dispatchEvent(keyEvent(SDL_KEYUP, key, modifiers));
}

class EventDispatch : public test_support::BuiltMachine {
protected:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", (home.path() + "/audio.raw").c_str(), 1);
        allocateTextBuffers();
        mWindowID = 0;
        shownTexts.clear();
        frontendHooks.showOSDText = captureShownText;
        BuiltMachine::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        thread = test_support::startEmulationThread();
        ASSERT_NE(thread, nullptr);
        run();
        ASSERT_TRUE(waitForFrames(2));
    }
    void TearDown() override {
        test_support::endEmulationThread(thread);
        frontendHooks = FrontendHooks{};
        disable_sound();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        mainLoopEnd = 0;
        CPC_audio_stereo = false;
        digiBlaster = false;
        BuiltMachine::TearDown();
        freeTextBuffers();
        unsetenv("SDL_AUDIODRIVER");
        unsetenv("SDL_DISKAUDIOFILE");
    }
};

TEST_F(EventDispatch, F8PausesAndResumesOnRelease) {
    dispatchEvent(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_F8));
    EXPECT_EQ(running, 1) << "function keys act when released";
    dispatchEvent(keyEvent(SDL_KEYUP, SDL_SCANCODE_F8));
    EXPECT_EQ(running, 0);
    EXPECT_EQ(cpcIsRunning, 0);
    pressAndRelease(SDL_SCANCODE_F8);
    EXPECT_EQ(running, 1);
    EXPECT_TRUE(waitForFrames(2));
}

TEST_F(EventDispatch, OnlyCtrlF9Resets) {
    stopRun();
    mem->mWrite(0x4000, 0xA5);
    run();
    pressAndRelease(SDL_SCANCODE_F9);
    stopRun();
    EXPECT_EQ(mem->mRead(0x4000), 0xA5) << "F9 alone does nothing";
    run();
    pressAndRelease(SDL_SCANCODE_F9, KMOD_LCTRL);
    EXPECT_EQ(running, 1) << "the reset restarts the emulation";
    stopRun();
    EXPECT_EQ(mem->mRead(0x4000), 0x00) << "Ctrl+F9 cleared the RAM";
}

TEST_F(EventDispatch, F10EntersAndLeavesFreeRun) {
    // Paced running gives at most one frame per 19.968 ms of the time that
    // really passed (and one or two for the frame in progress): a loaded
    // machine may sleep longer than asked, so the bound follows the clock.
    const auto framesIn200Ms = [] {
        const uint32_t before = framesEmulated, start = SDL_GetTicks();
        SDL_Delay(200);
        const uint32_t frames = framesEmulated - before, elapsedMs = SDL_GetTicks() - start;
        return std::pair{frames, uint32_t(elapsedMs / 19.968) + 2};
    };
    pressAndRelease(SDL_SCANCODE_F10);
    EXPECT_EQ(freeRunEnable, 1);
    EXPECT_EQ(running, 1);
    const auto [freeFrames, freePacedMost] = framesIn200Ms();
    // Unpaced the thread runs far more (not under the sanitizers, which may
    // not even reach real time).
#ifndef KESTRIX_SANITIZE_ADDRESS
    EXPECT_GT(freeFrames, freePacedMost) << "free run is not paced";
#else
    (void)freeFrames;
    (void)freePacedMost;
#endif
    pressAndRelease(SDL_SCANCODE_F10);
    EXPECT_EQ(freeRunEnable, 0);
    EXPECT_EQ(running, 1) << "leaving free run restarts paced running";
    const auto [pacedFrames, pacedMost] = framesIn200Ms();
    EXPECT_LE(pacedFrames, pacedMost);
}

TEST_F(EventDispatch, F5SwitchesSoundAndShiftF5CyclesTheMode) {
    bool wasOn = CPC_audio_enable;
    pressAndRelease(SDL_SCANCODE_F5);
    EXPECT_NE(CPC_audio_enable, wasOn);
    bool stereo = CPC_audio_stereo, digi = digiBlaster;
    pressAndRelease(SDL_SCANCODE_F5, KMOD_RSHIFT);
    EXPECT_TRUE(CPC_audio_stereo != stereo || digiBlaster != digi);
    pressAndRelease(SDL_SCANCODE_F5);
    EXPECT_EQ(CPC_audio_enable, wasOn);
}

TEST_F(EventDispatch, QuitAndClosingTheMainWindowEndTheLoopClosingTheOtherDoesNot) {
    SDL_Event close{};
    close.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    close.window.windowID = 42;  // the keyboard window
    dispatchEvent(close);
    EXPECT_EQ(mainLoopEnd, 0);
    close.window.windowID = mWindowID;
    dispatchEvent(close);
    EXPECT_EQ(mainLoopEnd, 1);
    mainLoopEnd = 0;
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    dispatchEvent(quit);
    EXPECT_EQ(mainLoopEnd, 1);
    mainLoopEnd = 0;
}

TEST_F(EventDispatch, MiddleButtonOnlyPauses) {
    SDL_Event click{};
    click.type = SDL_MOUSEBUTTONDOWN;
    click.button.button = SDL_BUTTON_MIDDLE;
    click.button.windowID = mWindowID;
    click.button.x = 100;
    click.button.y = 100;
    dispatchEvent(click);
    EXPECT_EQ(running, 0);
    dispatchEvent(click);
    EXPECT_EQ(running, 0) << "a second middle click does not resume";
}

TEST_F(EventDispatch, HostKeysPressAndReleaseTheMatrix) {
    const uint8_t code = hostKeyToCpcKey(SDL_SCANCODE_A);
    ASSERT_NE(code, 0xFF) << "the keyboard has no host key table";
    dispatchEvent(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_A));
    EXPECT_TRUE(keyDown(code));
    dispatchEvent(keyEvent(SDL_KEYUP, SDL_SCANCODE_A));
    EXPECT_TRUE(keyDown(code)) << "a tap stays down until the firmware has scanned the keyboard once more";
    ASSERT_TRUE(waitForFrames(4));
    cPCKeyBoard->applyHostKeys(framesEmulated);
    EXPECT_FALSE(keyDown(code));
    EXPECT_EQ(running, 1);
}

// SDL frames a drop with SDL_DROPBEGIN and SDL_DROPCOMPLETE: only its first file loads (files that do not exist:
// the loader's answer shows which drops reached it); a file outside such a frame is a drop of its own.
TEST_F(EventDispatch, OnlyTheFirstFileOfOneFramedDropLoads) {
    const std::string warning = "\366 Warning, Multiple files drop not allowed ! \367";
    auto notFound = [](const char* name) { return timesShown(std::string("\366 ") + name + " not found ! \367"); };
    auto send = [](Uint32 type, const char* name = nullptr) {
        SDL_Event e{};
        e.type = type;
        if (name) e.drop.file = SDL_strdup(name);
        dispatchEvent(e);
    };
    send(SDL_DROPBEGIN);
    send(SDL_DROPFILE, "/nonexistent/first.dsk");
    EXPECT_EQ(notFound("/nonexistent/first.dsk"), 1);
    EXPECT_EQ(timesShown(warning), 0);
    send(SDL_DROPFILE, "/nonexistent/second.dsk");
    EXPECT_EQ(timesShown(warning), 1);
    EXPECT_EQ(notFound("/nonexistent/second.dsk"), 0) << "the second file is not loaded";
    // A new drop starts afresh, even without the end of the last.
    send(SDL_DROPBEGIN);
    send(SDL_DROPFILE, "/nonexistent/third.dsk");
    send(SDL_DROPFILE, "/nonexistent/fourth.dsk");
    send(SDL_DROPCOMPLETE);
    EXPECT_EQ(notFound("/nonexistent/third.dsk"), 1);
    EXPECT_EQ(notFound("/nonexistent/fourth.dsk"), 0);
    EXPECT_EQ(timesShown(warning), 2);
    for (const char* name : {"/nonexistent/fifth.dsk", "/nonexistent/sixth.dsk"}) {
        send(SDL_DROPFILE, name);
        EXPECT_EQ(notFound(name), 1) << name << " is a drop of its own";
    }
    EXPECT_EQ(timesShown(warning), 2);
    EXPECT_EQ(running, 1) << "a failed load leaves the emulation running";
}

// The one installer of the front-end services, and the idle hooks the core runs on without it.

// Every member of the table is a function pointer: its slots, to compare tables whole.
constexpr size_t kHookCount = sizeof(FrontendHooks) / sizeof(void (*)());
static_assert(sizeof(FrontendHooks) == kHookCount * sizeof(void (*)()));

std::array<uintptr_t, kHookCount> slotsOf(const FrontendHooks& hooks) {
    std::array<uintptr_t, kHookCount> slots{};
    std::memcpy(slots.data(), &hooks, sizeof hooks);
    return slots;
}

}  // namespace

TEST(FrontendServices, WithAWindowTheOneInstallerFillsEveryHook) {
    const bool headless = headlessMode;
    headlessMode = false;
    installFrontendServices();
    const auto installed = slotsOf(frontendHooks);
    const auto idle = slotsOf(FrontendHooks{});
    headlessMode = true;
    frontendHooks = FrontendHooks{};
    installFrontendServices();
    const auto withoutWindow = slotsOf(frontendHooks);
    frontendHooks = FrontendHooks{};
    headlessMode = headless;

    size_t drawnOnlyInAWindow = 0;
    for (size_t i = 0; i < kHookCount; ++i) {
        EXPECT_NE(installed[i], idle[i]) << "hook " << i << " of FrontendHooks is left doing nothing";
        if (withoutWindow[i] == idle[i]) ++drawnOnlyInAWindow;
        else EXPECT_EQ(withoutWindow[i], installed[i]) << "hook " << i;
    }
    // Headless, the loading, autorun, option, recording and debugger services are there (the debugger
    // window's answers that there is none); the drawing is not.
    EXPECT_EQ(kHookCount - drawnOnlyInAWindow, 16u);
    EXPECT_EQ(withoutWindow[0], idle[0]) << "no icon is drawn headless";
}

TEST(FrontendServices, TheCoreRunsOnTheIdleHooks) {
    FrontendHooks idle;
    idle.redrawModelIcon();
    idle.showPauseScreen("paused");
    idle.showOSDText("text");
    idle.showTapeBlockText(3);
    idle.joystickCheckOnReset();
    EXPECT_TRUE(idle.loadMediaFile("Game.dsk", 0)) << "a file named without a loader is no failure";
    EXPECT_TRUE(idle.setDiskWritePolicy("copy"));
    EXPECT_FALSE(idle.createNewDisk("new.dsk")) << "no disk is made, so none is loaded";
}

// The audio device on SDL's file-writing driver: switching, modes, volume and
// what the stop protocol and file opens do to the queue.
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
    // Silence up to the queue's target, less what the device may have taken since.
    void expectQueueAtTarget() {
        const auto frames = static_cast<uint32_t>(kAudioQueueTargetSeconds * cpcAudioSpecObtained.freq);
        const uint32_t queued = SDL_GetQueuedAudioSize(cpcAudioDevice) / 8;
        EXPECT_TRUE(queued <= frames && queued + 4u * cpcAudioSpecObtained.samples >= frames) << queued;
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
    expectQueueAtTarget();
}

TEST_F(AudioOutput, OpeningAFileDropsQueuedSoundAndPlaysOn) {
    endisable_sound();
    ASSERT_TRUE(CPC_audio_enable);
    fs::path file = dir / "some.bin";
    std::ofstream(file, std::ios::binary) << "data";
    queueSomething();
    EXPECT_EQ(SDL_OpenFile(file.c_str()), 4);
    SDL_CloseFile();
    expectQueueAtTarget();
    EXPECT_EQ(SDL_GetAudioDeviceStatus(cpcAudioDevice), SDL_AUDIO_PLAYING);
    queueSomething();
    char buffer[4];
    EXPECT_EQ(SDL_ReadFile(file.c_str(), buffer, 4), 1);
    expectQueueAtTarget();
    EXPECT_EQ(SDL_GetAudioDeviceStatus(cpcAudioDevice), SDL_AUDIO_PLAYING);
}

}  // namespace
