// Placeholder CRTC until the five types land.
#pragma once
#include <cstdint>

class crtc6845 {
public:
    uint8_t type = 0;
    void reset() {}
    void setType(uint8_t t) { type = t; }
    void crtc_clock() {}
    void crtc_enable() {}
};
