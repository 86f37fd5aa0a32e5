#include "disk_machine_fixture.h"

#include <cstdlib>

#include "frontend/autorun.h"
#include "frontend/frontend_services.h"
#include "machine/base_path.h"
#include "machine/cpc.h"
#include "machine/emulation_thread.h"
#include "machine/model.h"
#include "machine/text_buffers.h"
#include "machine/timed_actions.h"

using namespace test_support;

namespace disk_test {

void InProcess6128::SetUp() {
    if (!sharedRomsPresent()) GTEST_SKIP() << "shared ROM images not found in " << sharedPath("roms");
    ASSERT_TRUE(font.loadFromOsRom(sharedOsRom("6128")));
}

void InProcess6128::TearDown() {
    if (!booted) return;
    running = 0;
    clearTimedActions();
    endCPC();
}

void InProcess6128::boot() {
    setenv("KESTRIX_HOME", home.path().c_str(), 1);
    allocateTextBuffers();
    initBasePath();
    headlessMode = true;
    installFrontendServices();
    clearTimedActions();
    beginCPC();
    booted = true;
    cpcType = CPC6128;
    cpcLang = LangUK;
    crtcType = 0;
    running = 0;
    ASSERT_TRUE(startCPC());
    run();
    frames(100);
}

void InProcess6128::frames(int n) {
    for (int i = 0; i < n; ++i) runOneFrame();
}

void InProcess6128::type(const char* text, int after) {
    setAutorunText(text);
    autorun_dsk(0, kAutorunKeyPeriodMs);
    for (int i = 0; i < 3000 && autorunInProgress(); ++i) runOneFrame();
    frames(after);
}

ScreenText InProcess6128::screen() { return readScreenText(framePictureArea(), font); }

}  // namespace disk_test
