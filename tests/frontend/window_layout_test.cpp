#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "frontend/frontend_test_helpers.h"
#include "frontend/osd.h"
#include "frontend/window.h"

namespace {

using frontend_test::rectText;

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
    EXPECT_EQ(textDisplayTime, 512);
    EXPECT_EQ(textDisplayAlpha, 255);
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
