// Runs CSL scripts (--csl) against the machine and answers SSM codes: the
// script's instructions run between runs of steps, on the thread that runs
// the frames (headless) or the main thread (window); its waits end on
// emulated time, on the debugger's stops (a time reached, VSYNC, an SSM
// code) or on the state of the keyboard's typist and the drives.
#pragma once
#include <string>

struct StopReport;

enum class CslState { None, Running, Finished, Failed };

// Reads the script; false with its report when it cannot be read.
bool startCslScript(const std::string& path);
// --ssm: SSM codes act without a script too (FFFE screenshot, FFFF snapshot).
void enableSsmOption();
// The runner's turn, whenever the machine is between runs of steps: takes a
// stop that is the runner's, ends waits that are over and runs instructions
// until the next wait. Failed once an error was reported.
CslState cslTurn();
// The stop is the runner's (a script's wait, an SSM code): the monitor leaves it alone.
bool cslOwnsStop(const StopReport& stop);
// The last error report, empty when none.
const std::string& cslErrorReport();
