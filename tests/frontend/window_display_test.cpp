// Full screen against the display it is on: a window that changes display, and
// a screenshot of a picture taller than the output. SDL's dummy video driver
// and software renderers stand in for the screen.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <vector>

#include "frontend/main_loop.h"
#include "frontend/osd.h"
#include "frontend/screenshot.h"
#include "frontend/window.h"
#include "machine/base_path.h"
#include "machine/cpc.h"
#include "machine/emulation_thread.h"
#include "machine/model.h"
#include "machine/text_buffers.h"
#include "frontend/frontend_test_helpers.h"
#include "support/screen_text.h"
#include "support/temp_home.h"

namespace {

using frontend_test::rectText;

void expectRect(const SDL_Rect& r, const SDL_Rect& expected, const char* what) {
    EXPECT_EQ(rectText(r), rectText(expected)) << what;
}

class FullScreenDisplay : public ::testing::Test {
protected:
    TempKestrixHome home{false};

    void SetUp() override {
        if (window_test::generatedImagesPresent()) frontend_test::linkGeneratedImages(home.path());
        setenv("KESTRIX_HOME", home.path().c_str(), 1);
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        initBasePath();
        allocateTextBuffers();
        beginCPC();
        cpcType = CPC6128;
        running = 0;
        fullscreen = false;
        maximize = false;
        t_led_disk0 = t_led_disk1 = t_led_k7last = false;
    }

    void TearDown() override {
        SDL_end();
        running = 0;
        fullscreen = false;
        maximize = false;
        rectdest_xy = {0, 0, kPictureWidth, kPictureHeight};
        endCPC();
        freeTextBuffers();
        freeBasePath();
        unsetenv("KESTRIX_HOME");
        unsetenv("SDL_VIDEODRIVER");
        unsetenv("SDL_AUDIODRIVER");
    }
};

TEST_F(FullScreenDisplay, LayoutFollowsTheWindowToAnotherDisplayStretchedOrNot) {
    ASSERT_TRUE(SDL_begin()) << SDL_GetError();
    SDL_DisplayMode mode;
    ASSERT_EQ(SDL_GetCurrentDisplayMode(0, &mode), 0) << SDL_GetError();
    std::vector<Uint8> events = {SDL_WINDOWEVENT_MOVED};
#if SDL_VERSION_ATLEAST(2, 0, 18)
    events.push_back(SDL_WINDOWEVENT_DISPLAY_CHANGED);
#endif
    for (bool stretched : {true, false}) {
        SDL_fullscreen(true, stretched);
        const SDL_Rect here = fullscreenPictureRect(mode.w, mode.h, stretched);
        expectRect(rectdest_xy, here, "full screen");
        for (Uint8 event : events) {
            // As it was on the 1920 x 1080 display the window comes from.
            mWDRect = {0, 0, 1920, 1080};
            current.w = 1920;
            current.h = 1080;
            rectdest_xy = fullscreenPictureRect(1920, 1080, stretched);
            SDL_Event e{};
            e.type = SDL_WINDOWEVENT;
            e.window.event = event;
            e.window.windowID = mWindowID;
            dispatchEvent(e);
            EXPECT_TRUE(fullscreen);
            EXPECT_EQ(maximize, stretched) << "event " << int(event);
            expectRect(rectdest_xy, here, stretched ? "stretched, on the new display" : "scaled, on the new display");
        }
        // A move on the same display in the same mode leaves the layout alone.
        rectdest_xy = {1, 2, 3, 4};
        SDL_Event moved{};
        moved.type = SDL_WINDOWEVENT;
        moved.window.event = SDL_WINDOWEVENT_MOVED;
        moved.window.windowID = mWindowID;
        dispatchEvent(moved);
        expectRect(rectdest_xy, {1, 2, 3, 4}, "unchanged display");
    }
    SDL_fullscreen(false, false);
    expectRect(rectdest_xy, {0, 0, kPictureWidth, kPictureHeight}, "back in the window");
}

TEST_F(FullScreenDisplay, ScreenshotOfAPictureTallerThanTheOutputIsWhatTheOutputShows) {
    // 1920 x 1080 scales the picture twice each way: 1096 rows, 16 below the edge.
    frontend_test::OffscreenWindow output(1920, 1080, false);
    ASSERT_NE(mRenderer, nullptr) << SDL_GetError();
    mTexture = SDL_CreateTexture(mRenderer, SDL_PIXELFORMAT_ABGR8888, SDL_TEXTUREACCESS_STREAMING, kFrameWidth,
                                 kFrameHeight);
    ASSERT_NE(mTexture, nullptr) << SDL_GetError();
    fullscreen = true;
    rectdest_xy = fullscreenPictureRect(1920, 1080, false);
    ASSERT_EQ(rectdest_xy.h, 1096);
    // A different colour on every picture row and column.
    for (int y = 0; y < kFrameHeight; ++y)
        for (int x = 0; x < kFrameWidth; ++x)
            cpcscreenpixels[y * kFrameWidth + x] = 0xFF000000u | uint32_t(y & 0xFF) << 8 | uint32_t(x & 0xFF);
    renderPictureAndStrip(true);
    copyToTextBuffer(fullFileNameStr, (home.path() + "/game.dsk").c_str());

    save_scr();
    running = 0;
    test_support::RgbaImage image;
    ASSERT_TRUE(test_support::loadPngImage(home.path() + "/game_000.png", image));
    EXPECT_EQ(image.width, 1536);
    EXPECT_EQ(image.height, 1080) << "the rows below the screen edge are not in the picture";
    int wrong = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            wrong += image.at(x, y) != cpcscreenpixels[(12 + y / 2) * kFrameWidth + 56 + x / 2];
    EXPECT_EQ(wrong, 0) << "every pixel opaque and the picture's own";
}

}  // namespace
