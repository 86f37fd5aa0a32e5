// A small raster to draw the generated images into, written out as BMP.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Colours are 0xAARRGGBB.
constexpr uint32_t rgb(uint8_t r, uint8_t g, uint8_t b) { return 0xFF000000u | (r << 16) | (g << 8) | b; }
constexpr uint32_t kTransparent = 0x00000000u;

class Canvas {
public:
    Canvas(int width, int height, uint32_t fill);

    int width() const { return w_; }
    int height() const { return h_; }
    uint32_t at(int x, int y) const;

    void pixel(int x, int y, uint32_t c);
    void fillRect(int x, int y, int w, int h, uint32_t c);
    void frameRect(int x, int y, int w, int h, uint32_t c);
    // A filled rectangle with its corners cut by `radius` pixels.
    void fillRoundRect(int x, int y, int w, int h, int radius, uint32_t c);
    void line(int x0, int y0, int x1, int y1, uint32_t c);
    void thickLine(int x0, int y0, int x1, int y1, int thickness, uint32_t c);
    void fillCircle(int cx, int cy, int r, uint32_t c);
    void ring(int cx, int cy, int r, int thickness, uint32_t c);
    void fillTriangle(int x0, int y0, int x1, int y1, int x2, int y2, uint32_t c);
    // Text in the Kestrix font; each font pixel becomes scale x scale pixels.
    // Returns the width drawn.
    int text(int x, int y, const std::string& s, uint32_t c, int scale = 1);
    static int textWidth(const std::string& s, int scale = 1) { return static_cast<int>(s.size()) * 6 * scale - scale; }
    // Draws `s` centred in the box.
    void textCentred(int x, int y, int w, int h, const std::string& s, uint32_t c, int scale = 1);
    void blit(const Canvas& src, int x, int y);

    // 24-bit BMP, or 32-bit with alpha when `withAlpha`; false on failure.
    bool saveBMP(const std::string& path, bool withAlpha = false) const;

private:
    int w_, h_;
    std::vector<uint32_t> pixels_;
};
