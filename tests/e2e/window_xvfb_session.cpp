#include "window_xvfb_session.h"

#include <dlfcn.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "e2e/monitor_client.h"
#include "support/window_test_images.h"

// Only for the event layout of a window manager's close request; the library
// itself is loaded at run time.
#include <X11/Xlib.h>

namespace window_test {

namespace fs = std::filesystem;

namespace {

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool onPath(const char* tool) { return runCommand(std::string("command -v ") + tool + " >/dev/null") == 0; }

bool stopProcess(pid_t pid, bool group) {
    if (pid <= 0) return true;
    kill(group ? -pid : pid, SIGTERM);
    if (pollFor(
            2, [&] { return waitpid(pid, nullptr, WNOHANG) == pid; }, 20))
        return true;
    kill(group ? -pid : pid, SIGKILL);
    return waitpid(pid, nullptr, 0) == pid;
}

bool grab(const std::string& window, const std::string& file, test_support::RgbaImage& picture) {
    return runCommand("import -window " + window + " png:" + shellQuote(file)) == 0 &&
           test_support::loadPngImage(file, picture);
}

}  // namespace

bool XvfbSession::toolsPresent() { return onPath("xvfb-run") && onPath("xdotool") && onPath("import"); }

XvfbSession::XvfbSession() {
    if (!toolsPresent()) {
        failure_ = "xvfb-run, xdotool or ImageMagick's import is not installed (scripts/setup.sh installs them)";
        return;
    }
    // Tests run in parallel, each with a server of its own: a display number
    // taken by another test between choosing and starting makes us try again.
    for (int attempt = 0; attempt < 4 && display_.empty(); ++attempt) {
        fs::path info =
            fs::temp_directory_path() / ("kestrix-xvfb-" + std::to_string(getpid()) + "-" + std::to_string(attempt));
        fs::remove(info);
        // -noreset: by default the server starts afresh whenever its last client
        // leaves (an xdotool poll before kestrix has connected), and a window
        // made while it does so is lost.
        std::string script =
            "exec xvfb-run -a -s '-screen 0 1280x1024x24 -nolisten tcp -noreset' sh -c 'echo \"$DISPLAY $XAUTHORITY\" "
            "> " +
            info.string() + "; exec sleep 3600' >/dev/null 2>&1";
        pid_t pid = fork();
        if (pid == 0) {
            setpgid(0, 0);
            execl("/bin/sh", "sh", "-c", script.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        if (pid < 0) break;
        setpgid(pid, pid);
        group_ = pid;
        pollFor(
            60,
            [&] {
                std::ifstream in(info);
                std::string display, auth;
                if (in >> display >> auth) {
                    display_ = display;
                    setenv("DISPLAY", display.c_str(), 1);
                    setenv("XAUTHORITY", auth.c_str(), 1);
                    return true;
                }
                if (waitpid(pid, nullptr, WNOHANG) == pid) group_ = -1;
                return group_ == -1;
            },
            50);
        fs::remove(info);
        if (display_.empty()) {
            if (group_ > 0) stopProcess(group_, true);
            group_ = -1;
            sleepMs(200 + 150 * attempt + getpid() % 100);
        }
    }
    if (display_.empty()) failure_ = "xvfb-run did not start an X server";
}

XvfbSession::~XvfbSession() {
    if (group_ > 0) stopProcess(group_, true);
    unsetenv("DISPLAY");
    unsetenv("XAUTHORITY");
}

KestrixWindow::KestrixWindow(bool withImages, bool withRoms) : home_(withRoms) {
    std::error_code ec;
    if (withImages) fs::create_directory_symlink(generatedImageDir(), fs::path(home_.path()) / "IMG", ec);
    logPath_ = home_.path() + "/kestrix.log";
    font_.loadFromOsRom(test_support::sharedOsRom("6128"));
}

KestrixWindow::~KestrixWindow() {
    if (pid_ > 0) stopProcess(pid_, false);
}

bool KestrixWindow::start(const std::vector<std::string>& args) {
    std::vector<std::string> words = {KESTRIX_EXE};
    words.insert(words.end(), args.begin(), args.end());
    pid_t pid = fork();
    if (pid == 0) {
        FILE* log = std::freopen(logPath_.c_str(), "w", stdout);
        if (log) dup2(fileno(stdout), STDERR_FILENO);
        setenv("KESTRIX_HOME", home_.path().c_str(), 1);
        if (!getenv("SDL_AUDIODRIVER")) setenv("SDL_AUDIODRIVER", "dummy", 1);
        // Under the sanitizers: X11 and D-Bus, loaded by SDL for the window, keep
        // allocations of their own until exit, some in libraries already unloaded
        // (no name to suppress); the program's own leaks are checked headless.
        setenv("LSAN_OPTIONS", "detect_leaks=0", 1);
        for (const std::string& e : env_) putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> argv;
        for (auto& w : words) argv.push_back(const_cast<char*>(w.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    pid_ = pid;
    return pid > 0;
}

std::string KestrixWindow::waitForWindow(double seconds, const std::string& title) {
    std::string out;
    bool found = false;
    pollFor(seconds, [&] {
        found = runCommand("xdotool search --onlyvisible --name " + shellQuote("^" + title + "$"), &out) == 0 &&
                !out.empty();
        if (!found && pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == pid_) pid_ = -1;
        return found || pid_ == -1;
    });
    return found ? window_ = out.substr(0, out.find('\n')) : "";
}

std::string KestrixWindow::title() const {
    std::string out;
    runCommand("xdotool getwindowname " + window_, &out);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

bool KestrixWindow::geometry(int& w, int& h) const {
    std::string out;
    if (runCommand("xdotool getwindowgeometry " + window_, &out) != 0) return false;
    size_t at = out.find("Geometry: ");
    return at != std::string::npos && std::sscanf(out.c_str() + at, "Geometry: %dx%d", &w, &h) == 2;
}

bool KestrixWindow::screenshot(test_support::RgbaImage& picture) const {
    return grab(window_, home_.file("window.png"), picture);
}

bool KestrixWindow::screenshotRoot(test_support::RgbaImage& picture) const {
    return grab("root", home_.file("root.png"), picture);
}

test_support::ScreenText KestrixWindow::readScreen() const {
    test_support::RgbaImage shot;
    if (!screenshot(shot) || shot.width < 768 || shot.height < 548) return {};
    return test_support::readScreenText(crop(shot, 0, 0, 768, 548), font_);
}

bool KestrixWindow::waitForText(const std::string& text, double seconds, test_support::ScreenText* last) const {
    test_support::ScreenText screen;
    const bool found = pollFor(
        seconds, [&] { return (screen = readScreen()).contains(text); }, 200);
    if (last) *last = screen;
    return found;
}

bool KestrixWindow::typeKeys(const std::vector<std::string>& keys) const {
    // The firmware looks at the keyboard once a frame: a key must stay down
    // for more than 20 ms to be seen, and up as long to be seen again.
    // Focus first: the program takes stock of the held keys when it gains focus.
    std::string command = "xdotool windowfocus " + window_ + " sleep 0.3";
    for (const std::string& combo : keys) {
        std::vector<std::string> parts;
        std::stringstream ss(combo);
        for (std::string part; std::getline(ss, part, '+');) parts.push_back(part);
        for (const auto& p : parts) command += " keydown " + p;
        command += " sleep 0.08";
        for (auto it = parts.rbegin(); it != parts.rend(); ++it) command += " keyup " + *it;
        command += " sleep 0.08";
    }
    return runCommand(command) == 0;
}

bool KestrixWindow::key(const std::string& combo) const {
    return runCommand("xdotool windowfocus " + window_ + " sleep 0.3 key " + combo) == 0;
}

bool KestrixWindow::requestClose(const std::string& window) const {
    void* x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    if (!x11) return false;
    auto openDisplay = reinterpret_cast<Display* (*)(const char*)>(dlsym(x11, "XOpenDisplay"));
    auto internAtom = reinterpret_cast<Atom (*)(Display*, const char*, int)>(dlsym(x11, "XInternAtom"));
    auto sendEvent = reinterpret_cast<int (*)(Display*, Window, int, long, XEvent*)>(dlsym(x11, "XSendEvent"));
    auto flush = reinterpret_cast<int (*)(Display*)>(dlsym(x11, "XFlush"));
    auto closeDisplay = reinterpret_cast<int (*)(Display*)>(dlsym(x11, "XCloseDisplay"));
    bool sent = false;
    if (openDisplay && internAtom && sendEvent && flush && closeDisplay) {
        if (Display* display = openDisplay(nullptr)) {
            XEvent event{};
            event.xclient.type = ClientMessage;
            event.xclient.window = std::strtoul((window.empty() ? window_ : window).c_str(), nullptr, 10);
            event.xclient.message_type = internAtom(display, "WM_PROTOCOLS", 0);
            event.xclient.format = 32;
            event.xclient.data.l[0] = static_cast<long>(internAtom(display, "WM_DELETE_WINDOW", 0));
            event.xclient.data.l[1] = CurrentTime;
            sent = sendEvent(display, event.xclient.window, 0, NoEventMask, &event) != 0;
            flush(display);
            closeDisplay(display);
        }
    }
    dlclose(x11);
    return sent;
}

int KestrixWindow::waitForExit(double seconds) {
    if (pid_ <= 0) return -1;
    int status = 0;
    const bool exited = pollFor(
        seconds, [&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, 50);
    if (!exited) stopProcess(pid_, false);
    pid_ = -1;
    return exited && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool XvfbTest::open(KestrixWindow& k, const std::vector<std::string>& args, bool toBasic) {
    EXPECT_TRUE(k.start(args));
    if (k.waitForWindow().empty()) {
        ADD_FAILURE() << "no window appeared; log:\n" << k.log();
        return false;
    }
    return !toBasic || reachBasic(k);
}

int XvfbTest::openWithMonitor(KestrixWindow& k) {
    const int port = monitor_client::freePort();
    if (!open(k, {"--monitor-port=" + std::to_string(port)}, true)) return -1;
    const int client = monitor_client::connectWhenListening(port);
    if (client < 0) ADD_FAILURE() << "nothing listens on the monitor port; log:\n" << k.log();
    return client;
}

bool XvfbTest::reachBasic(KestrixWindow& k) {
    test_support::ScreenText screen;
    if (k.waitForText("Ready", 60, &screen)) return true;
    ADD_FAILURE() << "the machine does not reach the BASIC prompt; the screen reads:\n" << screen.dump();
    k.requestClose();
    k.waitForExit();
    return false;
}

void XvfbTest::closeAndExpectCleanExit(KestrixWindow& k) {
    ASSERT_TRUE(k.requestClose());
    EXPECT_EQ(k.waitForExit(), 0) << k.log();
}

bool KestrixWindow::kill() {
    if (pid_ <= 0) return false;
    ::kill(pid_, SIGKILL);
    int status = 0;
    const bool reaped = waitpid(pid_, &status, 0) == pid_;
    pid_ = -1;
    return reaped && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

std::string KestrixWindow::log() const {
    const std::vector<uint8_t> bytes = fileBytes(logPath_);
    return {bytes.begin(), bytes.end()};
}

}  // namespace window_test
