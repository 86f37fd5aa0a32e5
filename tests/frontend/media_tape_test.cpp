#include "frontend/media_tape.h"

#include <gtest/gtest.h>

#include <string>

#include "disk/fdc765.h"
#include "frontend/autorun.h"
#include "frontend/frontend_test_helpers.h"
#include "machine/frontend_hooks.h"
#include "machine/keyboard.h"
#include "machine/model.h"
#include "machine/text_buffers.h"
#include "machine/timed_actions.h"
#include "support/tape_test_support.h"
#include "tape/tape_drive.h"

namespace {

using namespace frontend_test;

class TapeMedia : public TapeDeckTest {
protected:
    std::vector<std::string>& osd = shownTexts;
    void SetUp() override {
        TapeDeckTest::SetUp();
        shownTexts.clear();
        frontendHooks.showOSDText = captureShownText;
    }
    void TearDown() override {
        frontendHooks.showOSDText = FrontendHooks{}.showOSDText;
        autorunCancel();
        delete fdc;
        fdc = nullptr;
        TapeDeckTest::TearDown();
    }
    std::string writeTape(const std::string& name, uint16_t toneCount = 5) {
        Bytes image = cdtHeader();
        image.insert(image.end(), {0x12, 0xE8, 0x03, uint8_t(toneCount), uint8_t(toneCount >> 8)});
        return scratch.write(name, image);
    }
    static void advanceMs(uint32_t ms) { advanceEmulatedTime(ms * 1000); }
};

TEST_F(TapeMedia, LoadAndEjectATape) {
    std::string path = writeTape("Game.cdt");
    EXPECT_TRUE(load_tape_file(path.c_str()));
    EXPECT_TRUE(t_loadeject_cdt);
    EXPECT_STREQ(fileName_cdt_str, "Game.cdt");
    EXPECT_EQ(osd.back(), "Game.cdt");
    EXPECT_GT(tape->pulseCount, 5u);

    eject_cdt();
    EXPECT_FALSE(t_loadeject_cdt);
    EXPECT_EQ(tape->pulseCount, 0u);
    EXPECT_STREQ(fileName_cdt_str, "");
    EXPECT_EQ(osd.back(), "Tape ejected !");
}

TEST_F(TapeMedia, FailedLoadsSayWhyAndLeaveTheDeckEmpty) {
    ASSERT_TRUE(load_tape_file(writeTape("Game.TZX").c_str())) << "extensions in any case";
    const std::string missing = scratch.file("missing.cdt");
    const std::pair<std::string, std::string> refused[] = {
        {scratch.write("broken.csw", {'n', 'o', 'p', 'e'}), "CSW has wrong format !"},
        {scratch.write("broken.wav", {'n'}), "WAVE has wrong format !"},
        {scratch.write("broken.cdt", {'n'}), "CDT has wrong TZX format !"},
        {missing, missing + " not found !"}};
    for (const auto& [file, why] : refused) {
        EXPECT_FALSE(load_tape_file(file.c_str())) << file;
        EXPECT_EQ(osd.back(), "\366 " + why + " \367");
        EXPECT_EQ(tape->pulseCount, 0u) << "the old tape went out first";
    }
}

TEST_F(TapeMedia, AnEmptyImageIsRefusedAndTheTapeInTheDeckStays) {
    ASSERT_TRUE(load_tape_file(writeTape("Game.cdt").c_str()));
    const uint32_t pulses = tape->pulseCount;
    const Bytes wavHeaderOnly = {'R',  'I',  'F', 'F', 36,   0,    0, 0, 'W', 'A', 'V', 'E',
                                 'f',  'm',  't', ' ', 16,   0,    0, 0, 1,   0,   1,   0,
                                 0x44, 0xAC, 0,   0,   0x44, 0xAC, 0, 0, 1,   0,   8,   0};
    const std::pair<std::string, Bytes> empties[] = {{"empty.cdt", cdtHeader()}, {"empty.wav", wavHeaderOnly}};
    for (const auto& [name, image] : empties) {
        EXPECT_FALSE(load_tape_file(scratch.write(name, image).c_str())) << name;
        EXPECT_EQ(tape->pulseCount, pulses) << name;
        EXPECT_TRUE(t_loadeject_cdt) << name;
        EXPECT_STREQ(fileName_cdt_str, "Game.cdt") << name;
    }
    EXPECT_EQ(osd.back(), "\366 WAVE has wrong format ! \367");
}

TEST_F(TapeMedia, TheGx4000HasNoTapeDeck) {
    cpcType = GX4000;
    EXPECT_FALSE(load_tape_file(writeTape("Game.cdt").c_str()));
    EXPECT_EQ(tape->pulseCount, 0u);
}

TEST_F(TapeMedia, AutorunPressesPlayThenTypesTheCommand) {
    ASSERT_TRUE(load_tape_file(writeTape("Game.cdt").c_str()));
    autorun_cdt(2000);
    EXPECT_TRUE(autorunInProgress());
    advanceMs(1999);
    EXPECT_FALSE(tape->playKey);
    advanceMs(1);
    EXPECT_TRUE(tape->playKey) << "play goes down after the delay";
    advanceMs(511);
    EXPECT_FALSE(keyDown(0x62));
    advanceMs(1);
    EXPECT_TRUE(keyDown(0x62)) << "R, 512 ms after play";
    EXPECT_TRUE(keyDown(0x25)) << "with SHIFT";
    advanceMs(30);
    EXPECT_FALSE(keyDown(0x62)) << "held one 30 ms key period";
    EXPECT_FALSE(keyDown(0x25));
    advanceMs(30);
    EXPECT_TRUE(keyDown(0x52)) << "U";

    autorun_cdt(0);  // ignored while one runs
    int returns = 0;
    bool wasDown = false;
    for (int ms = 0; ms < 3000 && autorunInProgress(); ++ms) {
        advanceMs(1);
        bool down = keyDown(0x06);
        returns += down && !wasDown;
        wasDown = down;
    }
    EXPECT_FALSE(autorunInProgress());
    EXPECT_EQ(returns, 20);
    EXPECT_TRUE(allKeysUp()) << "every key released";
}

TEST_F(TapeMedia, ModelsWithADiskInterfaceSwitchToTapeFirst) {
    fdc = new FDCupd765();
    // The keys of "|tape" (or "|tqpe") as they go down, one entry per press.
    auto typeTapeCommand = [] {
        std::vector<uint8_t> typed;
        autorun_cdt(0);
        for (int ms = 0; ms < 512 + 60 * 4 + 30; ++ms) {
            advanceMs(1);
            for (uint8_t code : {0x32, 0x63, 0x85, 0x33, 0x72, 0x35, 0x83}) {
                if (keyDown(code) && (typed.empty() || typed.back() != code)) typed.push_back(code);
            }
        }
        return typed;
    };
    EXPECT_EQ(typeTapeCommand(), (std::vector<uint8_t>{0x32, 0x63, 0x85, 0x33, 0x72})) << "|tape";
    advanceMs(3000);

    cpcLang = LangFrench;
    EXPECT_EQ(typeTapeCommand(), (std::vector<uint8_t>{0x32, 0x63, 0x83, 0x33, 0x72}))
        << "|tqpe on the AZERTY keyboard";
}

TEST_F(TapeMedia, FlipLoadsTheOtherSideFromTheTapesDirectory) {
    writeTape("Game (Side 2).cdt", 9);
    ASSERT_TRUE(load_tape_file(writeTape("Game (Side 1).cdt").c_str()));
    EXPECT_TRUE(flipTapeSide());
    EXPECT_STREQ(fileName_cdt_str, "Game (Side 2).cdt");
    EXPECT_FALSE(flipTapeSide()) << "a second flip within a second is ignored";
    advanceMs(1000);
    EXPECT_TRUE(flipTapeSide());
    EXPECT_STREQ(fileName_cdt_str, "Game (Side 1).cdt");

    advanceMs(1000);
    ASSERT_TRUE(load_tape_file(writeTape("Other (Side 1).cdt").c_str()));
    EXPECT_FALSE(flipTapeSide()) << "no other side on disk";
    EXPECT_STREQ(fileName_cdt_str, "Other (Side 1).cdt");
}

}  // namespace
