// Options of the headless mode, the way tests, benchmarks and scripts drive
// the emulator: no window, no audio device, frames back to back.
#pragma once
#include <string>

struct HeadlessOptions {
    bool enabled = false;
    int frames = 250;
    bool framesGiven = false;  // --frames: a script's run lasts at least that long
    std::string screenshotFile;
    std::string snapshotFile;  // written after the last frame, as F6 would
    bool bench = false;
    // Frames run first and left out of the timing and of a callgrind profile.
    int benchSkip = 0;
};

// Takes the headless options out of argv (they are not getopt options of the
// machine) and returns what they asked for; argc is updated. False with a
// message when one of them is malformed.
bool extractHeadlessOptions(int& argc, char** argv, HeadlessOptions& options);

// Runs the frames of a headless session; returns the process exit code.
int runHeadlessFrames(const HeadlessOptions& options);
