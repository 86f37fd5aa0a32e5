#include "frontend/csl_runner.h"

#include <SDL.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "asic/asic.h"
#include "debug/debugger.h"
#include "disk/fdc765.h"
#include "disk/floppy_drive.h"
#include "frontend/autorun.h"
#include "frontend/media_cartridge.h"
#include "frontend/media_loader.h"
#include "frontend/media_snapshot.h"
#include "frontend/media_tape.h"
#include "frontend/screenshot.h"
#include "machine/config.h"
#include "machine/cpc.h"
#include "machine/emulation_thread.h"
#include "machine/frontend_hooks.h"
#include "machine/memory.h"
#include "machine/model.h"
#include "machine/timed_actions.h"
#include "script/csl_parser.h"
#include "script/key_text.h"
#include "snapshot/sna_file.h"
#include "tape/tape_drive.h"
#include "video/gate_array.h"

namespace {

constexpr size_t kMaxScriptDepth = 8;
constexpr size_t kMaxScriptBytes = 1 << 20;
// A wait for the machine (drive, VSYNC, SSM code) gives up after this much emulated time.
constexpr uint64_t kConditionTimeoutUs = 600ull * 1000000;

struct Script {
    std::string path, canonical, dir, version;
    std::vector<std::string> lines;
    size_t next = 0;
};

enum class Wait { None, Time, Typing, Drive, Vsync, Ssm0000 };
enum class AfterWait { Nothing, Screenshot, Snapshot };

struct Runner {
    std::vector<Script> stack;
    CslState state = CslState::None;
    std::string report;
    std::string romDir, diskDir, tapeDir, snapshotDir, screenshotDir;
    std::string screenshotName, snapshotName, firstName;
    int shots = 0, snapshots = 0;
    KeyTiming timing;
    Wait wait = Wait::None;
    AfterWait after = AfterWait::Nothing;
    uint64_t due = 0, waitStart = 0;
    unsigned drivesLeft = 0;
    bool driveWasOn = false;
    bool stopSeen = false, ssm0000Seen = false;
    bool ssmOption = false;
    // The instruction running, for a report from an SSM code.
    CslInstruction current;
};

Runner runner;

uint64_t emulatedNow() {
    if (!headlessMode) return uint64_t(framesEmulated.load(std::memory_order_relaxed)) * kFrameMicroseconds;
    // Inside a frame the debugger stopped, time stands at the stop.
    const gaCPC* chip = isPlusModel(cpcType) ? static_cast<gaCPC*>(as) : ga;
    if (chip && chip->frameStepsLeft) runTimedActionsDue(chip->frameStepsLeft);
    return emulatedTimeMicroseconds();
}

uint32_t timeUp(uint32_t, void*) {
    debugger.stopForScript(false);
    return 0;
}

bool fileReadable(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::fclose(f);
    return true;
}

bool readWholeFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    text = buffer.str();
    if (text.size() > kMaxScriptBytes) text.resize(kMaxScriptBytes);
    return true;
}

std::string canonicalPath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

void fail(const std::string& file, int line, const std::string& instruction, const std::string& reason,
          const std::string& version) {
    runner.report = "csl: " + file + " line " + std::to_string(line) + ": " + instruction + ": " + reason +
                    " (script declares version " + (version.empty() ? "none" : version) + "; Kestrix reads " +
                    kCslVersion + ", accepting 1.0 to 1.4)";
    runner.state = CslState::Failed;
    runner.stack.clear();
    runner.wait = Wait::None;
    debugger.watchSsm(runner.ssmOption);
    // Logged, and on the display with a window.
    textShowOSD("%s", runner.report.c_str());
}

bool failHere(const std::string& reason) {
    const Script& s = runner.stack.back();
    fail(s.path, runner.current.line, runner.current.name, reason, s.version);
    return false;
}

bool pushScript(const std::string& path) {
    Script s;
    s.path = path;
    s.canonical = canonicalPath(path);
    s.dir = cslDirectoryOf(path);
    std::string text;
    if (!readWholeFile(path, text)) return false;
    s.lines = splitCslLines(text);
    runner.stack.push_back(std::move(s));
    return true;
}

std::string inDir(const std::string& dir, const std::string& name) {
    return cslResolvePath(dir.empty() ? runner.stack.back().dir : dir, name);
}

std::string outputDir(const std::string& dir) {
    if (!dir.empty()) return dir;
    return runner.stack.empty() ? std::string() : runner.stack.front().dir;
}

bool machineStarted(bool ok) { return ok || failHere("the machine could not be built (ROM images missing?)"); }

