// Clicks on the side and rewind icons while the emulation thread runs frames:
// the disk and the tape position change only between frames.
#include <gtest/gtest.h>

#include <SDL.h>

#include <atomic>
#include <cstdlib>
#include <memory>

#include "disk/fdc765.h"
#include "disk/track_info.h"
#include "frontend/frontend_services.h"
#include "frontend/icons.h"
#include "frontend/main_loop.h"
#include "frontend/window.h"
#include "machine/base_path.h"
#include "machine/emulation_thread.h"
#include "machine/frontend_hooks.h"
#include "machine/text_buffers.h"
#include "frontend/frontend_test_helpers.h"
#include "support/machine_fixture.h"
#include "tape/tape_drive.h"

namespace {

// A frame sees the tape at pulse 7, as if the deck had moved it there; the
// disk side it starts with must be the one it ends with.
constexpr uint32_t kPulseAtFrameStart = 7;
bool sideAtFrameStart = false;
std::atomic<int> flipsDuringFrames{0};
std::atomic<int> rewindsDuringFrames{0};
void compareAcrossFrame(FramePoint point) {
    if (point == FramePoint::beforeHandshake) return;
    if (point == FramePoint::frameStart) {
        sideAtFrameStart = fd0->sideFlipped;
        tape->pulseIndex = kPulseAtFrameStart;
        return;
    }
    flipsDuringFrames += fd0->sideFlipped != sideAtFrameStart;
    rewindsDuringFrames += tape->pulseIndex != kPulseAtFrameStart;
}

class IconClicksWhileRunning : public test_support::BuiltMachine {
protected:
    std::unique_ptr<frontend_test::OffscreenWindow> window;

    void SetUp() override {
        // The build generates them beside the executable.
        ASSERT_TRUE(window_test::generatedImagesPresent())
            << "no generated images in " << window_test::generatedImageDir();
        BuiltMachine::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        frontend_test::linkGeneratedImages(home.path());
        allocateTextBuffers();
        window = std::make_unique<frontend_test::OffscreenWindow>(kPictureWidth, kMainWindowHeight, false);
        ASSERT_NE(mRenderer, nullptr) << SDL_GetError();
        fullscreen = false;
        // The drawing hooks as in a window, whatever mode the last test left.
        test_support::installWindowHooks();
        loadStatusImages(true);
        computeIndicatorRects();
        ASSERT_NE(fdc, nullptr);
        // A blank double-sided disk of 40 cylinders whose sides differ in length.
        constexpr int kTracks = 40;
        trackInfo* info = init_track_information_bloc(kTracks, 2);
        for (int i = 0; i < kTracks * 2; ++i) info[i].trackLength = i & 1 ? 6000 : 6350;
        fd0->attach_disk(info, init_track_MFM(kTracks, 2), kTracks, 1, 1);
        ASSERT_EQ(fd0->doubleSided, 1);
        // The deck owns its table and frees it as the loaders allocate it.
        tape->insertPulses(static_cast<tapePulse*>(std::calloc(16, sizeof(tapePulse))), 16);
        flipsDuringFrames = 0;
        rewindsDuringFrames = 0;
        frameProbe = compareAcrossFrame;
        thread = test_support::startEmulationThread();
        ASSERT_NE(thread, nullptr);
    }

    void TearDown() override {
        test_support::endEmulationThread(thread);
        frameProbe = nullptr;
        frontendHooks = FrontendHooks{};
        forgetStatusImages(true);
        window.reset();
        freeTextBuffers();
        BuiltMachine::TearDown();
    }

    static void clickOn(StatusImageId id) {
        const SDL_Rect& r = statusImages[id].rect;
        button_x = r.x + r.w / 2;
        button_y = r.y + r.h / 2;
        checkClickButton();
    }
};

TEST_F(IconClicksWhileRunning, SideAndRewindWaitForTheFrameToEnd) {
    for (int i = 0; i < 30 && !flipsDuringFrames && !rewindsDuringFrames; ++i) {
        for (StatusImageId icon : {imgSideA0, imgK7Rewind}) {
            run();
            freeRunEnable = 1;
            ASSERT_TRUE(test_support::waitForFrames(1));
            const bool side = fd0->sideFlipped;
            clickOn(icon);
            if (icon == imgSideA0) {
                EXPECT_NE(fd0->sideFlipped, side) << "the click turns the disk over";
            }
            EXPECT_EQ(running, 1) << "and the emulation runs on";
        }
    }
    stopRun();
    EXPECT_EQ(flipsDuringFrames, 0);
    EXPECT_EQ(rewindsDuringFrames, 0);
}

}  // namespace
