// The ASIC's register page at &4000-&7FFF, its unlock sequence, the
// palette page and the registers written through the gate-array port.
#include <cstring>

#include "asic/asic.h"
#include "machine/memory.h"
#include "video/crtc6845.h"
#include "video/monitor.h"

namespace {

constexpr uint32_t kOpaqueBlack = 0xFF000000u;

// Offsets in the page (address - &4000).
constexpr uint16_t kSpritePixelsEnd = 0x1000;
constexpr uint16_t kSpriteAttributes = 0x2000, kSpriteAttributesEnd = 0x2080;
constexpr uint16_t kPalette = 0x2400, kPaletteEnd = 0x2440;
constexpr uint16_t kPri = 0x2800, kSplt = 0x2801, kSsaHigh = 0x2802, kSsaLow = 0x2803, kSscr = 0x2804,
                   kIvr = 0x2805;
constexpr uint16_t kAnalogue = 0x2808, kAnalogueEnd = 0x2810;
constexpr uint16_t kDma = 0x2C00, kDmaEnd = 0x2C10, kDcsr = 0x2C0F;

// Red, blue and green nibbles of the 32 hardware colours.
constexpr char kPlusColours[] =
    "666 666 06F F6F 060 F60 066 F66 F60 F6F F0F FFF F00 FF0 F06 FF6 "
    "060 06F 00F 0FF 000 0F0 006 0F6 660 66F 60F 6FF 600 6F0 606 6F6";

uint8_t hexNibble(char c) { return static_cast<uint8_t>(c <= '9' ? c - '0' : c - 'A' + 10); }

// An analogue axis as the page shows it: 31 centred, 0 at the positive end,
// 62 at the negative end.
uint8_t analogueValue(int16_t axis) { return static_cast<uint8_t>(31 - (axis * 31) / 32767); }

}  // namespace

asicCPC::asicCPC() {
    for (int c = 0; c < 32; ++c) {
        for (int k = 0; k < 3; ++k) plusColorOf[c][k] = hexNibble(kPlusColours[4 * c + k]);
    }
    // Compared in this order after the arming zero; the byte after the last unlocks.
    static constexpr uint8_t kUnlock[14] = {0xFF, 0x77, 0xB3, 0x51, 0xA8, 0xD4, 0x62,
                                            0x39, 0x9C, 0x46, 0x2B, 0x15, 0x8A, 0xCD};
    std::memcpy(unlockSequence, kUnlock, sizeof unlockSequence);
    reset();
}

asicCPC::~asicCPC() { delete[] asicPage; }

void asicCPC::reset() {
    gaCPC::reset();
    if (!asicPage) asicPage = new uint8_t[kPageSize]();
    for (auto& pen : pens) pen = kOpaqueBlack;
    std::memset(asicPage + kSpriteAttributes, 0, kSpriteAttributesEnd - kSpriteAttributes);
    // The palette page follows the pens it describes.
    std::memset(asicPage + kPalette, 0, kPaletteEnd - kPalette);
    std::memset(asicPage + kPri, 0, kDmaEnd - kPri);
    pri = splt = sscr = dcsr = dcsrShadow = 0;
    ssa = 0;
    ivr = 1;
    asicPage[kIvr] = 1;
    for (auto& channel : dmaChannels) channel = dmaChannel{};
    unlocked = unlockArmed = unlockInSequence = false;
    unlockPosition = 0;
    rmr2 = 0;
    videoIntPending = false;
    lineCounter = 0;
    rasterArmed = false;
    rasterLine = 0;
    scrollV = scrollH = 0;
    extendBorder = false;
    scrollHistory = 0;
    for (int n = 0; n < 16; ++n) decodeSprite(n);
    spriteOnLine = spriteActive = 0;
    dmaCursor = 2;
    dmaPhase = 2;
    if (mem && mem->cbBank[0]) mem->lowerRom = mem->cbBank[0];
    if (crtc) {
        crtc->plusScrollV = 0;
        crtc->plusDisplayStart = 0;
        crtc->plusSplitLine = 0;
        crtc->plusSplitAddress = 0;
        crtc->quietChars = 0;
        crtc->plusSelectWrite = [](uint8_t data) { as->checkMagicSequence(data); };
        crtc->plusLineStart = [](bool newFrame) { as->lineStart(newFrame); };
    }
}

void asicCPC::checkMagicSequence(uint8_t data) {
    if (unlockInSequence) {
        if (unlockPosition == 14) {
            unlocked = true;
            unlockPosition = 0;
            unlockInSequence = false;
            unlockArmed = data != 0;
            return;
        }
        if (data == unlockSequence[unlockPosition]) {
            ++unlockPosition;
            return;
        }
        if (unlockPosition == 13) unlocked = false;
        unlockInSequence = false;
    }
    if (data) {
        unlockArmed = true;
    } else if (unlockArmed) {
        unlockInSequence = true;
        unlockPosition = 0;
    }
}

void asicCPC::writeRmr2(uint8_t data) {
    rmr2 = data & 0x3F;
    uint8_t* bank = mem->cbBank[data & 7];
    if (!bank) bank = mem->cbBank[data & 3];
    if (bank) mem->lowerRom = bank;
}

void asicCPC::writeModeRom(uint8_t data) {
    modeRomReg = data & 0x1F;
    if (data & 0x10) {
        intCounter = 0;
        cpu->intLine = false;
        videoIntPending = false;
        dcsr &= 0x7F;
    }
}

