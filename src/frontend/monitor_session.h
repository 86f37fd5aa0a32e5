// The debugger's monitor in the program: its options, its channels, and its
// turns in the headless run and in the window's main loop.
#pragma once
#include <string>
#include <vector>

struct MonitorOptions {
    bool standardInput = false;  // --monitor
    int port = -1;               // --monitor-port=N
    std::vector<std::string> symbolFiles;  // --symbols=FILE, repeatable
};

// Takes --monitor, --monitor-port=N and --symbols=FILE out of argv; false
// with a message when one is malformed.
bool extractMonitorOptions(int& argc, char** argv, MonitorOptions& options);
// Reads the symbol files and opens the channels asked for; false with a
// message when one fails.
bool startMonitorSession(const MonitorOptions& options);
bool monitorAttached();
// The headless run's turn before each frame: commands while running, and all
// of them while the debugger holds the machine. False once the user quits.
bool headlessMonitorTurn();
// The window's turn, each pass of the main loop.
void windowMonitorTurn();
// One monitor command in the window, as a client's: run with the emulation
// held, then the machine runs on if the command let it (the debugger
// window's buttons and edits go through here too).
struct MonitorAnswer;
MonitorAnswer runWindowMonitorCommand(const std::string& command);
// Stops the machine into the monitor (the window's Pause key).
void breakIntoMonitor();
// The front-end's answer to a debugger stop (frontendHooks.debuggerStopped).
void debuggerStoppedOnEmulationThread();
void endMonitorSession();
