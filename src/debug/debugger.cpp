#include "debug/debugger.h"

#include <algorithm>

#include "debug/disassembler.h"
#include "debug/expression.h"
#include "debug/machine_environment.h"
#include "machine/cpu.h"
#include "video/crtc6845.h"

Debugger debugger;

namespace {

bool isMemoryKind(BreakKind kind) {
    return kind == BreakKind::Read || kind == BreakKind::Write || kind == BreakKind::Access;
}

DisassembledInstruction instructionAt(uint16_t address) {
    return disassemble(address, [](uint16_t a) { return processorView(a); }, nullptr, HexStyle::Ampersand);
}

}  // namespace

int Debugger::add(BreakPoint point) {
    point.number = nextNumber++;
    point.hitCount = 0;
    points.push_back(std::move(point));
    rebuild();
    return points.back().number;
}

int Debugger::executeAt(uint16_t address) const {
    for (const BreakPoint& point : points)
        if (point.kind == BreakKind::Execute && point.first <= address && address <= point.last) return point.number;
    return 0;
}

BreakPoint* Debugger::find(int number) {
    for (BreakPoint& point : points)
        if (point.number == number) return &point;
    return nullptr;
}

bool Debugger::remove(int number) {
    const auto it = std::find_if(points.begin(), points.end(), [&](const BreakPoint& p) { return p.number == number; });
    if (it == points.end()) return false;
    points.erase(it);
    rebuild();
    return true;
}

bool Debugger::setEnabled(int number, bool enabled) {
    BreakPoint* point = find(number);
    if (!point) return false;
    point->enabled = enabled;
    rebuild();
    return true;
}

bool Debugger::setCondition(int number, const std::string& text, std::string& error) {
    BreakPoint* point = find(number);
    if (!point) {
        error = "no break point " + std::to_string(number);
        return false;
    }
    if (text.empty()) {
        point->condition.reset();
        point->conditionText.clear();
        return true;
    }
    auto compiled = std::make_shared<Expression>();
    if (!Expression::compile(text, machineEnvironment(), *compiled, error)) return false;
    point->condition = std::move(compiled);
    point->conditionText = text;
    return true;
}

bool Debugger::setIgnoreCount(int number, uint32_t count) {
    BreakPoint* point = find(number);
    if (!point) return false;
    point->ignoreCount = count;
    return true;
}

void Debugger::clear() {
    points.clear();
    rebuild();
}

void Debugger::rebuild() {
    std::fill(std::begin(watchPages), std::end(watchPages), 0);
    std::fill(std::begin(executeMap), std::end(executeMap), 0);
    anyIo = anyInterrupt = anyBeam = anyExecute = false;
    bool anyEnabled = false;
    for (const BreakPoint& point : points) {
        if (!point.enabled) continue;
        anyEnabled = true;
        switch (point.kind) {
            case BreakKind::Execute:
                anyExecute = true;
                for (uint32_t a = point.first; a <= point.last; ++a) executeMap[a >> 3] |= uint8_t(1u << (a & 7));
                break;
            case BreakKind::Read:
            case BreakKind::Write:
            case BreakKind::Access: {
                const uint8_t kinds = point.kind == BreakKind::Read    ? kWatchRead
                                      : point.kind == BreakKind::Write ? kWatchWrite
                                                                       : uint8_t(kWatchRead | kWatchWrite);
                for (uint32_t page = point.first >> 8; page <= uint32_t(point.last >> 8); ++page) watchPages[page] |= kinds;
                break;
            }
            case BreakKind::IoRead:
            case BreakKind::IoWrite: anyIo = true; break;
            case BreakKind::Interrupt: anyInterrupt = true; break;
            case BreakKind::Beam: anyBeam = true; break;
        }
    }
    attention = mode != StepMode::None || userStop || scriptStop || pending;
    crtcWanted = anyBeam || scriptVsync || mode == StepMode::Line || mode == StepMode::Frame;
    // The edges count from here: the machine stands still while this runs.
    if (crtc) {
        lastHsync = crtc->hsync;
        lastVsync = crtc->vsync;
    }
    const bool arm = anyEnabled || attention || crtcWanted || ssmWanted;
    armedFlag.store(arm ? 1 : 0, std::memory_order_relaxed);
}

void Debugger::startRunning(StepMode newMode) {
    mode = newMode;
    stepEventSeen = false;
    stopNotice = false;
    stoppedFlag.store(0, std::memory_order_release);
    rebuild();
}

void Debugger::stopNow() {
    userStop = true;
    rebuild();
}

void Debugger::stopForScript(bool atVsync) {
    if (atVsync) scriptVsync = true;
    else scriptStop = true;
    rebuild();
}

