// Kestrix's own 8 x 8 font: the on-screen text font ("Charset") and the
// labels of the generated icons and keyboard pictures.
#pragma once
#include <cstdint>

// Eight rows of a glyph; bit 7 of a row is the leftmost pixel. Glyphs are
// drawn in columns 1..5 so that a one-pixel shadow fits inside the cell.
struct GlyphRows {
    uint8_t rows[8];
};

// The glyph of a character code; blank for codes the font leaves empty.
// Codes 40h, 5Ch, 7Bh, 7Ch, 7Dh hold à, ç, é, ù, è and A2h holds °, as the
// on-screen text drawing expects; the plain ASCII forms of @ \ { | } live at
// 80h..84h and £ at 85h for the keyboard labels.
GlyphRows fontGlyph(uint8_t code);

// Character codes that keyboard labels use for the ASCII symbols that the
// font keeps outside their ASCII slots.
constexpr char kLabelAt = '\x80';
constexpr char kLabelBackslash = '\x81';
constexpr char kLabelBraceOpen = '\x82';
constexpr char kLabelBar = '\x83';
constexpr char kLabelBraceClose = '\x84';
constexpr char kLabelPound = '\x85';
