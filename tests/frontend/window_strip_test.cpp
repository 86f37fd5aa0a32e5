// The status strip, the pause screen and the on-screen text drawn by SDL's
// software renderer into plain surfaces (no display needed), icon clicks while
// frames run, and the images the build generates.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <set>
#include <tuple>
#include <vector>

#include "disk/fdc765.h"
#include "disk/track_info.h"
#include "frontend/frontend_services.h"
#include "frontend/frontend_test_helpers.h"
#include "frontend/icons.h"
#include "frontend/main_loop.h"
#include "frontend/media_loader.h"
#include "frontend/osd.h"
#include "frontend/window.h"
#include "machine/base_path.h"
#include "machine/cpc.h"
#include "machine/emulation_thread.h"
#include "machine/frontend_hooks.h"
#include "machine/model.h"
#include "machine/text_buffers.h"
#include "sound/audio_output.h"
#include "support/machine_fixture.h"
#include "support/temp_home.h"
#include "tape/tape_drive.h"

namespace {

using frontend_test::OffscreenWindow;
using frontend_test::rectText;
using window_test::loadGeneratedImage;
using window_test::mismatchedPixels;

void clickAt(int x, int y) {
    button_x = x;
    button_y = y;
    checkClickButton();
}
void clickOn(StatusImageId id) {
    const SDL_Rect& r = statusImages[id].rect;
    clickAt(r.x + r.w / 2, r.y + r.h / 2);
}

class StatusStrip : public ::testing::Test {
protected:
    TempKestrixHome home{true};
    OffscreenWindow main;
    SDL_Surface* const window = main.surface;
    SDL_Surface* keyboardWindow = nullptr;

    void SetUp() override {
        ASSERT_GENERATED_IMAGES();
        frontend_test::linkGeneratedImages(home.path());
        setenv("KESTRIX_HOME", home.path().c_str(), 1);
        initBasePath();
        allocateTextBuffers();
        keyboardWindow = SDL_CreateRGBSurfaceWithFormat(0, kKeyboardWindowWidth, kKeyboardWindowHeight, 32,
                                                        SDL_PIXELFORMAT_RGBA8888);
        kRenderer = SDL_CreateSoftwareRenderer(keyboardWindow);
        ASSERT_NE(mRenderer, nullptr) << SDL_GetError();
        fullscreen = false;
        rectdest_xy = {0, 0, kPictureWidth, kPictureHeight};
        beginCPC();
        cpcType = CPC6128;
        crtcType = 0;
        running = 0;
        if (sharedRomsPresent()) startCPC();  // a 6128 with its disk controller
        // The drawing hooks as in a window, whatever mode the last test left.
        test_support::installWindowHooks();
        loadStatusImages(true);
        computeIndicatorRects();
    }

    void TearDown() override {
        frontendHooks = FrontendHooks{};
        running = 0;
        forgetStatusImages(true);
        if (kRenderer) SDL_DestroyRenderer(kRenderer);
        kRenderer = nullptr;
        if (keyboardWindow) SDL_FreeSurface(keyboardWindow);
        endCPC();
        freeTextBuffers();
        freeBasePath();
        CPC_audio_stereo = false;
        digiBlaster = false;
        unsetenv("KESTRIX_HOME");
    }

    // The window as the next present shows it.
    void composeWindow() {
        renderPictureAndStrip(true);
        SDL_RenderPresent(mRenderer);
    }

    // An icon where the strip shows it, but for the part another image covers (in icon coordinates).
    int iconMismatch(const char* name, StatusImageId at, SDL_Rect covered = {0, 0, 0, 0}) {
        SDL_Surface* image = loadGeneratedImage(name);
        if (!image) return -2;
        int bad = mismatchedPixels(window, image, statusImages[at].rect.x, statusImages[at].rect.y, covered);
        SDL_FreeSurface(image);
        return bad;
    }
    // A model icon but for the flag on it.
    int modelMismatch(const char* name, StatusImageId at) {
        return iconMismatch(name, at, {statusImages[at].rect.w - 24, 16, 24, 16});
    }