// The output's name: the one asked for, else the script's with a number.
std::string outputPath(const std::string& dir, std::string& pending, int& count, const char* extension) {
    std::string name = pending;
    pending.clear();
    if (name.empty()) {
        char number[16];
        std::snprintf(number, sizeof number, "_%03d", count++);
        name = runner.firstName + number;
    }
    return cslResolvePath(outputDir(dir), name + extension);
}

bool writeOutput(bool screenshot, const std::string& path) {
    // A test walk's directory of pictures may not exist yet.
    const std::string dir = cslDirectoryOf(path);
    std::error_code ignored;
    if (!dir.empty()) std::filesystem::create_directories(dir, ignored);
    const bool ok = screenshot ? writeScreenshotPNG(path.c_str()) : writeSNAFile(path.c_str());
    if (ok) SDL_Log("csl: %s %s written", screenshot ? "screenshot" : "snapshot", path.c_str());
    return ok;
}

bool takeOutput(AfterWait what) {
    const bool screenshot = what == AfterWait::Screenshot;
    const std::string path = screenshot ? outputPath(runner.screenshotDir, runner.screenshotName, runner.shots, ".png")
                                        : outputPath(runner.snapshotDir, runner.snapshotName, runner.snapshots, ".sna");
    return writeOutput(screenshot, path) || failHere("cannot write " + path);
}

void handleSsm(uint16_t code) {
    SDL_Log("ssm: code %04X at PC=%04X", code, debugger.lastStop().pc);
    if (code == 0x0000) {
        runner.ssm0000Seen = true;
        return;
    }
    if (code != 0xFFFE && code != 0xFFFF) return;
    const bool screenshot = code == 0xFFFE;
    std::string& pending = screenshot ? runner.screenshotName : runner.snapshotName;
    char fallback[32];
    std::snprintf(fallback, sizeof fallback, "Kestrix_%u_%04X", unsigned(crtcType), code);
    const std::string name = pending.empty() ? fallback : pending;
    pending.clear();
    const std::string path = cslResolvePath(outputDir(screenshot ? runner.screenshotDir : runner.snapshotDir),
                                            name + (screenshot ? ".png" : ".sna"));
    if (!writeOutput(screenshot, path) && runner.state == CslState::Running) failHere("cannot write " + path);
}

bool drivesOn() {
    if (!fdc) return false;
    return (fd0 && fd0->motorSwitch.load(std::memory_order_relaxed)) ||
           (fd1 && fd1->motorSwitch.load(std::memory_order_relaxed));
}

void startWait(Wait kind) {
    runner.wait = kind;
    runner.waitStart = emulatedNow();
    runner.stopSeen = false;
    runner.ssm0000Seen = false;
}

// True when the wait has ended (and its follow-up has been done).
bool waitOver() {
    switch (runner.wait) {
        case Wait::None: return true;
        case Wait::Time:
            if (emulatedNow() < runner.due) return false;
            break;
        case Wait::Typing:
            if (autorunInProgress()) return false;
            break;
        case Wait::Drive: {
            const bool on = drivesOn();
            if (runner.drivesLeft && runner.driveWasOn && !on) --runner.drivesLeft;
            runner.driveWasOn = on;
            if (runner.drivesLeft) break;
            runner.wait = Wait::None;
            return true;
        }
        case Wait::Vsync:
            if (!runner.stopSeen) break;
            runner.wait = Wait::None;
            if (runner.after != AfterWait::Nothing) {
                const AfterWait what = runner.after;
                runner.after = AfterWait::Nothing;
                return takeOutput(what);
            }
            return true;
        case Wait::Ssm0000:
            if (runner.ssm0000Seen) break;
            if (emulatedNow() - runner.waitStart > kConditionTimeoutUs) return failHere("timed out");
            return false;
    }
    if (runner.wait == Wait::Drive || runner.wait == Wait::Vsync) {
        if (emulatedNow() - runner.waitStart > kConditionTimeoutUs) return failHere("timed out");
        return false;
    }
    runner.wait = Wait::None;
    return true;
}

uint32_t toMs(const std::string& microseconds) {
    return static_cast<uint32_t>((std::strtoull(microseconds.c_str(), nullptr, 10) + 999) / 1000);
}

bool startTyping(const std::string& text, bool newlines) {
    std::vector<KeyStroke> strokes;
    std::string error;
    if (!parseKeyText(text, newlines, strokes, error)) return failHere(error);
    autorunStrokes(strokes, runner.timing, 0);
    startWait(Wait::Typing);
    return true;
}

bool needFile(const std::string& path) { return fileReadable(path) || failHere("file not found: " + path); }

bool loaded(bool ok, const std::string& path) { return ok || failHere("cannot load " + path); }

