// The Plus models end to end: they start on the stand-in cartridge, run BASIC
// and a disk game, and cartridges load from the command line or a drop.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "asic/asic.h"
#include "asic_test_support.h"
#include "frontend/media_loader.h"
#include "machine/base_path.h"
#include "machine/cpc.h"
#include "machine/emulation_thread.h"
#include "machine/model.h"
#include "machine/text_buffers.h"
#include "support/built_machine.h"
#include "support/headless_screen.h"
#include "support/log_capture.h"

using namespace test_support;

namespace {

class PlusHeadless : public ::testing::Test {
protected:
    void SetUp() override {
        if (!sharedRomsPresent()) GTEST_SKIP() << "shared ROM images not found in " << sharedPath("roms");
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
    std::string disk = sharedPath("media/cpcrogue.dsk");
    if (!std::filesystem::exists(disk)) GTEST_SKIP() << "shared disk image not found: " << disk;
    ScreenRun run = runToScreenshot(home, 900, {"-c", "6128+", "-0", disk, "-a", "run\"cpcrogue"});
    ASSERT_TRUE(run.ok()) << run.pictureError << "\n" << run.process.output;
    EXPECT_TRUE(readScreenText(run.picture, font).contains("PRESS ENTER TO START"));
}


TEST(PlusNoRoms, MissingCartridgeAndRomsNameTheCartridge) {
    TempKestrixHome home(false);
    setenv("KESTRIX_HOME", home.path().c_str(), 1);
    initBasePath();
    beginCPC();
    LogCapture log;
    EXPECT_FALSE(reloadCPCType(CPC6128Plus, false));
    EXPECT_NE(log.text.find("'Lower ROM0 file=" + home.path() +
                          "/ROM/Burnin' Rubber (UK) (1990) & Locomotive Basic (Clavier Qwerty) [Original] [CARTOUCHE].cpr'"),
              std::string::npos)
        << log.text;
    endCPC();
    freeBasePath();
    unsetenv("KESTRIX_HOME");
    cpcType = CPC6128;
    crtcType = 0;
}

TEST_F(PlusHeadless, CartridgeFromTheCommandLineAndTheConfiguration) {
    const std::vector<uint8_t> cpr = asic_test::cartridgeWith(asic_test::program("asic_page"));
    const std::string path = home.path() + "/page.cpr";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(cpr.data()),
                                                static_cast<std::streamsize>(cpr.size()));
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

class CartridgeLoading : public BuiltMachine {
protected:
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::string path = home.path() + "/" + name;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        return path;
    }
};

TEST_F(CartridgeLoading, ACartridgeOnACpcModelMakesItA6128Plus) {
    if (!textOSD) allocateTextBuffers();
    std::string bad = write("bad.cpr", std::vector<uint8_t>(64, 0x42));
    {
        LogCapture log;
        EXPECT_FALSE(load_file_snadsk(bad.c_str(), 0));
        EXPECT_NE(log.text.find("OSD: \366 Cartridge has wrong RIFF format ! \367"), std::string::npos) << log.text;
    }
    EXPECT_EQ(cpcType, CPC6128) << "not a cartridge: nothing changes";

    std::vector<uint8_t> marker(16, 0);
    marker[0] = 0xB2;
    std::string good = write("page.cpr", asic_test::cartridgeWith(asic_test::program("asic_page"), {{"cb02", marker}}));
    ASSERT_TRUE(load_file_snadsk(good.c_str(), 0));
    EXPECT_EQ(cpcType, CPC6128Plus);
    EXPECT_EQ(crtcType, 3);
    running = 0;
    for (int i = 0; i < 3; ++i) as->clock();
    EXPECT_EQ(asic_test::ram(0x8004), 0x55) << "the cartridge ran";
    EXPECT_EQ(asic_test::ram(0x8003), 0xB2);
}

}  // namespace