    Uint32 windowPixel(int x, int y) const { return main.pixel(x, y); }
};

TEST_F(StatusStrip, EveryImageLoadsAndTheIconsFitTheStripSideBySide) {
    for (int id = 0; id < imgCount; ++id) {
        EXPECT_GT(statusImages[id].rect.w, 0) << "image " << id << " missing";
        if (id != imgLumarch) {
            EXPECT_NE(statusImages[id].texture, nullptr) << "image " << id;
        }
    }
    const StatusImageId row[] = {imgReset,    imgPlay,       imgDisk0,    imgDisk1,      imgK7,    imgK7Play,
                                 imgK7Rewind, imgColor,      imgLines,    imgFullscreen, imgMusic, imgStereo,
                                 imgJoystick, imgScreenshot, imgSnapshot, imgLumarch,    imgCrtc0, imgKeyboard};
    int rightEdge = 0;
    for (StatusImageId id : row) {
        const SDL_Rect& r = statusImages[id].rect;
        EXPECT_GE(r.x, rightEdge) << "icon " << id << " overlaps the one before it";
        EXPECT_GE(r.y, kStripTop);
        EXPECT_LE(r.y + r.h, kMainWindowHeight) << "icon " << id << " is taller than the strip";
        rightEdge = r.x + r.w;
    }
    EXPECT_LE(rightEdge, kPictureWidth);

    auto inside = [](const SDL_Rect& inner, const SDL_Rect& outer) {
        return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.w <= outer.x + outer.w &&
               inner.y + inner.h <= outer.y + outer.h;
    };
    std::vector<std::pair<SDL_Rect, StatusImageId>> within = {{ledDisk0Rect, imgDisk0},
                                                              {ledDisk1Rect, imgDisk1},
                                                              {ledK7Rect, imgK7},
                                                              {statusImages[imgPadlockOpen1].rect, imgDisk1},
                                                              {statusImages[imgSideB0].rect, imgDisk0}};
    for (int id = imgFlagDa; id <= imgFlagUk; ++id) within.push_back({statusImages[id].rect, img6128});  // the flags
    for (const auto& [inner, on] : within)
        EXPECT_TRUE(inside(inner, statusImages[on].rect)) << rectText(inner) << " outside image " << on;
    for (int id = img464; id <= imgGX4000; ++id) {
        const SDL_Rect &model = statusImages[id].rect, &place = statusImages[imgLumarch].rect;
        EXPECT_EQ(std::tuple(model.x, model.w), std::tuple(place.x, place.w)) << "model " << id;
    }
    EXPECT_EQ(rectText(statusImages[imgK6128uk].rect), rectText({0, 0, kKeyboardWindowWidth, kKeyboardWindowHeight}));
}

TEST_F(StatusStrip, StripShowsTheMachineState) {
    running = 1;
    refreshImageAll();
    composeWindow();
    // Sound is off; with a disk controller the drive shows with its LED off and an open padlock.
    const std::pair<const char*, StatusImageId> shown[] = {
        {"reset", imgReset},
        {"play", imgPlay},
        {"minis_k70", imgK7},
        {"k7_play", imgK7Play},
        {"color", imgColor},
        {"lines", imgLines},
        {"music_no", imgMusic},
        {"mono", imgStereo},
        {"joystick_no", imgJoystick},
        {"flag_uk", imgFlagUk},
        {"crtc_0", imgCrtc0},
        {"keyboard", imgKeyboard},
        {fdc ? "padlock_open" : "disk0_no", fdc ? imgPadlockOpen1 : imgDisk0}};
    for (const auto& [name, at] : shown) EXPECT_EQ(iconMismatch(name, at), 0) << name;
    if (fdc) {
        EXPECT_EQ(iconMismatch("disk0", imgDisk0, {24, 0, 12, 11}), 0) << "the drive with its LED off";
    }
    EXPECT_EQ(modelMismatch("6128", img6128), 0);

    // State changes redraw their icon only.
    freeRunEnable = 1;
    refreshImageRunStop();
    cycleCPCAudio();  // mono -> stereo
    crtcType = 2;
    refreshImageCrtc();
    t_scanlines = true;
    refreshImageMonitor();
    composeWindow();
    for (const auto& [name, at] : {std::pair{"playfast", imgPlay}, std::pair{"stereo", imgStereo},
                                   std::pair{"crtc_2", imgCrtc0}, std::pair{"scanlines", imgLines}})
        EXPECT_EQ(iconMismatch(name, at), 0) << name;
    freeRunEnable = 0;
    t_scanlines = false;
}

// Preservation images (IPF, RAW) show the "original" disk; others the plain one.
TEST_F(StatusStrip, DriveIconTellsPreservationImagesApart) {
    SKIP_WITHOUT_SHARED_ROMS();
    ASSERT_NE(fdc, nullptr) << "the 6128 has its disk controller";
    // The smallest images that load: an IPF of CAPS and INFO records, an HFE of one empty track.
    const uint8_t records[] = {'C', 'A', 'P', 'S', 0, 0, 0, 12, 0, 0, 0, 0, 'I', 'N', 'F', 'O', 0, 0, 0, 96};
    std::vector<uint8_t> ipf(12 + 96, 0);
    std::copy(std::begin(records), std::end(records), ipf.begin());
    ipf[12 + 12 + 7] = 2;   // encoder type
    ipf[12 + 12 + 71] = 1;  // creator
    std::vector<uint8_t> hfe(1024, 0);
    for (int i = 0; i < 8; ++i) hfe[i] = static_cast<uint8_t>("HXCPICFE"[i]);
    hfe[9] = 1;
    hfe[10] = 1;
    hfe[0x12] = 1;
    const SDL_Rect led = {24, 0, 12, 11};
    ASSERT_TRUE(loadeject_dsk(home.write("Game.ipf", ipf).c_str(), 0, 'i'));
    composeWindow();
    EXPECT_EQ(iconMismatch("disk_eject_original", imgDisk0, led), 0);
    eject_dsk(0, true);
    ASSERT_TRUE(loadeject_dsk(home.write("Game.hfe", hfe).c_str(), 0, 'h'));
    composeWindow();
    EXPECT_EQ(iconMismatch("disk_eject", imgDisk0, led), 0);
}

TEST_F(StatusStrip, ModelIconCarriesTheFlagAndTheKeyboardWindowFollowsTheModel) {
    running = 1;
    cpcType = CPC464;
    cpcLang = LangFrench;
    refreshImageCPC();
    composeWindow();
    EXPECT_EQ(modelMismatch("464", img464), 0);
    EXPECT_EQ(iconMismatch("flag_f", imgFlagF), 0);

    SDL_Surface* k464 = loadGeneratedImage("k464uk");
    ASSERT_NE(k464, nullptr);
    EXPECT_EQ(mismatchedPixels(keyboardWindow, k464, 0, 0), 0) << "the 464 keyboard, also for a French 464";
    SDL_FreeSurface(k464);
    cpcType = CPC6128;
    cpcLang = LangUK;
}

TEST_F(StatusStrip, PauseScreenDimsThePictureAndCentresItsText) {
    for (uint32_t& p : cpcscreenpixels) p = 0xFF804020u;  // aBGR: blue 80h, green 40h, red 20h
    running = 0;
    refreshText(kPauseScreenText);
    ASSERT_TRUE(pauseScreenShown());
    // RGBA8888 of the dimmed picture: each channel halved.
    EXPECT_EQ(windowPixel(5, 5) >> 8, (0x10u << 16) | (0x20u << 8) | 0x40u);

    test_support::RomFont font;
    ASSERT_TRUE(window_test::loadCharsetFont(font));
    test_support::RgbaImage picture;
    picture.width = kPictureWidth;
    picture.height = kPictureHeight;
    for (int y = 0; y < kPictureHeight; ++y)
        for (int x = 0; x < kPictureWidth; ++x) {
            Uint32 p = windowPixel(x, y);
            picture.pixels.push_back(0xFF000000u | ((p >> 24) & 0xFF) | (((p >> 16) & 0xFF) << 8) |
                                     (((p >> 8) & 0xFF) << 16));
        }
    test_support::ScreenText text = test_support::readScreenText(picture, font);
    test_support::TextPosition at = text.find("The emulation is paused");
    ASSERT_TRUE(at.found()) << text.dump();
    // The frame glyphs, opening and closing.
    EXPECT_EQ(text.slice(at.row, at.column - 2, 2) + text.slice(at.row, at.column + 23, 2), "?  ?");
    const int textLeft = text.originX + (at.column - 2) * 16;
    EXPECT_NEAR(textLeft, (kPictureWidth - 27 * 16) / 2, 1) << "centred";

    // Running again restores the picture and drops the text.
    frontendHooks.restorePictureModulation();
    EXPECT_FALSE(pauseScreenShown());
    composeWindow();
    EXPECT_EQ(windowPixel(5, 5) >> 8, (0x20u << 16) | (0x40u << 8) | 0x80u);
}

TEST_F(StatusStrip, OnScreenMessageIsDrawnOverThePictureBottomWhileRunning) {
    for (uint32_t& p : cpcscreenpixels) p = 0xFF800000u;
    running = 1;
    auto whiteInBand = [this]() {
        int n = 0;
        for (int y = kPictureHeight - 32; y < kPictureHeight - 24; ++y)
            for (int x = 0; x < kPictureWidth; ++x) n += (windowPixel(x, y) >> 8) == 0xFFFFFFu;
        return n;
    };
    presentRunningFrame();
    EXPECT_EQ(whiteInBand(), 0);
    textShowOSD("%s ready", "Drive A");
    EXPECT_STREQ(textOSD, "Drive A ready");
    presentRunningFrame();
    EXPECT_GT(whiteInBand(), 40);
    // A stopped emulation keeps the message for later.
    running = 0;
    int left = textDisplayTime;
    presentStoppedScreen();
    EXPECT_EQ(textDisplayTime, left);
}

TEST_F(StatusStrip, AnUnchangedRunningPictureLeavesTheWindowAsItIs) {
    for (uint32_t& p : cpcscreenpixels) p = 0xFF800000u;
    running = 1;
    textDisplayTime = 0;
    ++monitorFinishedFrames;
    presentRunningFrame();
    ASSERT_EQ(windowPixel(5, 5) >> 8, 0x000080u);
    const Uint32 mark = 0x00FF00FFu;
    SDL_FillRect(window, nullptr, mark);
    ++monitorFinishedFrames;
    presentRunningFrame();
    EXPECT_EQ(windowPixel(5, 5), mark) << "the same picture again is not drawn";
    // One changed pixel: the whole window is drawn again, with it.
    cpcscreenpixels[(rect_xy.y + 100) * kFrameWidth + rect_xy.x + 200] = 0xFF0000FFu;
    ++monitorFinishedFrames;
    presentRunningFrame();
    EXPECT_EQ(windowPixel(5, 5) >> 8, 0x000080u);
    EXPECT_EQ(windowPixel(200, 100) >> 8, 0xFF0000u);
    EXPECT_NE(windowPixel(5, kStripTop + 2), mark) << "and the strip";
}

TEST_F(StatusStrip, ClicksActOnTheIconStrictlyInsideTheirRectangle) {
    running = 1;
    crtcType = 0;
    refreshImageAll();
    clickAt(statusImages[imgCrtc0].rect.x, statusImages[imgCrtc0].rect.y + 10);
    EXPECT_EQ(crtcType, 0) << "the edge of an icon is not inside it";
    clickOn(imgCrtc0);
    EXPECT_EQ(crtcType, 1);
    clickOn(imgStereo);
    EXPECT_TRUE(CPC_audio_stereo) << "mono -> stereo";
    clickOn(imgScreenshot);
    EXPECT_TRUE(saveScreenRequest);
    saveScreenRequest = false;
    bool colour = t_color;
    clickOn(imgColor);
    EXPECT_NE(t_color, colour);
    if (fdc) {
        const SDL_Rect& lock = statusImages[imgPadlockOpen0].rect;
        clickAt(lock.x + lock.w / 2, lock.y + lock.h / 2);
        EXPECT_TRUE(fd0->writeProtected);
        composeWindow();
        EXPECT_EQ(iconMismatch("padlock_close", imgPadlockClose0), 0);
        clickAt(lock.x + lock.w / 2, lock.y + lock.h / 2);
        EXPECT_FALSE(fd0->writeProtected);
    }
    clickOn(imgPlay);
    EXPECT_EQ(running, 0) << "the run icon pauses";
    EXPECT_TRUE(pauseScreenShown());
    composeWindow();
    EXPECT_EQ(iconMismatch("stop", imgStop), 0);
    crtcType = 0;
    t_color = true;
    t_colorG = false;
}

// Clicks on the side and rewind icons while the emulation thread runs frames:
// the disk and the tape position change only between frames.
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
        ASSERT_GENERATED_IMAGES();
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

// The images the build generates into IMG/: the font and the keyboard pictures.
Uint32 pixel(SDL_Surface* s, int x, int y) {
    return static_cast<const Uint32*>(s->pixels)[static_cast<size_t>(y) * (s->pitch / 4) + x] | 0xFF;
}

class GeneratedImages : public ::testing::Test {
    void SetUp() override { ASSERT_GENERATED_IMAGES(); }
};

TEST_F(GeneratedImages, CharsetHasADistinctGlyphForEveryPrintableCodeAndTheFrames) {
    SDL_Surface* sheet = loadGeneratedImage("Charset");
    ASSERT_NE(sheet, nullptr);
    ASSERT_EQ(sheet->w, 128);
    ASSERT_EQ(sheet->h, 128);
    auto glyph = [sheet](int code) {
        uint64_t bits = 0;
        for (int row = 0; row < 8; ++row)
            for (int col = 0; col < 8; ++col) {
                Uint32 p = static_cast<const Uint32*>(
                    sheet->pixels)[((code / 16) * 8 + row) * (sheet->pitch / 4) + (code % 16) * 8 + col];
                bits = bits << 1 | ((p & 0xFF) != 0 && (p >> 8) == 0xFFFFFFu);  // ink, not its shadow
            }
        return bits;
    };
    EXPECT_EQ(glyph(' '), 0u) << "space is blank";
    std::set<uint64_t> seen;
    std::vector<int> codes;
    for (int c = 0x21; c <= 0x7F; ++c) codes.push_back(c);
    codes.push_back(0xA2);
    codes.push_back(0xF6);
    codes.push_back(0xF7);
    for (int c : codes) {
        uint64_t g = glyph(c);
        EXPECT_NE(g, 0u) << "no glyph for " << std::hex << c;
        EXPECT_TRUE(seen.insert(g).second) << "glyph " << std::hex << c << " repeats another";
    }
    // The frame glyphs mirror each other, opening and closing.
    EXPECT_NE(glyph(0xF6), glyph(0xF7));
    SDL_FreeSurface(sheet);
}

TEST_F(GeneratedImages, KeyboardPicturesDrawEachKeyOverTheAreaThatPressesIt) {
    struct Area {
        int x0, x1, y0, y1;
        const char* what;
    };
    // Keys with the body showing just left of them, from every row and the keypad.
    const Area keys[] = {
        {9, 38, 85, 115, "ESC"},
        {65, 94, 126, 155, "Q"},
        {75, 104, 166, 195, "A"},
        {96, 125, 206, 235, "Z"},
        {161, 478, 245, 274, "SPACE"},
        {707, 736, 166, 195, "f3"},
        {623, 652, 245, 274, "cursor left"},
        {545, 604, 166, 195, "RETURN, lower part"},
        {534, 610, 26, 55, "release area"},
    };
    for (const char* name : {"k464uk", "k664uk", "k6128_uk", "k464fr", "k6128_fr"}) {
        SDL_Surface* picture = loadGeneratedImage(name);
        ASSERT_NE(picture, nullptr) << name;
        EXPECT_EQ(picture->w, 750);
        EXPECT_EQ(picture->h, 296);
        const Uint32 body = pixel(picture, 615, 75);
        for (const Area& k : keys) {
            const int cy = (k.y0 + k.y1) / 2;
            EXPECT_NE(pixel(picture, k.x0 + 3, cy), body) << name << ": " << k.what << " is not drawn";
            EXPECT_NE(pixel(picture, k.x0, cy), pixel(picture, k.x0 + 3, cy))
                << name << ": " << k.what << " has no outline on its left edge";
            EXPECT_NE(pixel(picture, k.x1, cy), pixel(picture, k.x1 - 3, cy))
                << name << ": " << k.what << " right edge";
            EXPECT_EQ(pixel(picture, k.x0 - 2, cy), body) << name << ": " << k.what << " starts left of its area";
        }
        SDL_FreeSurface(picture);
    }
}

}  // namespace
