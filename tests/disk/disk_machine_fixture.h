// A 6128 built in this process from the shared ROMs and run to the BASIC
// prompt, for the disk tests that type into BASIC and read the screen.
#pragma once
#include <gtest/gtest.h>

#include "support/headless_run.h"
#include "support/headless_screen.h"

namespace disk_test {

class InProcess6128 : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Builds the machine and runs it to the BASIC prompt.
    void boot();
    void frames(int n);
    // Types `text` through the autorun path, then runs `after` more frames.
    void type(const char* text, int after = 0);
    test_support::ScreenText screen();

    TempKestrixHome home;
    test_support::RomFont font;
    bool booted = false;
};

}  // namespace disk_test
