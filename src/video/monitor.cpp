#include "video/monitor.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "asic/asic.h"
#include "machine/emulation_thread.h"
#include "machine/frontend_hooks.h"
#include "machine/shared_flag.h"
#include "video/gate_array.h"

uint32_t cpcscreenpixels[kFrameWidth * kFrameHeight];
uint32_t cpcscreenpixels_xy = 0;
uint32_t cpcscreenpixels_xy_hsync = kFrameWidth;
uint16_t monitor_nb_lines = 0;
uint16_t monitor_vertical_hold = kMonitorVerticalHold;
uint32_t monitor_draw_end = kFramePixels;
uint32_t monitor_retrace_write_limit = kMonitorRetraceWriteLimit;
uint32_t monitor_vsync_ctr = 0;
uint8_t monitor_hsync_ctr = 0;
uint32_t monitor_blank_color = 0;
uint32_t monitor_aBGR[32];
bool t_color = true;
bool t_colorG = false;
std::atomic<uint8_t> t_scanlines{0};
uint32_t monitorFinishedFrames = 0;
uint8_t monitorHalfAhead = kMonitorNotAhead;

void setBeamRowEnd(uint32_t xyHsync) {
    cpcscreenpixels_xy_hsync = xyHsync;
    for (gaCPC* chip : {ga, static_cast<gaCPC*>(as)}) {
        if (chip) chip->derived.beamHalfLimit = 0;
    }
}

void setMonitorVerticalHold(uint16_t lastLine) {
    if (lastLine > kMonitorVerticalHold) lastLine = kMonitorVerticalHold;
    monitor_vertical_hold = lastLine;
    monitor_draw_end = (lastLine + 1u) * 2u * kFrameWidth;
    monitor_retrace_write_limit = std::min(kMonitorRetraceWriteLimit, monitor_draw_end - 1);
    setBeamRowEnd(cpcscreenpixels_xy_hsync);  // the clocks' whole-half limits follow
}

namespace {

constexpr uint32_t kRowSkip = kFrameWidth;         // each line uses two buffer rows
constexpr uint32_t kLineAdvance = 2 * kFrameWidth;
constexpr uint8_t kHorizontalFlybackTicks = 168;  // 10.5 us
constexpr uint32_t kVerticalRetraceTicks = 24000; // 1500 us
constexpr uint32_t kVerticalHoldRetraceTicks = 24960;
constexpr uint16_t kLastDrawnLine = 525;
constexpr uint16_t kVerticalHoldLines = 603;
constexpr uint16_t kShortestFrameLines = 183;

constexpr uint32_t rgb(uint32_t value) {
    return 0xFF000000u | (value & 0xFF) << 16 | (value & 0xFF00) | (value >> 16 & 0xFF);
}

const uint32_t* targetPalette() {
    if (t_color) return kMonitorPalettes[0];
    return t_colorG ? kMonitorPalettes[2] : kMonitorPalettes[1];
}

// Moves the beam one tick on from xy; true when that ended a row (the odd
// buffer row below it is then skipped).
inline bool beamStep(uint32_t& xy) {
    if (++xy != cpcscreenpixels_xy_hsync) return false;
    xy += kRowSkip;
    setBeamRowEnd(cpcscreenpixels_xy_hsync + kLineAdvance);
    return true;
}

// The beam back at the top left, and the picture it left finished.
void beamToNewPicture() {
    cpcscreenpixels_xy = 0;
    setBeamRowEnd(kFrameWidth);
    monitor_nb_lines = 0;
    monitor_finish_frame();
}

// The picture starts on a colour monitor before anything chose a palette.
struct InitialPalette {
    InitialPalette() {
        std::memcpy(monitor_aBGR, kMonitorPalettes[0], sizeof monitor_aBGR);
        monitor_blank_color = monitor_aBGR[20];
    }
};

}  // namespace

// Written as 0xRRGGBB, stored as aBGR.
const uint32_t kMonitorPalettes[3][32] = {
    // colour
    {rgb(0x6E7D6B), rgb(0x6E7B6D), rgb(0x00F36B), rgb(0xF3F36D), rgb(0x00026B), rgb(0xF00268), rgb(0x007868), rgb(0xF37D6B),
     rgb(0xF30268), rgb(0xF3F36B), rgb(0xF3F30D), rgb(0xFFF3F9), rgb(0xF30506), rgb(0xF302F4), rgb(0xF37D0D), rgb(0xFA80F9),
     rgb(0x000268), rgb(0x02F36B), rgb(0x02F001), rgb(0x0FF3F2), rgb(0x000201), rgb(0x0C02F4), rgb(0x027801), rgb(0x0C7BF4),
     rgb(0x690268), rgb(0x71F36B), rgb(0x71F504), rgb(0x71F3F4), rgb(0x6C0201), rgb(0x6C02F2), rgb(0x6E7B01), rgb(0x6E7BF6)},
    // gray
    {rgb(0x909090), rgb(0x909090), rgb(0xC0C0C0), rgb(0xF0F0F0), rgb(0x303030), rgb(0x606060), rgb(0x787878), rgb(0xA8A8A8),
     rgb(0x606060), rgb(0xF0F0F0), rgb(0xE8E8E8), rgb(0xF8F8F8), rgb(0x585858), rgb(0x686868), rgb(0xA0A0A0), rgb(0xB0B0B0),
     rgb(0x303030), rgb(0xC0C0C0), rgb(0xB8B8B8), rgb(0xC8C8C8), rgb(0x282828), rgb(0x383838), rgb(0x707070), rgb(0x808080),
     rgb(0x484848), rgb(0xD8D8D8), rgb(0xD0D0D0), rgb(0xE0E0E0), rgb(0x404040), rgb(0x505050), rgb(0x888888), rgb(0x989898)},
    // green
    {rgb(0x409738), rgb(0x3F9637), rgb(0x57B94E), rgb(0x69D25E), rgb(0x165C11), rgb(0x297723), rgb(0x36892F), rgb(0x4BA742),
     rgb(0x297723), rgb(0x6CD761), rgb(0x68D15D), rgb(0x6AD45F), rgb(0x277421), rgb(0x2D7C27), rgb(0x48A440), rgb(0x4EAC45),
     rgb(0x165C12), rgb(0x58BA4E), rgb(0x54B44B), rgb(0x5BBE51), rgb(0x0E580F), rgb(0x1A6115), rgb(0x33852C), rgb(0x3A8F33),
     rgb(0x1E6819), rgb(0x60C656), rgb(0x5DC153), rgb(0x64CB59), rgb(0x1C6417), rgb(0x226D1D), rgb(0x3C9335), rgb(0x439C3B)},
};

