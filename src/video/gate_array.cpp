#include "video/gate_array.h"

#include <cstring>

#include "video/frame_step.h"

uint32_t runctr = 0;
uint8_t printerData = 0;
uint8_t digiBlasterData = 0;
uint8_t digiBlasterDataLowFilterCount = 255;

namespace {

constexpr uint32_t kOpaqueBlack = 0xFF000000u;
inline uint8_t bit(unsigned value, int n) { return static_cast<uint8_t>((value >> n) & 1); }

}  // namespace

gaCPC::gaCPC() {
    buildPixelTables();
    reset();
}

void gaCPC::buildPixelTables() {
    for (unsigned b = 0; b < 256; ++b) {
        mode0Table[b][0] = static_cast<uint8_t>(bit(b, 7) | bit(b, 3) << 1 | bit(b, 5) << 2 | bit(b, 1) << 3);
        mode0Table[b][1] = static_cast<uint8_t>(bit(b, 6) | bit(b, 2) << 1 | bit(b, 4) << 2 | bit(b, 0) << 3);
        for (int k = 0; k < 4; ++k) {
            mode1Table[b][k] = static_cast<uint8_t>(bit(b, 7 - k) | bit(b, 3 - k) << 1);
        }
        for (int k = 0; k < 8; ++k) mode2Table[b][k] = bit(b, 7 - k);
    }
}

// A colour write takes effect at once: the half in progress already has its
// colours, so it shows from the next half-microsecond point on.
void gaCPC::setPenColour() {
    setPenHardwareColour(penSelect, colorValue);
    penWritten(penSelect);
}

void gaCPC::setPenHardwareColour(uint8_t pen, uint8_t colour) {
    penHardwareColour[pen] = colour & 31;
    pens[pen] = monitor_aBGR[colour & 31];
}

// Out of line: an entry is worked out once per set of pens.
[[gnu::noinline]] void gaCPC::fillHalfCache(unsigned entry) {
    const uint8_t videoByte = static_cast<uint8_t>(entry);
    switch (entry >> 8) {
        case 0: half_mode0(videoByte); break;
        case 1: half_mode1(videoByte); break;
        case 2: half_mode2(videoByte); break;
        default: half_mode3(videoByte); break;
    }
    std::memcpy(derived.halfCacheColours[entry], derived.halfColours, sizeof derived.halfColours);
    derived.halfCacheStamp[entry] = derived.penGeneration;
}

void gaCPC::reset() {
    std::memcpy(palettes, kMonitorPalettes, sizeof palettes);
    for (auto& pen : pens) pen = kOpaqueBlack;
    std::memset(penHardwareColour, kPenNotHardwareColour, sizeof penHardwareColour);
    pensChanged();
    hsyncOut = false;
    shiftA = 0;
    shiftB = 0;
    vsyncOut = false;
    blank = false;
    crtcHsyncLast = 0;
    crtcVsyncLast = 0;
    intCounter = 0;
    vsyncIntDelay = 0;
    modeRomReg = 0;
    mode = 0;
    hsyncCounter = 13;
}

// The WAIT pin as it stands: for callers that drive it themselves.
void gaCPC::call_cpu() { cpuTState<gaCPC, Z80CPU::WaitFromPin, false>(); }

void gaCPC::clockMicrosecond() { runSteps<gaCPC>(1); }

bool gaCPC::clock() { return runFrame<gaCPC>(); }
