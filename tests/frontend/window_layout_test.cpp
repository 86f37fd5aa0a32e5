#include <gtest/gtest.h>

#include "frontend/osd.h"
#include "frontend/window.h"

namespace {

void expectRect(const SDL_Rect& r, int x, int y, int w, int h) {
    EXPECT_EQ(r.x, x);
    EXPECT_EQ(r.y, y);
    EXPECT_EQ(r.w, w);
    EXPECT_EQ(r.h, h);
}

TEST(WindowLayout, FullscreenScalesByWholeStepsOrStretches) {
    // 1920 x 1080: two steps each way; 16 rows fall below the screen edge.
    expectRect(fullscreenPictureRect(1920, 1080, false), 192, 0, 1536, 1096);
    expectRect(fullscreenPictureRect(1920, 1080, true), 0, 0, 1920, 1080);
    expectRect(fullscreenPictureRect(1280, 1024, false), 256, 0, 768, 548);
    expectRect(fullscreenPictureRect(2560, 1440, false), 128, 0, 2304, 1096);
}

TEST(WindowLayout, FullscreenOnADisplaySmallerThanOneStepKeepsThePicture) {
    // A zero factor would make the picture vanish.
    expectRect(fullscreenPictureRect(640, 480, false), -64, 0, 768, 548);
}

TEST(WindowLayout, RememberedPositionOnTheDisplayIsKeptElseCentred) {
    const SDL_Rect display = {0, 0, 1920, 1080};
    SDL_Point kept = windowPlacement(display, 768, 548, 100, 50);
    EXPECT_EQ(kept.x, 100);
    EXPECT_EQ(kept.y, 50);
    SDL_Point beyond = windowPlacement(display, 768, 548, 5000, 50);
    EXPECT_EQ(beyond.x, (1920 - 768) / 2);
    EXPECT_EQ(beyond.y, (1080 - 548) / 2);
    SDL_Point negative = windowPlacement(display, 768, 548, -4000, -10);
    EXPECT_EQ(negative.x, (1920 - 768) / 2) << "a position left of the display is off it too";
    // A second display to the right: its own origin counts.
    const SDL_Rect right = {1920, 0, 1280, 1024};
    SDL_Point onRight = windowPlacement(right, 768, 548, 2000, 10);
    EXPECT_EQ(onRight.x, 2000);
    SDL_Point offRight = windowPlacement(right, 768, 548, 100, 10);
    EXPECT_EQ(offRight.x, 1920 + (1280 - 768) / 2);
}

TEST(WindowFocus, RaisingNeedsSdl205ComparedAsAWholeVersion) {
    EXPECT_FALSE(sdlRaisesWindows(SDL_version{2, 0, 4}));
    EXPECT_TRUE(sdlRaisesWindows(SDL_version{2, 0, 5}));
    EXPECT_TRUE(sdlRaisesWindows(SDL_version{2, 28, 0})) << "a later minor version with a low patch level";
    EXPECT_TRUE(sdlRaisesWindows(SDL_version{3, 1, 0}));
    EXPECT_FALSE(sdlRaisesWindows(SDL_version{1, 2, 15}));
}

TEST(OnScreenText, SpecialBytesUseTheirGlyphsAndUtf8LeadBytesAreSkipped) {
    EXPECT_EQ(osdGlyphFor('A'), 'A');
    EXPECT_EQ(osdGlyphFor('\\'), 0x2F);
    EXPECT_EQ(osdGlyphFor(0xC3), -1);
    EXPECT_EQ(osdGlyphFor(0xC2), -1);
    EXPECT_EQ(osdGlyphFor(0xA9), 0x7B);  // é as the second byte of its UTF-8 form
    EXPECT_EQ(osdGlyphFor(0xB0), 0xA2);  // °
    EXPECT_EQ(osdGlyphFor(0xF6), 0xF6);
    EXPECT_EQ(osdGlyphFor(0xF7), 0xF7);
}

TEST(OnScreenText, LayoutCentresWhatFitsAndCutsWhatDoesNot) {
    const SDL_Rect picture = {0, 0, 768, 548};
    TextLayout centred = layoutText("Hello", -1, -1, 16, picture);
    EXPECT_EQ(centred.count, 5);
    EXPECT_EQ(centred.x, (768 - 5 * 16) / 2);
    EXPECT_EQ(centred.y, (548 - 16) / 2);

    std::string hundred(100, 'x');
    TextLayout cut = layoutText(hundred.c_str(), -1, 516, 8, picture);
    EXPECT_EQ(cut.x, 0) << "too long to centre: from the left edge";
    EXPECT_EQ(cut.count, 96) << "768 / 8 characters fit";
    EXPECT_EQ(cut.y, 516);

    // "é" in UTF-8 is two bytes and one character.
    TextLayout accented = layoutText("caf\xC3\xA9", -1, 0, 8, picture);
    EXPECT_EQ(accented.count, 4);
    EXPECT_EQ(accented.x, (768 - 32) / 2);

    const SDL_Rect fullscreenPicture = {192, 0, 1536, 1096};
    TextLayout offset = layoutText("ab", 10, 20, 8, fullscreenPicture);
    EXPECT_EQ(offset.x, 202) << "positions are relative to the picture";
    EXPECT_EQ(offset.y, 20);
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
