// The debugger's engine: break points, stepping, and the stop at an
// instruction boundary. The frame runs its ordinary step while nothing is
// armed; once anything is, it runs the watched step (frame_step.h), which
// calls the hooks below and asks afterStep() whether to stop.
//
// A stop falls between two steps of the frame clock. On the CPC every
// opcode fetch finishes its T2 in the first T-state of a microsecond, so each
// instruction boundary has one step end where the next fetch has begun (T1
// done, PC stepped on, nothing read yet): the debugger stops there and shows
// that fetch's address as PC. Every chip is at the same microsecond.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "machine/cpu.h"

class Expression;

enum class BreakKind : uint8_t { Execute, Read, Write, Access, IoRead, IoWrite, Interrupt, Beam };
// Where an execution break point holds: anywhere, or only with this mapping at its address.
enum class MappingKind : uint8_t { Any, LowerRom, UpperRom, Ram, CartridgeBank };
enum class InterruptSource : uint8_t { Any, Video, Raster, Dma };

struct BreakPoint {
    int number = 0;
    BreakKind kind = BreakKind::Execute;
    bool enabled = true;
    // Execute and memory: the address range (inclusive); I/O: port and mask.
    uint16_t first = 0;
    uint16_t last = 0;
    uint16_t port = 0;
    uint16_t mask = 0xFFFF;
    // Memory and I/O: only accesses of this byte, or any when negative.
    int value = -1;
    MappingKind mapping = MappingKind::Any;
    int mappingIndex = -1;
    InterruptSource source = InterruptSource::Any;
    // Beam: the CRTC's VCC (C4), RC (C9) and character C0 (negative: any
    // character), or, when vsyncLine >= 0, that many lines after VSYNC began.
    int vcc = -1;
    int rc = -1;
    int c0 = -1;
    int vsyncLine = -1;
    std::string conditionText;
    std::shared_ptr<Expression> condition;
    uint32_t ignoreCount = 0;
    uint32_t hitCount = 0;
};

// Ssm: the program ran an SSM code (ED LL ED HH, the code in `address`);
// Script: a script's wait ended (its time, or the next VSYNC).
enum class StopReason : uint8_t { None, User, Break, Watch, Io, Interrupt, Beam, Step, Ssm, Script };

struct StopReport {
    StopReason reason = StopReason::None;
    int number = 0;          // the break point's, 0 for steps and user stops
    uint16_t pc = 0;         // where the machine stands
    uint16_t accessPc = 0;   // the instruction that made the access
    uint16_t address = 0;    // memory address or port
    uint8_t value = 0;
    bool write = false;
    InterruptSource source = InterruptSource::Any;
    uint8_t vcc = 0, rc = 0, c0 = 0;
};

enum class StepMode : uint8_t { None, Into, Over, Out, Until, Line, Frame, Micro };

class Debugger {
public:
    // ---- break points (with the emulation stopped) ----
    int add(BreakPoint point);
    bool remove(int number);
    bool setEnabled(int number, bool enabled);
    // The condition of break point `number`; an empty text removes it.
    bool setCondition(int number, const std::string& text, std::string& error);
    bool setIgnoreCount(int number, uint32_t count);
    const std::vector<BreakPoint>& breakPoints() const { return points; }
    BreakPoint* find(int number);
    void clear();

    // ---- running (with the emulation stopped) ----
    // Stop at the next instruction boundary.
    void stopNow();
    // Holds the machine before it starts (a scripted session's first stop).
    void holdAtStart();
    void resume();
    void stepInto();
    void stepOver();
    void stepOut();
    void runUntil(uint16_t address);
    void stepLine();
    void stepFrame();
    void stepMicro();
    // A script's stop at the next instruction boundary, or at the first one
    // after VSYNC next rises.
    void stopForScript(bool atVsync);
    // Stops after each SSM code the program runs: two undefined ED
    // instructions, ED LL ED HH, whose second bytes are in the SSM ranges.
    void watchSsm(bool on);
    static bool isSsmByte(uint8_t value);

