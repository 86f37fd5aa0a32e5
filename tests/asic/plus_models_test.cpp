// The Plus models in this process: a missing system cartridge is named, and a
// cartridge dropped on a CPC model makes it a 6128+.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "frontend/media_loader.h"
#include "machine/base_path.h"
#include "machine/emulation_thread.h"
#include "machine/text_buffers.h"
#include "support/asic_test_support.h"
#include "support/log_capture.h"

using namespace test_support;

namespace {

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

using CartridgeLoading = BuiltMachine;

TEST_F(CartridgeLoading, ACartridgeOnACpcModelMakesItA6128Plus) {
    SKIP_WITHOUT_ASIC_PROGRAMS();
    if (!textOSD) allocateTextBuffers();
    std::string bad = home.write("bad.cpr", std::vector<uint8_t>(64, 0x42));
    {
        LogCapture log;
        EXPECT_FALSE(load_file_snadsk(bad.c_str(), 0));
        EXPECT_NE(log.text.find("OSD: \366 bad.cpr: not a RIFF file ! \367"), std::string::npos) << log.text;
    }
    EXPECT_EQ(cpcType, CPC6128) << "not a cartridge: nothing changes";

    std::vector<uint8_t> marker(16, 0);
    marker[0] = 0xB2;
    std::string good =
        home.write("page.cpr", asic_test::cartridgeWith(asic_test::program("asic_page"), {{"cb02", marker}}));
    ASSERT_TRUE(load_file_snadsk(good.c_str(), 0));
    EXPECT_EQ(cpcType, CPC6128Plus);
    EXPECT_EQ(crtcType, 3);
    running = 0;
    for (int i = 0; i < 3; ++i) as->clock();
    EXPECT_EQ(asic_test::ram(0x8004), 0x55) << "the cartridge ran";
    EXPECT_EQ(asic_test::ram(0x8003), 0xB2);
}

}  // namespace
