#include "frontend/osd.h"

#include <cstring>

#include "disk/fdc765.h"
#include "frontend/icons.h"
#include "frontend/machine_status.h"
#include "frontend/window.h"
#include "machine/emulation_thread.h"
#include "machine/frontend_hooks.h"
#include "machine/text_buffers.h"
#include "tape/tape_index.h"

int textDisplayTime = 0;
int textDisplayAlpha = 255;
int textDisplayAlphaDec = 2;
int textDisplayAlphaDecReinit = 2;
bool t_led_disk0 = false;
bool t_led_disk1 = false;
bool t_led_k7last = false;

const char* const kPauseScreenText = "\366 The emulation is paused \367";

namespace {

constexpr int kMessageDisplayPasses = 512;
constexpr int kMessageRowsAboveBottom = 32;
constexpr int kPauseTextSize = 16;
constexpr int kMessageTextSize = 8;

char stoppedScreenText[kTextBufferSize];
bool stoppedScreenShown = false;

SDL_Texture* font() { return statusImages[imgCharset].texture; }

void drawStoppedScreenText() {
    if (!font()) return;
    SDL_SetTextureAlphaMod(font(), 255);
    SDL_drawText(stoppedScreenText, -1, -1, kPauseTextSize);
}

}  // namespace

void osdSetText(const char* text) {
    // Called from the emulation thread and timers too; a message torn by a
    // concurrent one is accepted, an unterminated one is not.
    if (!textOSD || !text) return;
    size_t n = std::strlen(text);
    if (n > kTextBufferSize - 1) n = kTextBufferSize - 1;
    std::memmove(textOSD, text, n);
    textOSD[n] = 0;
    textShowOSDInit();
}

void textShowOSDInit() {
    textDisplayTime = kMessageDisplayPasses;
    textDisplayAlpha = 255;
    textDisplayAlphaDec = 2;
    textDisplayAlphaDecReinit = 2;
}

bool osdAdvance() {
    if (textDisplayTime <= 0) return false;
    if (--textDisplayTime == 0) {
        textDisplayAlpha = 255;
        return false;
    }
    if (textDisplayAlpha > 0 && --textDisplayAlphaDec <= 0) {
        --textDisplayAlpha;
        textDisplayAlphaDec = textDisplayAlphaDecReinit;
    }
    return true;
}

void drawOSD() {
    if (!osdAdvance() || !font() || !textOSD) return;
    SDL_SetTextureAlphaMod(font(), static_cast<Uint8>(textDisplayAlpha));
    SDL_drawText(textOSD, -1, rectdest_xy.h - kMessageRowsAboveBottom, kMessageTextSize);
}

void presentMessageNow(const char* text) {
    textShowOSD("%s", text);
    if (!mRenderer) return;
    windowNeedsPresent = true;  // the next frame draws the window again
    renderPictureAndStrip(false);
    drawOSD();
    SDL_RenderPresent(mRenderer);
}

int osdGlyphFor(uint8_t byte) {
    switch (byte) {
        // Two-byte UTF-8 Latin letters print their second byte.
        case 0xC2: case 0xC3: return -1;
        case 0x5C: return 0x2F;
        case 0xA0: return 0x40;
        case 0xA7: return 0x5C;
        case 0xA8: return 0x7D;
        case 0xA9: return 0x7B;
        case 0xB0: return 0xA2;
        case 0xB9: return 0x7C;
        default: return byte;
    }
}

TextLayout layoutText(const char* text, int x, int y, int size, const SDL_Rect& picture) {
    TextLayout layout;
    int length = 0;
    for (const char* p = text; *p; ++p) {
        if (osdGlyphFor(static_cast<uint8_t>(*p)) >= 0) ++length;
    }
    if (x == -1) {
        layout.x = length * size <= picture.w ? picture.x + (picture.w - length * size) / 2 : picture.x;
    } else {
        layout.x = picture.x + x;
    }
    layout.y = y == -1 ? picture.y + (picture.h - size) / 2 : picture.y + y;
    int room = size > 0 ? (picture.x + picture.w - layout.x) / size : 0;
    layout.count = length < room ? length : (room > 0 ? room : 0);
    return layout;
}

void SDL_drawText(const char* text, int x, int y, int size) {
    if (!mRenderer || !font() || !text || size <= 0) return;
    TextLayout layout = layoutText(text, x, y, size, rectdest_xy);
    SDL_Rect target = {layout.x, layout.y, size, size};
    int drawn = 0;
    for (const char* p = text; *p && drawn < layout.count; ++p) {
        int glyph = osdGlyphFor(static_cast<uint8_t>(*p));
        if (glyph < 0) continue;
        const SDL_Rect source = {(glyph % 16) * 8, (glyph / 16) * 8, 8, 8};
        SDL_RenderCopy(mRenderer, font(), &source, &target);
        target.x += size;
        ++drawn;
    }
}

void refreshText(const char* text) {
    if (running || !mRenderer || !mTexture || !text) return;
    SDL_strlcpy(stoppedScreenText, text, sizeof stoppedScreenText);
    stoppedScreenShown = true;
    SDL_SetTextureColorMod(mTexture, 128, 128, 128);
    presentStoppedScreen();
}

