// The frame clock against the plain one-microsecond step (support/reference_step.h): the same start run twice in
// this process and every frame's picture, audio and chip states compared, so any fast path that is not exactly the
// plain step shows here, with the first frame and part that differ.
#include <gtest/gtest.h>

#include "e2e_cases.h"
#include "machine/emulation_thread.h"
#include "support/frame_record.h"
#include "support/reference_step.h"

using namespace test_support;

namespace {

struct SideBySide {
    const char* name;
    const char* options;
    int frames;
    AudioMode audio;
};

void PrintTo(const SideBySide& c, std::ostream* os) { *os << c.name; }

class ReferenceStep : public ::testing::TestWithParam<SideBySide> {};

// The reference takes about three times the clock's time: the frame counts
// keep all cases together at about 15 s on one core.
TEST_P(ReferenceStep, EveryFrameMatchesTheFrameClock) {
    const SideBySide& c = GetParam();
    SKIP_WITHOUT_SHARED_ROMS();
    TempKestrixHome home;
    std::vector<std::string> options;
    std::string missing;
    if (!e2e::prepareOptions(home, c.options, options, missing)) GTEST_SKIP() << missing << " not found";
    const std::vector<FrameRecord> fast = recordRun(home, options, c.audio, c.frames, [] { runOneFrame(); });
    ASSERT_EQ(fast.size(), static_cast<size_t>(c.frames)) << "the machine did not start with " << c.options;
    const std::vector<FrameRecord> reference = recordRun(home, options, c.audio, c.frames, referenceRunOneFrame);
    EXPECT_EQ(firstDifference(fast, reference), "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReferenceStep,
    ::testing::Values(
        SideBySide{"Boot6128", "-c 6128", 150, AudioMode::Stereo},
        SideBySide{"CpcrogueDisk", "-c 6128 -0 $MEDIA/cpcrogue.dsk -a 'run\"cpcrogue'", 900, AudioMode::Mono},
        SideBySide{"CpcrogueTape464", "-c 464 -k $MEDIA/cpcrogue.cdt -e", 700, AudioMode::Mono},
        SideBySide{"Mode2Printing", "-c 6128 -a 'MODE 2:WHILE 1:PRINT \"KESTRIX \";:WEND'", 300, AudioMode::Mono},
        SideBySide{"SoundFromBasic", "-c 6128 -a 'SOUND 1,142,100,15:SOUND 2,300,100,12,0,0,7'", 250,
                   AudioMode::Stereo},
        SideBySide{"SinewaveDemo", "-c 6128 -0 $MEDIA/SinewaveDemo.dsk -a 'run\"inertia'", 700, AudioMode::Mono},
        SideBySide{"PlusSprites", "-c 6128+ -p $CART/asic_sprites", 150, AudioMode::Stereo},
        SideBySide{"PlusSplit", "-c 6128+ -p $CART/asic_split", 150, AudioMode::Stereo},
        SideBySide{"PlusScrollAndDmaSound", "-c 6128+ -p $CART/asic_scroll", 300, AudioMode::Stereo},
        SideBySide{"PlusInterruptsAndDma", "-c 6128+ -p $CART/asic_interrupts", 300, AudioMode::Mono}),
    [](const ::testing::TestParamInfo<SideBySide>& info) { return std::string(info.param.name); });

}  // namespace
