// The machine a test drives in this process: without ROMs (RAM all zeros, so
// the processor runs NOPs and drives no I/O), or from the shared ROMs, of any
// model, and on request run headless to the BASIC prompt.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>

#include "asic/asic.h"
#include "disk/fdc765.h"
#include "disk/floppy_drive.h"
#include "machine/cpc.h"
#include "machine/keyboard.h"
#include "machine/model.h"
#include "machine/ppi8255.h"
#include "machine/cpu.h"
#include "machine/memory.h"
#include "sound/audio_output.h"
#include "sound/ay8910.h"
#include "support/screen_text.h"
#include "support/temp_home.h"
#include "tape/tape_drive.h"
#include "video/crtc6845.h"
#include "video/gate_array.h"
#include "video/monitor.h"

struct SDL_Thread;

namespace test_support {

struct MachineSetup {
    bool sharedRoms = false;  // false: no ROMs, the chips driven through their pins
    uint8_t model = CPC6128;
    bool toBasic = false;     // with the shared ROMs: run to the BASIC prompt, headless
    bool buildLater = false;  // the test calls build() itself (and may build again after takeDown())
};

class Machine : public ::testing::Test {
protected:
    explicit Machine(MachineSetup setup = {}) : setup_(setup) {}
    void SetUp() override;
    void TearDown() override { takeDown(); }

    void build();
    void takeDown();

    // Runs whole frames as the emulation thread does.
    void frames(int n);
    // Types `text` through the autorun path, then runs `after` more frames.
    void type(const char* text, int after = 0);
    ScreenText screen();
    // Loads the cartridge and resets the machine to run it from bank 0.
    void insert(const std::vector<uint8_t>& cpr);

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
    // True once the CRTC, programmed as the firmware does, produces line syncs.
    bool crtcRuns();

    MachineSetup setup_;
    TempKestrixHome home;
    RomFont font;  // the 6128's, with the shared ROMs
    bool built = false;
};

// The presets the tests use most.
class BareMachine : public Machine {};
class BuiltMachine : public Machine {
protected:
    BuiltMachine() : Machine({.sharedRoms = true}) {}
};

// Waits, bounded, until the emulation thread has run `more` frames.
bool waitForFrames(uint32_t more);

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

// The register values the CPC firmware programs at start-up, the screen at
// `r12`, written through `chip` (the gate array, or the ASIC on a Plus).
template <typename Chip>
inline void programFirmwareCrtc(uint8_t r12, Chip* chip) {
    const uint8_t values[16] = {63, 40, 46, 0x8E, 38, 0, 25, 30, 0, 7, 0, 0, r12, 0, 0, 0};
    for (uint8_t r = 0; r < 16; ++r) {
        ioCycleOn(chip, 0xBC00, r);
        ioCycleOn(chip, 0xBD00, values[r]);
    }
}
inline void programFirmwareCrtc() { programFirmwareCrtc(0x30, ga); }

// The real emulation thread, for tests that race the main thread against it;
// the end stops the emulation, ends the thread's loop and waits for it.
SDL_Thread* startEmulationThread();
void endEmulationThread(SDL_Thread*& thread);
// The front-end's hooks as a window installs them, whatever mode is set.
void installWindowHooks();

}  // namespace test_support
