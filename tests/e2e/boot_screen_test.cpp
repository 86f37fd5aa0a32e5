// End to end: the headless program boots each CPC model to BASIC and its
// screenshot reads as the firmware's start-up text, on every CRTC type.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/headless_run.h"

using namespace test_support;

namespace {

struct BootCase {
    const char* model;
    const char* banner;
    const char* basic;
};

const BootCase kBoots[] = {
    {"6128", "Amstrad 128K Microcomputer  (v3)", "BASIC 1.1"},
    {"464", "Amstrad 64K Microcomputer  (v1)", "BASIC 1.0"},
    {"664", "Amstrad 64K Microcomputer  (v2)", "BASIC 1.1"},
};

class BootScreen : public ::testing::TestWithParam<std::tuple<BootCase, int>> {
protected:
    void SetUp() override {
        SKIP_WITHOUT_SHARED_ROMS();
        ASSERT_TRUE(font.loadFromOsRom(sharedOsRom("6128")));
    }
    RomFont font;
};

TEST_P(BootScreen, ReachesReady) {
    const auto& [boot, crtcType] = GetParam();
    TempKestrixHome home;
    ScreenRun run = runToScreenshot(home, 150, {"-c", boot.model, "-t", std::to_string(crtcType)});
    ASSERT_EQ(run.process.exitCode, 0) << run.process.output;
    ASSERT_TRUE(run.ok()) << run.pictureError << "\n" << run.process.output;
    ASSERT_EQ(run.picture.width, 768);
    ASSERT_EQ(run.picture.height, 548);

    ScreenText text = readScreenText(run.picture, font);
    EXPECT_EQ(text.mode(), 1) << text.dump();
    EXPECT_TRUE(text.contains(boot.banner)) << text.dump();
    EXPECT_TRUE(text.contains(boot.basic)) << text.dump();
    TextPosition ready = text.find("Ready");
    ASSERT_TRUE(ready.found()) << text.dump();
    TextPosition basic = text.find(boot.basic);
    EXPECT_GT(ready.row, basic.row) << text.dump();
    EXPECT_EQ(text.lines[ready.row].substr(ready.column), "Ready") << "nothing else on the prompt line";
}

std::string bootName(const ::testing::TestParamInfo<std::tuple<BootCase, int>>& info) {
    return std::string("cpc") + std::get<0>(info.param).model + "_crtc" + std::to_string(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(Models, BootScreen, ::testing::Combine(::testing::ValuesIn(kBoots), ::testing::Values(0, 1, 2, 4)),
                         bootName);

}  // namespace
