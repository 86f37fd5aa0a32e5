#include "frontend/monitor_channel.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

namespace {

constexpr const char* kBusyLine = "error: monitor busy\n";
constexpr const char* kTooLongLine = "error: line too long\n";

// Writes all of `text`; false when the other side is gone. Sockets must not
// raise SIGPIPE on a client that left.
bool writeAll(int fd, const std::string& text, bool socket) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = socket ? ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL)
                                 : ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

class StdoutClient : public MonitorClient {
public:
    void send(const std::string& text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        writeAll(STDOUT_FILENO, text, false);
    }

private:
    std::mutex mutex_;
};

// The socket is closed under the lock, so an answer on another thread never
// writes to a descriptor number the system has handed out again.
class TcpClient : public MonitorClient {
public:
    explicit TcpClient(int fd) : fd_(fd) {}
    ~TcpClient() override { close(); }

    void send(const std::string& text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        // A client that stopped reading: the reader thread sees the shutdown and lets it go.
        if (fd_ >= 0 && !writeAll(fd_, text, true)) ::shutdown(fd_, SHUT_RDWR);
    }
    void close() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (fd_ < 0) return;
        ::shutdown(fd_, SHUT_RDWR);
        ::close(fd_);
        fd_ = -1;
    }
    int fd() const { return fd_; }

private:
    std::mutex mutex_;
    int fd_;
};

// Cuts a byte stream into lines of at most kMonitorLineLimit bytes; a line
// end may be "\r\n". Of an over-long line only the error is reported.
class LineSplitter {
public:
    template <class OnLine, class OnTooLong>
    void feed(const char* data, size_t size, OnLine onLine, OnTooLong onTooLong) {
        for (size_t i = 0; i < size; ++i) {
            const char c = data[i];
            if (c == '\n') {
                if (!dropping_) {
                    if (!line_.empty() && line_.back() == '\r') line_.pop_back();
                    onLine(line_);
                }
                dropping_ = false;
                line_.clear();
            } else if (!dropping_) {
                if (line_.size() == kMonitorLineLimit) {
                    dropping_ = true;
                    line_.clear();
                    onTooLong();
                } else {
                    line_ += c;
                }
            }
        }
    }
    // The unfinished line at the end of the input, if any.
    bool rest(std::string& out) {
        if (dropping_ || line_.empty()) return false;
        out.swap(line_);
        line_.clear();
        return true;
    }
    void clear() {
        line_.clear();
        dropping_ = false;
    }

private:
    std::string line_;
    bool dropping_ = false;
};

// A thread with a pipe that wakes it from poll() to end.
struct Source {
    std::thread thread;
    int wake[2] = {-1, -1};

    bool open(std::string& error) {
        if (::pipe2(wake, O_CLOEXEC) != 0) {
            error = std::string("pipe: ") + std::strerror(errno);
            return false;
        }
        return true;
    }
    bool running() const { return thread.joinable(); }
    void stop() {
        if (thread.joinable()) {
            const char byte = 1;
            while (::write(wake[1], &byte, 1) < 0 && errno == EINTR) {
            }
            thread.join();
        }
        for (int& fd : wake) {
            if (fd >= 0) ::close(fd);
            fd = -1;
        }
    }
};

std::mutex inboxMutex;
std::condition_variable inboxReady;
std::deque<MonitorLine> inbox;

// Who is attached, for broadcasts.
std::mutex clientsMutex;
std::shared_ptr<StdoutClient> stdoutClient;
std::shared_ptr<TcpClient> tcpClient;

Source stdinSource;
Source serverSource;
int listenFd = -1;
int listenPort = 0;

// A program that leaves without stopping the channels must not abort on a
// running thread's destructor; declared after them, so it goes first.
struct StopAtExit {
    ~StopAtExit();
} stopAtExit;

void deliver(std::string text, std::shared_ptr<MonitorClient> client) {
    {
        std::lock_guard<std::mutex> lock(inboxMutex);
        inbox.push_back(MonitorLine{std::move(text), std::move(client)});
    }
    inboxReady.notify_one();
}

bool takeLine(MonitorLine& out) {
    if (inbox.empty()) return false;
    out = std::move(inbox.front());
    inbox.pop_front();
    return true;
}

void readStdin(int fd, int wakeFd, std::shared_ptr<MonitorClient> answer) {
    LineSplitter splitter;
    char buffer[1024];
    for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[1].revents) return;
        if (!fds[0].revents) continue;
        const ssize_t n = (fds[0].revents & POLLNVAL) ? 0 : ::read(fd, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) break;
        splitter.feed(
            buffer, static_cast<size_t>(n), [&](const std::string& line) { deliver(line, answer); },
            [&] { answer->send(kTooLongLine); });
    }
    std::string last;
    if (splitter.rest(last)) deliver(last, answer);
    deliver("quit", answer);
}