void asicCPC::pensFromPage(uint8_t pen) {
    const uint8_t redBlue = asicPage[kPalette + 2 * pen];
    const uint8_t green = asicPage[kPalette + 2 * pen + 1] & 15;
    const uint32_t red = (redBlue >> 4) * 17u, blue = (redBlue & 15) * 17u;
    pens[pen] = kOpaqueBlack | blue << 16 | (green * 17u) << 8 | red;
    penHardwareColour[pen] = kPenNotHardwareColour;  // a 4096-colour value the monitor shows as it is
    penWritten(pen);
}

void asicCPC::writeColourPage(uint8_t pen, uint8_t hardwareColour) {
    const uint8_t* rbg = plusColorOf[hardwareColour & 31];
    asicPage[kPalette + 2 * pen] = static_cast<uint8_t>(rbg[0] << 4 | rbg[1]);
    asicPage[kPalette + 2 * pen + 1] = rbg[2];
}

uint8_t asicCPC::mRead(uint16_t address, uint8_t dataBus) const {
    address &= 0x3FFF;
    if (address < kSpritePixelsEnd) return asicPage[address];
    if (address >= kSpriteAttributes && address < kSpriteAttributesEnd) {
        // Magnification reads give the position byte four lower.
        return asicPage[(address & 4) ? address - 4 : address];
    }
    if (address >= kPalette && address < kPaletteEnd) return asicPage[address];
    if (address >= kAnalogue && address < kAnalogueEnd) {
        const unsigned input = address - kAnalogue;
        if (input < 4) {
            const unsigned stick = input >> 1;
            return analogJoystick[stick] ? analogueValue(analogAxis[stick][input & 1]) : 63;
        }
        return (input & 1) ? 0 : 63;
    }
    if (address >= kDma && address < kDmaEnd) return dcsr;
    return dataBus;
}

void asicCPC::mWrite(uint16_t address, uint8_t value) {
    address &= 0x3FFF;
    if (address < kSpritePixelsEnd) {
        asicPage[address] = value & 15;
        return;
    }
    if (address >= kSpriteAttributes && address < kSpriteAttributesEnd) {
        const int n = (address >> 3) & 15;
        const unsigned field = address & 7;
        switch (field) {
            case 1: asicPage[address] = (value & 3) == 3 ? 0xFF : value & 3; break;
            case 3: asicPage[address] = (value & 1) ? 0xFF : 0; break;
            case 4: case 5: case 6: case 7:
                asicPage[address] = value & 15;
                asicPage[address & ~3u] = value & 15;
                break;
            default: asicPage[address] = value; break;
        }
        decodeSprite(n);
        if (field >= 2) placeSprite(n, lineCounter - spriteY[n]);
        if (field >= 4 && (spriteX[n] >> 4) == crtc->C0) {
            // A magnification written while the beam is at the sprite's character starts it.
            spriteActive |= static_cast<uint16_t>(1u << n);
            spriteDelay[n] = spriteX[n] & 15;
            spriteColumn[n] = 0;
            spriteRepeat[n] = static_cast<uint8_t>(spriteMagX[n] ? 1 << (spriteMagX[n] - 1) : 1);
        }
        return;
    }
    if (address >= kPalette && address < kPaletteEnd) {
        asicPage[address] = (address & 1) ? value & 15 : value;
        pensFromPage(static_cast<uint8_t>((address >> 1) & 31));
        return;
    }
    switch (address) {
        case kPri: pri = value; break;
        case kSplt:
            splt = value;
            crtc->plusSplitLine = value;
            crtc->quietChars = 0;
            break;
        case kSsaHigh: ssa = static_cast<uint16_t>((ssa & 0x00FF) | value << 8); break;
        case kSsaLow: ssa = static_cast<uint16_t>((ssa & 0xFF00) | value); break;
        case kSscr:
            sscr = value;
            scrollV = (value >> 4) & 7;
            scrollH = value & 15;
            extendBorder = (value & 0x80) != 0;
            crtc->plusScrollV = scrollV;
            crtc->plusDisplayStart = (value & 0x80) ? 1 : 0;
            crtc->quietChars = 0;
            break;
        case kIvr: ivr = value; break;
        case kDcsr: {
            const uint8_t cleared = (ivr & 1) ? value & 0xF0 : 0;
            dcsr = static_cast<uint8_t>(((dcsr & 0xF0) & ~cleared) | (value & 7));
            asicPage[address] = value;
            return;
        }
        default:
            if (address >= kDma && address < kDcsr) {
                const unsigned channel = (address - kDma) >> 2;
                switch (address & 3) {
                    case 0:
                        value &= 0xFE;
                        dmaChannels[channel].address = static_cast<uint16_t>((dmaChannels[channel].address & 0xFF00) | value);
                        break;
                    case 1:
                        dmaChannels[channel].address = static_cast<uint16_t>((dmaChannels[channel].address & 0x00FF) | value << 8);
                        break;
                    case 2: {
                        dmaChannel& ch = dmaChannels[channel];
                        ch.prescaler = ch.prescalerCounter = value;
                        if (ch.pauseCount) {
                            // A running pause: the new count goes on from here.
                            if (value) {
                                ch.prescalerCounter = static_cast<uint8_t>(value - 1);
                            } else {
                                --ch.pauseCount;
                            }
                        }
                        break;
                    }
                    default: return;
                }
                asicPage[address] = value;
            }
            return;
    }
    asicPage[address] = value;
    crtc->plusSplitAddress = ssa;
    crtc->quietChars = 0;
}
