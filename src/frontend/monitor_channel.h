// Where the debugger monitor's command lines come from and where its answers
// go: standard input (answers on standard output) and one TCP client on the
// loopback interface. Each source runs a thread of its own that puts whole
// lines, with the client to answer, into one inbox the monitor takes them from.
#pragma once
#include <memory>
#include <string>

// Whoever sent a line. `text` is one or more lines, each ending in '\n'; a
// client that has gone away takes it and drops it.
class MonitorClient {
public:
    virtual ~MonitorClient() = default;
    virtual void send(const std::string& text) = 0;
};

struct MonitorLine {
    std::string text;  // without the line end
    std::shared_ptr<MonitorClient> client;
};

// The longest command line taken; a longer one is answered with an error
// line and dropped up to its end.
constexpr size_t kMonitorLineLimit = 4096;

// Reads lines from `fd` (standard input unless a test gives another) and
// answers on standard output. The end of the input delivers "quit" once.
bool startMonitorStdin(std::string& error, int fd = 0);
// Listens on 127.0.0.1:`port` (0: a port of the system's choice, see
// monitorServerPort) for one client at a time; a second one is told
// "error: monitor busy" and closed.
bool startMonitorServer(int port, std::string& error);
int monitorServerPort();
bool monitorClientAttached();

// The next line, waiting up to `timeoutMs` (the headless run); false when none came.
bool waitMonitorLine(MonitorLine& out, int timeoutMs);
// The next line if one is waiting (the window's main loop).
bool pollMonitorLine(MonitorLine& out);
// To whoever is attached: standard output when standard input is a source,
// and the TCP client when one is connected (stop reports).
void broadcastMonitor(const std::string& text);
// Ends the threads and closes the sockets; lines not taken yet are dropped.
void stopMonitorChannels();