void Debugger::watchSsm(bool on) {
    ssmWanted = on;
    ssmState = 0;
    rebuild();
}

// The undefined ED opcodes; FE and FF with them, as the screenshot and
// snapshot codes FFFE and FFFF are made of them.
bool Debugger::isSsmByte(uint8_t v) {
    return v <= 0x3F || (v >= 0x7F && v <= 0x9F) || (v >= 0xA4 && v <= 0xA7) || (v >= 0xAC && v <= 0xAF) ||
           (v >= 0xB4 && v <= 0xB7) || (v >= 0xBC && v <= 0xBF) || v >= 0xC0;
}

// Each opcode fetch as it begins: an unprefixed ED, then the byte fetched
// under that ED, twice. Any other fetch starts again, at it when it is an ED.
void Debugger::ssmFetch() {
    const uint8_t value = processorView(cpu->addressBus);
    const bool plainEd = cpu->prefix == Z80CPU::PrefixNone && value == 0xED;
    const bool codeByte = cpu->prefix == Z80CPU::PrefixED && isSsmByte(value);
    if (ssmState == 1 && codeByte) {
        ssmLow = value;
        ssmState = 2;
    } else if (ssmState == 2 && plainEd) {
        ssmState = 3;
    } else if (ssmState == 3 && codeByte) {
        ssmState = 0;
        StopReport r;
        r.reason = StopReason::Ssm;
        r.address = uint16_t(value << 8 | ssmLow);
        pend(r);
    } else {
        ssmState = plainEd ? 1 : 0;
    }
}

void Debugger::holdAtStart() {
    report = StopReport{};
    report.pc = currentPc();
    stopNotice = true;
    stoppedFlag.store(1, std::memory_order_release);
}

void Debugger::resume() { startRunning(StepMode::None); }

void Debugger::stepInto() { startRunning(StepMode::Into); }

void Debugger::stepOver() {
    const DisassembledInstruction instruction = instructionAt(currentPc());
    switch (instruction.flow) {
        case InstructionFlow::Call:
        case InstructionFlow::ConditionalCall:
        case InstructionFlow::Restart:
        case InstructionFlow::Djnz:
        case InstructionFlow::BlockRepeat:
        case InstructionFlow::Halt:
            stepTarget = uint16_t(instruction.address + instruction.length);
            stepSp = cpu->getSP();
            startRunning(StepMode::Over);
            break;
        default: startRunning(StepMode::Into); break;
    }
}

void Debugger::stepOut() {
    stepSp = cpu->getSP();
    lastWasReturn = false;
    startRunning(StepMode::Out);
}

void Debugger::runUntil(uint16_t address) {
    stepTarget = address;
    startRunning(StepMode::Until);
}

void Debugger::stepLine() { startRunning(StepMode::Line); }

void Debugger::stepFrame() { startRunning(StepMode::Frame); }

void Debugger::stepMicro() { startRunning(StepMode::Micro); }

bool Debugger::takeStopNotice() {
    if (!stopped() || !stopNotice) return false;
    stopNotice = false;
    return true;
}

uint16_t Debugger::currentPc() const {
    if (!cpu) return 0;
    // A fetch that has begun holds its address on the bus; PC is past it.
    if (cpu->phase == Z80CPU::PhFetchT2 && cpu->prefix == Z80CPU::PrefixNone) return cpu->addressBus;
    return cpu->PC;
}

bool Debugger::atBoundary() const { return cpu->phase == Z80CPU::PhFetchT2 && cpu->prefix == Z80CPU::PrefixNone; }

bool Debugger::conditionHolds(BreakPoint& point) {
    return !point.condition || point.condition->evaluate(machineEnvironment()) != 0;
}

bool Debugger::hit(BreakPoint& point) {
    if (!conditionHolds(point)) return false;
    ++point.hitCount;
    if (point.ignoreCount) {
        --point.ignoreCount;
        return false;
    }
    return true;
}

void Debugger::pend(const StopReport& candidate) {
    // The first hit of an instruction is the one reported.
    if (pending) return;
    pending = true;
    attention = true;
    pendingReport = candidate;
    pendingReport.accessPc = instructionPc;
}

void Debugger::pendAccess(StopReason reason, int number, uint16_t address, uint8_t value, bool write) {
    StopReport r;
    r.reason = reason;
    r.number = number;
    r.address = address;
    r.value = value;
    r.write = write;
    pend(r);
}

void Debugger::memoryHit(uint16_t address, uint8_t value, bool write) {
    for (BreakPoint& point : points) {
        if (!point.enabled || !isMemoryKind(point.kind)) continue;
        if (point.kind == (write ? BreakKind::Read : BreakKind::Write)) continue;
        if (address < point.first || address > point.last) continue;
        if (point.value >= 0 && point.value != value) continue;
        if (hit(point)) pendAccess(StopReason::Watch, point.number, address, value, write);
    }
}

