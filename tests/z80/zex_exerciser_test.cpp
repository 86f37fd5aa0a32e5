// The zexdoc and zexall instruction exercisers under a minimal CP/M: the
// program at 0100h, BDOS functions 2 and 9 behind CALL 5, the end at a
// jump to 0000h. Both BDOS and the warm boot are trapped by an OUT.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "support/shared_files.h"
#include "z80_test_bench.h"

namespace {

constexpr uint8_t kBdosPort = 0xFF;
constexpr uint8_t kWarmBootPort = 0xFE;
constexpr uint16_t kBdosEntry = 0xFE00;

struct CpmRun {
    bool loaded = false;
    bool finished = false;
    std::string output;
    uint64_t tstates = 0;
    double seconds = 0;
    double cpuSeconds = 0;
};

CpmRun runCpm(const std::string& path) {
    CpmRun run;
    std::ifstream in(path, std::ios::binary);
    if (!in) return run;
    std::vector<char> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (image.empty() || image.size() > kBdosEntry - 0x100) return run;
    run.loaded = true;

    auto bench = std::make_unique<Z80TestBench>();
    Z80TestBench& b = *bench;
    for (size_t i = 0; i < image.size(); ++i) b.mem[0x100 + i] = uint8_t(image[i]);
    b.load(0x0000, {0xD3, kWarmBootPort});                                  // warm boot: OUT (FE),A
    b.load(0x0005, {0xC3, uint8_t(kBdosEntry), uint8_t(kBdosEntry >> 8)});  // JP BDOS; (6) = top of memory
    b.load(kBdosEntry, {0xD3, kBdosPort, 0xC9});                            // OUT (FF),A ; RET
    b.cpu.PC = 0x100;
    b.cpu.setSP(kBdosEntry);

    bool done = false;
    b.portOut = [&](uint16_t port, uint8_t) {
        Z80CPU& cpu = b.cpu;
        if ((port & 0xFF) == kWarmBootPort) {
            done = true;
        } else if ((port & 0xFF) == kBdosPort) {
            std::string text;
            if (cpu.regC() == 2) {
                text = char(cpu.regE());
            } else if (cpu.regC() == 9) {
                uint16_t a = cpu.getDE();
                for (int n = 0; n < 65536 && b.mem[a] != '$'; ++n) text += char(b.mem[a++]);
            }
            for (char c : text) {
                if (c != '\r') {
                    std::cout << c;
                    run.output += c;
                }
            }
            std::cout.flush();
        }
    };

    // A hang shows as running far past the exerciser's own length.
    const uint64_t cap = 100'000'000'000ull;
    const auto t0 = std::chrono::steady_clock::now();
    const std::clock_t c0 = std::clock();
    b.runFree(cap, done);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    run.cpuSeconds = double(std::clock() - c0) / CLOCKS_PER_SEC;
    run.finished = done;
    run.tstates = b.tstates;
    return run;
}

void checkExerciser(const char* name) {
    SKIP_WITHOUT_SHARED(std::string("z80/") + name);
    const std::string path = sharedPath(std::string("z80/") + name);
    const CpmRun run = runCpm(path);
    ASSERT_TRUE(run.loaded) << "cannot load " << path;
    std::printf("\n%s: %.1f s (%.1f s of CPU time), %llu T-states (%.0f million T-states per CPU second)\n", name,
                run.seconds, run.cpuSeconds, (unsigned long long)run.tstates, run.tstates / run.cpuSeconds / 1e6);
    ::testing::Test::RecordProperty("seconds", std::to_string(run.seconds));
    EXPECT_TRUE(run.finished) << name << " did not finish";

    std::istringstream lines(run.output);
    std::string line;
    int ok = 0;
    while (std::getline(lines, line)) {
        EXPECT_EQ(line.find("ERROR"), std::string::npos) << line;
        if (line.find("..") != std::string::npos) {  // a test's report line
            EXPECT_NE(line.find("OK"), std::string::npos) << line;
            ok += line.find("OK") != std::string::npos;
        }
    }
    EXPECT_EQ(ok, 67) << "tests reporting OK";
    EXPECT_NE(run.output.find("Tests complete"), std::string::npos);
}

}  // namespace

TEST(z80, zexdoc) { checkExerciser("zexdoc.com"); }

TEST(z80, zexall) { checkExerciser("zexall.com"); }