bool execute(const CslInstruction& in) {
    Script& s = runner.stack.back();
    const std::string& a0 = in.args.empty() ? std::string() : in.args[0];
    const std::string& name = in.name;
    if (name == "csl_version") {
        s.version = a0;
    } else if (name == "reset") {
        autorunCancel();
        const bool soft = !a0.empty() && (a0[0] == 's' || a0[0] == 'S');
        if (soft) {
            withEmulationStopped([] {
                soft_reset();
                return 0;
            });
        } else if (!machineStarted(withEmulationStopped([] { return startCPC(); }))) {
            return false;
        }
    } else if (name == "crtc_select") {
        const char type = a0[0];
        if (a0.size() == 2) SDL_Log("csl: CRTC %s is a type 1 CRTC, run as type 1", a0.c_str());
        const char text[2] = {type, 0};
        withEmulationStopped([&] { return applyCrtcTypeText(text); });
    } else if (name == "gate_array") {
        SDL_Log("csl: gate array %s accepted: the machine has one gate array model", a0.c_str());
    } else if (name == "cpc_model") {
        static const uint8_t kModels[7] = {CPC464, CPC664, CPC6128, NoModel, CPC6128Plus, CPC464Plus, GX4000};
        const uint8_t model = kModels[a0[0] - '0'];
        if (!machineStarted(withEmulationStopped([model] { return changeCPCType(model, false); }))) return false;
    } else if (name == "memory_exp") {
        // The memory model has plain expansions: a silicon disc is built as 256K of them.
        static const uint16_t kKb[5] = {128, 320, 320, 4160, 576};
        const int n = a0[0] - '0';
        if (n == 2) SDL_Log("csl: memory_exp 2 (256K silicon disc) built as a 256K standard expansion");
        withEmulationStopped([n] {
            changeCPCMemory(kKb[n]);
            return 0;
        });
    } else if (name == "rom_dir") {
        runner.romDir = cslResolvePath(s.dir, a0);
    } else if (name == "rom_config") {
        const std::string path = inDir(runner.romDir, in.args.back());
        if (!needFile(path)) return false;
        const char kind = static_cast<char>(a0[0] | 0x20);
        bool ok;
        if (kind == 'u') {
            const auto slot = static_cast<uint8_t>(std::atoi(in.args[1].c_str()));
            ok = withEmulationStopped([&] { return readFileUrom(path.c_str(), slot); });
        } else if (kind == 'l') {
            ok = withEmulationStopped([&] { return SDL_readFileLrom(path.c_str()); });
        } else {
            ok = load_cartridge_file(path.c_str());
        }
        if (!loaded(ok, path)) return false;
    } else if (name == "disk_insert") {
        const int unit = in.args.size() == 2 && (a0[0] | 0x20) == 'b' ? 1 : 0;
        const std::string path = inDir(runner.diskDir, in.args.back());
        if (!needFile(path)) return false;
        if (!fdc) withEmulationStopped([] {
            changeCPCFdc(true, 2);
            return 0;
        });
        if (!loaded(load_file_snadsk(path.c_str(), unit), path)) return false;
    } else if (name == "disk_dir") {
        runner.diskDir = cslResolvePath(s.dir, a0);
    } else if (name == "tape_dir") {
        runner.tapeDir = cslResolvePath(s.dir, a0);
    } else if (name == "snapshot_dir") {
        runner.snapshotDir = cslResolvePath(s.dir, a0);
    } else if (name == "screenshot_dir") {
        runner.screenshotDir = cslResolvePath(s.dir, a0);
    } else if (name == "tape_insert") {
        const std::string path = inDir(runner.tapeDir, a0);
        if (!needFile(path) || !loaded(load_tape_file(path.c_str()), path)) return false;
    } else if (name == "tape_play" || name == "tape_stop" || name == "tape_rewind") {
        if (!tape) return true;
        withEmulationStopped([&] {
            if (name == "tape_rewind") tape->rewind(0);
            else tape->playPause(name == "tape_play");
            return 0;
        });
    } else if (name == "snapshot_load") {
        const std::string path = inDir(runner.snapshotDir, a0);
        if (!needFile(path) || !loaded(load_snapshot_file(path.c_str()), path)) return false;
    } else if (name == "key_delay") {
        runner.timing.pressMs = toMs(in.args[0]);
        runner.timing.releaseMs = toMs(in.args[1]);
        if (in.args.size() > 2) runner.timing.afterReturnMs = toMs(in.args[2]);
    } else if (name == "key_output") {
        return startTyping(a0, false);
    } else if (name == "key_from_file") {
        const std::string path = inDir("", a0);
        std::string text;
        if (!needFile(path) || !readWholeFile(path, text)) return false;
        return startTyping(text, true);
    } else if (name == "wait") {
        const uint64_t n = std::strtoull(a0.c_str(), nullptr, 10);
        startWait(Wait::Time);
        runner.due = runner.waitStart + n;
        if (headlessMode && n) scheduleTimedActionUs(n, timeUp, nullptr);
    } else if (name == "wait_driveonoff") {
        startWait(Wait::Drive);
        runner.drivesLeft = a0.empty() ? 1 : static_cast<unsigned>(std::strtoul(a0.c_str(), nullptr, 10));
        runner.driveWasOn = drivesOn();
    } else if (name == "wait_vsyncoffon" || ((name == "screenshot" || name == "snapshot") && !a0.empty())) {
        runner.after = name == "screenshot" ? AfterWait::Screenshot
                       : name == "snapshot" ? AfterWait::Snapshot
                                            : AfterWait::Nothing;
        startWait(Wait::Vsync);
        debugger.stopForScript(true);
    } else if (name == "wait_ssm0000") {
        startWait(Wait::Ssm0000);
    } else if (name == "screenshot_name") {
        runner.screenshotName = a0;
    } else if (name == "snapshot_name") {
        runner.snapshotName = a0;
    } else if (name == "screenshot" || name == "snapshot") {
        return takeOutput(name == "screenshot" ? AfterWait::Screenshot : AfterWait::Snapshot);
    } else if (name == "snapshot_version") {
        if (a0 != "3") SDL_Log("csl: snapshot_version %s accepted: snapshots are written as version 3", a0.c_str());
    } else if (name == "csl_load") {
        const std::string path = cslResolvePath(s.dir, a0);
        if (!needFile(path)) return false;
        const std::string canonical = canonicalPath(path);
        for (const Script& open : runner.stack)
            if (open.canonical == canonical) return failHere("script " + path + " loads itself");
        if (runner.stack.size() >= kMaxScriptDepth) return failHere("scripts nested too deep");
        if (!pushScript(path)) return failHere("cannot read " + path);
    }
    return true;
}