namespace {
InitialPalette initialPalette;
}  // namespace

// One tick of the drawing beam. Below the vertical hold's last line the beam
// still moves (nothing is written), so a picture that never gets a VSYNC
// still counts its lines and rolls on vertical hold.
void gaCPC::monitor_update_pixel() {
    uint32_t xy = cpcscreenpixels_xy;
    if (xy < monitor_draw_end) cpcscreenpixels[xy] = blank ? monitor_blank_color : pixelColor;
    if (beamStep(xy)) change_monitor_pixels();
    cpcscreenpixels_xy = xy;
}

void gaCPC::monitor_update_sync() {
    if (monitor_vsync_ctr) {
        --monitor_vsync_ctr;
        if (!monitor_nb_lines) return;
        // A retrace that did not return the beam to the top: it keeps moving, blank.
        uint32_t xy = cpcscreenpixels_xy;
        if (xy <= monitor_retrace_write_limit) cpcscreenpixels[xy] = monitor_blank_color;
        beamStep(xy);
        cpcscreenpixels_xy = xy;
        return;
    }
    if (!monitor_hsync_ctr) return;  // waits for a horizontal sync pulse
    if (--monitor_hsync_ctr) return;
    ++monitor_nb_lines;
    if (monitor_nb_lines <= kLastDrawnLine) {
        change_monitor_update();
    } else if (monitor_nb_lines > kVerticalHoldLines) {
        // Vertical hold: no VSYNC came in time, the monitor retraces by itself.
        monitor_vsync_ctr = kVerticalHoldRetraceTicks;
        beamToNewPicture();
    }
}

void monitor_hsync_pulse(bool beamInRetrace) {
    if (monitor_hsync_ctr == 0 && beamInRetrace) monitor_hsync_ctr = kHorizontalFlybackTicks;
}

bool monitor_vsync_pulse() {
    if (monitor_vsync_ctr) return false;
    monitor_vsync_ctr = kVerticalRetraceTicks;
    if (monitor_nb_lines > kShortestFrameLines) beamToNewPicture();
    return true;
}

void monitor_finish_frame() {
    const bool scanlines = loadFlag(t_scanlines);
    for (int row = 1; row < kFrameHeight; row += 2) {
        uint32_t* odd = &cpcscreenpixels[row * kFrameWidth];
        if (scanlines) {
            const uint32_t c = monitor_blank_color;
            for (int x = 0; x < kFrameWidth; ++x) odd[x] = c;
        } else {
            std::memcpy(odd, odd - kFrameWidth, kFrameWidth * sizeof(uint32_t));
        }
    }
    ++monitorFinishedFrames;
}

void monitor_init() {
    monitorHalfAhead = kMonitorNotAhead;
    monitor_hsync_ctr = 0;
    monitor_vsync_ctr = 0;
    monitor_nb_lines = 0;
    // Both clocks' beam state: the gate array's and the Plus ASIC's.
    for (gaCPC* chip : {ga, static_cast<gaCPC*>(as)}) {
        if (!chip) continue;
        chip->change_monitor_update();
        chip->blank = false;
        chip->vsyncOut = false;
        chip->hsyncOut = false;
    }
    cpcscreenpixels_xy = 0;
    setMonitorVerticalHold(kMonitorVerticalHold);
    setBeamRowEnd(kFrameWidth);
    monitor_color();
    std::memset(cpcscreenpixels, 0, sizeof cpcscreenpixels);
}

// Every pen keeps its hardware colour and shows it in the new palette; a
// colour of the pen's own (a Plus palette-page colour) stays as it is. The
// palette changes first, so that a colour the running machine writes
// meanwhile is taken from the new one or set again below.
void monitor_color() {
    std::memcpy(monitor_aBGR, targetPalette(), sizeof monitor_aBGR);
    monitor_blank_color = monitor_aBGR[20];
    for (gaCPC* chip : {ga, static_cast<gaCPC*>(as)}) {
        if (!chip) continue;
        for (int pen = 0; pen < 32; ++pen) {
            const uint8_t colour = chip->penHardwareColour[pen];
            if (colour != gaCPC::kPenNotHardwareColour) chip->pens[pen] = monitor_aBGR[colour & 31];
        }
        chip->borderColor = chip->pens[16];
    }
    frontendHooks.redrawMonitorIcons();
    refreshScreen = true;
}

void monitor_change_color() {
    if (t_color) {
        t_color = false;
        t_colorG = true;
    } else if (t_colorG) {
        t_colorG = false;
    } else {
        t_color = true;
    }
    monitor_color();
}

void monitor_endisable_scanline() {
    storeFlag(t_scanlines, !loadFlag(t_scanlines));
    frontendHooks.redrawMonitorIcons();
    refreshScreen = true;
}
