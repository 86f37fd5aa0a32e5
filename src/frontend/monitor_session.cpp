#include "frontend/monitor_session.h"

#include <SDL.h>
#include <cstdlib>
#include <cstring>

#include "debug/debugger.h"
#include "debug/machine_environment.h"
#include "debug/monitor.h"
#include "debug/symbol_table.h"
#include "frontend/csl_runner.h"
#include "frontend/monitor_channel.h"
#include "machine/emulation_thread.h"
#include "machine/shared_flag.h"
#include "machine/timed_actions.h"

namespace {

bool attached = false;

void sendAnswer(const MonitorLine& line, const MonitorAnswer& answer) {
    std::string text;
    for (const std::string& l : answer.lines) text += l + "\n";
    if (!text.empty() && line.client) line.client->send(text);
}

void reportStop() {
    if (debugger.takeStopNotice()) broadcastMonitor(stopLine(debugger.lastStop()) + "\n");
}

uint32_t stopOnMainThread(uint32_t, void*) {
    stopRun();
    reportStop();
    return 0;
}

}  // namespace

bool extractMonitorOptions(int& argc, char** argv, MonitorOptions& options) {
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--monitor") == 0) {
            options.standardInput = true;
        } else if (std::strncmp(arg, "--monitor-port=", 15) == 0) {
            char* end = nullptr;
            const long port = std::strtol(arg + 15, &end, 10);
            if (end == arg + 15 || *end || port < 1 || port > 65535) {
                SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "monitor: bad port '%s'", arg + 15);
                return false;
            }
            options.port = int(port);
        } else if (std::strncmp(arg, "--symbols=", 10) == 0) {
            if (!arg[10]) {
                SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "monitor: --symbols needs a file name");
                return false;
            }
            options.symbolFiles.emplace_back(arg + 10);
        } else {
            argv[kept++] = argv[i];
        }
    }
    argv[kept] = nullptr;
    argc = kept;
    return true;
}

bool startMonitorSession(const MonitorOptions& options) {
    for (const std::string& file : options.symbolFiles) {
        std::string error;
        if (!debugSymbols().addFile(file, error)) {
            SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "monitor: %s", error.c_str());
            return false;
        }
    }
    std::string error;
    if (options.standardInput && !startMonitorStdin(error)) {
        SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "monitor: %s", error.c_str());
        return false;
    }
    if (options.port > 0 && !startMonitorServer(options.port, error)) {
        SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "monitor: %s", error.c_str());
        return false;
    }
    attached = options.standardInput || options.port > 0;
    return true;
}

bool monitorAttached() { return attached; }

// A script's next command waits for the stop its last one ran into.
bool headlessMonitorTurn() {
    if (!attached) return true;
    // A scripted session starts held, so that its first break points come before the first instruction.
    static bool started = false;
    if (!started) {
        started = true;
        debugger.holdAtStart();
    }
    MonitorLine line;
    while (!loadFlag(mainLoopEnd)) {
        if (!debugger.stopped()) return true;
        reportStop();
        if (!waitMonitorLine(line, 100)) continue;
        const MonitorAnswer answer = runMonitorCommand(line.text);
        sendAnswer(line, answer);
        // The run ends here, also the frames left out of a --bench timing.
        if (answer.quit) storeFlag(mainLoopEnd, 1);
    }
    return false;
}

void windowMonitorTurn() {
    if (!attached) return;
    MonitorLine line;
    while (pollMonitorLine(line)) {
        const MonitorAnswer answer = withEmulationStopped([&] { return runMonitorCommand(line.text); });
        sendAnswer(line, answer);
        if (answer.quit) storeFlag(mainLoopEnd, 1);
        else if (answer.resume) run();
    }
}

void breakIntoMonitor() {
    if (!attached || debugger.stopped()) return;
    withEmulationStopped([] {
        debugger.stopNow();
        return 0;
    });
}

void debuggerStoppedOnEmulationThread() {
    // A script's stops and SSM codes are the script runner's, on the main loop's pass.
    if (cslOwnsStop(debugger.lastStop())) return;
    scheduleMainThreadAction(0, stopOnMainThread, nullptr);
}

void endMonitorSession() {
    if (!attached) return;
    stopMonitorChannels();
    attached = false;
}