void Debugger::ioEdge(uint16_t port, uint8_t value, bool write) {
    if (!anyIo) return;
    for (BreakPoint& point : points) {
        if (!point.enabled || point.kind != (write ? BreakKind::IoWrite : BreakKind::IoRead)) continue;
        if ((port & point.mask) != (point.port & point.mask)) continue;
        if (point.value >= 0 && point.value != value) continue;
        if (hit(point)) pendAccess(StopReason::Io, point.number, port, value, write);
    }
}

void Debugger::interruptAcknowledged(InterruptSource source) {
    if (!anyInterrupt) return;
    for (BreakPoint& point : points) {
        if (!point.enabled || point.kind != BreakKind::Interrupt) continue;
        if (point.source != InterruptSource::Any && point.source != source) continue;
        if (!hit(point)) continue;
        StopReport r;
        r.reason = StopReason::Interrupt;
        r.number = point.number;
        r.source = source;
        pend(r);
    }
}

void Debugger::crtcEdges() {
    const bool hsyncStarts = crtc->hsync && !lastHsync;
    const bool vsyncStarts = crtc->vsync && !lastVsync;
    lastHsync = crtc->hsync;
    lastVsync = crtc->vsync;
    if (vsyncStarts) linesSinceVsync = 0;
    else if (hsyncStarts && linesSinceVsync >= 0) ++linesSinceVsync;
    if ((mode == StepMode::Line && hsyncStarts) || (mode == StepMode::Frame && vsyncStarts)) stepEventSeen = true;
    if (scriptVsync && vsyncStarts) {
        scriptVsync = false;
        StopReport r;
        r.reason = StopReason::Script;
        pend(r);
    }
    if (!anyBeam) return;
    for (BreakPoint& point : points) {
        if (!point.enabled || point.kind != BreakKind::Beam) continue;
        bool reached;
        if (point.vsyncLine >= 0) {
            reached = point.vsyncLine == 0 ? vsyncStarts : hsyncStarts && linesSinceVsync == point.vsyncLine;
        } else {
            reached = crtc->C4 == point.vcc && crtc->C9 == point.rc && (point.c0 < 0 || crtc->C0 == point.c0);
        }
        if (!reached || !hit(point)) continue;
        StopReport r;
        r.reason = StopReason::Beam;
        r.number = point.number;
        r.vcc = crtc->C4;
        r.rc = crtc->C9;
        r.c0 = crtc->C0;
        pend(r);
    }
}

bool Debugger::afterStepSlow() {
    StopReport r;
    if (mode == StepMode::Micro) {
        r.reason = StopReason::Step;
    } else {
        if (!atBoundary()) return false;
        const uint16_t pc = cpu->addressBus;
        const bool returned = lastWasReturn;
        instructionPc = pc;
        if (mode == StepMode::Out) {
            const InstructionFlow flow = instructionAt(pc).flow;
            lastWasReturn = flow == InstructionFlow::Return || flow == InstructionFlow::ConditionalReturn;
        }
        if (pending) {
            r = pendingReport;
        } else if (userStop) {
            r.reason = StopReason::User;
        } else if (scriptStop) {
            r.reason = StopReason::Script;
        } else {
            if (anyExecute && (executeMap[pc >> 3] >> (pc & 7) & 1)) {
                for (BreakPoint& point : points) {
                    if (!point.enabled || point.kind != BreakKind::Execute || pc < point.first || pc > point.last)
                        continue;
                    if (!mappingMatches(point.mapping, point.mappingIndex, pc) || !hit(point)) continue;
                    r.reason = StopReason::Break;
                    r.number = point.number;
                    break;
                }
            }
            if (r.reason == StopReason::None) {
                bool done = false;
                switch (mode) {
                    case StepMode::Into: done = true; break;
                    case StepMode::Over: done = pc == stepTarget && cpu->getSP() >= stepSp; break;
                    case StepMode::Until: done = pc == stepTarget; break;
                    case StepMode::Out: done = returned && cpu->getSP() > stepSp; break;
                    case StepMode::Line:
                    case StepMode::Frame: done = stepEventSeen; break;
                    default: break;
                }
                if (!done) return false;
                r.reason = StopReason::Step;
            }
        }
    }
    r.pc = currentPc();
    report = r;
    pending = false;
    userStop = false;
    scriptStop = false;
    mode = StepMode::None;
    stopNotice = true;
    stoppedFlag.store(1, std::memory_order_release);
    rebuild();
    return true;
}
