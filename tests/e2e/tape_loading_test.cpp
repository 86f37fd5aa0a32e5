// The whole machine loading a real game from tape in headless runs: from the
// CDT image, and from WAV and CSW recordings made of the same tape.
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/headless_run.h"
#include "support/tape_test_support.h"

namespace {

using test_support::RomFont;
using test_support::ScreenText;

// The title shows after about 2450 frames (49 s: the tape's own length) on
// the 464 and 2500 on the 6128.
constexpr int kFramesToTitle = 2700;
const char* const kTitleText = "PRESS ENTER TO START";

std::string realTape() { return sharedPath("media/cpcrogue.cdt"); }

class TapeLoading : public TapeDeckTest {
protected:
    TempKestrixHome home;
    RomFont font;

    void SetUp() override {
        TapeDeckTest::SetUp();
        SKIP_WITHOUT_SHARED(test_support::kSharedOsRom6128, "media/cpcrogue.cdt");
        ASSERT_TRUE(font.loadFromOsRom(test_support::sharedOsRom("464")));
    }

    ScreenText screenAfterLoading(const std::string& model, const std::string& tapeFile) {
        test_support::ScreenRun run =
            test_support::runToScreenshot(home, kFramesToTitle, {"-c", model, "-k", tapeFile, "-e"});
        EXPECT_TRUE(run.ok()) << run.pictureError << "\n" << run.process.output;
        if (!run.ok()) return {};
        return test_support::readScreenText(run.picture, font);
    }

    static void expectTitle(const ScreenText& screen) {
        EXPECT_TRUE(screen.contains(kTitleText)) << screen.dump();
        EXPECT_FALSE(screen.contains("Ready")) << screen.dump();
        EXPECT_FALSE(screen.contains("Read error")) << screen.dump();
    }
};

// The 464 loads the game from the CDT with the tape autorun, and from every recording of it.
TEST_F(TapeLoading, Cpc464LoadsTheCdtAndRecordingsOfItTheSame) {
    ASSERT_EQ(loadTapeImage(realTape(), 'c'), 1);
    std::vector<tapePulse> pulses = deckPulses();
    ScreenText fromCdt = screenAfterLoading("464", realTape());
    expectTitle(fromCdt);
    ASSERT_TRUE(fromCdt.contains(kTitleText));

    const std::pair<std::string, Bytes> recordings[] = {
        {"rogue-8bit-44k.wav", wavFromPulses(pulses, 44100, 8)},
        {"rogue-16bit-44k.wav", wavFromPulses(pulses, 44100, 16)},
        {"rogue-8bit-22k.wav", wavFromPulses(pulses, 22050, 8)},
        {"rogue-16bit-22k.wav", wavFromPulses(pulses, 22050, 16)},
        {"rogue-v1.csw", cswFromPulses(pulses, 44100, 1)},
        {"rogue-v2.csw", cswFromPulses(pulses, 44100, 2)},
    };
    for (const auto& [name, image] : recordings) {
        SCOPED_TRACE(name);
        ScreenText screen = screenAfterLoading("464", scratch.write(name, image));
        expectTitle(screen);
        EXPECT_EQ(screen.lines, fromCdt.lines) << screen.dump() << "\nfrom the CDT:\n" << fromCdt.dump();
    }
}

}  // namespace
