// The Plus models end to end: they start on the stand-in cartridge, run BASIC
// and a disk game, take an expansion ROM, and cartridges load from the command
// line or the configuration.
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

TEST_F(PlusHeadless, EveryPlusModelStartsOnTheStandInCartridge) {
    for (const char* model : {"464+", "gx4000"}) {
        ScreenRun run = runToScreenshot(home, 150, {"-c", model});
        ASSERT_TRUE(run.ok()) << model << " " << run.pictureError << "\n" << run.process.output;
        EXPECT_NE(run.process.output.find("stand-in cartridge"), std::string::npos) << run.process.output;
        EXPECT_TRUE(readScreenText(run.picture, font).contains("Ready")) << model;
    }
    ScreenRun run = runToScreenshot(home, 400, {"-c", "6128+", "-a", "PRINT 6*7"});
    ASSERT_TRUE(run.ok()) << run.pictureError << "\n" << run.process.output;
    ScreenText text = readScreenText(run.picture, font);
    EXPECT_TRUE(text.contains("BASIC 1.1")) << text.dump();
    TextPosition command = text.find("PRINT 6*7");
    ASSERT_TRUE(command.found()) << text.dump();
    EXPECT_EQ(text.slice(command.row + 1, command.column, 4), " 42 ") << text.dump();
    EXPECT_EQ(text.slice(command.row + 2, command.column, 5), "Ready") << text.dump();
}

TEST_F(PlusHeadless, DiskGameRunsOnThe6128Plus) {
    SKIP_WITHOUT_SHARED("media/cpcrogue.dsk");
    std::string disk = sharedPath("media/cpcrogue.dsk");
    ScreenRun run = runToScreenshot(home, 900, {"-c", "6128+", "-0", disk, "-a", "run\"cpcrogue"});
    ASSERT_TRUE(run.ok()) << run.pictureError << "\n" << run.process.output;
    EXPECT_TRUE(readScreenText(run.picture, font).contains("PRESS ENTER TO START"));
}

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
