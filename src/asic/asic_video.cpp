// The ASIC's picture additions: 16 hardware sprites over the screen pixels,
// horizontal soft scroll of the video bytes, and the per-line bookkeeping.
#include "asic/asic.h"

#include <cstring>

#include "video/crtc6845.h"

namespace {

inline uint8_t timesFor(uint8_t magnification) { return static_cast<uint8_t>(magnification ? 1 << (magnification - 1) : 1); }

// Mode 1: four pixels a byte, pixel k in bits 7-k and 3-k. `cur` shifted
// right by r pixels, the pixels coming in from `prev`.
inline uint8_t scrollMode1(uint8_t prev, uint8_t cur, unsigned r) {
    if (!r) return cur;
    const unsigned keep = (0xFu >> r) * 0x11u;
    return static_cast<uint8_t>(((cur >> r) & keep) | ((prev << (4 - r)) & ~keep & 0xFFu));
}

// Modes 0 and 3: pixel 0 in the odd bits, pixel 1 in the even bits.
inline uint8_t scrollMode0(uint8_t prev, uint8_t cur, unsigned r) {
    if (!r) return cur;
    return static_cast<uint8_t>(((prev & 0x55) << 1) | ((cur & 0xAA) >> 1));
}

}  // namespace

void asicCPC::decodeSprite(int n) {
    const uint8_t* a = asicPage + 0x2000 + 8 * n;
    spriteX[n] = static_cast<uint16_t>(a[0] | (a[1] & 3) << 8);
    spriteY[n] = static_cast<uint16_t>(a[2] | (a[3] & 1) << 8);
    spriteMagX[n] = (a[4] >> 2) & 3;
    spriteMagY[n] = a[4] & 3;
    const uint16_t bit = static_cast<uint16_t>(1u << n);
    spriteShown = static_cast<uint16_t>(spriteMagY[n] ? spriteShown | bit : spriteShown & ~bit);
}

void asicCPC::placeSprite(int n, int linesIn) {
    const uint16_t bit = static_cast<uint16_t>(1u << n);
    const int times = timesFor(spriteMagY[n]);
    if (!spriteMagY[n] || linesIn < 0 || linesIn >= 16 * times) {
        spriteOnLine &= static_cast<uint16_t>(~bit);
        return;
    }
    spriteOnLine |= bit;
    spriteRow[n] = static_cast<uint8_t>(linesIn / times);
    spriteRowRepeat[n] = static_cast<uint8_t>(times - linesIn % times);
    spriteRowBase[n] = static_cast<uint16_t>(256 * n + 16 * spriteRow[n]);
}

void asicCPC::lineStart(bool newFrame) {
    lineCounter = crtc->plusLineCounter;
    if (!extendBorder) scrollHistory = 0;
    if (newFrame) {
        // Sprites above the top (Y negative) that reach line 0 show cut.
        for (int n = 0; n < 16; ++n) {
            const int y = spriteY[n] >= 256 ? spriteY[n] - 512 : 1;
            placeSprite(n, y <= 0 ? -y - 1 : -1);
        }
    }
    spriteActive = 0;
    // A sprite neither on the line nor shown has nothing to update.
    for (uint16_t mask = spriteOnLine | spriteShown; mask; mask &= static_cast<uint16_t>(mask - 1)) {
        const int n = __builtin_ctz(mask);
        const uint16_t bit = static_cast<uint16_t>(1u << n);
        if (spriteOnLine & bit) {
            if (--spriteRowRepeat[n] == 0) {
                spriteRowRepeat[n] = timesFor(spriteMagY[n]);
                if (++spriteRow[n] == 16) {
                    spriteRow[n] = 0;
                    spriteOnLine &= static_cast<uint16_t>(~bit);
                }
            }
        }
        if (lineCounter == spriteY[n] && spriteMagY[n]) {
            spriteRow[n] = 0;
            spriteRowRepeat[n] = timesFor(spriteMagY[n]);
            spriteOnLine |= bit;
        }
        spriteRowBase[n] = static_cast<uint16_t>(256 * n + 16 * spriteRow[n]);
    }
}

void asicCPC::startSprites() {
    const uint8_t c0 = crtc->C0;
    for (uint16_t mask = spriteOnLine; mask; mask &= static_cast<uint16_t>(mask - 1)) {
        const int n = __builtin_ctz(mask);
        if ((spriteX[n] >> 4) != c0) continue;
        spriteActive |= static_cast<uint16_t>(1u << n);
        spriteDelay[n] = spriteX[n] & 15;
        spriteColumn[n] = 0;
        spriteRepeat[n] = timesFor(spriteMagX[n]);
    }
}

// Eight ticks of sprite pixels over the half's screen colours; the lowest
// sprite number wins and nothing covers the border.
void asicCPC::spriteHalf() {
    if (derived.halfRow != derived.halfColours) {
        std::memcpy(derived.halfColours, derived.halfRow, sizeof derived.halfColours);
        derived.halfRow = derived.halfColours;
    }
    const bool dispen = crtc->dispen;
    for (int t = 0; t < 8; ++t) {
        uint32_t colour = 0;
        for (uint16_t mask = spriteActive; mask; mask &= static_cast<uint16_t>(mask - 1)) {
            const int n = __builtin_ctz(mask);
            if (spriteDelay[n]) {
                --spriteDelay[n];
                continue;
            }
            if (!colour && dispen && (spriteOnLine >> n & 1) && spriteMagX[n] && spriteMagY[n]) {
                const uint8_t pixel = asicPage[spriteRowBase[n] + spriteColumn[n]];
                if (pixel) colour = pens[16 + pixel];
            }
            if (--spriteRepeat[n] == 0) {
                spriteRepeat[n] = timesFor(spriteMagX[n]);
                if (++spriteColumn[n] == 16) spriteActive &= static_cast<uint16_t>(~(1u << n));
            }
        }
        if (colour) derived.halfColours[t] = colour;
    }
}

// The two display bytes of the step from the last four fetched, moved right
// by the scroll in the current mode's pixels, each mode's interleave kept.
void asicCPC::applyScroll() {
    const uint32_t h = scrollHistory;
    const uint8_t b[4] = {static_cast<uint8_t>(h), static_cast<uint8_t>(h >> 8), static_cast<uint8_t>(h >> 16),
                          static_cast<uint8_t>(h >> 24)};
    switch (mode & 3) {
        case 2: {
            const uint32_t v = h >> scrollH;
            shiftA = (v >> 8) & 0xFF;
            shiftB = v & 0xFF;
            break;
        }
        case 1: {
            const unsigned p = scrollH >> 1, whole = p >> 2, r = p & 3;
            shiftB = scrollMode1(b[whole + 1], b[whole], r);
            shiftA = scrollMode1(b[whole + 2], b[whole + 1], r);
            break;
        }
        default: {
            const unsigned p = scrollH >> 2, whole = p >> 1, r = p & 1;
            shiftB = scrollMode0(b[whole + 1], b[whole], r);
            shiftA = scrollMode0(b[whole + 2], b[whole + 1], r);
            break;
        }
    }
}
