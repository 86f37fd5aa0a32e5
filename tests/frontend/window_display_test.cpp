// Where the picture and the window go, and what a screenshot holds: the layout
// in numbers, full screen against the display it is on, a screenshot of a
// picture taller than the output, and the PNG writer. SDL's dummy video driver
// and software renderers stand in for the screen.
#include <SDL.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "frontend/frontend_test_helpers.h"
#include "frontend/main_loop.h"
#include "frontend/osd.h"
#include "frontend/screenshot.h"
#include "frontend/window.h"
#include "machine/base_path.h"
#include "machine/cpc.h"
#include "machine/emulation_thread.h"
#include "machine/model.h"
#include "machine/text_buffers.h"
#include "support/screen_text.h"
#include "support/temp_home.h"
#include "video/monitor.h"

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
    mTexture =
        SDL_CreateTexture(mRenderer, SDL_PIXELFORMAT_ABGR8888, SDL_TEXTUREACCESS_STREAMING, kFrameWidth, kFrameHeight);
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

// The layout in numbers: full-screen picture, window placement, on-screen text.
TEST(WindowLayout, FullscreenScalesByWholeStepsOrStretches) {
    const struct {
        int w, h;
        bool stretched;
        const char* picture;
    } displays[] = {
        {1920, 1080, false, "192,0 1536x1096"},  // two steps each way; 16 rows fall below the screen edge
        {1920, 1080, true, "0,0 1920x1080"},
        {1280, 1024, false, "256,0 768x548"},
        {2560, 1440, false, "128,0 2304x1096"},
        {640, 480, false, "-64,0 768x548"},  // smaller than one step: a zero factor would make the picture vanish
    };
    for (const auto& d : displays)
        EXPECT_EQ(rectText(fullscreenPictureRect(d.w, d.h, d.stretched)), d.picture) << d.w << "x" << d.h;
}

TEST(WindowLayout, RememberedPositionOnTheDisplayIsKeptElseCentred) {
    const SDL_Rect display = {0, 0, 1920, 1080}, right = {1920, 0, 1280, 1024};  // a second display to the right
    const struct {
        const char* what;
        SDL_Rect on;
        int x, y;
        SDL_Point placed;
    } cases[] = {
        {"kept", display, 100, 50, {100, 50}},
        {"beyond the display", display, 5000, 50, {(1920 - 768) / 2, (1080 - 548) / 2}},
        {"left of the display", display, -4000, -10, {(1920 - 768) / 2, (1080 - 548) / 2}},
        {"kept on the right display", right, 2000, 10, {2000, 10}},
        {"off the right display", right, 100, 10, {1920 + (1280 - 768) / 2, (1024 - 548) / 2}},
    };
    for (const auto& c : cases) {
        const SDL_Point p = windowPlacement(c.on, 768, 548, c.x, c.y);
        EXPECT_EQ(std::pair(p.x, p.y), std::pair(c.placed.x, c.placed.y)) << c.what;
    }
}

TEST(WindowFocus, RaisingNeedsSdl205ComparedAsAWholeVersion) {
    // 2.28.0: a later minor version with a low patch level.
    for (const auto& [version, raises] : {std::pair{SDL_version{2, 0, 4}, false}, std::pair{SDL_version{2, 0, 5}, true},
                                          std::pair{SDL_version{2, 28, 0}, true}, std::pair{SDL_version{3, 1, 0}, true},
                                          std::pair{SDL_version{1, 2, 15}, false}})
        EXPECT_EQ(sdlRaisesWindows(version), raises)
            << int(version.major) << "." << int(version.minor) << "." << int(version.patch);
}

TEST(OnScreenText, SpecialBytesUseTheirGlyphsAndUtf8LeadBytesAreSkipped) {
    // 0xA9: é as the second byte of its UTF-8 form; 0xB0: °.
    const std::pair<unsigned char, int> glyphs[] = {{'A', 'A'},   {'\\', 0x2F}, {0xC3, -1},   {0xC2, -1},
                                                    {0xA9, 0x7B}, {0xB0, 0xA2}, {0xF6, 0xF6}, {0xF7, 0xF7}};
    for (const auto& [byte, glyph] : glyphs) EXPECT_EQ(osdGlyphFor(byte), glyph) << std::hex << int(byte);
}

TEST(OnScreenText, LayoutCentresWhatFitsAndCutsWhatDoesNot) {
    const SDL_Rect picture = {0, 0, 768, 548}, fullscreenPicture = {192, 0, 1536, 1096};
    const std::string hundred(100, 'x');
    const struct {
        const char* what;
        const char* text;
        int x, y, size;
        SDL_Rect in;
        TextLayout expected;
    } cases[] = {
        {"centred", "Hello", -1, -1, 16, picture, {(768 - 5 * 16) / 2, (548 - 16) / 2, 5}},
        {"too long to centre: from the left edge, 768 / 8 characters",
         hundred.c_str(),
         -1,
         516,
         8,
         picture,
         {0, 516, 96}},
        {"UTF-8 \xC3\xA9 is two bytes and one character", "caf\xC3\xA9", -1, 0, 8, picture, {(768 - 32) / 2, 0, 4}},
        {"positions are relative to the picture", "ab", 10, 20, 8, fullscreenPicture, {202, 20, 2}},
    };
    for (const auto& c : cases) {
        const TextLayout l = layoutText(c.text, c.x, c.y, c.size, c.in);
        EXPECT_EQ(std::tuple(l.x, l.y, l.count), std::tuple(c.expected.x, c.expected.y, c.expected.count)) << c.what;
    }
}

