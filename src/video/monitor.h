// Frame buffer shared with the front-end, and the monitor simulation's reset.
#pragma once
#include <cstdint>

constexpr int kFrameWidth = 832;
constexpr int kFrameHeight = 640;
extern uint32_t cpcscreenpixels[kFrameWidth * kFrameHeight];

// Puts the beam and sync counters back to power-on, recomputes the palette
// and clears the frame buffer (done on every model change).
void resetMonitorSimulation();
