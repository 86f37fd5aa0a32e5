// Event dispatch of the main loop against a running machine, without a window.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <string>
#include <utility>

#include "frontend/frontend_test_helpers.h"
#include "frontend/main_loop.h"
#include "frontend/window.h"
#include "machine/base_path.h"
#include "machine/cpc.h"
#include "machine/emulation_thread.h"
#include "machine/frontend_hooks.h"
#include "machine/keyboard.h"
#include "machine/memory.h"
#include "machine/model.h"
#include "machine/text_buffers.h"
#include "sound/audio_output.h"
#include "support/machine_fixture.h"

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

}  // namespace
