#include "debug/monitor.h"

#include <cstdio>
#include <functional>
#include <sstream>

#include "debug/chip_report.h"
#include "debug/disassembler.h"
#include "debug/expression.h"
#include "debug/machine_environment.h"
#include "debug/memory_view.h"
#include "debug/number_text.h"
#include "debug/symbol_table.h"
#include "machine/frontend_hooks.h"
#include "snapshot/rewind_ring.h"

namespace {

HexStyle hexStyle = HexStyle::Ampersand;

using Words = std::vector<std::string>;

struct Failure {
    std::string text;
};

// A number, a label, a register or a small expression without spaces.
uint32_t valueOf(const std::string& word) {
    Expression expression;
    std::string error;
    if (!Expression::compile(word, machineEnvironment(), expression, error))
        throw Failure{"bad number '" + word + "' (" + error + ")"};
    return expression.evaluate(machineEnvironment());
}

uint16_t addressOf(const std::string& word) {
    const uint32_t v = valueOf(word);
    if (v > 0xFFFF) throw Failure{"address out of range: " + word};
    return uint16_t(v);
}

uint8_t byteOf(const std::string& word) {
    const uint32_t v = valueOf(word);
    if (v > 0xFF) throw Failure{"byte out of range: " + word};
    return uint8_t(v);
}

int numberOf(const std::string& word) {
    uint32_t v = 0;
    if (!parseNumber(word, v) || v > 0x7FFFFFFF) throw Failure{"bad number '" + word + "'"};
    return int(v);
}

void need(const Words& w, size_t count, const char* usage) {
    if (w.size() < count) throw Failure{std::string("usage: ") + usage};
}

bool isSpaceWord(const std::string& word) {
    return word == "ram" || word == "rom" || word == "cart" || word == "asic" || word == "lower" || word == "cpu";
}

// "ram N", "rom N", "cart N", "asic", "lower" at w[at]; the processor's view when absent.
MemorySpace spaceOf(const Words& w, size_t at, int& index) {
    index = 0;
    if (w.size() <= at) return MemorySpace::Cpu;
    const std::string& kind = w[at];
    if (kind == "asic") return MemorySpace::AsicPage;
    if (kind == "lower") return MemorySpace::LowerRom;
    if (kind == "cpu") return MemorySpace::Cpu;
    need(w, at + 2, "mem ADDR [LEN] [ram N|rom N|cart N|asic|lower]");
    index = numberOf(w[at + 1]);
    if (kind == "ram") return MemorySpace::RamBank;
    if (kind == "rom") return MemorySpace::RomSlot;
    if (kind == "cart") return MemorySpace::CartridgeBank;
    throw Failure{"unknown memory '" + kind + "'"};
}

uint8_t peekOrFail(MemorySpace space, int index, uint32_t address) {
    uint8_t value = 0;
    std::string error;
    if (!peekMemory(space, index, address, value, error)) throw Failure{error};
    return value;
}

const char* sourceName(InterruptSource source) {
    switch (source) {
        case InterruptSource::Video: return "video";
        case InterruptSource::Raster: return "raster";
        case InterruptSource::Dma: return "dma";
        default: return "any";
    }
}

std::string describe(const BreakPoint& p) {
    std::string text = std::to_string(p.number) + " ";
    switch (p.kind) {
        case BreakKind::Execute:
            text += "exec " + hex4(p.first);
            if (p.mapping == MappingKind::LowerRom) text += " lower";
            if (p.mapping == MappingKind::Ram) text += " ram";
            if (p.mapping == MappingKind::UpperRom) text += " rom " + std::to_string(p.mappingIndex);
            if (p.mapping == MappingKind::CartridgeBank) text += " cart " + std::to_string(p.mappingIndex);
            break;
        case BreakKind::Read:
        case BreakKind::Write:
        case BreakKind::Access:
            text += p.kind == BreakKind::Read ? "watch r " : p.kind == BreakKind::Write ? "watch w " : "watch rw ";
            text += hex4(p.first);
            if (p.last != p.first) text += "-" + hex4(p.last);
            if (p.value >= 0) text += " value=" + hex2(uint32_t(p.value));
            break;
        case BreakKind::IoRead:
        case BreakKind::IoWrite:
            text += std::string(p.kind == BreakKind::IoRead ? "io r " : "io w ") + hex4(p.port) + " mask=" + hex4(p.mask);
            break;
        case BreakKind::Interrupt: text += std::string("irq ") + sourceName(p.source); break;
        case BreakKind::Beam:
            if (p.vsyncLine >= 0) text += "beam vsync " + std::to_string(p.vsyncLine);
            else text += "beam VCC=" + std::to_string(p.vcc) + " RC=" + std::to_string(p.rc) + " C0=" + std::to_string(p.c0);
            break;
    }
    text += p.enabled ? " enabled" : " disabled";
    text += " hits=" + std::to_string(p.hitCount);
    if (p.ignoreCount) text += " ignore=" + std::to_string(p.ignoreCount);
    if (!p.conditionText.empty()) text += " if " + p.conditionText;
    return text;
}

std::string disassemblyLine(const DisassembledInstruction& d) {
    std::string bytes;
    for (int i = 0; i < d.length; ++i) bytes += hex2(d.bytes[i]) + (i + 1 < d.length ? " " : "");
    bytes.resize(12, ' ');
    return hex4(d.address) + "  " + bytes + "  " + d.text;
}

using Handler = std::function<void(const Words&, MonitorAnswer&)>;

struct Command {
    const char* name;
    const char* alias;
    const char* usage;
    Handler run;
};

void addBreak(BreakPoint point, MonitorAnswer& answer) {
    const int n = debugger.add(std::move(point));
    answer.lines.push_back("break " + describe(*debugger.find(n)));
}

void resumeWith(MonitorAnswer& answer, void (Debugger::*how)()) {
    (debugger.*how)();
    answer.resume = true;
    answer.lines.push_back("running");
}

const std::vector<Command>& commands();

void help(const Words&, MonitorAnswer& answer) {
    for (const Command& c : commands()) answer.lines.push_back(c.usage);
    answer.lines.push_back("numbers: 10, &0A, #0A, $0A, 0x0A; labels and registers stand for their values");
    answer.lines.push_back("conditions: registers, flags ZF CF SF HF PF NF (C is the register), NZ NC PO PE P M,");
    answer.lines.push_back("  (HL) peek(e) deek(e), VCC RC C0 MA HSYNC VSYNC GAINT MODE, == != < <= > >= && || ! + -");
}

const std::vector<Command>& commands() {
    static const std::vector<Command> table = {
        {"break", "b", "break [ADDR [lower|ram|rom N|cart N]] - stop now, or stop where ADDR runs",
         [](const Words& w, MonitorAnswer& a) {
             if (w.size() == 1) {
                 if (debugger.stopped()) {
                     a.lines.push_back(stopLine(debugger.lastStop()));
                     return;
                 }
                 debugger.stopNow();
                 a.resume = true;
                 return;
             }
             BreakPoint p;
             p.kind = BreakKind::Execute;
             p.first = p.last = addressOf(w[1]);
             if (w.size() > 2) {
                 if (w[2] == "lower") p.mapping = MappingKind::LowerRom;
                 else if (w[2] == "ram") p.mapping = MappingKind::Ram;
                 else if (w[2] == "rom" || w[2] == "cart") {
                     need(w, 4, "break ADDR rom N|cart N");
                     p.mapping = w[2] == "rom" ? MappingKind::UpperRom : MappingKind::CartridgeBank;
                     p.mappingIndex = numberOf(w[3]);
                     if (p.mappingIndex > 255) throw Failure{"no such slot " + w[3]};
                 } else {
                     throw Failure{"unknown mapping '" + w[2] + "'"};
                 }
             }
             addBreak(std::move(p), a);
         }},
        {"toggle", "t", "toggle ADDR - removes the execution break point at ADDR, or adds one there",
         [](const Words& w, MonitorAnswer& a) {
             need(w, 2, "toggle ADDR");
             const uint16_t address = addressOf(w[1]);
             if (const int n = debugger.executeAt(address)) {
                 debugger.remove(n);
                 a.lines.push_back("deleted " + std::to_string(n));
                 return;
             }
             BreakPoint p;
             p.kind = BreakKind::Execute;
             p.first = p.last = address;
             addBreak(std::move(p), a);
         }},
        {"watch", "w", "watch r|w|rw ADDR[-ADDR] [VALUE] - stop after a read or write there",
         [](const Words& w, MonitorAnswer& a) {
             need(w, 3, "watch r|w|rw ADDR[-ADDR] [VALUE]");
             BreakPoint p;
             if (w[1] == "r") p.kind = BreakKind::Read;
             else if (w[1] == "w") p.kind = BreakKind::Write;
             else if (w[1] == "rw") p.kind = BreakKind::Access;
             else throw Failure{"watch takes r, w or rw"};
             const size_t dash = w[2].find('-', 1);
             p.first = addressOf(w[2].substr(0, dash));
             p.last = dash == std::string::npos ? p.first : addressOf(w[2].substr(dash + 1));
             if (p.last < p.first) throw Failure{"empty range " + w[2]};
             if (w.size() > 3) p.value = byteOf(w[3]);
             addBreak(std::move(p), a);
         }},
        {"io", nullptr, "io r|w PORT [MASK] - stop after an I/O access whose port matches under MASK",
         [](const Words& w, MonitorAnswer& a) {
             need(w, 3, "io r|w PORT [MASK]");
             BreakPoint p;
             if (w[1] == "r") p.kind = BreakKind::IoRead;
             else if (w[1] == "w") p.kind = BreakKind::IoWrite;
             else throw Failure{"io takes r or w"};
             p.port = addressOf(w[2]);
             p.mask = w.size() > 3 ? addressOf(w[3]) : 0xFFFF;
             addBreak(std::move(p), a);
         }},
        {"irq", nullptr, "irq [raster|dma|video] - stop at the first instruction of an interrupt",
         [](const Words& w, MonitorAnswer& a) {
             BreakPoint p;
             p.kind = BreakKind::Interrupt;
             if (w.size() > 1) {
                 if (w[1] == "raster") p.source = InterruptSource::Raster;
                 else if (w[1] == "dma") p.source = InterruptSource::Dma;
                 else if (w[1] == "video") p.source = InterruptSource::Video;
                 else throw Failure{"irq takes raster, dma or video"};
             }
             addBreak(std::move(p), a);
         }},
        {"beam", nullptr, "beam VCC RC [C0] | beam vsync N - stop when the CRTC reaches that line and character",
         [](const Words& w, MonitorAnswer& a) {
             need(w, 3, "beam VCC RC [C0] | beam vsync N");
             BreakPoint p;
             p.kind = BreakKind::Beam;
             if (w[1] == "vsync") {
                 p.vsyncLine = numberOf(w[2]);
             } else {
                 p.vcc = numberOf(w[1]);
                 p.rc = numberOf(w[2]);
                 p.c0 = w.size() > 3 ? numberOf(w[3]) : 0;
                 if (p.vcc > 127 || p.rc > 31 || p.c0 > 255) throw Failure{"beam position out of range"};
             }
             addBreak(std::move(p), a);
         }},
        {"if", nullptr, "if N [EXPR] - stop at break point N only where EXPR holds (none: always)",
         [](const Words& w, MonitorAnswer& a) {
             need(w, 2, "if N [EXPR]");
             std::string text;
             for (size_t i = 2; i < w.size(); ++i) text += (i > 2 ? " " : "") + w[i];
             std::string error;
             if (!debugger.setCondition(numberOf(w[1]), text, error)) throw Failure{error};
             a.lines.push_back("break " + describe(*debugger.find(numberOf(w[1]))));
         }},
        {"ignore", nullptr, "ignore N COUNT - let break point N pass COUNT times",
         [](const Words& w, MonitorAnswer& a) {
             need(w, 3, "ignore N COUNT");
             if (!debugger.setIgnoreCount(numberOf(w[1]), uint32_t(numberOf(w[2])))) throw Failure{"no break point " + w[1]};
             a.lines.push_back("break " + describe(*debugger.find(numberOf(w[1]))));
         }},
        {"list", "l", "list - the break points",
         [](const Words&, MonitorAnswer& a) {
             for (const BreakPoint& p : debugger.breakPoints()) a.lines.push_back(describe(p));
             a.lines.push_back("breakpoints=" + std::to_string(debugger.breakPoints().size()));
         }},
        {"delete", "d", "delete N - removes break point N",
         [](const Words& w, MonitorAnswer& a) {
             need(w, 2, "delete N");
             if (!debugger.remove(numberOf(w[1]))) throw Failure{"no break point " + w[1]};
             a.lines.push_back("deleted " + w[1]);
         }},
        {"enable", nullptr, "enable N",
         [](const Words& w, MonitorAnswer& a) {
             need(w, 2, "enable N");
             if (!debugger.setEnabled(numberOf(w[1]), true)) throw Failure{"no break point " + w[1]};
             a.lines.push_back("break " + describe(*debugger.find(numberOf(w[1]))));
         }},
        {"disable", nullptr, "disable N",
         [](const Words& w, MonitorAnswer& a) {
             need(w, 2, "disable N");
             if (!debugger.setEnabled(numberOf(w[1]), false)) throw Failure{"no break point " + w[1]};
             a.lines.push_back("break " + describe(*debugger.find(numberOf(w[1]))));
         }},
        {"continue", "c", "continue - run on", [](const Words&, MonitorAnswer& a) { resumeWith(a, &Debugger::resume); }},
        {"step", "s", "step - one instruction", [](const Words&, MonitorAnswer& a) { resumeWith(a, &Debugger::stepInto); }},
        {"next", "n", "next - one instruction, CALL RST DJNZ LDIR... and HALT run through",
         [](const Words&, MonitorAnswer& a) { resumeWith(a, &Debugger::stepOver); }},
        {"finish", "f", "finish - until the current routine returns",
         [](const Words&, MonitorAnswer& a) { resumeWith(a, &Debugger::stepOut); }},
        {"until", "u", "until ADDR - run until ADDR runs",
         [](const Words& w, MonitorAnswer& a) {
             need(w, 2, "until ADDR");
             debugger.runUntil(addressOf(w[1]));
             a.resume = true;
             a.lines.push_back("running");
         }},
        {"line", nullptr, "line - to the next HSYNC", [](const Words&, MonitorAnswer& a) { resumeWith(a, &Debugger::stepLine); }},
        {"frame", nullptr, "frame - to the next VSYNC",
         [](const Words&, MonitorAnswer& a) { resumeWith(a, &Debugger::stepFrame); }},
        {"micro", nullptr, "micro - one microsecond",
         [](const Words&, MonitorAnswer& a) { resumeWith(a, &Debugger::stepMicro); }},
        {"regs", "r", "regs - the processor's registers",
         [](const Words&, MonitorAnswer& a) {
             for (std::string& line : registerLines()) a.lines.push_back(std::move(line));
         }},
        {"set", nullptr, "set REG VALUE",
         [](const Words& w, MonitorAnswer& a) {
             need(w, 3, "set REG VALUE");
             std::string error;
             if (!writeRegister(w[1], valueOf(w[2]), error)) throw Failure{error};
             uint32_t v = 0;
             readRegister(w[1], v);
             std::string name = w[1];
             for (char& ch : name) ch = char(std::toupper(static_cast<unsigned char>(ch)));
             a.lines.push_back(name + "=" + (v > 0xFF ? hex4(v) : hex2(v)));
         }},
        {"mem", "m", "mem ADDR [LEN] [ram N|rom N|cart N|asic|lower] - bytes, 16 a line",
         [](const Words& w, MonitorAnswer& a) {
             need(w, 2, "mem ADDR [LEN] [ram N|rom N|cart N|asic|lower]");
             const uint32_t start = valueOf(w[1]);
             if (start > 0xFFFF) throw Failure{"address out of range: " + w[1]};
             size_t at = 2;
             uint32_t length = 64;
             if (w.size() > 2 && !isSpaceWord(w[2])) {
                 length = valueOf(w[2]);
                 at = 3;
             }
             if (length == 0 || length > 0x10000) throw Failure{"length out of range"};
             int index = 0;
             const MemorySpace space = spaceOf(w, at, index);
             // Read it all first, so that an error shows nothing half done.
             std::vector<uint8_t> bytes(length);
             for (uint32_t i = 0; i < length; ++i) bytes[i] = peekOrFail(space, index, (start + i) & 0xFFFF);
             for (uint32_t i = 0; i < length; i += 16) {
                 std::string line = hex4(start + i) + ":";
                 for (uint32_t k = i; k < length && k < i + 16; ++k) line.append(" ").append(hex2(bytes[k]));
                 a.lines.push_back(line);
             }
         }},
        {"poke", "p", "poke ADDR BYTE... [ram N|rom N|cart N|asic|lower] - write bytes (as the processor would)",
         [](const Words& w, MonitorAnswer& a) {
             need(w, 3, "poke ADDR BYTE... [ram N|rom N|cart N|asic|lower]");
             const uint32_t start = valueOf(w[1]);
             std::vector<uint8_t> bytes;
             size_t at = 2;
             for (; at < w.size() && !isSpaceWord(w[at]); ++at) bytes.push_back(byteOf(w[at]));
             int index = 0;
             const MemorySpace space = spaceOf(w, at, index);
             // Every byte checked first, so that an error changes nothing.
             for (size_t i = 0; i < bytes.size(); ++i) peekOrFail(space, index, start + uint32_t(i));
             std::string error;
             for (size_t i = 0; i < bytes.size(); ++i)
                 if (!pokeMemory(space, index, start + uint32_t(i), bytes[i], error)) throw Failure{error};
             a.lines.push_back("poked " + std::to_string(bytes.size()) + " at " + hex4(start));
         }},
        {"disasm", "x", "disasm [ADDR] [N] [BEFORE] - N instructions (10) from ADDR (PC), BEFORE of them ahead of it",
         [](const Words& w, MonitorAnswer& a) {
             uint16_t address = w.size() > 1 ? addressOf(w[1]) : debugger.currentPc();
             const int count = w.size() > 2 ? numberOf(w[2]) : 10;
             if (count < 1 || count > 4096) throw Failure{"count out of range"};
             const int before = w.size() > 3 ? numberOf(w[3]) : 0;
             if (before > 64) throw Failure{"too many before"};
             address = disassemblyStartBefore(address, before, [](uint16_t at) { return processorView(at); });
             for (int i = 0; i < count; ++i) {
                 if (const std::string* label = debugSymbols().nameAt(address)) a.lines.push_back(*label + ":");
                 const DisassembledInstruction d =
                     disassemble(address, [](uint16_t at) { return processorView(at); }, &debugSymbols(), hexStyle);
                 a.lines.push_back(disassemblyLine(d));
                 address = uint16_t(address + d.length);
             }
         }},
        {"crtc", nullptr, "crtc - the CRTC", [](const Words&, MonitorAnswer& a) { a.lines = reportCrtc(); }},
        {"ga", nullptr, "ga - the gate array", [](const Words&, MonitorAnswer& a) { a.lines = reportGateArray(); }},
        {"asic", nullptr, "asic - the Plus ASIC", [](const Words&, MonitorAnswer& a) { a.lines = reportAsic(); }},
        {"ay", nullptr, "ay - the sound generator", [](const Words&, MonitorAnswer& a) { a.lines = reportAy(); }},
        {"ppi", nullptr, "ppi - the PPI", [](const Words&, MonitorAnswer& a) { a.lines = reportPpi(); }},
        {"fdc", nullptr, "fdc - the floppy controller and drives", [](const Words&, MonitorAnswer& a) { a.lines = reportFdc(); }},
        {"tape", nullptr, "tape - the tape deck", [](const Words&, MonitorAnswer& a) { a.lines = reportTape(); }},
        {"symbols", nullptr, "symbols FILE - read labels (NAME EQU value, NAME: EQU value, NAME = value)",
         [](const Words& w, MonitorAnswer& a) {
             need(w, 2, "symbols FILE");
             const size_t before = debugSymbols().size();
             std::string error;
             if (!debugSymbols().addFile(w[1], error)) throw Failure{error};
             a.lines.push_back("symbols=" + std::to_string(debugSymbols().size() - before) + " " + w[1]);
         }},
        {"save", nullptr, "save FILE ADDR LEN - write memory as the processor reads it",
         [](const Words& w, MonitorAnswer& a) {
             need(w, 4, "save FILE ADDR LEN");
             const uint16_t start = addressOf(w[2]);
             const uint32_t length = valueOf(w[3]);
             if (length == 0 || length > 0x10000) throw Failure{"length out of range"};
             std::vector<uint8_t> bytes(length);
             for (uint32_t i = 0; i < length; ++i) bytes[i] = processorView(uint16_t(start + i));
             FILE* file = std::fopen(w[1].c_str(), "wb");
             if (!file) throw Failure{"cannot write " + w[1]};
             const bool written = std::fwrite(bytes.data(), 1, length, file) == length;
             if (std::fclose(file) != 0 || !written) throw Failure{"cannot write " + w[1]};
             a.lines.push_back("saved " + std::to_string(length) + " from " + hex4(start));
         }},
        {"load", nullptr, "load FILE ADDR - read a file into memory as the processor writes",
         [](const Words& w, MonitorAnswer& a) {
             need(w, 3, "load FILE ADDR");
             const uint16_t start = addressOf(w[2]);
             FILE* file = std::fopen(w[1].c_str(), "rb");
             if (!file) throw Failure{"cannot read " + w[1]};
             std::vector<uint8_t> bytes(0x10000 - start);
             const size_t length = std::fread(bytes.data(), 1, bytes.size(), file);
             const bool failed = std::ferror(file);
             std::fclose(file);
             if (failed) throw Failure{"cannot read " + w[1]};
             std::string error;
             for (size_t i = 0; i < length; ++i)
                 if (!pokeMemory(MemorySpace::Cpu, 0, start + i, bytes[i], error)) throw Failure{error};
             a.lines.push_back("loaded " + std::to_string(length) + " at " + hex4(start));
         }},
        {"hex", nullptr, "hex &|# - the sign of hex numbers in disassembly",
         [](const Words& w, MonitorAnswer& a) {
             need(w, 2, "hex &|#");
             if (w[1] == "&") hexStyle = HexStyle::Ampersand;
             else if (w[1] == "#") hexStyle = HexStyle::Hash;
             else throw Failure{"hex takes & or #"};
             a.lines.push_back("hex " + w[1]);
         }},
        {"ui", nullptr, "ui - shows the debugger window",
         [](const Words&, MonitorAnswer& a) {
             if (!frontendHooks.showDebuggerWindow()) throw Failure{"no debugger window without a window"};
             a.lines.push_back("ui shown");
         }},
        {"rewind", nullptr, "rewind SECONDS - go back to the machine of that many seconds ago (up to 60)",
         [](const Words& w, MonitorAnswer& a) {
             need(w, 2, "rewind SECONDS");
             const uint32_t seconds = valueOf(w[1]);
             if (seconds < 1 || seconds > RewindRing::kStates) throw Failure{"seconds out of range (1 to 60)"};
             std::string error;
             if (!rewindRing.restore(static_cast<int>(seconds) - 1, error)) throw Failure{error};
             a.lines.push_back("rewound " + std::to_string(seconds) + " s, " + std::to_string(rewindRing.count()) +
                               " states kept, " + std::to_string(rewindRing.bytesHeld()) + " bytes");
         }},
        {"help", "h", "help - this list", help},
        {"quit", "q", "quit - end the program",
         [](const Words&, MonitorAnswer& a) {
             a.quit = true;
             a.lines.push_back("bye");
         }},
    };
    return table;
}

}  // namespace