// Runs instructions until one waits, the script ends or an error.
void runInstructions() {
    while (runner.state == CslState::Running) {
        if (!waitOver()) return;
        if (runner.state != CslState::Running) return;
        Script& s = runner.stack.back();
        if (s.next >= s.lines.size()) {
            runner.stack.pop_back();
            if (runner.stack.empty()) {
                runner.state = CslState::Finished;
                debugger.watchSsm(runner.ssmOption);
                SDL_Log("csl: script ended");
            }
            continue;
        }
        const int line = static_cast<int>(++s.next);
        bool empty = false;
        std::string error;
        if (!parseCslLine(s.lines[line - 1], line, runner.current, empty, error)) {
            std::string word = s.lines[line - 1];
            const size_t start = word.find_first_not_of(" \t");
            word = start == std::string::npos ? "" : word.substr(start, word.find_first_of(" \t;", start) - start);
            fail(s.path, line, word, error, s.version);
            return;
        }
        if (!empty) execute(runner.current);
    }
}

// Something to do this turn: a wait that may be over or have timed out.
bool workWaiting() {
    const bool late = emulatedNow() - runner.waitStart > kConditionTimeoutUs;
    switch (runner.wait) {
        case Wait::Time: return emulatedNow() >= runner.due;
        case Wait::Typing: return !autorunInProgress();
        case Wait::Drive: return drivesOn() != runner.driveWasOn || late;
        case Wait::Vsync: return runner.stopSeen || late;
        case Wait::Ssm0000: return runner.ssm0000Seen || late;
        default: return true;
    }
}

}  // namespace

bool startCslScript(const std::string& path) {
    const bool ssm = runner.ssmOption;
    runner = Runner{};
    runner.ssmOption = ssm;
    runner.firstName = cslBaseName(path);
    if (!fileReadable(path) || !pushScript(path)) {
        runner.state = CslState::Failed;
        fail(path, 0, "--csl", "file not found", "");
        return false;
    }
    runner.state = CslState::Running;
    debugger.watchSsm(true);
    return true;
}

void enableSsmOption() {
    runner.ssmOption = true;
    debugger.watchSsm(true);
}

bool cslOwnsStop(const StopReport& stop) { return stop.reason == StopReason::Ssm || stop.reason == StopReason::Script; }

const std::string& cslErrorReport() { return runner.report; }

CslState cslTurn() {
    if (debugger.stopped() && cslOwnsStop(debugger.lastStop())) {
        withEmulationStopped([] {
            const StopReport stop = debugger.lastStop();
            if (stop.reason == StopReason::Ssm) handleSsm(stop.address);
            else runner.stopSeen = true;
            debugger.resume();
            return 0;
        });
    }
    if (runner.state != CslState::Running) return runner.state;
    if (!workWaiting()) return runner.state;
    withEmulationStopped([] {
        runInstructions();
        return 0;
    });
    return runner.state;
}