// Turns away a second client: the busy line, then closed. What it sent is
// read first, so that the close does not reset the line away.
void refuse(int fd) {
    writeAll(fd, kBusyLine, true);
    ::shutdown(fd, SHUT_WR);
    char scrap[256];
    while (::recv(fd, scrap, sizeof scrap, MSG_DONTWAIT) > 0) {
    }
    ::close(fd);
}

void detachClient() {
    std::shared_ptr<TcpClient> gone;
    {
        std::lock_guard<std::mutex> lock(clientsMutex);
        gone.swap(tcpClient);
    }
    if (gone) gone->close();
}

void serve(int wakeFd) {
    LineSplitter splitter;
    char buffer[1024];
    std::shared_ptr<TcpClient> client;
    for (;;) {
        pollfd fds[3] = {{wakeFd, POLLIN, 0}, {listenFd, POLLIN, 0}, {client ? client->fd() : -1, POLLIN, 0}};
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[0].revents) break;
        if (fds[1].revents & POLLIN) {
            const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                if (client) {
                    refuse(fd);
                } else {
                    // An answer to a client that stopped reading gives up rather than stall the monitor.
                    timeval timeout{2, 0};
                    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
                    client = std::make_shared<TcpClient>(fd);
                    splitter.clear();
                    std::lock_guard<std::mutex> lock(clientsMutex);
                    tcpClient = client;
                }
            }
        }
        if (client && fds[2].revents) {
            const ssize_t n = ::recv(client->fd(), buffer, sizeof buffer, 0);
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (n <= 0) {
                client.reset();
                detachClient();
                continue;
            }
            splitter.feed(
                buffer, static_cast<size_t>(n), [&](const std::string& line) { deliver(line, client); },
                [&] { client->send(kTooLongLine); });
        }
    }
    client.reset();
    detachClient();
}

}  // namespace

bool startMonitorStdin(std::string& error, int fd) {
    if (stdinSource.running()) {
        error = "standard input is already a source";
        return false;
    }
    if (!stdinSource.open(error)) return false;
    auto answer = std::make_shared<StdoutClient>();
    {
        std::lock_guard<std::mutex> lock(clientsMutex);
        stdoutClient = answer;
    }
    stdinSource.thread = std::thread(readStdin, fd, stdinSource.wake[0], answer);
    return true;
}

bool startMonitorServer(int port, std::string& error) {
    if (serverSource.running()) {
        error = "monitor server already running";
        return false;
    }
    if (port < 0 || port > 65535) {
        error = "port out of range";
        return false;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    // The monitor can change everything in the machine: never reachable from another host.
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        error = "port " + std::to_string(port) + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    if (!serverSource.open(error)) {
        ::close(fd);
        return false;
    }
    listenFd = fd;
    listenPort = ntohs(address.sin_port);
    serverSource.thread = std::thread(serve, serverSource.wake[0]);
    return true;
}

int monitorServerPort() { return listenFd >= 0 ? listenPort : 0; }

bool monitorClientAttached() {
    std::lock_guard<std::mutex> lock(clientsMutex);
    return tcpClient != nullptr;
}

bool waitMonitorLine(MonitorLine& out, int timeoutMs) {
    std::unique_lock<std::mutex> lock(inboxMutex);
    inboxReady.wait_for(lock, std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs), [] { return !inbox.empty(); });
    return takeLine(out);
}

bool pollMonitorLine(MonitorLine& out) {
    std::lock_guard<std::mutex> lock(inboxMutex);
    return takeLine(out);
}

void broadcastMonitor(const std::string& text) {
    std::shared_ptr<MonitorClient> console, remote;
    {
        std::lock_guard<std::mutex> lock(clientsMutex);
        console = stdoutClient;
        remote = tcpClient;
    }
    if (console) console->send(text);
    if (remote) remote->send(text);
}

StopAtExit::~StopAtExit() { stopMonitorChannels(); }

void stopMonitorChannels() {
    stdinSource.stop();
    serverSource.stop();
    if (listenFd >= 0) ::close(listenFd);
    listenFd = -1;
    listenPort = 0;
    {
        std::lock_guard<std::mutex> lock(clientsMutex);
        stdoutClient.reset();
    }
    detachClient();
    std::lock_guard<std::mutex> lock(inboxMutex);
    inbox.clear();
}
