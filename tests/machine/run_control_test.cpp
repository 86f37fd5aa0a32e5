#include <gtest/gtest.h>

#include <SDL.h>
#include <atomic>
#include <chrono>

#include "machine/emulation_thread.h"
#include "machine/shared_flag.h"
#include "support/frame_record.h"
#include "support/machine_fixture.h"
#include "tape/tape_drive.h"

namespace {

using test_support::waitForFrames;

class RunControl : public test_support::BuiltMachine {
protected:
    void SetUp() override {
        BuiltMachine::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        thread = SDL_CreateThread(runCPC, "runCPC", nullptr);
        ASSERT_NE(thread, nullptr);
    }
    void TearDown() override {
        if (thread) {
            mainLoopEnd = 1;
            int value = -1;
            SDL_WaitThread(thread, &value);
            EXPECT_EQ(value, 0);
            thread = nullptr;
        }
        frameProbe = nullptr;
        BuiltMachine::TearDown();
    }
};

TEST_F(RunControl, StopsWithinAFrameAndRestarts) {
    run();
    ASSERT_TRUE(waitForFrames(3));
    auto start = std::chrono::steady_clock::now();
    stopRun();
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(cpcIsRunning, 0);
    EXPECT_EQ(running, 0);
    EXPECT_LT(ms, 100.0) << "the stop protocol waits at most for the frame in progress";

    uint32_t stoppedAt = framesEmulated;
    SDL_Delay(60);
    EXPECT_EQ(framesEmulated, stoppedAt) << "no frame may run while stopped";

    runstop();
    EXPECT_EQ(running, 1);
    EXPECT_TRUE(waitForFrames(2));
    runstop();
    EXPECT_EQ(running, 0);
}

// The emulation thread lingers a millisecond on its way into each frame, which
// widens any gap in the handshake; a frame that starts once stopRun has
// returned is counted.
std::atomic<uint8_t> mainSeesStopped{0};
std::atomic<int> framesStartedWhileStopped{0};
void lingerBeforeFrame(FramePoint point) {
    if (point == FramePoint::beforeHandshake) SDL_Delay(1);
    if (point == FramePoint::frameStart && mainSeesStopped) ++framesStartedWhileStopped;
}

TEST_F(RunControl, NoFrameStartsAfterStopReturned) {
    framesStartedWhileStopped = 0;
    frameProbe = lingerBeforeFrame;
    int framesAfterStop = 0;
    for (int i = 0; i < 60 && !framesStartedWhileStopped && !framesAfterStop; ++i) {
        mainSeesStopped = 0;
        run();
        freeRunEnable = 1;
        ASSERT_TRUE(waitForFrames(1));
        SDL_Delay(static_cast<Uint32>(i % 3));  // stop at another point of the frame each time
        stopRun();
        mainSeesStopped = 1;
        const uint32_t stoppedAt = framesEmulated;
        SDL_Delay(4);
        framesAfterStop += framesEmulated != stoppedAt;
    }
    frameProbe = nullptr;
    EXPECT_EQ(framesStartedWhileStopped, 0);
    EXPECT_EQ(framesAfterStop, 0);
}

TEST_F(RunControl, PacedFramesFollowTheFramePeriod) {
    run();
    ASSERT_TRUE(waitForFrames(1));
    [[maybe_unused]] const uint32_t first = framesEmulated;
    SDL_Delay(400);
    uint32_t frames = framesEmulated - first;
    // 400 ms at 19.968 ms a frame is 20 frames; a loaded machine may run fewer, never more.
    EXPECT_GE(frames, 5u);
    EXPECT_LE(frames, 22u);
    stopRun();
}

TEST_F(RunControl, FreeRunIsUnpacedAndStopEndsIt) {
    run();
    freeRunEnable = 1;
    freeRun();
    [[maybe_unused]] const uint32_t first = framesEmulated;
    SDL_Delay(200);
#if !defined(KESTRIX_SANITIZE_ADDRESS) && !defined(KESTRIX_SANITIZE_THREAD)
    // (Under the sanitizers the emulation may not even reach real time.)
    EXPECT_GT(framesEmulated - first, 15u);
#endif
    stopRun();
    EXPECT_EQ(freeRunEnable, 0) << "a stop ends free run";
}

TEST_F(RunControl, SoftResetRestartsTheEmulation) {
    run();
    ASSERT_TRUE(waitForFrames(1));
    mem->banks[0][0x100] = 0x42;
    soft_reset();
    EXPECT_EQ(running, 1);
    EXPECT_EQ(mem->banks[0][0x100], 0) << "soft reset clears RAM";
    stopRun();
}

}  // namespace

// The 464 loading cpcrogue.cdt with the tape turbo: the emulation thread runs
// every frame of the load (the motor's first frame to its last, after paced
// frames before it) unpaced, and ends with the machine of an unpaced headless
// load. The time it took beside the paced time (19.968 ms a frame, counted
// rather than waited for) is printed: a busy host or a sanitizer build is slower.
uint32_t turboStopAt = 0;
uint32_t pacedMotorFrames = 0;
void stopAtFrame(FramePoint point) {
    // The thread decides on the pace after each frame from the motor it left.
    if (point == FramePoint::frameStart && tape->motorTarget && !loadFlag(tapeTurboActive)) ++pacedMotorFrames;
    if (point == FramePoint::frameEnd && framesEmulated == turboStopAt) running = 0;
}

TEST(TapeTurbo, LoadsATapeUnpacedAndAsAPacedLoadWould) {
    SKIP_WITHOUT_SHARED(test_support::kSharedOsRom6128, "media/cpcrogue.cdt");
    using namespace test_support;
    const std::vector<std::string> options = {"-c", "464", "-k", sharedPath("media/cpcrogue.cdt"), "-e"};
    TempKestrixHome home;
    std::vector<FrameRecord> reference;
    uint32_t loadStart = 0, loadEnd = 0;
    ASSERT_TRUE(startInProcessHeadless(home, options, AudioMode::Mono));
    for (uint32_t i = 1; i <= 3000 && runOneFrame(); ++i, reference.push_back(recordFrame())) {
        if (tape->motorTarget) loadEnd = i, loadStart = loadStart ? loadStart : i;
    }
    stopInProcessHeadless();
    ASSERT_TRUE(startInProcessHeadless(home, options, AudioMode::Mono));
    turboStopAt = framesEmulated + loadEnd;
    pacedMotorFrames = 0;
    frameProbe = stopAtFrame;
    const auto start = std::chrono::steady_clock::now();
    SDL_Thread* thread = SDL_CreateThread(runCPC, "runCPC", nullptr);
    while (running || cpcIsRunning) SDL_Delay(1);
    const double paced = (loadEnd - loadStart + 1) * (kFrameMicroseconds / 1e6);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() -
                           (loadStart - 1) * (kFrameMicroseconds / 1e6);
    mainLoopEnd = 1;
    SDL_WaitThread(thread, nullptr);
    frameProbe = nullptr;
    FrameRecord turbo = recordFrame();
    stopInProcessHeadless();
    std::printf("the load: %.2f s with the turbo, %.2f s paced (%.1f %%)\n", seconds, paced, 100 * seconds / paced);
    EXPECT_EQ(pacedMotorFrames, 0u) << "frames paced while the motor ran";
    ASSERT_GT(loadEnd - loadStart, 1000u) << "the tape loads for a while";
    turbo.part[kPartAudio] = reference[loadEnd - 1].part[kPartAudio];  // delivered each frame, not kept
    EXPECT_EQ(firstDifference({reference[loadEnd - 1]}, {turbo}), "");
}
