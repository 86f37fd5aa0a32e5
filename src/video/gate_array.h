// The gate array of the CPC 464/664/6128: master clock of the machine, bus
// decoder, interrupt generator and pixel serialiser. One call of clock() is
// one video frame of the whole machine.
#pragma once
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "debug/debugger.h"
#include "z80/z80cpu.h"

class gaCPC {
public:
    using MonitorRoutine = void (gaCPC::*)();

    MonitorRoutine monitorRoutine = &gaCPC::monitor_update_pixel;
    uint32_t pixelColor = 0xFF000000u;
    uint32_t borderColor = 0xFF000000u;
    bool blank = false;
    bool vsyncOut = false;
    bool hsyncOut = false;
    uint8_t lastIorq = 0;
    uint8_t penSelect = 0;
    uint8_t colorValue = 0;
    uint16_t shiftA = 0;
    uint16_t shiftB = 0;
    uint8_t modeRomReg = 0;
    uint8_t mode = 0;
    uint8_t intCounter = 0;
    uint8_t hsyncCounter = 13;
    uint8_t vsyncIntDelay = 0;
    uint8_t crtcHsyncLast = 0;
    uint8_t crtcVsyncLast = 0;
    uint32_t palettes[3][32] = {};
    // Pens 0-15, the border (16) and, on the Plus ASIC, sprite colours 1-15 (17-31).
    uint32_t pens[32] = {};
    // Each pen's hardware colour number (0-31), which pens[] shows in the
    // monitor's palette, or kPenNotHardwareColour when pens[] holds a colour
    // of its own (black after reset, a Plus palette-page colour).
    static constexpr uint8_t kPenNotHardwareColour = 0xFF;
    uint8_t penHardwareColour[32] = {};
    void setPenHardwareColour(uint8_t pen, uint8_t colour);
    uint8_t mode0Table[256][2] = {};
    uint8_t mode1Table[256][4] = {};
    uint8_t mode2Table[256][8] = {};

    // What the step works out from the chips' own state so that a
    // microsecond costs little; none of it is the hardware's. runSteps()
    // rebuilds the video pointer, the memory map, the CRTC flag and the
    // colour rows before each run of steps, and bringUpToDate() settles the
    // deferred work after it. Within a run: penWritten() after a pen write,
    // mapReads() after an I/O write, setBeamRowEnd() and change_monitor_*()
    // for the beam's limit, clockPeripherals() for the quiet spell.
    struct Derived {
        // The two bytes of the character the CRTC addresses (latchVideoAddress).
        const uint8_t* videoPair = nullptr;
        // Where each 16 KB page reads from, the ROM overlays included, so
        // that the step's read is one lookup.
        const uint8_t* readPages[4] = {};
        // The last CRTC clock only counted (see crtc6845::quietChars).
        bool crtcOnlyCounted = false;
        // Room for a half's colours worked out in place (the half routines,
        // the Plus sprites over a row).
        alignas(16) uint32_t halfColours[8] = {};
        // The eight colours of the half character being serialised, chosen at
        // ticks 0 and 8: a row of the cache below, the border's row, or
        // halfColours. A pen written within the half leaves that row alone, so
        // the new colour shows from the next half on.
        const uint32_t* halfRow = halfColours;
        // borderColor eight times. Two rows taken in turn, so that a half
        // already pointing at the old one keeps its colours.
        alignas(16) uint32_t borderRows[2][8] = {};
        const uint32_t* borderRow = borderRows[0];
        // The same colours by mode and video byte (entry mode << 8 | byte),
        // worked out once per set of pens: an entry holds while its stamp
        // equals penGeneration, which each run of steps and each pen write
        // within one moves on.
        alignas(16) uint32_t halfCacheColours[4 * 256][8] = {};
        uint32_t halfCacheStamp[4 * 256] = {};
        uint32_t penGeneration = 1;
        // The beam can draw a whole half at once from any xy below this:
        // worked out from the row end while the beam draws pixels, 0
        // otherwise, so that the step's common case tests one value.
        uint32_t beamHalfLimit = 0;
        // The disk controller, the drives and the tape deck each say how
        // many microseconds ahead they would only count (quietFor); the step
        // leaves them alone for the shortest of those, and each passes them
        // itself (skip) at the end of the spell or before anything outside
        // the step can see them.
        uint32_t peripheralsQuietFor = 0;
        uint32_t peripheralsQuietPlanned = 0;
        // Microseconds the sound generator is behind: it only needs to be up
        // to date when the processor reaches it, a sample is taken or the
        // run of steps ends.
        uint32_t soundOwed = 0;
    } derived;
    static constexpr uint32_t kLongestQuietSpell = 1024;
    void fillBorderRow() {
        uint32_t* next = derived.borderRows[derived.borderRow == derived.borderRows[0] ? 1 : 0];
        for (int i = 0; i < 8; ++i) next[i] = borderColor;
        derived.borderRow = next;
    }
    // After pens[pen] was written: the border's row or the cached rows.
    void penWritten(uint8_t pen) {
        if (pen == 16) {
            borderColor = pens[16];
            fillBorderRow();
        } else if (pen < 16) {
            pensChanged();
        }
    }
    void pensChanged() {
        if (++derived.penGeneration == 0) {
            std::memset(derived.halfCacheStamp, 0, sizeof derived.halfCacheStamp);
            derived.penGeneration = 1;
        }
    }

