#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/machine_fixture.h"

namespace {

std::vector<uint8_t> romFile(const char* name) { return fileBytes(sharedPath(std::string("roms/") + name)); }

using Models = test_support::BuiltMachine;

TEST_F(Models, EachModelGetsItsRomsRamAndController) {
    struct Case {
        const char* name;
        uint8_t type;
        uint16_t banks;
        bool disk;
    } cases[] = {{"464", CPC464, 4, false}, {"664", CPC664, 4, true}, {"6128", CPC6128, 8, true}};
    for (const auto& c : cases) {
        ASSERT_TRUE(chooseCPCType(c.name)) << c.name;
        EXPECT_EQ(cpcType, c.type);
        EXPECT_EQ(mem->bankCount, c.banks) << c.name;
        EXPECT_EQ(fdc != nullptr, c.disk) << c.name;
        auto rom = [](const uint8_t* r) { return r ? std::vector<uint8_t>(r, r + 16384) : std::vector<uint8_t>(); };
        EXPECT_EQ(rom(mem->lowerRom), romFile(osRomFileName(c.type, 0)));
        EXPECT_EQ(rom(mem->urom[0]), romFile(basicRomFileName(c.type, 0)));
        EXPECT_EQ(rom(mem->urom[7]), c.disk ? romFile("AMSDOS.ROM") : std::vector<uint8_t>()) << "the disk ROM";
    }
    EXPECT_FALSE(chooseCPCType("zx81"));
    EXPECT_EQ(cpcType, CPC6128) << "an unknown name leaves the model";
}

TEST_F(Models, SameModelDoesNothingButStartRebuilds) {
    mem->banks[1][0] = 0x42;
    EXPECT_TRUE(changeCPCType(CPC6128, true));
    EXPECT_EQ(mem->banks[1][0], 0x42) << "no reset for the model already built";
    mem->lowerRom[0] = 0x99;  // startCPC reloads the OS ROM
    ASSERT_TRUE(startCPC());
    EXPECT_NE(mem->lowerRom[0], 0x99);
}

TEST_F(Models, The664AndGx4000AreUkOnly) {
    cpcLang = LangFrench;
    ASSERT_TRUE(chooseCPCType("664"));
    EXPECT_EQ(cpcLang, LangUK);
    cycleLanguage();
    EXPECT_EQ(cpcLang, LangUK);
    EXPECT_EQ(cpcType, CPC664);
    cpcLang = LangSpanish;
    chooseCPCType("gx4000");
    EXPECT_EQ(cpcLang, LangUK);
}

TEST_F(Models, MissingLanguageRomsFailTheBuild) {
    ASSERT_TRUE(chooseCPCType("6128"));
    changeCPCLang(LangDanish, true);  // the shared set is UK only
    EXPECT_EQ(cpcLang, LangDanish);
    EXPECT_FALSE(startCPC());
}

TEST_F(Models, CrtcTypeThreeBelongsToThePlus) {
    crtcType = 1;
    changeCrtcType();
    // No system cartridge here: the stand-in from the 6128 ROMs starts it.
    EXPECT_TRUE(chooseCPCType("6128+"));
    EXPECT_EQ(crtcType, 3);
    EXPECT_TRUE(chooseCPCType("6128"));
    EXPECT_EQ(crtcType, 4);
    EXPECT_EQ(crtc->type, 4);
}

TEST_F(Models, AModelChangeSetsTheVerticalHoldTo319) {
    // The last buffer row the beam wrote in 60 frames of the booting machine.
    auto lastRowWritten = [] {
        std::memset(cpcscreenpixels, 0, sizeof cpcscreenpixels);
        for (int frame = 0; frame < 60; ++frame) ga->clock();
        int last = -1;
        for (int row = 0; row < kFrameHeight; row += 2) {
            for (int x = 0; x < kFrameWidth; ++x) {
                if (cpcscreenpixels[row * kFrameWidth + x]) last = row;
            }
        }
        return last;
    };
    // Nothing is written below the hold's last line, not even by the blank sweep of a retrace.
    setMonitorVerticalHold(100);
    EXPECT_EQ(lastRowWritten(), 200);
    EXPECT_EQ(lastRowWritten(), 200);
    ASSERT_TRUE(chooseCPCType("464"));
    EXPECT_EQ(monitor_vertical_hold, 319);
    EXPECT_EQ(lastRowWritten(), 638) << "the boot rolls through the whole buffer";
}

TEST_F(Models, CrtcCycleOrder) {
    crtcType = 0;
    std::vector<int> seen;
    for (int i = 0; i < 5; ++i) {
        cycleCrtcType();
        seen.push_back(crtcType);
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 4, 0, 1}));
}

TEST(ModelTable, RomFileNamesPerModelAndLanguage) {
    EXPECT_STREQ(osRomFileName(CPC464, LangSpanish), "Rom CPC 464 (S) (Rom A) (1984) (OS v1) [UTILITAIRE] [ROM].rom");
    EXPECT_STREQ(basicRomFileName(CPC464, LangSpanish),
                 "Rom CPC 464 (UK) (Rom B) (1984) (Basic 1.0) [UTILITAIRE] [ROM].rom");
    EXPECT_STREQ(basicRomFileName(CPC464, LangDanish),
                 "Rom CPC 464 (DA) (Rom B) (1984) (Basic 1.0) [UTILITAIRE] [ROM].rom");
    EXPECT_STREQ(osRomFileName(CPC6128, LangFrench), "Rom CPC 6128 (F) (Rom A) (1985) (OS v3) [UTILITAIRE] [ROM].rom");
    EXPECT_STREQ(basicRomFileName(CPC664, LangUK), "Rom CPC 664 (UK) (Rom B) (1984) (Basic 1.1) [UTILITAIRE] [ROM].rom");
    EXPECT_STREQ(cartridgeFileName(CPC6128Plus, LangDanish),
                 "Burnin' Rubber (UK) (1990) & Locomotive Basic (Clavier Qwerty) [Original] [CARTOUCHE].cpr");
    EXPECT_STREQ(cartridgeFileName(CPC464Plus, LangFrench),
                 "Burnin' Rubber (UK) (1990) & Locomotive Basic (Clavier Azerty) [Original] [CARTOUCHE].cpr");
    EXPECT_STREQ(cartridgeFileName(GX4000, LangFrench), "Burnin' Rubber (UK) (1990) [Original] [CARTOUCHE].cpr");
    EXPECT_EQ(cartridgeFileName(CPC6128, LangUK), nullptr);
}

}  // namespace
