#include "font_glyphs.h"
#include "images.h"

NamedImage makeCharset() {
    constexpr uint32_t kInk = rgb(255, 255, 255);
    constexpr uint32_t kShadow = 0xFF202020u;
    Canvas sheet(128, 128, kTransparent);
    for (int code = 0; code < 256; ++code) {
        GlyphRows g = fontGlyph(static_cast<uint8_t>(code));
        int cx = (code % 16) * 8, cy = (code / 16) * 8;
        // Shadow first, one pixel right and down, kept inside the cell.
        for (int row = 0; row < 8; ++row)
            for (int col = 0; col < 8; ++col)
                if ((g.rows[row] & (0x80 >> col)) && row + 1 < 8 && col + 1 < 8) sheet.pixel(cx + col + 1, cy + row + 1, kShadow);
        for (int row = 0; row < 8; ++row)
            for (int col = 0; col < 8; ++col)
                if (g.rows[row] & (0x80 >> col)) sheet.pixel(cx + col, cy + row, kInk);
    }
    return {"Charset", sheet, true};
}
