// The one-microsecond step, the run of steps and the frame, written once for
// the CPC gate array and the Plus ASIC (the beam's half characters are in
// video/beam.h, the memory map in video/gate_array_bus.h). The chip type is
// a template argument: its memory and I/O services and its interrupt raise
// are bound at compile time, so the CPC clock keeps its inlined step with no
// call or test added.
#pragma once
#include <algorithm>
#include <cstring>

#include "debug/debugger.h"
#include "disk/fdc765.h"
#include "machine/cpu.h"
#include "machine/timed_actions.h"
#include "snapshot/snr_replay.h"
#include "sound/audio_mix.h"
#include "sound/ay8910.h"
#include "tape/tape_drive.h"
#include "video/beam.h"
#include "video/crtc6845.h"
#include "video/gate_array.h"
#include "video/gate_array_bus.h"
#include "video/monitor.h"

namespace frame_step_detail {
constexpr uint32_t kStepsPerFrame = 19968;
}  // namespace frame_step_detail

inline void gaCPC::raiseVideoInterrupt() { cpu->intLine = true; }

inline void gaCPC::crtcVsyncEdge() {
    const uint8_t level = crtc->vsync ? 1 : 0;
    if (level == crtcVsyncLast) return;
    crtcVsyncLast = level;
    vsyncOut = level;
    blank = vsyncOut || hsyncOut;
    if (level) {
        change_monitor_pixels();
        vsyncIntDelay = 2;
    } else if (hsyncOut) {
        monitor_hsync_pulse(beamInRetrace());
    }
}

// Each microsecond of the CRTC's HSYNC (the step tests crtcHsyncLast).
inline void gaCPC::gateArrayHsync() {
    if (hsyncCounter == 0) {
        hsyncOut = false;
        blank = vsyncOut;
        return;
    }
    --hsyncCounter;
    // The only place where a new mode takes effect.
    if (hsyncCounter > 6 && hsyncOut) mode = modeRomReg & 3;
    if (crtc->hsync) {
        if (!vsyncOut) monitor_hsync_pulse(beamInRetrace());
        if (!hsyncOut) {
            hsyncOut = true;
            blank = true;
        }
    }
}

template <class Chip>
inline void gaCPC::crtcHsyncEdge() {
    const uint8_t level = crtc->hsync ? 1 : 0;
    if (level == crtcHsyncLast) return;
    crtcHsyncLast = level;
    hsyncOut = level;
    if (level) {
        hsyncCounter = 13;
        static_cast<Chip*>(this)->plusHsyncStart();
        if (beamInRetrace()) {
            blank = true;
        } else {
            hsyncOut = false;
            blank = vsyncOut;
        }
        return;
    }
    if (++intCounter == 52) {
        intCounter = 0;
        static_cast<Chip*>(this)->counterInterrupt();
    }
    if (vsyncIntDelay && --vsyncIntDelay == 0) {
        if (intCounter & 0x20) static_cast<Chip*>(this)->vsyncInterrupt();
        intCounter = 0;
        if (vsyncOut) {
            vsyncOut = false;
            if (monitor_vsync_pulse()) playSNR();
        }
    }
    blank = vsyncOut;
}

// A rising IORQ edge may reach the controller, the drives or the deck at any
// port, the sound generator only through the PPI's ports A and C and its
// control port (A11 low, A9-A8 not 01: port B is the deck's and the
// VSYNC's); a falling edge reaches nothing. Out of line: the step stays small.
template <class Chip>
[[gnu::noinline]] void gaCPC::ioEdge() {
    if (!cpu->iorq) {
        lastIorq = 0;
        return;
    }
    syncPeripherals();
    const uint16_t port = cpu->addressBus;
    if (!(port & 0x0800) && (port & 0x0300) != 0x0100) syncSound();
    static_cast<Chip*>(this)->serviceIoEdge();
    // Only I/O writes move the memory map while the step runs.
    if (cpu->wr) static_cast<Chip*>(this)->mapReads();
}

