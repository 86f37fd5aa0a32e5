// The Plus models end to end: cartridges load from the command line or the
// configuration, and an expansion ROM leaves the cartridge alone (their start
// on the stand-in cartridge, BASIC and a disk game: boot_screen_test.cpp).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "e2e/headless_run.h"
#include "machine/cpc.h"
#include "support/asic_test_support.h"

using namespace test_support;

namespace {

class PlusHeadless : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_SHARED_ROMS();
        ASSERT_TRUE(font.loadFromOsRom(sharedOsRom("6128")));
    }
    RomFont font;
    TempKestrixHome home;
};

TEST_F(PlusHeadless, CartridgeFromTheCommandLineAndTheConfiguration) {
    SKIP_WITHOUT_ASIC_PROGRAMS();
    const std::vector<uint8_t> cpr = asic_test::cartridgeWith(asic_test::program("asic_page"));
    const std::string path = home.write("page.cpr", cpr);
    for (const auto& args : {std::vector<std::string>{"--frames=20", "-p", path},
                             std::vector<std::string>{"--frames=20", "--cpr=" + path}}) {
        HeadlessResult r = runKestrixHeadless(home.path(), args);
        EXPECT_EQ(r.exitCode, 0) << r.output;
        EXPECT_NE(r.output.find("OSD: page.cpr"), std::string::npos) << r.output;
    }
    home.writeFile("Kestrix.ini", "[CPC]\ncpr=" + path + "\n");
    HeadlessResult r = runKestrixHeadless(home.path(), {"--frames=20"});
    EXPECT_NE(r.output.find("OSD: page.cpr"), std::string::npos) << r.output;
}

TEST_F(PlusHeadless, AnExpansionRomOnThePlusLeavesTheCartridgeAlone) {
    // BASIC 1.0 is a foreground ROM: in slot 3 it must not replace the cartridge's BASIC 1.1.
    ScreenRun run = runToScreenshot(
        home, 300,
        {"-c", "6128+", "-u", "3", "-r", sharedPath(std::string("roms/") + basicRomFileName(CPC464, LangUK))});
    ASSERT_TRUE(run.ok()) << run.pictureError << "\n" << run.process.output;
    ScreenText text = readScreenText(run.picture, font);
    EXPECT_TRUE(text.contains("BASIC 1.1")) << text.dump();
    EXPECT_TRUE(text.contains("Ready")) << text.dump();
}

}  // namespace
