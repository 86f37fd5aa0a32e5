// The images the build generates into IMG/: the font and the keyboard pictures.
#include <gtest/gtest.h>

#include <set>

#include "support/window_test_images.h"

namespace {

using window_test::loadGeneratedImage;

Uint32 pixel(SDL_Surface* s, int x, int y) {
    return static_cast<const Uint32*>(s->pixels)[static_cast<size_t>(y) * (s->pitch / 4) + x] | 0xFF;
}

class GeneratedImages : public ::testing::Test {
protected:
    void SetUp() override {
        // The build generates them beside the executable.
        ASSERT_TRUE(window_test::generatedImagesPresent())
            << "no generated images in " << window_test::generatedImageDir();
    }
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
                Uint32 p = static_cast<const Uint32*>(sheet->pixels)[((code / 16) * 8 + row) * (sheet->pitch / 4) +
                                                                    (code % 16) * 8 + col];
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
        {9, 38, 85, 115, "ESC"},     {65, 94, 126, 155, "Q"},    {75, 104, 166, 195, "A"},
        {96, 125, 206, 235, "Z"},    {161, 478, 245, 274, "SPACE"}, {707, 736, 166, 195, "f3"},
        {623, 652, 245, 274, "cursor left"}, {545, 604, 166, 195, "RETURN, lower part"},
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
            EXPECT_NE(pixel(picture, k.x1, cy), pixel(picture, k.x1 - 3, cy)) << name << ": " << k.what << " right edge";
            EXPECT_EQ(pixel(picture, k.x0 - 2, cy), body) << name << ": " << k.what << " starts left of its area";
        }
        SDL_FreeSurface(picture);
    }
}

}  // namespace