void endPauseScreen() { stoppedScreenShown = false; }

bool pauseScreenShown() { return stoppedScreenShown; }

void presentStoppedScreen() {
    if (!mRenderer) return;
    windowNeedsPresent = true;  // the running frame after it draws the window again
    renderPictureAndStrip(true);
    if (stoppedScreenShown) drawStoppedScreenText();
    SDL_RenderPresent(mRenderer);
}

void refreshLedOSD(bool on, const SDL_Rect& rect) {
    if (!mRenderer || rect.w <= 0) return;
    if (fullscreen) {
        SDL_SetRenderDrawColor(mRenderer, on ? 255 : 0, on ? 64 : 0, on ? 64 : 0, 255);
        SDL_RenderFillRect(mRenderer, &rect);
        return;
    }
    beginStatusDrawing();
    if (on) {
        SDL_SetRenderDrawColor(mRenderer, 255, 64, 64, 255);
    } else {
        SDL_SetRenderDrawColor(mRenderer, 255, 255, 255, 255);
    }
    SDL_RenderFillRect(mRenderer, &rect);
    endStatusDrawing();
}

void updateIndicators() {
    bool disk0 = statusDiskLed(0), disk1 = statusDiskLed(1), k7 = statusTapeLed();
    if (disk0 != t_led_disk0) {
        t_led_disk0 = disk0;
        refreshLedOSD(disk0, ledDisk0Rect);
        showDskTrackOSD(0);
    }
    if (disk1 != t_led_disk1) {
        t_led_disk1 = disk1;
        refreshLedOSD(disk1, ledDisk1Rect);
        showDskTrackOSD(1);
    }
    if (k7 != t_led_k7last) {
        t_led_k7last = k7;
        refreshLedOSD(k7, ledK7Rect);
    }
}

void drawIndicatorsInFullscreen() {
    // Over the picture, an unlit LED is better not drawn at all.
    if (t_led_disk0) refreshLedOSD(true, ledDisk0Rect);
    if (t_led_disk1) refreshLedOSD(true, ledDisk1Rect);
    if (t_led_k7last) refreshLedOSD(true, ledK7Rect);
}

void showDskNameOSD(int unit, const char* name) {
    const char* letter = unit ? "B" : "A";
    if (statusDiskDoubleSided(unit)) {
        textShowOSD("%s:\\%s.%s", letter, statusDiskSide(unit) ? "1" : "0", name ? name : "");
    } else {
        textShowOSD("%s:\\%s", letter, name ? name : "");
    }
}

void showDskTrackOSD(int unit) {
    const floppyDrive* drive = unit ? fd1 : fd0;
    if (!fdc || !drive) return;
    char prefix[8];
    SDL_snprintf(prefix, sizeof prefix, "%s:-%s", unit ? "B" : "A",
                 statusDiskDoubleSided(unit) ? (statusDiskSide(unit) ? "1." : "0.") : "");
    textShowOSD("%s%02d-#%02x", prefix, drive->cylinder, fdc->R);
}

const char* tapeBlockDescription(uint8_t kind) {
    switch (kind) {
        case 0x00: return "PCM Wave";
        case 0x01: return "Begin of tape";
        case 0x02: return "Compressed Square Wave";
        case 0x10: return "Standard speed data block";
        case 0x11: return "Turbo speed data block";
        case 0x12: return "Pure tone";
        case 0x13: return "Sequence of pulses of various lengths";
        case 0x14: return "Pure data block";
        case 0x15: return "Direct recording block";
        case 0x18: return "CSW recording block";
        case 0x19: return "Generalized data block";
        case 0x20: return "Pause (silence)";
        case 0x21: return "Group start - ";
        case 0x22: return "Group end";
        case 0x23: return "Jump to block";
        case 0x24: return "Loop start";
        case 0x25: return "Loop end";
        case 0x26: return "Call sequence";
        case 0x27: return "Return from sequence";
        case 0x28: return "Select block";
        case 0x2A: return "Stop the tape if in 48K mode";
        case 0x2B: return "Set signal level";
        case 0x30: return "Text description - ";
        case 0x31: return "Message block - ";
        case 0x32: return "Archive info - ";
        case 0x33: return "Hardware type";
        case 0x35: return "Custom info block";
        case 0x5A: return "'Glue' block";
        case 0xFF: return "End of tape !";
        default: return "Unknown id !";
    }
}

void textShowk7OSD(uint32_t entry) {
    if (!tapeIndex || entry >= tapeIndex->cdtNbBlock || !tapeIndex->entries) return;
    const tapeIndexEntry& block = tapeIndex->entries[entry];
    bool withText = block.text && (block.kind == 0x21 || block.kind == 0x30 || block.kind == 0x31 || block.kind == 0x32);
    char line[kTextBufferSize];
    SDL_snprintf(line, sizeof line, "%02u - %s%s", static_cast<unsigned>(block.number), tapeBlockDescription(block.kind),
                 withText ? block.text : "");
    if (tapeIdText) SDL_strlcpy(tapeIdText, line, kTextBufferSize);
    textShowOSD("%s", line);
}
