#include "canvas.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>

#include "font_glyphs.h"

Canvas::Canvas(int width, int height, uint32_t fill)
    : w_(width), h_(height), pixels_(static_cast<size_t>(width) * height, fill) {}

uint32_t Canvas::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= w_ || y >= h_) return kTransparent;
    return pixels_[static_cast<size_t>(y) * w_ + x];
}

void Canvas::pixel(int x, int y, uint32_t c) {
    if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
    pixels_[static_cast<size_t>(y) * w_ + x] = c;
}

void Canvas::fillRect(int x, int y, int w, int h, uint32_t c) {
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i) pixel(i, j, c);
}

void Canvas::frameRect(int x, int y, int w, int h, uint32_t c) {
    fillRect(x, y, w, 1, c);
    fillRect(x, y + h - 1, w, 1, c);
    fillRect(x, y, 1, h, c);
    fillRect(x + w - 1, y, 1, h, c);
}

void Canvas::fillRoundRect(int x, int y, int w, int h, int radius, uint32_t c) {
    for (int j = 0; j < h; ++j) {
        int inset = 0;
        int fromEdge = std::min(j, h - 1 - j);
        if (fromEdge < radius) inset = radius - fromEdge;
        fillRect(x + inset, y + j, w - 2 * inset, 1, c);
    }
}

void Canvas::line(int x0, int y0, int x1, int y1, uint32_t c) {
    int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        pixel(x0, y0, c);
        if (x0 == x1 && y0 == y1) break;
        int e2 = 2 * err;
        if (e2 >= dy) { err += dy; x0 += sx; }
        if (e2 <= dx) { err += dx; y0 += sy; }
    }
}

void Canvas::thickLine(int x0, int y0, int x1, int y1, int thickness, uint32_t c) {
    for (int oy = 0; oy < thickness; ++oy)
        for (int ox = 0; ox < thickness; ++ox) line(x0 + ox, y0 + oy, x1 + ox, y1 + oy, c);
}

void Canvas::fillCircle(int cx, int cy, int r, uint32_t c) {
    for (int j = -r; j <= r; ++j)
        for (int i = -r; i <= r; ++i)
            if (i * i + j * j <= r * r + r / 2) pixel(cx + i, cy + j, c);
}

void Canvas::ring(int cx, int cy, int r, int thickness, uint32_t c) {
    int inner = r - thickness;
    for (int j = -r; j <= r; ++j)
        for (int i = -r; i <= r; ++i) {
            int d = i * i + j * j;
            if (d <= r * r + r / 2 && d > inner * inner + inner / 2) pixel(cx + i, cy + j, c);
        }
}

void Canvas::fillTriangle(int x0, int y0, int x1, int y1, int x2, int y2, uint32_t c) {
    int minX = std::min({x0, x1, x2}), maxX = std::max({x0, x1, x2});
    int minY = std::min({y0, y1, y2}), maxY = std::max({y0, y1, y2});
    auto edge = [](int ax, int ay, int bx, int by, int px, int py) {
        return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
    };
    int area = edge(x0, y0, x1, y1, x2, y2);
    if (area == 0) return;
    for (int y = minY; y <= maxY; ++y)
        for (int x = minX; x <= maxX; ++x) {
            int e0 = edge(x0, y0, x1, y1, x, y), e1 = edge(x1, y1, x2, y2, x, y), e2 = edge(x2, y2, x0, y0, x, y);
            bool inside = area > 0 ? (e0 >= 0 && e1 >= 0 && e2 >= 0) : (e0 <= 0 && e1 <= 0 && e2 <= 0);
            if (inside) pixel(x, y, c);
        }
}

int Canvas::text(int x, int y, const std::string& s, uint32_t c, int scale) {
    int pen = x;
    for (char ch : s) {
        GlyphRows g = fontGlyph(static_cast<uint8_t>(ch));
        // Glyph columns 1..5 of the cell, drawn without the cell's margins.
        for (int row = 0; row < 8; ++row)
            for (int col = 0; col < 5; ++col)
                if (g.rows[row] & (0x40 >> col)) fillRect(pen + col * scale, y + row * scale, scale, scale, c);
        pen += 6 * scale;
    }
    return pen - x;
}

void Canvas::textCentred(int x, int y, int w, int h, const std::string& s, uint32_t c, int scale) {
    int tw = textWidth(s, scale);
    int th = 7 * scale;
    text(x + (w - tw) / 2, y + (h - th) / 2, s, c, scale);
}

void Canvas::blit(const Canvas& src, int x, int y) {
    for (int j = 0; j < src.h_; ++j)
        for (int i = 0; i < src.w_; ++i) pixel(x + i, y + j, src.at(i, j));
}

bool Canvas::saveBMP(const std::string& path, bool withAlpha) const {
    SDL_Surface* argb = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(pixels_.data()), w_, h_, 32, w_ * 4,
                                                           SDL_PIXELFORMAT_ARGB8888);
    if (!argb) return false;
    SDL_Surface* out = withAlpha ? argb : SDL_ConvertSurfaceFormat(argb, SDL_PIXELFORMAT_RGB24, 0);
    bool ok = out && SDL_SaveBMP(out, path.c_str()) == 0;
    if (out && out != argb) SDL_FreeSurface(out);
    SDL_FreeSurface(argb);
    return ok;
}
