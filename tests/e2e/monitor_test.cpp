// The debugger's monitor driven the way a script drives it: the assembled
// test program loaded at &4000, commands on standard input or over TCP, the
// answers checked line by line against the program's own symbol table.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "debug/symbol_table.h"
#include "e2e/headless_run.h"
#include "e2e/monitor_client.h"
#include "support/shared_files.h"
#include "support/temp_home.h"

using namespace test_support;
using namespace monitor_client;

namespace {

const std::string kProgram = std::string(KESTRIX_PROGRAM_BIN_DIR) + "/monitor_target";

struct Target {
    SymbolTable symbols;
    bool ready = false;
    std::string hex(const char* label, int plus = 0) const {
        char text[8];
        std::snprintf(text, sizeof text, "%04X", symbols.valueOf(label).value_or(0) + plus);
        return text;
    }
};

Target loadTarget() {
    Target t;
    std::string error;
    t.ready = std::ifstream(kProgram + ".bin").good() && t.symbols.addFile(kProgram + ".sym", error);
    return t;
}

#define SKIP_WITHOUT_TARGET(t) \
    if (!(t).ready) GTEST_SKIP() << "the debugger's test program was not assembled (pasmo missing): " << kProgram

// The script's first lines: the program in place of the firmware.
std::string preamble() { return "load " + kProgram + ".bin &4000\nset PC &4000\n"; }

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Each expected pattern in order, each on a line of its own after the previous one's.
void expectInOrder(const std::string& output, const std::vector<std::string>& patterns) {
    const std::vector<std::string> lines = linesOf(output);
    size_t at = 0;
    for (const std::string& pattern : patterns) {
        const std::regex re(pattern);
        while (at < lines.size() && !std::regex_match(lines[at], re)) ++at;
        ASSERT_LT(at, lines.size()) << "no line matching '" << pattern << "' in order in:\n" << output;
        ++at;
    }
}

std::string runScript(const TempKestrixHome& home, const std::string& script, std::vector<std::string> args = {}) {
    const std::string file = home.path() + "/script.txt";
    std::ofstream(file) << script;
    args.insert(args.begin(), {"--frames=200", "--monitor", "-c", "6128"});
    const HeadlessResult r = runKestrixHeadless(home.path(), args, file);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    return r.output;
}

TEST(Monitor, BreakPointsStepsAndLabelsFollowTheProgram) {
    SKIP_WITHOUT_SHARED_ROMS();
    const Target t = loadTarget();
    SKIP_WITHOUT_TARGET(t);
    TempKestrixHome home;
    const std::string output = runScript(home,
                                         preamble() +
                                             "disasm loop 3\n"
                                             "break after\nif 1 B==5\ncontinue\nregs\ndelete 1\n"
                                             "toggle loop\ncontinue\nstep\nnext\ntoggle loop\n"
                                             "break double\ncontinue\nfinish\ndelete 3\n"
                                             "watch w result\ncontinue\n"
                                             "set Q 1\nfrobnicate\nmem &10000\nui\n"
                                             "poke &0100 &AB &CD ram 2\nmem &0100 2 ram 2\npoke &0100 1 ram 99\nquit\n",
                                         {"--symbols=" + kProgram + ".sym"});
    expectInOrder(output, {
                              "stopped start PC=0000",
                              "loop:",
                              t.hex("LOOP") + " .*INC B",
                              ".*CALL double",
                              // The condition lets the first four passes go.
                              "stopped break 1 PC=" + t.hex("AFTER") + " at=after",
                              "B=05",
                              "stopped break 2 PC=" + t.hex("LOOP") + " at=loop",
                              "stopped step PC=" + t.hex("LOOP", 1),
                              // Over the call, to the next instruction.
                              "stopped step PC=" + t.hex("AFTER") + " at=after",
                              "deleted 2",
                              "stopped break 3 PC=" + t.hex("DOUBLE") + " at=double",
                              // Out of the routine, back in the caller.
                              "stopped step PC=" + t.hex("AFTER") + " at=after",
                              "stopped watch 4 write addr=" + t.hex("RESULT") + " value=.. by=" + t.hex("AFTER") +
                                  " PC=.*",
                              "error: unknown register 'Q'",
                              "error: unknown command 'frobnicate'.*",
                              "error: address out of range.*",
                              "error: no debugger window without a window",
                              "poked 2 at 0100",
                              "0100: AB CD",
                              "error: .*RAM bank 99.*",
                              "bye",
                          });
}

TEST(Monitor, IoAndBeamBreakPointsReportWhatTheyCaught) {
    SKIP_WITHOUT_SHARED_ROMS();
    const Target t = loadTarget();
    SKIP_WITHOUT_TARGET(t);
    TempKestrixHome home;
    const std::string setup = t.hex("CRTC_SETUP");
    const std::string output = runScript(home, preamble() +
                                                   "io w &BC00 &FF00\ncontinue\ncontinue\ndelete 1\n"
                                                   "beam 10 0 5\ncontinue\nquit\n",
                                         // quit also ends the frames a --bench timing leaves out
                                         {"--bench-skip=150"});
    expectInOrder(output, {
                              // OUT (C),C selects register C: 0, then 1.
                              "stopped io 1 write port=BC00 value=00 by=" + setup + " PC=.*",
                              "stopped io 1 write port=BC01 value=01 by=" + setup + " PC=.*",
                              "stopped beam 2 VCC=10 RC=0 C0=5 PC=.*",
                          });
}

// A client over 127.0.0.1: the same commands; a second client is turned away.
TEST(Monitor, ThePortServesOneClientOnTheLoopback) {
    SKIP_WITHOUT_SHARED_ROMS();
    const Target t = loadTarget();
    SKIP_WITHOUT_TARGET(t);
    TempKestrixHome home;
    const int port = freePort();
    HeadlessResult result;
    std::thread program([&] {
        result = runKestrixHeadless(home.path(), {"--frames=100", "-c", "6128", "--monitor-port=" + std::to_string(port),
                                     "--symbols=" + kProgram + ".sym"});
    });
    const int client = connectWhenListening(port);
    ASSERT_GE(client, 0) << "nothing listens on 127.0.0.1:" << port;
    const int second = connectTo(port);
    ASSERT_GE(second, 0);
    EXPECT_NE(readUntil(second, "\n").find("error: monitor busy"), std::string::npos);
    close(second);

    const std::string script = preamble() + "break after\ncontinue\nregs\nquit\n";
    ASSERT_EQ(write(client, script.data(), script.size()), ssize_t(script.size()));
    const std::string answers = readUntil(client, "bye");
    close(client);
    program.join();
    EXPECT_EQ(result.exitCode, 0) << result.output;
    expectInOrder(answers, {"stopped break 1 PC=" + t.hex("AFTER") + " at=after", "PC=" + t.hex("AFTER"), "bye"});
}

}  // namespace