// Inlined into the step; only an IORQ edge leaves it for the bus decoder.
// WAIT is low in the first T-state of each microsecond and high in the
// other three: the step passes it, so no pin is written for it.
template <class Chip, Z80CPU::WaitInput Wait, bool Watched>
[[gnu::always_inline]] inline void gaCPC::cpuTState() {
    if (cpu->clockWith<Wait>() && (cpu->iorq ? 1 : 0) != lastIorq) {
        if constexpr (Watched) {
            if (cpu->iorq && cpu->m1) debugger.interruptAcknowledged(static_cast<Chip*>(this)->interruptSource());
        }
        ioEdge<Chip>();
        if constexpr (Watched) {
            if (cpu->iorq && !cpu->m1) debugger.ioEdge(cpu->addressBus, cpu->dataBus, cpu->wr);
        }
    }
}

// What the watched step tells the debugger of the memory request it served:
// a data read or write once, on the T-state that ends its wait.
inline void gaCPC::watchMemory() {
    if (!cpu->mreq) return;
    if (cpu->phase == Z80CPU::PhReadT3) debugger.memoryAccess(cpu->addressBus, cpu->dataBus, false);
    else if (cpu->phase == Z80CPU::PhWriteT3) debugger.memoryAccess(cpu->addressBus, cpu->dataBus, true);
}

inline void gaCPC::syncSound() {
    if (!derived.soundOwed) return;
    ay->run(derived.soundOwed);
    derived.soundOwed = 0;
}

// Each of them passes its own quiet microseconds (skip): the step only
// counted them down.
inline void gaCPC::syncPeripherals() {
    const uint32_t deferred = derived.peripheralsQuietPlanned - derived.peripheralsQuietFor;
    derived.peripheralsQuietFor = derived.peripheralsQuietPlanned = 0;
    if (!deferred) return;
    if (fdc) {
        fdc->skip(deferred);
        fd0->skip(deferred);
        fd1->skip(deferred);
    }
    tape->skip(deferred);
}

// The microsecond that ends a quiet spell, or any microsecond while one of
// them is busy; then the next spell, as long as the quietest of them allows.
// The step's countdown has just gone below zero.
inline void gaCPC::clockPeripherals() {
    derived.peripheralsQuietFor = 0;
    syncPeripherals();
    // Without a disk interface and with the deck stopped, only an I/O write
    // or the front end between frames can start anything.
    uint32_t quietFor = kLongestQuietSpell;
    if (fdc) {
        fdc->clock();
        fd0->clock();
        fd1->clock();
        quietFor = std::min({quietFor, fdc->quietFor(), fd0->quietFor(), fd1->quietFor()});
    }
    tape->read();
    quietFor = std::min(quietFor, tape->quietFor());
    derived.peripheralsQuietFor = derived.peripheralsQuietPlanned = quietFor;
}

