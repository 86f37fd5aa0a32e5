// The monitor: a beam that turns the gate array's colour and sync signals
// into the frame buffer, with horizontal and vertical hold, the three
// palettes and the scanline option.
#pragma once
#include <atomic>
#include <cstdint>

constexpr int kFrameWidth = 832;
constexpr int kFrameHeight = 640;
constexpr uint32_t kFramePixels = kFrameWidth * kFrameHeight;

// 832 x 640 aBGR pixels (bytes R, G, B, A in memory); each emulated line is an
// even row, the odd rows are doubled or blanked when a frame is finished.
extern uint32_t cpcscreenpixels[kFrameWidth * kFrameHeight];
extern uint32_t cpcscreenpixels_xy;
extern uint32_t cpcscreenpixels_xy_hsync;
// Sets the row end; the clocks' whole-half limits (gaCPC::derived.beamHalfLimit)
// are dropped, to be worked out again from it.
void setBeamRowEnd(uint32_t xyHsync);
extern uint16_t monitor_nb_lines;
// Vertical hold: the last line the beam draws into the frame buffer (each
// line takes two buffer rows; 319 is the buffer's last). Lines below it are
// still counted and swept, but nothing is written there. monitor_init sets
// kMonitorVerticalHold; monitor_draw_end is the pixel index where drawing stops.
constexpr uint16_t kMonitorVerticalHold = 319;
extern uint16_t monitor_vertical_hold;
extern uint32_t monitor_draw_end;
void setMonitorVerticalHold(uint16_t lastLine);
extern uint32_t monitor_vsync_ctr;
extern uint8_t monitor_hsync_ctr;
extern uint32_t monitor_blank_color;
extern uint32_t monitor_aBGR[32];
extern bool t_color;
extern bool t_colorG;
extern std::atomic<uint8_t> t_scanlines;
// Frames the beam has finished since start (tests and the headless mode
// use it to know that a whole picture is in the buffer).
extern uint32_t monitorFinishedFrames;

// What the half character in progress was drawn ahead with: kMonitorNotAhead,
// the `blank` level (0 or 1) it was drawn with, or kMonitorAheadInRetrace.
// The frame clock skips the half's later run when that run has nothing to do.
constexpr uint8_t kMonitorNotAhead = 0xFF;
constexpr uint8_t kMonitorAheadInRetrace = 2;
// The blank beam of a retrace after a short frame stops writing here (or
// above, at the vertical hold's end: monitor_retrace_write_limit).
constexpr uint32_t kMonitorRetraceWriteLimit = 475903;
extern uint32_t monitor_retrace_write_limit;
extern uint8_t monitorHalfAhead;

// Colour, gray and green palettes by hardware colour number, alpha 255.
extern const uint32_t kMonitorPalettes[3][32];

// Beam and sync counters to power-on, the gate array's drawing routine,
// the palette choice applied, and the frame buffer cleared.
void monitor_init();
inline void resetMonitorSimulation() { monitor_init(); }
void monitor_color();
void monitor_change_color();
void monitor_endisable_scanline();

// Sync inputs. A horizontal pulse arms the flyback only while the beam waits
// in retrace; a vertical pulse reports whether it started a vertical retrace.
void monitor_hsync_pulse(bool beamInRetrace);
bool monitor_vsync_pulse();
// Doubles or blanks the odd rows of the picture the beam has just finished.
void monitor_finish_frame();
