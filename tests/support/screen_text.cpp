#include "support/screen_text.h"

#include <png.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>

#include "video/monitor.h"

namespace test_support {

bool loadPngImage(const std::string& path, RgbaImage& image, std::string* error) {
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) {
        if (error) *error = png.message;
        return false;
    }
    png.format = PNG_FORMAT_RGBA;
    image.width = static_cast<int>(png.width);
    image.height = static_cast<int>(png.height);
    image.pixels.assign(static_cast<size_t>(png.width) * png.height, 0);
    // RGBA bytes in memory are exactly the frame buffer's little-endian aBGR words.
    if (!png_image_finish_read(&png, nullptr, image.pixels.data(), 0, nullptr)) {
        if (error) *error = png.message;
        png_image_free(&png);
        image = RgbaImage{};
        return false;
    }
    return true;
}

RgbaImage framePictureArea() {
    RgbaImage image;
    image.width = 768;
    image.height = 548;
    image.pixels.resize(static_cast<size_t>(image.width) * image.height);
    for (int y = 0; y < image.height; ++y) {
        std::memcpy(&image.pixels[static_cast<size_t>(y) * image.width], &cpcscreenpixels[(12 + y) * kFrameWidth + 56],
                    image.width * sizeof(uint32_t));
    }
    return image;
}

bool RomFont::loadFromOsRom(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    uint8_t glyphs[2048];
    bool ok = std::fseek(file, 0x3800, SEEK_SET) == 0 && std::fread(glyphs, 1, sizeof glyphs, file) == sizeof glyphs;
    std::fclose(file);
    if (ok) loadFromBytes(glyphs);
    return ok;
}

void RomFont::loadFromBytes(const uint8_t* glyphs2k) {
    byPattern_.clear();
    for (int code = 0; code < 256; ++code) {
        uint64_t rows = 0;
        for (int r = 0; r < 8; ++r) rows |= uint64_t(glyphs2k[code * 8 + r]) << (8 * r);
        glyphs_[code] = rows;
    }
    // Printable ASCII first, so that a shape the set holds twice reads as text.
    for (int code = 32; code < 127; ++code) byPattern_.emplace(glyphs_[code], static_cast<uint8_t>(code));
    for (int code = 0; code < 256; ++code) byPattern_.emplace(glyphs_[code], static_cast<uint8_t>(code));
}

int RomFont::match(uint64_t rows) const {
    auto it = byPattern_.find(rows);
    return it == byPattern_.end() ? -1 : it->second;
}

TextPosition ScreenText::find(const std::string& text) const {
    for (size_t row = 0; row < lines.size(); ++row) {
        size_t column = lines[row].find(text);
        if (column != std::string::npos) return {static_cast<int>(row), static_cast<int>(column)};
    }
    return {};
}

std::string ScreenText::slice(int row, int column, int length) const {
    std::string out;
    const std::string line = row >= 0 && row < static_cast<int>(lines.size()) ? lines[row] : std::string();
    for (int i = 0; i < length; ++i) {
        const int c = column + i;
        out += (c >= 0 && c < static_cast<int>(line.size())) ? line[c] : ' ';
    }
    return out;
}

std::string ScreenText::dump() const {
    std::string out = "mode " + std::to_string(mode()) + ", origin " + std::to_string(originX) + "," +
                      std::to_string(originY) + ", " + std::to_string(recognised) + " glyphs\n";
    for (const auto& line : lines) out += "|" + line + "\n";
    return out;
}

namespace {

uint32_t dominantColour(const RgbaImage& image) {
    std::map<uint32_t, int> counts;
    for (size_t i = 0; i < image.pixels.size(); i += 7) ++counts[image.pixels[i]];
    uint32_t best = 0;
    int bestCount = -1;
    for (const auto& [colour, count] : counts) {
        if (count > bestCount) {
            best = colour;
            bestCount = count;
        }
    }
    return best;
}

struct Grid {
    int cellWidth, originX, originY;
};

constexpr uint64_t kNotAGlyph = ~uint64_t(0) - 1;  // no glyph has this shape

// The glyph rows of one cell, on the even row of each doubled line. A CPC
// pixel must cover its whole width in one colour, which pins the grid to
// the exact pixel boundary.
uint64_t cellPattern(const std::vector<uint8_t>& ink, int width, const Grid& g, int x0, int y0) {
    const int pw = g.cellWidth / 8;
    uint64_t rows = 0;
    for (int r = 0; r < 8; ++r) {
        const uint8_t* line = &ink[static_cast<size_t>(y0 + 2 * r) * width];
        unsigned bits = 0;
        for (int c = 0; c < 8; ++c) {
            const uint8_t first = line[x0 + c * pw], last = line[x0 + c * pw + pw - 1];
            if (first != last) return kNotAGlyph;
            bits = bits << 1 | first;
        }
        rows |= uint64_t(bits) << (8 * r);
    }
    return rows;
}

template <typename CellVisitor>
void forEachCell(const RgbaImage& image, const Grid& g, CellVisitor visit) {
    for (int row = 0; g.originY + (row + 1) * 16 <= image.height; ++row) {
        for (int col = 0; g.originX + (col + 1) * g.cellWidth <= image.width; ++col) {
            visit(row, col, g.originX + col * g.cellWidth, g.originY + row * 16);
        }
    }
}

}  // namespace

ScreenText readScreenText(const RgbaImage& image, const RomFont& font) {
    ScreenText text;
    if (image.empty() || !font.loaded()) return text;
    text.paper = dominantColour(image);
    std::vector<uint8_t> ink(image.pixels.size());
    for (size_t i = 0; i < ink.size(); ++i) ink[i] = image.pixels[i] != text.paper;

    Grid best{16, 0, 0};
    int bestScore = -1;
    for (int cellWidth : {16, 8, 32}) {
        for (int oy = 0; oy < 16; ++oy) {
            for (int ox = 0; ox < cellWidth; ++ox) {
                const Grid g{cellWidth, ox, oy};
                int score = 0;
                forEachCell(image, g, [&](int, int, int x0, int y0) {
                    const uint64_t rows = cellPattern(ink, image.width, g, x0, y0);
                    // Letters and digits only: uniform areas read as the block
                    // glyph and edges as lines, and would win on their own.
                    const int code = rows && rows != kNotAGlyph ? font.match(rows) : -1;
                    if (code >= 0 && std::isalnum(code)) ++score;
                });
                if (score > bestScore) {
                    bestScore = score;
                    best = g;
                }
            }
        }
    }

    text.cellWidth = best.cellWidth;
    text.originX = best.originX;
    text.originY = best.originY;
    text.recognised = bestScore;
    forEachCell(image, best, [&](int row, int col, int x0, int y0) {
        if (static_cast<int>(text.lines.size()) <= row) text.lines.resize(row + 1);
        std::string& line = text.lines[row];
        if (static_cast<int>(line.size()) <= col) line.resize(col + 1, ' ');
        const uint64_t rows = cellPattern(ink, image.width, best, x0, y0);
        const int code = rows == kNotAGlyph ? -1 : rows ? font.match(rows) : ' ';
        line[col] = (code >= 32 && code < 127) ? static_cast<char>(code) : '?';
    });
    for (auto& line : text.lines) {
        while (!line.empty() && line.back() == ' ') line.pop_back();
    }
    return text;
}

}  // namespace test_support
