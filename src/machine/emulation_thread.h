// The emulation thread, its frame pacing and the stop protocol with which the
// main thread gets it out of the way before changing the machine.
#pragma once
#include <SDL.h>
#include <atomic>
#include <cstdint>

extern std::atomic<uint8_t> running;
extern std::atomic<uint8_t> cpcIsRunning;
extern std::atomic<uint8_t> mainLoopEnd;
extern std::atomic<uint8_t> freeRunEnable;
extern bool freerun_keep_CPC_audio_enable;
extern int frameskip;
extern double fpsDisplay;
extern double frameLimit;
extern bool refreshScreen;
extern bool saveScreenRequest;
extern bool saveSnapshotRequest;
extern SDL_Thread* thread;
extern SDL_threadID threadID;

constexpr float kFramePeriodMs = 19.96805f;
constexpr uint32_t kFrameMicroseconds = 19968;

// Frames emulated since the program started (read by tests and the bench).
extern std::atomic<uint32_t> framesEmulated;

// Headless mode runs frames on the calling thread; nothing sleeps or paces.
extern bool headlessMode;

// Test instrumentation, null in the program: called on the emulation thread
// when it has seen `running` set, before the handshake; then right before and
// right after each frame, while cpcIsRunning is 1.
enum class FramePoint : uint8_t { beforeHandshake, frameStart, frameEnd };
extern void (*frameProbe)(FramePoint point);

// While the tape deck plays with its motor on, the thread runs frames
// unpaced and silent (the frames are the same; only the waits go).
extern bool tapeTurbo;                       // the option, on by default
extern std::atomic<uint8_t> tapeTurboActive;  // running unpaced for the tape now
bool tapeWantsTurbo();

void run();
void stopRun();
// Runs `change` with the emulation stopped, and restarts it if it ran.
template <typename Change>
auto withEmulationStopped(Change change) {
    bool wasRunning = running;
    stopRun();
    auto result = change();
    if (wasRunning) run();
    return result;
}
void runstop();
void pauseRun();
void freeRun();
int runCPC(void* unused);
// One video frame of the whole machine, on the clock of the current model:
// false when the debugger stopped it (the next call goes on with it).
bool runOneFrame();
