// Timed actions (autorun typing, delayed loads, key releases). In a window they
// run on SDL timers; in headless mode they follow emulated time, so the same
// inputs always give the same frames.
#pragma once
#include <cstdint>

// Same shape as an SDL timer callback: returns the next interval in ms, or 0 to end.
using TimedActionCallback = uint32_t (*)(uint32_t intervalMs, void* param);

void scheduleTimedAction(uint32_t delayMs, TimedActionCallback callback, void* param);
// The same to the microsecond of emulated time when headless (with a window:
// on an SDL timer, rounded up to the millisecond); the callback's return
// value is still the next interval in ms.
void scheduleTimedActionUs(uint64_t delayUs, TimedActionCallback callback, void* param);
// The same for actions that change the machine (a delayed disk load), called
// on the main thread: with a window they wait in a list of the main thread's
// own and run in runMainThreadActions once due, so that two threads never stop
// and restart the emulation around each other. The callback's return value is
// ignored.
void scheduleMainThreadAction(uint32_t delayMs, TimedActionCallback callback, void* param);
// Main thread, once per pass of the main loop: runs the actions that are due.
void runMainThreadActions();
// Drops every pending action (headless) so a new run starts clean.
void clearTimedActions();
// Headless: moves emulated time on by a whole frame and runs the actions that came due.
void advanceEmulatedTime(uint32_t microseconds);
// Headless, inside a frame of kFrameMicroseconds steps counted down by the frame
// clock's runctr: the runctr value at which the next action falls due, or 0 when
// none does in this frame (always 0 with a window).
uint32_t timedActionDueRunctr(uint32_t runctr);
// Runs the actions due at that point of the frame.
void runTimedActionsDue(uint32_t runctr);
uint64_t emulatedTimeMicroseconds();
