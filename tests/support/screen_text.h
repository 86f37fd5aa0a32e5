// Reads what the emulated screen says: finds the character grid in a picture
// (the frame buffer's picture area or a screenshot PNG) and matches every
// cell against the character set of the OS ROM at &3800.
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace test_support {

// Pixels as the frame buffer holds them: red in the low byte, alpha on top.
struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    bool empty() const { return pixels.empty(); }
};

// A PNG file as RGBA; false (with a reason) when it cannot be read.
bool loadPngImage(const std::string& path, RgbaImage& image, std::string* error = nullptr);
// The picture area the window shows: x 56, y 12, 768 x 548 of the frame buffer.
RgbaImage framePictureArea();

// Colour as the frame buffer stores it, from 0xRRGGBB.
constexpr uint32_t abgrFromRgb(uint32_t rgb) {
    return 0xFF000000u | (rgb & 0xFF) << 16 | (rgb & 0xFF00) | (rgb >> 16 & 0xFF);
}

class RomFont {
public:
    // The 2 KB character set at &3800 of a 16 KB OS ROM image.
    bool loadFromOsRom(const std::string& path);
    void loadFromBytes(const uint8_t* glyphs2k);
    // Character code of a glyph (8 rows, bit 7 leftmost), -1 when none matches.
    int match(uint64_t rows) const;
    uint64_t glyph(uint8_t code) const { return glyphs_[code]; }
    bool loaded() const { return !byPattern_.empty(); }

private:
    uint64_t glyphs_[256] = {};
    std::unordered_map<uint64_t, uint8_t> byPattern_;
};

struct TextPosition {
    int row = -1;
    int column = -1;
    bool found() const { return row >= 0; }
};

struct ScreenText {
    int cellWidth = 0;  // picture pixels per character: 32 mode 0, 16 mode 1, 8 mode 2
    int cellHeight = 16;
    int originX = 0;  // picture position of grid cell (0, 0)
    int originY = 0;
    int recognised = 0;  // cells that read as a letter or digit
    uint32_t paper = 0;
    std::vector<std::string> lines;  // one per grid row, trailing spaces removed

    int mode() const { return cellWidth == 32 ? 0 : cellWidth == 16 ? 1 : cellWidth == 8 ? 2 : -1; }
    TextPosition find(const std::string& text) const;
    bool contains(const std::string& text) const { return find(text).found(); }
    // `length` characters of a row from `column` (spaces past the row's end).
    std::string slice(int row, int column, int length) const;
    std::string dump() const;
};

// Finds the grid (mode, offset) with the most recognised glyphs. Cells with
// no glyph read as '?', blank cells as spaces.
ScreenText readScreenText(const RgbaImage& image, const RomFont& font);

}  // namespace test_support
