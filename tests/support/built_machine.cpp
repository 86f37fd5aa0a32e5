#include "support/built_machine.h"

#include <SDL.h>
#include <chrono>
#include <cstdlib>

#include "machine/base_path.h"
#include "machine/cpc.h"
#include "machine/emulation_thread.h"
#include "machine/model.h"

namespace test_support {

void BuiltMachine::SetUp() {
    if (!sharedRomsPresent()) GTEST_SKIP() << "shared ROM images not found at " << sharedPath("roms");
    setenv("KESTRIX_HOME", home.path().c_str(), 1);
    initBasePath();
    beginCPC();
    cpcType = CPC6128;
    cpcLang = LangUK;
    crtcType = 0;
    running = 0;
    mainLoopEnd = 0;
    freeRunEnable = 0;
    ASSERT_TRUE(startCPC());
}

void BuiltMachine::TearDown() {
    running = 0;
    freeRunEnable = 0;
    endCPC();
    freeBasePath();
    unsetenv("KESTRIX_HOME");
}

bool waitForFrames(uint32_t more) {
    // Generous: a machine busy with other builds may run the frames slowly.
    uint32_t target = framesEmulated + more;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (framesEmulated < target && std::chrono::steady_clock::now() < deadline) SDL_Delay(2);
    return framesEmulated >= target;
}

}  // namespace test_support
