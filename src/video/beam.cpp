#include "video/beam.h"

// A half's later run (ticks first..first+count-1, first above 0). Drawn
// ahead at its first tick, the half needs it only when `blank` changed
// since, which only the gate array's HSYNC edge after T-state 1 can do:
// the rest of the half is drawn again at the new level. (A half drawn ahead
// in retrace has nothing to redraw.) Otherwise the ticks one by one.
void gaCPC::beamTicks(int first, int count) {
    const uint8_t ahead = monitorHalfAhead;
    if (ahead == kMonitorNotAhead) {
        beamTicksOneByOne(first, count);
        return;
    }
    if (ahead == kMonitorAheadInRetrace || ahead == static_cast<uint8_t>(blank)) return;
    monitorHalfAhead = blank;
    const uint32_t start = cpcscreenpixels_xy - 8;
    if (start >= kFramePixels) return;
    for (uint32_t i = static_cast<uint32_t>(first); i < 8; ++i)
        cpcscreenpixels[start + i] = blank ? monitor_blank_color : derived.halfRow[i];
}

// Out of line, so that the step stays small.
[[gnu::noinline]] void gaCPC::beamTicksOneByOne(int first, int count) {
    for (int i = 0; i < count; ++i) {
        pixelColor = derived.halfRow[first + i];
        (this->*monitorRoutine)();
    }
}