MonitorAnswer runMonitorCommand(const std::string& line) {
    MonitorAnswer answer;
    Words words;
    std::istringstream in(line);
    for (std::string word; in >> word;) words.push_back(word);
    if (words.empty()) return answer;
    for (const Command& command : commands()) {
        if (words[0] != command.name && !(command.alias && words[0] == command.alias)) continue;
        try {
            command.run(words, answer);
        } catch (const Failure& failure) {
            return MonitorAnswer{{"error: " + failure.text}, false, false};
        }
        return answer;
    }
    answer.lines.push_back("error: unknown command '" + words[0] + "' (help lists them)");
    return answer;
}

std::string stopLine(const StopReport& r) {
    std::string text = "stopped ";
    const std::string number = r.number ? " " + std::to_string(r.number) : "";
    switch (r.reason) {
        case StopReason::Break: text += "break" + number; break;
        case StopReason::Watch:
            text += "watch" + number + (r.write ? " write" : " read") + " addr=" + hex4(r.address) +
                    " value=" + hex2(r.value) + " by=" + hex4(r.accessPc);
            break;
        case StopReason::Io:
            text += "io" + number + (r.write ? " write" : " read") + " port=" + hex4(r.address) + " value=" + hex2(r.value) +
                    " by=" + hex4(r.accessPc);
            break;
        case StopReason::Interrupt: text += "irq" + number + " source=" + sourceName(r.source); break;
        case StopReason::Beam:
            text += "beam" + number + " VCC=" + std::to_string(r.vcc) + " RC=" + std::to_string(r.rc) +
                    " C0=" + std::to_string(r.c0);
            break;
        case StopReason::Step: text += "step"; break;
        case StopReason::User: text += "user"; break;
        case StopReason::Ssm: text += "ssm code=" + hex4(r.address); break;
        case StopReason::Script: text += "script"; break;
        case StopReason::None: text += "start"; break;
    }
    text += " PC=" + hex4(r.pc);
    if (const std::string* label = debugSymbols().nameAt(r.pc)) text += " at=" + *label;
    return text;
}
