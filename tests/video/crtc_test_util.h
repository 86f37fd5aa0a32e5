// Helpers for the CRTC tests: port access through the processor pins and
// microsecond traces of the outputs.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "machine/cpu.h"
#include "video/crtc6845.h"

namespace crtctest {

constexpr uint16_t kSelectPort = 0xBC00;
constexpr uint16_t kWritePort = 0xBD00;
constexpr uint16_t kStatusPort = 0xBE00;
constexpr uint16_t kReadPort = 0xBF00;
constexpr uint8_t kBusSentinel = 0xA5;  // left on the bus to see whether a read drove it

inline void ensureCpu() {
    if (!cpu) cpu = new Z80CPU();
}

inline void out(crtc6845& c, uint16_t port, uint8_t data) {
    cpu->addressBus = port;
    cpu->dataBus = data;
    cpu->wr = true;
    cpu->rd = false;
    c.crtc_enable();
    cpu->wr = false;
}

inline uint8_t in(crtc6845& c, uint16_t port) {
    cpu->addressBus = port;
    cpu->dataBus = kBusSentinel;
    cpu->rd = true;
    cpu->wr = false;
    c.crtc_enable();
    cpu->rd = false;
    return cpu->dataBus;
}

inline void writeReg(crtc6845& c, uint8_t reg, uint8_t value) {
    out(c, kSelectPort, reg);
    out(c, kWritePort, value);
}

inline uint8_t readReg(crtc6845& c, uint8_t reg) {
    out(c, kSelectPort, reg);
    return in(c, kReadPort);
}

// The register values the CPC firmware programs at start-up.
inline void programFirmware(crtc6845& c) {
    const uint8_t values[14] = {63, 40, 46, 0x8E, 38, 0, 25, 30, 0, 7, 0, 0, 0x30, 0};
    for (uint8_t r = 0; r < 14; ++r) writeReg(c, r, values[r]);
}

// Reset, select the type, program the firmware values and let the counters settle.
inline void bootFirmware(crtc6845& c, uint8_t type) {
    ensureCpu();
    c.reset();
    c.setType(type);
    programFirmware(c);
    for (int i = 0; i < 2 * 19968; ++i) c.crtc_clock();
}

inline crtc6845 booted(uint8_t type) {
    crtc6845 c;
    bootFirmware(c, type);
    return c;
}

// Run to one microsecond before a frame's first character (firmware timing), so
// that the next clock, the first one a trace records, is character 0 of row 0.
inline void runToFrameStart(crtc6845& c) {
    for (int i = 0; i < 3 * 19968; ++i) {
        c.crtc_clock();
        if (c.C0 == 0 && c.C4 == 0 && c.C9 == 0) {
            for (int k = 0; k < 19968 - 1; ++k) c.crtc_clock();
            return;
        }
    }
    ADD_FAILURE() << "no frame start found";
}

struct Trace {
    std::vector<uint8_t> hsync, vsync, dispen, ra;
    std::vector<uint16_t> ma;
};

inline Trace record(crtc6845& c, int microseconds) {
    Trace t;
    for (int i = 0; i < microseconds; ++i) {
        c.crtc_clock();
        t.hsync.push_back(c.hsync);
        t.vsync.push_back(c.vsync);
        t.dispen.push_back(c.dispen);
        t.ma.push_back(c.MA);
        t.ra.push_back(c.RA);
    }
    return t;
}

inline std::vector<int> risingEdges(const std::vector<uint8_t>& level) {
    std::vector<int> edges;
    for (size_t i = 1; i < level.size(); ++i)
        if (level[i] && !level[i - 1]) edges.push_back(static_cast<int>(i));
    return edges;
}

// Length in microseconds of the high pulse starting at index start.
inline int pulseLength(const std::vector<uint8_t>& level, int start) {
    int n = 0;
    while (start + n < static_cast<int>(level.size()) && level[start + n]) ++n;
    return n;
}

}  // namespace crtctest
