#include "support/built_machine.h"

#include <SDL.h>
#include <cstdlib>

#include "machine/base_path.h"
#include "machine/cpc.h"
#include "machine/emulation_thread.h"

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
    uint32_t target = framesEmulated + more;
    for (int i = 0; i < 500 && framesEmulated < target; ++i) SDL_Delay(2);
    return framesEmulated >= target;
}

}  // namespace test_support
