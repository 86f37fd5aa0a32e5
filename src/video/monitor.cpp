#include "video/monitor.h"

#include <cstring>

uint32_t cpcscreenpixels[kFrameWidth * kFrameHeight];

void resetMonitorSimulation() { std::memset(cpcscreenpixels, 0, sizeof cpcscreenpixels); }
