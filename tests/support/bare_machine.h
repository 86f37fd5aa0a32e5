// A machine with every chip created and reset but no ROMs loaded, for tests
// that drive the gate array, the CRTC and the monitor through their pins.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>

#include "machine/cpc.h"
#include "machine/cpu.h"
#include "machine/memory.h"
#include "sound/audio_output.h"
#include "video/crtc6845.h"
#include "video/gate_array.h"
#include "video/monitor.h"

namespace test_support {

// One complete I/O cycle as the processor drives it: IORQ rises with the
// strobe, the chip (gate array or ASIC) serves it, IORQ falls again.
template <typename Chip>
inline void ioCycleOn(Chip* chip, uint16_t port, uint8_t data, bool write = true) {
    cpu->addressBus = port;
    cpu->dataBus = data;
    cpu->m1 = false;
    cpu->rd = !write;
    cpu->wr = write;
    cpu->iorq = true;
    chip->serviceIoEdge();
    cpu->iorq = false;
    cpu->rd = false;
    cpu->wr = false;
    chip->serviceIoEdge();
}

inline void ioCycle(uint16_t port, uint8_t data, bool write = true) { ioCycleOn(ga, port, data, write); }

// Samples at 44.1 kHz into the audio buffer with no device behind it
// (queueing fails quietly), so that tests read what the machine produced.
inline void collectAudioWithoutDevice(bool stereo) {
    CPC_audio_enable = true;
    CPC_audio_stereo = stereo;
    digiBlaster = false;
    CPC_audio_volume = 1.0f;
    CPC_audio_frameCount = 1000000.0f / 44100.0f;
    CPC_audio_frameCount_timer = 0;
    CPC_audio_buffer_length = 0;
    cpcAudioDevice = 0;
}

inline void crtcWrite(uint8_t reg, uint8_t value) {
    ioCycle(0xBC00, reg);
    ioCycle(0xBD00, value);
}

// The register values the CPC firmware programs at start-up.
inline void programFirmwareCrtc() {
    const uint8_t values[16] = {63, 40, 46, 0x8E, 38, 0, 25, 30, 0, 7, 0, 0, 0x30, 0, 0, 0};
    for (uint8_t r = 0; r < 16; ++r) crtcWrite(r, values[r]);
}

class BareMachine : public ::testing::Test {
protected:
    void SetUp() override {
        beginCPC();
        crtc->reset();
        crtc->setType(0);
        ga->reset();
        ga->lastIorq = 0;
        ga->penSelect = 0;
        mem->reset();
        // RAM is all zeros: the processor runs NOPs and drives no I/O of its own.
        cpu->reset();
        monitor_init();
    }
    void TearDown() override { endCPC(); }

    // Runs microseconds until `done` holds (checked before each step); false
    // when it did not within `limit` steps.
    template <typename Pred>
    bool stepUntil(Pred done, int limit = 200000) {
        for (int i = 0; i < limit; ++i) {
            if (done()) return true;
            ga->clockMicrosecond();
        }
        return done();
    }
    void steps(int n) {
        for (int i = 0; i < n; ++i) ga->clockMicrosecond();
    }
    // True once the CRTC produces line syncs (it is a placeholder until its issue lands).
    bool crtcRuns() {
        programFirmwareCrtc();
        bool sawHigh = false, sawLow = false;
        for (int i = 0; i < 200; ++i) {
            ga->clockMicrosecond();
            (crtc->hsync ? sawHigh : sawLow) = true;
        }
        return sawHigh && sawLow;
    }
};

}  // namespace test_support
