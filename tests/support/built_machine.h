// The default machine (CPC 6128, UK, CRTC 0) built from the shared ROM images
// in a throw-away base directory, for tests that drive the machine in-process.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>

#include "support/headless_run.h"

namespace test_support {

class BuiltMachine : public ::testing::Test {
protected:
    TempKestrixHome home;
    void SetUp() override;
    void TearDown() override;
};

// Waits, bounded, until the emulation thread has run `more` frames.
bool waitForFrames(uint32_t more);

}  // namespace test_support