TEST(OnScreenText, MessageShowsFor511PassesAndFadesOut) {
    textShowOSDInit();
    EXPECT_EQ(std::tuple(textDisplayTime, textDisplayAlpha), std::tuple(512, 255));
    int shown = 0;
    int lastAlpha = 255;
    while (osdAdvance()) {
        ++shown;
        EXPECT_LE(textDisplayAlpha, lastAlpha);
        lastAlpha = textDisplayAlpha;
    }
    EXPECT_EQ(shown, 511);
    EXPECT_LE(lastAlpha, 1) << "faded to (almost) nothing";
    EXPECT_EQ(textDisplayAlpha, 255) << "opacity is reset for the next message";
    EXPECT_FALSE(osdAdvance());
}

}  // namespace

// The PNG writer: what it puts in the file, and which part of the frame buffer a headless screenshot takes.
namespace fs = std::filesystem;

namespace {

struct PngChunks {
    std::vector<uint8_t> ihdr;
    std::vector<uint8_t> idat;
    std::map<std::string, std::string> text;
};

uint32_t be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

PngChunks readChunks(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> d((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    PngChunks chunks;
    for (size_t i = 8; i + 12 <= d.size();) {
        const uint32_t n = be32(&d[i]);
        if (i + 12 + n > d.size()) break;
        const std::string type(reinterpret_cast<const char*>(&d[i + 4]), 4);
        const uint8_t* body = &d[i + 8];
        if (type == "IHDR") chunks.ihdr.assign(body, body + n);
        if (type == "IDAT") chunks.idat.insert(chunks.idat.end(), body, body + n);
        if (type == "tEXt") {
            std::string entry(reinterpret_cast<const char*>(body), n);
            size_t zero = entry.find('\0');
            if (zero != std::string::npos) chunks.text[entry.substr(0, zero)] = entry.substr(zero + 1);
        }
        i += 12 + n;
    }
    return chunks;
}

class ScreenshotPng : public ::testing::Test {
protected:
    TempKestrixHome scratch{false};
    const fs::path dir{scratch.path()};
};

TEST_F(ScreenshotPng, WritesRgbaUnfilteredAtLevelNineWithTitleAndAuthor) {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, 3, 2, 32, SDL_PIXELFORMAT_ARGB8888);
    ASSERT_NE(s, nullptr);
    const uint32_t argb[6] = {0xFF112233, 0xFF445566, 0x80778899, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) static_cast<uint32_t*>(s->pixels)[y * (s->pitch / 4) + x] = argb[y * 3 + x];
    const std::string path = (dir / "Game_000.png").string();
    ASSERT_TRUE(SDL_SavePNG(s, path.c_str())) << SDL_GetError();
    SDL_FreeSurface(s);

    test_support::RgbaImage image;
    std::string error;
    ASSERT_TRUE(test_support::loadPngImage(path, image, &error)) << error;
    ASSERT_EQ(image.width, 3);
    ASSERT_EQ(image.height, 2);
    for (int i = 0; i < 6; ++i) {
        const uint32_t a = argb[i];
        const uint32_t rgba = (a & 0xFF000000u) | (a & 0xFF) << 16 | (a & 0xFF00) | (a >> 16 & 0xFF);
        EXPECT_EQ(image.pixels[i], rgba) << "pixel " << i;
    }

    PngChunks chunks = readChunks(path);
    ASSERT_EQ(chunks.ihdr.size(), 13u);
    ASSERT_GE(chunks.idat.size(), 2u);
    // Bit depth 8, colour type RGBA, no interlace; the zlib header says maximum compression.
    EXPECT_EQ(std::tuple(chunks.ihdr[8], chunks.ihdr[9], chunks.ihdr[12], chunks.idat[1] >> 6), std::tuple(8, 6, 0, 3));
    EXPECT_EQ(chunks.text,
              (std::map<std::string, std::string>{{"Author", KestrixVersionText}, {"Title", "Game_000.png"}}));
    std::vector<uint8_t> raw(2 * (1 + 3 * 4));
    uLongf rawSize = raw.size();
    ASSERT_EQ(uncompress(raw.data(), &rawSize, chunks.idat.data(), chunks.idat.size()), Z_OK);
    ASSERT_EQ(rawSize, raw.size());
    EXPECT_EQ(std::tuple(raw[0], raw[13]), std::tuple(0, 0)) << "the rows' filters";
}

TEST_F(ScreenshotPng, FailedWriteIsReported) {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, 64, 64, 32, SDL_PIXELFORMAT_ARGB8888);
    ASSERT_NE(s, nullptr);
    EXPECT_FALSE(SDL_SavePNG(s, (dir / "missing" / "x.png").string().c_str()));
    if (fs::exists("/dev/full")) {
        EXPECT_FALSE(SDL_SavePNG(s, "/dev/full")) << "a full disk is an error";
    }
    SDL_FreeSurface(s);
}

TEST_F(ScreenshotPng, HeadlessPictureIsTheWindowsArea) {
    std::fill(std::begin(cpcscreenpixels), std::end(cpcscreenpixels), 0xFF000000u);
    const uint32_t mark = 0xFF0000FFu;  // red
    cpcscreenpixels[12 * kFrameWidth + 56] = mark;
    cpcscreenpixels[(12 + 547) * kFrameWidth + 56 + 767] = mark;
    cpcscreenpixels[11 * kFrameWidth + 56] = 0xFFFFFFFFu;  // just outside
    const std::string path = (dir / "shot.png").string();
    ASSERT_TRUE(writeScreenshotPNG(path.c_str()));
    test_support::RgbaImage image;
    ASSERT_TRUE(test_support::loadPngImage(path, image));
    ASSERT_EQ(image.width, 768);
    ASSERT_EQ(image.height, 548);
    EXPECT_EQ(image.at(0, 0), mark);
    EXPECT_EQ(image.at(767, 547), mark);
    EXPECT_EQ(image.at(1, 0), 0xFF000000u);
}

}  // namespace
