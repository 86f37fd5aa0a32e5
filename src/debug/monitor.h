// The debugger's text interface: one command line in, answer lines out, one
// fact a line, for a terminal, a TCP client or a script. The same commands
// serve standard input and the monitor port; the front-end only carries the
// lines (frontend/monitor_session.*).
#pragma once
#include <string>
#include <vector>

#include "debug/debugger.h"

struct MonitorAnswer {
    std::vector<std::string> lines;
    // The command let the machine run (continue, a step, break with no address).
    bool resume = false;
    bool quit = false;
};

// Runs one command with the emulation held (no frame running).
MonitorAnswer runMonitorCommand(const std::string& line);

// "stopped <reason> [number] [details] PC=hhhh", the line of a stop.
std::string stopLine(const StopReport& report);
