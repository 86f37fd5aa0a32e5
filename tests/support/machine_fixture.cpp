#include "support/machine_fixture.h"

#include <SDL.h>

#include <chrono>
#include <cstdlib>

#include "asic/asic.h"
#include "frontend/autorun.h"
#include "frontend/frontend_services.h"
#include "machine/base_path.h"
#include "machine/emulation_thread.h"
#include "machine/text_buffers.h"
#include "machine/timed_actions.h"
#include "support/asic_test_support.h"

namespace test_support {

void Machine::SetUp() {
    if (setup_.toBasic) setup_.sharedRoms = true;
    if (setup_.sharedRoms) {
        SKIP_WITHOUT_SHARED_ROMS();
        ASSERT_TRUE(font.loadFromOsRom(sharedOsRom("6128")));
    }
    if (!setup_.buildLater) build();
}

void Machine::build() {
    const bool plus = isPlusModel(setup_.model);
    built = true;
    if (!setup_.sharedRoms) {
        beginCPC();
        cpcType = setup_.model;
        crtcType = plus ? 3 : 0;
        crtc->reset();
        crtc->setType(crtcType);
        if (plus) {
            mem->init(128);
            as->reset();
            as->lastIorq = 0;
        } else {
            ga->reset();
            ga->lastIorq = 0;
            ga->penSelect = 0;
        }
        ppi->reset();
        ay->reset();
        cPCKeyBoard->reset();
        mem->reset();
        cpu->reset();
        monitor_init();
        return;
    }
    setenv("KESTRIX_HOME", home.path().c_str(), 1);
    initBasePath();
    if (setup_.toBasic) {
        allocateTextBuffers();
        headlessMode = true;
        installFrontendServices();
        clearTimedActions();
    }
    beginCPC();
    cpcType = setup_.model;
    cpcLang = LangUK;
    crtcType = plus ? 3 : 0;
    running = 0;
    mainLoopEnd = 0;
    freeRunEnable = 0;
    ASSERT_TRUE(startCPC());
    if (setup_.toBasic) {
        run();
        frames(100);
    }
}

void Machine::takeDown() {
    if (!built) return;
    built = false;
    running = 0;
    freeRunEnable = 0;
    endCPC();
    if (setup_.toBasic) {
        // The next test of the program starts from a program that is not headless.
        clearTimedActions();
        headlessMode = false;
    }
    cpcType = CPC6128;
    crtcType = 0;
    if (setup_.sharedRoms) {
        freeBasePath();
        unsetenv("KESTRIX_HOME");
    }
}

void Machine::frames(int n) {
    for (int i = 0; i < n; ++i) runOneFrame();
}

void Machine::type(const char* text, int after) {
    setAutorunText(text);
    autorun_dsk(0, kAutorunKeyPeriodMs);
    for (int i = 0; i < 3000 && autorunInProgress(); ++i) runOneFrame();
    frames(after);
}

ScreenText Machine::screen() { return readScreenText(framePictureArea(), font); }

void Machine::insert(const std::vector<uint8_t>& cpr) {
    ASSERT_TRUE(asic_test::loadCprBytes(cpr));
    as->reset();
    mem->reset();
    cpu->reset();
}

bool Machine::crtcRuns() {
    programFirmwareCrtc();
    bool sawHigh = false, sawLow = false;
    for (int i = 0; i < 200; ++i) {
        ga->clockMicrosecond();
        (crtc->hsync ? sawHigh : sawLow) = true;
    }
    return sawHigh && sawLow;
}

bool waitForFrames(uint32_t more) {
    // Generous: a machine busy with other builds may run the frames slowly.
    uint32_t target = framesEmulated + more;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (framesEmulated < target && std::chrono::steady_clock::now() < deadline) SDL_Delay(2);
    return framesEmulated >= target;
}

SDL_Thread* startEmulationThread() { return SDL_CreateThread(runCPC, "runCPC", nullptr); }

void endEmulationThread(SDL_Thread*& thread) {
    if (!thread) return;
    stopRun();
    mainLoopEnd = 1;
    SDL_WaitThread(thread, nullptr);
    thread = nullptr;
}

void installWindowHooks() {
    const bool headless = headlessMode;
    headlessMode = false;
    installFrontendServices();
    headlessMode = headless;
}

}  // namespace test_support