    gaCPC();

    void reset();
    // One frame: 19968 steps of one microsecond; false when the debugger
    // stopped it (the next call goes on with it).
    bool clock();
    // One microsecond of the whole machine (clock() repeats it).
    void clockMicrosecond();
    // Ends a quiet spell of the controller, drives and deck (see
    // derived.peripheralsQuietFor): their counters are brought up to date.
    void syncPeripherals();
    // Brings the sound generator up to date (see derived.soundOwed).
    void syncSound();
    // Both of the above: before an I/O access and after a run of steps.
    void bringUpToDate();
    // One processor T-state and the I/O servicing that follows it.
    void call_cpu();
    // The I/O side of call_cpu(), run after every T-state: serves a rising IORQ.
    void serviceIoEdge();
    // The memory side of a step: one read or write for the processor's request.
    void serviceMemory();
    uint8_t readMemory(uint16_t address) const;
    // The block the processor reads in page 0-3 now.
    const uint8_t* readBlock(unsigned pageIndex) const;
    void mapReads();

    void change_monitor_update() {
        monitorRoutine = &gaCPC::monitor_update_pixel;
        derived.beamHalfLimit = 0;
    }
    void change_monitor_pixels() {
        monitorRoutine = &gaCPC::monitor_update_sync;
        derived.beamHalfLimit = 0;
    }
    bool beamInRetrace() const { return monitorRoutine == &gaCPC::monitor_update_sync; }

    // Beam routines (video/monitor.cpp), one call per 16 MHz tick.
    void monitor_update_pixel();
    void monitor_update_sync();
    // The beam draws the whole half character at once when no row end, buffer
    // end or sync edge can fall inside it (video/beam.h); false, and
    // nothing drawn, otherwise. The second half of a step passes false (the
    // HSYNC edge of the step is behind it), and so does a first half after a
    // CRTC clock that only counted (no edge to come).
    bool beamHalfAhead(bool syncEdgePossible = true);
    bool beamHalfWithinLimit(bool syncEdgePossible);
    bool beamRetraceHalfAhead(bool syncEdgePossible = true);
    bool halfSyncEdgeAhead() const;
    // Ticks first..first+count-1 of the half (0..7), after its first run:
    // redrawn when the half went ahead and `blank` changed since, else one by
    // one (video/beam.cpp). The ticks take their colours from halfRow;
    // pixelColor is only the monitor routine's input, set before each tick.
    void beamTicks(int first, int count);
    void beamTicksOneByOne(int first, int count);
    // A half's first run (tick 0 or 8): the common case, drawing ahead, inline.
    // True when that took the whole half.
    bool halfFirstTicks(int first, int count, bool syncEdgePossible);

    // Colours of one half character per mode, chosen by `mode` at every half
    // (no derived state, so a snapshot may write `mode` directly).
    void half_mode0(uint8_t videoByte);
    void half_mode1(uint8_t videoByte);
    void half_mode2(uint8_t videoByte);
    void half_mode3(uint8_t videoByte);

    // The frame and the step shape shared with the Plus ASIC (video/frame_step.h):
    // `Chip` supplies serviceMemory, serviceIoEdge and raiseVideoInterrupt, bound
    // at compile time so that neither clock pays for the other's differences.
    // False when the debugger stopped the frame; the next call goes on with it.
    template <class Chip> bool runFrame();
    template <class Chip> void beginSteps();
    template <class Chip> void runSteps(uint32_t count);
    template <class Chip> uint32_t runWatchedSteps(uint32_t count);
    template <class Chip, bool Watched> void step();
    template <class Chip, Z80CPU::WaitInput Wait, bool Watched> void cpuTState();
    void watchMemory();
    // Steps left of a frame the debugger stopped, 0 between frames.
    uint32_t frameStepsLeft = 0;
    // Which interrupt the processor acknowledges (for the debugger).
    InterruptSource interruptSource() const { return InterruptSource::Video; }
    template <class Chip> void ioEdge();
    void raiseVideoInterrupt();

