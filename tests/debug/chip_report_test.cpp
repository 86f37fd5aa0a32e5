// The chip reports of the debugger: the keys a user reads are there, every
// line is key=value, and the values follow what the machine's I/O did.
#include "debug/chip_report.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "support/asic_test_support.h"
#include "support/machine_fixture.h"
#include "tape/tape_index.h"

using test_support::crtcWrite;
using test_support::ioCycle;

namespace {

using Report = std::map<std::string, std::string>;

Report parse(const std::vector<std::string>& lines) {
    Report report;
    for (const std::string& line : lines) {
        const size_t equals = line.find('=');
        EXPECT_NE(equals, std::string::npos) << line;
        EXPECT_EQ(line.find('\n'), std::string::npos) << line;
        if (equals == std::string::npos) continue;
        EXPECT_TRUE(report.emplace(line.substr(0, equals), line.substr(equals + 1)).second) << "twice: " << line;
    }
    return report;
}

void expectKeys(const Report& report, const std::vector<std::string>& keys, const char* chip) {
    for (const std::string& key : keys) EXPECT_TRUE(report.count(key)) << chip << " lacks " << key;
}

// The entries `expected` names, as the report has them, compared at once.
void expectEntries(const Report& report, const Report& expected) {
    Report seen;
    for (const auto& entry : expected) seen[entry.first] = report.count(entry.first) ? report.at(entry.first) : "?";
    EXPECT_EQ(seen, expected);
}

// The keys given and stem0, stem1 ... up to `count`.
std::vector<std::string> numbered(const char* stem, int count, std::vector<std::string> keys = {}) {
    for (int n = 0; n < count; ++n) keys.push_back(std::string(stem).append(std::to_string(n)));
    return keys;
}

class Report6128 : public test_support::BuiltMachine {};

TEST_F(Report6128, EveryChipReportsItsStateAndFollowsTheMachine) {
    crtcWrite(12, 0x2C);
    crtcWrite(7, 0x1E);
    ioCycle(0x7F00, 0x03);         // pen 3
    ioCycle(0x7F00, 0x40 | 0x14);  // black
    ioCycle(0x7F00, 0x80 | 0x0C | 2);
    ioCycle(0x7F00, 0xC4);  // bank 4 at &4000
    ay->writeRegister(0, 0x34);
    ay->writeRegister(1, 0x02);
    ay->writeRegister(13, 0x0E);
    ioCycle(0xF700, 0x82);  // port B in, the rest out
    ioCycle(0xF600, 0x45);  // keyboard line 5
    ioCycle(0xFB7F, 0x0F);  // SEEK's first byte

    const Report crtcReport = parse(reportCrtc());
    expectKeys(
        crtcReport,
        numbered("R", 18,
                 {"type", "sel", "C0", "C4", "C9", "C3l", "C3h", "hsync", "vsync", "MA", "RA", "skew", "adjust"}),
        "crtc");
    expectEntries(crtcReport, {{"R12", "&2C"}, {"R7", "&1E"}, {"sel", "7"}, {"type", "0"}});

    const Report gaReport = parse(reportGateArray());
    expectKeys(gaReport,
               numbered("pen", 16,
                        {"border", "pensel", "mode", "mode.next", "lrom", "urom", "urom.sel", "ram", "int.counter",
                         "hsync.counter", "int", "vsync.delay"}),
               "ga");
    expectEntries(gaReport, {{"pen3", "&14"},
                             {"pensel", "3"},
                             {"mode.next", "2"},
                             {"lrom", "0"},
                             {"urom", "0"},
                             {"ram", "&C4"},
                             {"ram.page1", "4"}});

    const Report ayReport = parse(reportAy());
    expectKeys(ayReport,
               numbered("R", 16,
                        {"sel", "A.period", "B.tone", "C.level", "noise.period", "env.shape", "env.step", "env.period",
                         "bdir", "bc1"}),
               "ay");
    expectEntries(ayReport, {{"R0", "&34"}, {"A.period", "564"}, {"env.shape", "&0E"}});

    const Report ppiReport = parse(reportPpi());
    expectKeys(ppiReport, {"portA", "portB", "portC", "control", "portA.dir", "key.line"}, "ppi");
    expectEntries(ppiReport,
                  {{"control", "&82"}, {"portB.dir", "in"}, {"portA.dir", "out"}, {"portC", "&45"}, {"key.line", "5"}});

    const Report fdcReport = parse(reportFdc());
    expectKeys(fdcReport,
               {"phase", "cmd", "msr", "st0", "st1", "st2", "st3", "result", "drive0.track", "drive0.motor",
                "drive0.disk", "drive0.wp", "drive0.changed", "drive1.side"},
               "fdc");
    expectEntries(fdcReport, {{"phase", "command"}, {"cmd", "seek"}, {"cmd.received", "1"}, {"drive0.disk", "0"}});

    EXPECT_EQ(parse(reportTape()).at("present"), "0");
    EXPECT_EQ(reportAsic(), std::vector<std::string>{"asic=none"});
}

TEST_F(Report6128, TapeNamesTheBlockThePulsesAreIn) {
    auto* pulses = static_cast<tapePulse*>(std::malloc(4 * sizeof(tapePulse)));
    for (int i = 0; i < 4; ++i) pulses[i] = tapePulse{static_cast<uint8_t>(i & 1), 100};
    tape->insertPulses(pulses, 4);
    ASSERT_TRUE(tapeIndex->addTapeIndex(0x10, 0));
    ASSERT_TRUE(tapeIndex->addTapeIndex(0x11, 2));
    tapeIndex->setLastText("GAME\nBLOCK 1", 12);
    tape->pulseIndex = 3;
    const Report report = parse(reportTape());
    expectKeys(report, {"present", "counter", "pulse", "block", "block.kind", "motor", "play", "level"}, "tape");
    expectEntries(report, {{"present", "1"}, {"pulses", "4"}, {"pulse", "3"}, {"block", "1"}, {"block.kind", "&11"}});
    EXPECT_EQ(report.at("block.text"), "GAME?BLOCK 1") << "a control character in a text stays on its line";
}

class Report464 : public test_support::Machine {
protected:
    Report464() : Machine({.sharedRoms = true, .model = CPC464}) {}
};

TEST_F(Report464, HasNoDiskControllerNorAsic) {
    EXPECT_EQ(reportFdc(), std::vector<std::string>{"fdc=none"});
    EXPECT_EQ(reportAsic(), std::vector<std::string>{"asic=none"});
    EXPECT_EQ(parse(reportGateArray()).at("ram.page3"), "3");
}

class ReportPlus : public test_support::Machine {
protected:
    ReportPlus() : Machine({.sharedRoms = true, .model = CPC6128Plus}) {}
};

TEST_F(ReportPlus, AsicReportFollowsTheRegisterPage) {
    constexpr uint8_t kUnlock[17] = {0xFF, 0x00, 0xFF, 0x77, 0xB3, 0x51, 0xA8, 0xD4, 0x62,
                                     0x39, 0x9C, 0x46, 0x2B, 0x15, 0x8A, 0xCD, 0xEE};
    for (uint8_t b : kUnlock) asic_test::asicIo(0xBC00, b);
    asic_test::asicIo(0x7F00, 0xB8);  // RMR2: the page at &4000
    as->mWrite(0x2008 + 0, 0x40);     // sprite 1: x &140, y &21, zoom 1 x 2
    as->mWrite(0x2008 + 1, 0x01);
    as->mWrite(0x2008 + 2, 0x21);
    as->mWrite(0x2008 + 4, 0x06);
    as->mWrite(0x2800, 0x64);  // PRI
    as->mWrite(0x2C0F, 0x05);  // DMA channels 0 and 2 on
    asic_test::asicIo(0x7F00, 0x03);
    asic_test::asicIo(0x7F00, 0x40 | 0x0C);  // bright red

    const Report report = parse(reportAsic());
    expectKeys(
        report,
        numbered("ink", 32,
                 numbered("sprite", 16,
                          {"unlocked", "rmr2", "lrom.bank", "lrom.at", "page", "sscr", "scroll.h", "splt", "ssa", "pri",
                           "dma0.addr", "dma1.prescaler", "dma2.pause", "dma0.loop", "dma0.on", "dcsr", "ivr"})),
        "asic");
    expectEntries(report, {{"unlocked", "1"},
                           {"rmr2", "&38"},
                           {"page", "1"},
                           {"sprite1", "x=&0140 y=&0021 zoomx=1 zoomy=2"},
                           {"sprite0", "x=&0000 y=&0000 zoomx=0 zoomy=0"},
                           {"pri", "&64"},
                           {"dma0.on", "1"},
                           {"dma1.on", "0"},
                           {"dma2.on", "1"}});
    EXPECT_EQ(report.at("ink3"), "&00F0") << "green 0, red F, blue 0";

    EXPECT_EQ(std::tuple(parse(reportGateArray()).at("pen3"), parse(reportCrtc()).at("type"),
                         parse(reportFdc()).at("drive0.disk")),
              std::tuple("&0C", "3", "0"));
}

}  // namespace
