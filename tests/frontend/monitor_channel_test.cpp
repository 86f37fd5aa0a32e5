#include "frontend/monitor_channel.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

namespace {

int connectTo(in_addr_t host, int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = host;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// A client of the monitor: writes lines, reads what comes back within a time limit.
struct Client {
    int fd = -1;
    std::string pending;

    explicit Client(int port) : fd(connectTo(htonl(INADDR_LOOPBACK), port)) {}
    ~Client() {
        if (fd >= 0) ::close(fd);
    }
    void write(const std::string& text) const {
        ASSERT_EQ(::send(fd, text.data(), text.size(), MSG_NOSIGNAL), ssize_t(text.size()));
    }
    // One line, or "<eof>" / "<timeout>".
    std::string readLine() {
        for (;;) {
            const size_t end = pending.find('\n');
            if (end != std::string::npos) {
                std::string line = pending.substr(0, end);
                pending.erase(0, end + 1);
                return line;
            }
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0) return "<timeout>";
            char buffer[512];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) return "<eof>";
            pending.append(buffer, static_cast<size_t>(n));
        }
    }
};

// The monitor's side: the next line within five seconds, answered with "ok <line>".
std::string answerNext() {
    MonitorLine line;
    if (!waitMonitorLine(line, 5000)) return "<none>";
    line.client->send("ok " + line.text + "\n");
    return line.text;
}

class MonitorServer : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(startMonitorServer(0, error)) << error;
        port = monitorServerPort();
        ASSERT_GT(port, 0);
    }
    void TearDown() override { stopMonitorChannels(); }

    bool waitAttached(bool attached) {
        for (int i = 0; i < 500; ++i) {
            if (monitorClientAttached() == attached) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    int port = 0;
};

TEST_F(MonitorServer, OneClientAtATimeWithLinesAnsweredAndOverlongLinesRefused) {
    auto first = std::make_unique<Client>(port);
    ASSERT_GE(first->fd, 0);
    first->write("regs\r\nstep 3\n");
    EXPECT_EQ(answerNext(), "regs");
    EXPECT_EQ(answerNext(), "step 3");
    EXPECT_EQ(first->readLine(), "ok regs");
    EXPECT_EQ(first->readLine(), "ok step 3");
    ASSERT_TRUE(waitAttached(true));
    broadcastMonitor("stopped at &0038\n");
    EXPECT_EQ(first->readLine(), "stopped at &0038");

    // Longer than the limit, sent in pieces: one error, the rest dropped, the next line intact.
    first->write(std::string(kMonitorLineLimit, 'x'));
    first->write(std::string(3 * kMonitorLineLimit, 'y') + "\nafter\n");
    EXPECT_EQ(first->readLine(), "error: line too long");
    EXPECT_EQ(answerNext(), "after");
    EXPECT_EQ(first->readLine(), "ok after");

    Client second(port);
    ASSERT_GE(second.fd, 0);
    EXPECT_EQ(second.readLine(), "error: monitor busy");
    EXPECT_EQ(second.readLine(), "<eof>");

    first.reset();
    ASSERT_TRUE(waitAttached(false));
    Client third(port);
    third.write("mem 4000\n");
    EXPECT_EQ(answerNext(), "mem 4000");
    EXPECT_EQ(third.readLine(), "ok mem 4000");
    MonitorLine none;
    EXPECT_FALSE(pollMonitorLine(none));
}

TEST_F(MonitorServer, IsNotReachableOnAnotherAddressOfTheMachine) {
    ifaddrs* list = nullptr;
    ASSERT_EQ(::getifaddrs(&list), 0);
    in_addr_t other = 0;
    for (ifaddrs* entry = list; entry && !other; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET) continue;
        const in_addr_t host = reinterpret_cast<sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr;
        if ((ntohl(host) >> 24) != 127) other = host;
    }
    ::freeifaddrs(list);
    if (!other) GTEST_SKIP() << "the machine has no IPv4 address besides the loopback";
    const int fd = connectTo(other, port);
    const int reason = errno;
    if (fd >= 0) ::close(fd);
    EXPECT_LT(fd, 0);
    EXPECT_EQ(reason, ECONNREFUSED);
    // The loopback still answers.
    Client local(port);
    EXPECT_GE(local.fd, 0);
}

TEST(MonitorStdin, LinesThenQuitOnceAtTheEndOfTheInput) {
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    std::string error;
    ASSERT_TRUE(startMonitorStdin(error, pipeFds[0])) << error;
    const std::string text = "break 0038\nlast without end";
    ASSERT_EQ(::write(pipeFds[1], text.data(), text.size()), ssize_t(text.size()));
    ::close(pipeFds[1]);
    std::string got;
    MonitorLine line;
    while (got.find("quit") == std::string::npos && waitMonitorLine(line, 2000)) got += line.text + "|";
    EXPECT_EQ(got, "break 0038|last without end|quit|");
    EXPECT_FALSE(waitMonitorLine(line, 100)) << "one quit only";
    stopMonitorChannels();
    ::close(pipeFds[0]);
}

TEST(MonitorStdin, StopsWhileTheInputStaysOpen) {
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    std::string error;
    ASSERT_TRUE(startMonitorStdin(error, pipeFds[0])) << error;
    stopMonitorChannels();  // would hang on a blocked read
    MonitorLine line;
    EXPECT_FALSE(pollMonitorLine(line));
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
}

}  // namespace
