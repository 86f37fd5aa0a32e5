// Helpers for the window tests: the generated images, the on-screen font as
// a font the screen reader knows, and picture comparisons.
#pragma once
#include <SDL.h>

#include <string>

#include "support/screen_text.h"

namespace window_test {

// The IMG/ directory the build generates beside the executable.
std::string generatedImageDir();
bool generatedImagesPresent();
// Fails the test when the build made no images beside the executable.
#define ASSERT_GENERATED_IMAGES() \
    ASSERT_TRUE(window_test::generatedImagesPresent()) << "no generated images in " << window_test::generatedImageDir()
// IMG/<name>.bmp as 32-bit pixels in the given SDL format; null when absent.
SDL_Surface* loadGeneratedImage(const std::string& name, Uint32 format = SDL_PIXELFORMAT_RGBA8888);

// "Charset" read the way the picture shows it: every opaque pixel (glyph or
// its shadow) is ink, so text drawn at 16 x 16 reads with readScreenText.
bool loadCharsetFont(test_support::RomFont& font);

// Pixels of `image` that differ from `surface` at (x, y), but for the part
// another image covers (in image coordinates); -1 when it does not fit.
int mismatchedPixels(SDL_Surface* surface, SDL_Surface* image, int x, int y, SDL_Rect covered = {0, 0, 0, 0});
// The same against an RGBA picture (a screenshot read back from PNG).
int mismatchedPixels(const test_support::RgbaImage& picture, SDL_Surface* image, int x, int y,
                     SDL_Rect covered = {0, 0, 0, 0});

// A region of an RGBA picture as a picture of its own.
test_support::RgbaImage crop(const test_support::RgbaImage& picture, int x, int y, int w, int h);

// Where an icon stands in the strip of a window screenshot (its x, or -1),
// looked for at rows `top` and `top` + 1. Parts other images cover (the
// padlock on a drive, the flag on the model) are left out of the comparison.
int findIcon(const test_support::RgbaImage& shot, const std::string& name, SDL_Rect covered = {0, 0, 0, 0},
             int top = 548);

}  // namespace window_test
