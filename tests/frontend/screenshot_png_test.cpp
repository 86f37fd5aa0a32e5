// The PNG writer: what it puts in the file, and which part of the frame
// buffer a headless screenshot takes.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "frontend/screenshot.h"
#include "frontend/window.h"
#include "support/temp_home.h"
#include "support/screen_text.h"
#include "video/monitor.h"

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
        for (int x = 0; x < 3; ++x)
            static_cast<uint32_t*>(s->pixels)[y * (s->pitch / 4) + x] = argb[y * 3 + x];
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
    EXPECT_EQ(chunks.ihdr[8], 8) << "bit depth";
    EXPECT_EQ(chunks.ihdr[9], 6) << "colour type RGBA";
    EXPECT_EQ(chunks.ihdr[12], 0) << "no interlace";
    EXPECT_EQ(chunks.text["Title"], "Game_000.png");
    EXPECT_EQ(chunks.text["Author"], KestrixVersionText);
    ASSERT_GE(chunks.idat.size(), 2u);
    EXPECT_EQ(chunks.idat[1] >> 6, 3) << "zlib header says maximum compression";
    std::vector<uint8_t> raw(2 * (1 + 3 * 4));
    uLongf rawSize = raw.size();
    ASSERT_EQ(uncompress(raw.data(), &rawSize, chunks.idat.data(), chunks.idat.size()), Z_OK);
    ASSERT_EQ(rawSize, raw.size());
    EXPECT_EQ(raw[0], 0) << "row 0 filter";
    EXPECT_EQ(raw[13], 0) << "row 1 filter";
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