    // Points of the step where the Plus ASIC adds its work (sprites, soft
    // scroll, raster interrupt, DMA); nothing on the gate array, so the CPC
    // clock compiles to what it was.
    void plusBeforeCrtcClock() {}
    void plusSecondByte() {}
    void plusHalf() {}
    void plusHsyncStart() {}
    void plusHsyncStep() {}
    // The 52-line counter's wrap and the VSYNC resynchronisation interrupt.
    void counterInterrupt() { raiseVideoInterrupt(); }
    void vsyncInterrupt() { raiseVideoInterrupt(); }

protected:
    void setPenColour();
    void latchVideoAddress();
    void startHalf(uint16_t videoByteValue);
    void halfTwoPixels(uint32_t p0, uint32_t p1);
    void fillHalfCache(unsigned entry);
    void crtcVsyncEdge();
    void gateArrayHsync();
    template <class Chip> void crtcHsyncEdge();
    void ioWrite(uint16_t port, uint8_t data);
    void ioDevices(uint16_t port);
    void ioWriteRamAndPrinter(uint16_t port, uint8_t data, bool gateArrayTookIt);
    void clockPeripherals();
    void buildPixelTables();
};

// The half-character routines run twice a microsecond: inline in the step.
inline void gaCPC::halfTwoPixels(uint32_t p0, uint32_t p1) {
    derived.halfColours[0] = derived.halfColours[1] = derived.halfColours[2] = derived.halfColours[3] = p0;
    derived.halfColours[4] = derived.halfColours[5] = derived.halfColours[6] = derived.halfColours[7] = p1;
}

inline void gaCPC::half_mode0(uint8_t b) { halfTwoPixels(pens[mode0Table[b][0]], pens[mode0Table[b][1]]); }

inline void gaCPC::half_mode1(uint8_t b) {
    for (int k = 0; k < 4; ++k) derived.halfColours[2 * k] = derived.halfColours[2 * k + 1] = pens[mode1Table[b][k]];
}

// Mode 2's pixels as all-ones or all-zero masks: a half is pen 0 with the
// difference to pen 1 masked in, four pixels to a vector operation.
struct alignas(16) Mode2PixelMasks {
    uint32_t of[256][8];
    constexpr Mode2PixelMasks() : of() {
        for (unsigned b = 0; b < 256; ++b)
            for (unsigned k = 0; k < 8; ++k) of[b][k] = (b >> (7 - k)) & 1 ? 0xFFFFFFFFu : 0u;
    }
};
inline constexpr Mode2PixelMasks kMode2PixelMasks{};

inline void gaCPC::half_mode2(uint8_t b) {
    const uint32_t pen0 = pens[0], toPen1 = pens[0] ^ pens[1];
    const uint32_t* masks = kMode2PixelMasks.of[b];
#if defined(__SSE2__)
    const __m128i base = _mm_set1_epi32(static_cast<int>(pen0));
    const __m128i flip = _mm_set1_epi32(static_cast<int>(toPen1));
    const __m128i* m = reinterpret_cast<const __m128i*>(masks);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(derived.halfColours), _mm_xor_si128(base, _mm_and_si128(flip, _mm_load_si128(m))));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(derived.halfColours + 4),
                     _mm_xor_si128(base, _mm_and_si128(flip, _mm_load_si128(m + 1))));
#else
    for (int k = 0; k < 8; ++k) derived.halfColours[k] = pen0 ^ (toPen1 & masks[k]);
#endif
}

// Mode 3 shows the first two mode 1 pixels of the byte, each twice as wide.
inline void gaCPC::half_mode3(uint8_t b) { halfTwoPixels(pens[mode1Table[b][0]], pens[mode1Table[b][1]]); }

// The gate array of the CPC models (built by beginCPC); a Plus model runs `as`.
extern gaCPC* ga;

extern uint32_t runctr;
extern uint8_t printerData;
extern uint8_t digiBlasterData;
extern uint8_t digiBlasterDataLowFilterCount;