    // True from a stop until the next resume or step.
    bool stopped() const { return stoppedFlag.load(std::memory_order_acquire) != 0; }
    const StopReport& lastStop() const { return report; }
    // Called by whoever runs frames when the machine stopped (a report for
    // the monitor); cleared by the next resume or step.
    bool takeStopNotice();
    // The address of the instruction the machine is about to run.
    uint16_t currentPc() const;

    // ---- the watched step (frame_step.h) ----
    bool armed() const { return armedFlag.load(std::memory_order_relaxed) != 0; }
    // A memory request the step served this microsecond: read, write or the
    // processor's opcode fetch (`fetch`, not watched).
    void memoryAccess(uint16_t address, uint8_t value, bool write) {
        if (__builtin_expect(watchPages[address >> 8] & (write ? kWatchWrite : kWatchRead), 0))
            memoryHit(address, value, write);
    }
    // A rising IORQ edge: `acknowledge` for the interrupt acknowledge.
    void ioEdge(uint16_t port, uint8_t value, bool write);
    void interruptAcknowledged(InterruptSource source);
    // After the CRTC's character clock.
    void crtcClocked() {
        if (__builtin_expect(crtcWanted, 0)) crtcEdges();
    }
    // After each step; true to stop there. Inline for the common case: no
    // step, no hit waiting, and no execution break point at this boundary.
    bool afterStep() {
        if (__builtin_expect(ssmWanted, 0) && cpu->phase == Z80CPU::PhFetchT2) ssmFetch();
        if (__builtin_expect(attention, 0)) return afterStepSlow();
        if (cpu->phase != Z80CPU::PhFetchT2 || cpu->prefix != Z80CPU::PrefixNone) return false;
        const uint16_t pc = cpu->addressBus;
        instructionPc = pc;
        if (__builtin_expect((executeMap[pc >> 3] >> (pc & 7)) & 1, 0)) return afterStepSlow();
        return false;
    }

private:
    static constexpr uint8_t kWatchRead = 1, kWatchWrite = 2;
    void rebuild();
    void crtcEdges();
    bool afterStepSlow();
    void ssmFetch();
    void memoryHit(uint16_t address, uint8_t value, bool write);
    bool conditionHolds(BreakPoint& point);
    // Counts the hit and applies the ignore count and condition: true to stop.
    bool hit(BreakPoint& point);
    void pend(const StopReport& candidate);
    // A memory or I/O break point's stop: what was accessed, with which byte.
    void pendAccess(StopReason reason, int number, uint16_t address, uint8_t value, bool write);
    bool atBoundary() const;
    bool stepDone(uint16_t pc);
    void startRunning(StepMode mode);

    std::vector<BreakPoint> points;
    int nextNumber = 1;
    uint8_t watchPages[256] = {};
    uint8_t executeMap[8192] = {};
    bool anyIo = false, anyInterrupt = false, anyBeam = false, anyExecute = false;
    // A step, a stop asked for or a hit waiting: every boundary takes the slow path.
    bool attention = false;
    // Beam break points or a line or frame step: the CRTC's edges are followed.
    bool crtcWanted = false;

    std::atomic<uint8_t> armedFlag{0};
    std::atomic<uint8_t> stoppedFlag{0};
    bool stopNotice = false;
    StopReport report;
    // A hit waiting for the next instruction boundary.
    bool pending = false;
    StopReport pendingReport;
    bool userStop = false;
    bool scriptStop = false;
    bool scriptVsync = false;
    bool ssmWanted = false;
    // Bytes of ED LL ED HH seen so far (0-3) and LL.
    uint8_t ssmState = 0;
    uint8_t ssmLow = 0;

    StepMode mode = StepMode::None;
    uint16_t stepTarget = 0;
    uint16_t stepSp = 0;
    bool stepEventSeen = false;
    bool firstBoundaryPassed = false;
    // The instruction in progress and the kind of the one before.
    uint16_t instructionPc = 0;
    bool lastWasReturn = false;
    bool lastHsync = false, lastVsync = false;
    int linesSinceVsync = -1;
};

extern Debugger debugger;
