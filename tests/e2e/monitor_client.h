// A test's client of the monitor port on 127.0.0.1.
#pragma once
#include <string>

namespace monitor_client {

// A connected socket, or -1.
int connectTo(int port);
// What the peer sent until `until` shows up, the peer closes or the deadline passes.
std::string readUntil(int fd, const std::string& until, int seconds = 60);
// Connects, retrying until something listens or the deadline passes; -1 then.
int connectWhenListening(int port, int seconds = 60);
// A port nothing listens on now.
int freePort();

}  // namespace monitor_client