// One microsecond, in the hardware's order: the second video byte, the
// VSYNC edge, the CRTC character, the gate array's HSYNC; then sixteen pixel
// ticks with the processor's four T-states among them (WAIT low in the
// first), the memory request served after the first and an I/O request on
// its IORQ edge; the AY with the audio sample; the first video byte of the
// next character; the floppy controller, the drives and the deck.
//
// The watched step (a debugger is armed) is the same step telling the
// debugger of memory requests, I/O edges and the CRTC's counters.
template <class Chip, bool Watched>
[[gnu::always_inline]] inline void gaCPC::step() {
    Chip& chip = *static_cast<Chip*>(this);
    shiftB = derived.videoPair[1];
    chip.plusSecondByte();
    // A CRTC clock that only counted moved neither sync output: their edges
    // were all handled already.
    if (!derived.crtcOnlyCounted) crtcVsyncEdge();
    chip.plusBeforeCrtcClock();
    const bool onlyCounted = crtc->crtc_clock();
    derived.crtcOnlyCounted = onlyCounted;
    if constexpr (Watched) debugger.crtcClocked();
    if (crtcHsyncLast) {
        gateArrayHsync();
        chip.plusHsyncStep();
    }

    // Tick 0, T-state 1, the HSYNC edge, the memory request.
    startHalf(shiftA);
    chip.plusHalf();
    const bool firstHalfAhead = halfFirstTicks(0, 1, !onlyCounted);
    cpuTState<Chip, Z80CPU::WaitLow, Watched>();
    if (!onlyCounted) crtcHsyncEdge<Chip>();
    chip.serviceMemory();
    if constexpr (Watched) watchMemory();
    // Ticks 1-7 before the AY and T-state 2, for speed: nothing after the
    // HSYNC edge touches the beam, its sync inputs, `blank` or the half's
    // colours before the next half. A half drawn ahead at tick 0 needs them
    // only when `blank` changed since, which only the HSYNC edge can do.
    if (!firstHalfAhead ||
        (!onlyCounted && monitorHalfAhead != static_cast<uint8_t>(blank) && monitorHalfAhead != kMonitorAheadInRetrace))
        beamTicks(1, 7);
    // The AY only counts its microseconds here; it runs them when the
    // processor reaches it, a sample is taken or the run of steps ends.
    ++derived.soundOwed;
    if (audioFrameDue()) {
        syncSound();
        mixAudioFrame();
    }
    cpuTState<Chip, Z80CPU::WaitHigh, Watched>();

    // The first byte of the next character, then ticks 8-15 with T-states 3
    // and 4: the whole half before them, as the processor's I/O and the
    // peripherals below leave the beam alone.
    if (onlyCounted) {
        derived.videoPair += 2;
    } else {
        latchVideoAddress();
    }
    shiftA = derived.videoPair[0];
    startHalf(shiftB);
    chip.plusHalf();
    halfFirstTicks(8, 8, false);
    cpuTState<Chip, Z80CPU::WaitHigh, Watched>();
    cpuTState<Chip, Z80CPU::WaitHigh, Watched>();

    // The controller, the drives and the deck: one subtraction and its
    // borrow while all of them are quiet (clockPeripherals).
    if (__builtin_sub_overflow(derived.peripheralsQuietFor, 1u, &derived.peripheralsQuietFor)) clockPeripherals();
}

inline void gaCPC::bringUpToDate() {
    syncPeripherals();
    syncSound();
}

// What the step keeps from one microsecond to the next (the video pointer,
// the memory map, the IORQ and CRTC edge state) is worked out afresh before
// a run, as anything may have changed since; what it leaves in arrears is
// brought up to date after it, for whoever looks next.
template <class Chip>
inline void gaCPC::beginSteps() {
    latchVideoAddress();
    // IORQ edges are looked for only where the processor writes the pin; a
    // reset between runs lowers it behind the bus decoder's back.
    if (!cpu->iorq) lastIorq = 0;
    static_cast<Chip*>(this)->mapReads();
    derived.crtcOnlyCounted = false;
    pensChanged();
    fillBorderRow();
}

template <class Chip>
inline void gaCPC::runSteps(uint32_t count) {
    beginSteps<Chip>();
    for (; count; --count) step<Chip, false>();
    bringUpToDate();
}

// The steps run until the debugger stops the machine: how many ran.
template <class Chip>
[[gnu::noinline]] uint32_t gaCPC::runWatchedSteps(uint32_t count) {
    beginSteps<Chip>();
    uint32_t ran = 0;
    while (ran < count) {
        step<Chip, true>();
        ++ran;
        if (debugger.afterStep()) break;
    }
    bringUpToDate();
    return ran;
}

// A frame the debugger stopped goes on where it stopped at the next call.
template <class Chip>
inline bool gaCPC::runFrame() {
    // The steps left, in a register; runctr shows them between runs of steps.
    uint32_t left = frameStepsLeft ? frameStepsLeft : frame_step_detail::kStepsPerFrame;
    frameStepsLeft = 0;
    runctr = left;
    while (left) {
        // Headless timed actions (autorun keys) fall due at their own microsecond.
        const uint32_t pauseAt = timedActionDueRunctr(left);
        if (left > pauseAt) {
            if (__builtin_expect(debugger.armed(), 0)) {
                left -= runWatchedSteps<Chip>(left - pauseAt);
                if (debugger.stopped()) {
                    runctr = frameStepsLeft = left;
                    return left == 0;
                }
            } else {
                runSteps<Chip>(left - pauseAt);
                left = pauseAt;
            }
        }
        runctr = left;
        if (left) runTimedActionsDue(left);
    }
    return true;
}
