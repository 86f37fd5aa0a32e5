// What the beam does with the half characters of the step: the whole half
// at once when no row end, buffer end, counter end or sync edge can fall
// inside it, else the monitor's own routine tick by tick (video/monitor.cpp),
// which the whole half must always equal. Inline: the step calls it twice a
// microsecond; the ticks and the redraw are out of line (video/beam.cpp).
#pragma once
#include <cstring>

#include "video/crtc6845.h"
#include "video/gate_array.h"
#include "video/monitor.h"

// The eight colours of the half that starts: the border's row, or the
// cached row of this mode and video byte, worked out once per set of pens.
inline void gaCPC::startHalf(uint16_t videoByteValue) {
    if (!crtc->dispen) {
        derived.halfRow = derived.borderRow;
        return;
    }
    const uint8_t b = static_cast<uint8_t>(videoByteValue);
    const unsigned entry = (mode & 3u) << 8 | b;
    if (__builtin_expect(derived.halfCacheStamp[entry] != derived.penGeneration, 0)) fillHalfCache(entry);
    derived.halfRow = derived.halfCacheColours[entry];
}

// A falling CRTC HSYNC still to be handled in this microsecond can give the
// monitor a vertical sync pulse, which moves the beam: no half goes ahead.
inline bool gaCPC::halfSyncEdgeAhead() const { return crtcHsyncLast && !crtc->hsync; }

inline bool gaCPC::beamHalfWithinLimit(bool syncEdgePossible) {
    constexpr uint32_t kHalfTicks = 8;
    const uint32_t xy = cpcscreenpixels_xy;
    if (xy >= derived.beamHalfLimit || (syncEdgePossible && halfSyncEdgeAhead())) {
        monitorHalfAhead = kMonitorNotAhead;
        return false;
    }
    uint32_t* out = &cpcscreenpixels[xy];
    if (blank) {
        const uint32_t c = monitor_blank_color;
        for (uint32_t i = 0; i < kHalfTicks; ++i) out[i] = c;
    } else {
        std::memcpy(out, derived.halfRow, sizeof derived.halfColours);
    }
    cpcscreenpixels_xy = xy + kHalfTicks;
    monitorHalfAhead = blank;
    return true;
}

// While the beam draws pixels: the limit is where the row end or the end of
// the drawn lines (the vertical hold) would fall inside the half.
inline bool gaCPC::beamHalfAhead(bool syncEdgePossible) {
    const uint32_t beforeRowEnd = cpcscreenpixels_xy_hsync - 8, beforeDrawEnd = monitor_draw_end - 7;
    derived.beamHalfLimit = beforeRowEnd < beforeDrawEnd ? beforeRowEnd : beforeDrawEnd;
    return beamHalfWithinLimit(syncEdgePossible);
}

// The same in a retrace: the beam only counts, or moves on blank after a
// short frame, when neither counter ends inside the half.
inline bool gaCPC::beamRetraceHalfAhead(bool syncEdgePossible) {
    constexpr uint32_t kHalfTicks = 8;
    monitorHalfAhead = kMonitorNotAhead;
    if (syncEdgePossible && halfSyncEdgeAhead()) return false;
    if (monitor_vsync_ctr) {
        if (monitor_vsync_ctr < kHalfTicks) return false;
        if (monitor_nb_lines) {
            const uint32_t xy = cpcscreenpixels_xy;
            if (cpcscreenpixels_xy_hsync - xy <= kHalfTicks || xy > monitor_retrace_write_limit + 1 - kHalfTicks)
                return false;
            const uint32_t c = monitor_blank_color;
            for (uint32_t i = 0; i < kHalfTicks; ++i) cpcscreenpixels[xy + i] = c;
            cpcscreenpixels_xy = xy + kHalfTicks;
        }
        monitor_vsync_ctr -= kHalfTicks;
    } else if (monitor_hsync_ctr) {
        if (monitor_hsync_ctr <= kHalfTicks) return false;  // the line ends inside the half
        monitor_hsync_ctr = static_cast<uint8_t>(monitor_hsync_ctr - kHalfTicks);
    }
    // else the beam waits for a horizontal sync pulse, which only comes between microseconds
    monitorHalfAhead = kMonitorAheadInRetrace;
    return true;
}

// A half's first run (tick 0 or 8, `count` ticks): the whole half at once
// when it can, else the run tick by tick. True when that took the whole half.
inline bool gaCPC::halfFirstTicks(int first, int count, bool syncEdgePossible) {
    if (beamHalfWithinLimit(syncEdgePossible)) return true;
    if (beamInRetrace() ? beamRetraceHalfAhead(syncEdgePossible) : beamHalfAhead(syncEdgePossible)) return true;
    beamTicksOneByOne(first & 7, count);
    return false;
}
