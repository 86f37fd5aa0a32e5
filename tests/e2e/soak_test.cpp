// Thousands of stop/run cycles of the emulation thread mixed with model, CRTC and media changes and snapshots, as a
// user clicking around causes; under the sanitizers: no hang, crash or leak, and the machine still boots to BASIC.
#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "e2e/headless_run.h"
#include "frontend/frontend_services.h"
#include "frontend/media_loader.h"
#include "frontend/media_tape.h"
#include "machine/config.h"
#include "machine/cpc.h"
#include "machine/emulation_thread.h"
#include "machine/model.h"
#include "machine/text_buffers.h"
#include "machine/timed_actions.h"
#include "snapshot/sna_file.h"
#include "support/machine_fixture.h"

namespace {

using namespace test_support;

class Soak : public test_support::BuiltMachine {
protected:
    void SetUp() override {
        BuiltMachine::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_TIMER), 0);
        // As in a window: timers on SDL's thread, not the emulation thread (whose own stopRun would never return).
        headlessMode = false;
        allocateTextBuffers();
        thread = startEmulationThread();
        ASSERT_NE(thread, nullptr);
    }
    void TearDown() override {
        endEmulationThread(thread);
        namedFileFailures = 0;  // the toggling loads count as failed; later in-process starts would refuse to run
        BuiltMachine::TearDown();
        SDL_QuitSubSystem(SDL_INIT_TIMER);
    }
};

TEST_F(Soak, StopRunCyclesWithMachineAndMediaChanges) {
    SKIP_WITHOUT_SHARED("media/cpcrogue.dsk", "media/cpcrogue.cdt");
    std::string disk = sharedPath("media/cpcrogue.dsk");
    std::string cdt = sharedPath("media/cpcrogue.cdt");
    const char* more = std::getenv("KESTRIX_SOAK_CYCLES");
    const int cycles = more ? std::atoi(more) : 2000;
    const char* models[] = {"6128", "464", "664", "6128+"};
    const std::string sna = home.path() + "/soak.sna";
    bool saved = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(10);

    run();
    for (int i = 0; i < cycles; ++i) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "cycle " << i;
        if (i % 4 == 0) {
            ASSERT_TRUE(waitForFrames(1)) << "the emulation stalled at cycle " << i;
        }
        runMainThreadActions();  // as the main loop does on every pass
        stopRun();
        ASSERT_EQ(cpcIsRunning, 0);
        switch (i % 50) {
            case 7: load_file_snadsk(disk.c_str(), i & 1); break;  // lands 100 ms later, from runMainThreadActions
            case 19: load_file_snadsk(cdt.c_str(), 1); break;
            case 23: cycleCrtcType(); break;
            case 31: eject_dsk(i & 1, true); break;
            case 37: eject_cdt(); break;
            case 11: saved = writeSNAFile(sna.c_str()) || saved; break;
            case 29:
                if (saved) load_file_snadsk(sna.c_str(), 1);
                break;
            case 43:
                if (i % 200 == 43) chooseCPCType(models[(i / 200) % 4]);
                break;
            default: break;
        }
        run();
    }
    stopRun();
    SDL_Delay(300);  // the last delayed disk load falls due
    runMainThreadActions();
    stopRun();

    // Back to a plain 6128: it boots to BASIC as on the first day.
    ASSERT_TRUE(chooseCPCType("6128"));
    crtcType = 0;
    changeCrtcType();
    eject_dsk(0, true);
    eject_dsk(1, true);
    eject_cdt();
    run();
    freeRunEnable = 1;
    ASSERT_TRUE(waitForFrames(150));
    stopRun();
    ScreenText text = screen();
    EXPECT_TRUE(text.contains("BASIC 1.1")) << text.dump();
    EXPECT_TRUE(text.contains("Ready")) << text.dump();
}

}  // namespace
