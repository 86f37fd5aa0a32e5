// The key matrix, the host scancode table and the autorun character table.
#include <gtest/gtest.h>

#include <SDL.h>

#include <map>
#include <utility>
#include <vector>

#include "machine/keyboard.h"
#include "support/temp_home.h"

namespace {

TEST(Keyboard, KeyCodesAreLineAndBitAndCodesOutsideTheMatrixPressNothing) {
    keyboard kb;
    kb.key_down(0x85);
    EXPECT_EQ(kb.matrix[8], 0xDF);
    kb.key_down(0x87);
    EXPECT_EQ(kb.matrix[8], 0x5F);
    kb.key_up(0x85);
    EXPECT_EQ(kb.matrix[8], 0x7F);
    kb.select_line(8);
    EXPECT_EQ(kb.selectedLineBits(), 0x7F);
    // Host and virtual keyboard share the bit: the first release frees it.
    kb.key_down(0x57);
    kb.key_down(0x57);
    kb.key_up(0x57);
    EXPECT_EQ(kb.matrix[5], 0xFF);
    kb.reset();
    EXPECT_EQ(kb.selectedLine, 0);
    // Codes outside the matrix press nothing.
    kb.key_down(kCpcNoKey);
    kb.key_down(0xA3);
    for (int line = 0; line < 16; ++line) EXPECT_EQ(kb.matrix[line], 0xFF) << "line " << line;
    kb.select_line(0x1C);
    EXPECT_EQ(kb.selectedLine, 0x0C);
    EXPECT_EQ(kb.selectedLineBits(), 0xFF);
}

TEST(Keyboard, HostKeysByPosition) {
    keyboard kb;
    const std::map<SDL_Scancode, uint8_t> expected = {
        {SDL_SCANCODE_UP, 0x00},        {SDL_SCANCODE_KP_ENTER, 0x06}, {SDL_SCANCODE_LALT, 0x11},
        {SDL_SCANCODE_RETURN, 0x22},    {SDL_SCANCODE_RSHIFT, 0x25},   {SDL_SCANCODE_NONUSBACKSLASH, 0x26},
        {SDL_SCANCODE_RCTRL, 0x27},     {SDL_SCANCODE_EQUALS, 0x30},   {SDL_SCANCODE_SLASH, 0x36},
        {SDL_SCANCODE_COMMA, 0x47},     {SDL_SCANCODE_SPACE, 0x57},    {SDL_SCANCODE_V, 0x67},
        {SDL_SCANCODE_X, 0x77},         {SDL_SCANCODE_Z, 0x87},        {SDL_SCANCODE_BACKSPACE, 0x97},
        {SDL_SCANCODE_RALT, kCpcNoKey}, {SDL_SCANCODE_F1, kCpcNoKey},  {SDL_SCANCODE_GRAVE, kCpcNoKey},
    };
    for (const auto& [scancode, code] : expected)
        EXPECT_EQ(kb.mapDomKeyToCpcKey(scancode), code) << SDL_GetScancodeName(scancode);
    EXPECT_EQ(kb.mapDomKeyToCpcKey(SDL_SCANCODE_AUDIOPLAY), kCpcNoKey) << "scancodes above 255";
    EXPECT_EQ(kb.mapDomKeyToCpcKey(-1), kCpcNoKey);

    int mapped = 0;
    for (int s = 0; s < 256; ++s) mapped += kb.hostKeyMap[s] != kCpcNoKey;
    EXPECT_EQ(mapped, 75);
}

TEST(Keyboard, JoystickEmulationRemapsAndRestores) {
    keyboard kb;
    kb.mapJoystick(true);
    kb.key_down(kb.mapDomKeyToCpcKey(SDL_SCANCODE_UP));
    EXPECT_EQ(kb.matrix[9], 0xFE);
    EXPECT_EQ(kb.matrix[0], 0xFF);
    kb.key_up(kb.mapDomKeyToCpcKey(SDL_SCANCODE_UP));
    auto codes = [&] {
        return std::vector<int>{kb.mapDomKeyToCpcKey(SDL_SCANCODE_LSHIFT), kb.mapDomKeyToCpcKey(SDL_SCANCODE_RCTRL),
                                kb.mapDomKeyToCpcKey(SDL_SCANCODE_RIGHT), kb.mapDomKeyToCpcKey(SDL_SCANCODE_LEFT),
                                kb.mapDomKeyToCpcKey(SDL_SCANCODE_RALT)};
    };
    EXPECT_EQ(codes(), (std::vector<int>{0x95, 0x94, 0x93, 0x92, 0x96}));

    kb.mapJoystick(false);
    kb.key_down(kb.mapDomKeyToCpcKey(SDL_SCANCODE_UP));
    EXPECT_EQ(kb.matrix[0], 0xFE);
    EXPECT_EQ(kb.matrix[9], 0xFF);
    // RCTRL and RIGHT back on the keyboard; fire 3 stays on Right Alt.
    EXPECT_EQ(codes(), (std::vector<int>{0x25, 0x27, 0x01, 0x10, 0x96}));
}

bool isDown(const keyboard& kb, uint8_t code) { return !(kb.matrix[code >> 4] & (1 << (code & 7))); }

// Host keys: a tap stays down until the frame after it has been scanned, typed
// keys go down one scan apart and in order, a key held longer is let go at once,
// and the joystick keys never wait for typing.
TEST(Keyboard, HostKeyQueueKeepsEveryTapForOneScanInOrder) {
    keyboard kb;
    const uint32_t f = 100;
    // "ll" then "p" typed within one frame.
    for (uint8_t code : {0x44, 0x44, 0x33}) {
        kb.hostKeyDown(code, f);
        kb.hostKeyUp(code, f);
    }
    EXPECT_TRUE(isDown(kb, 0x44));
    kb.applyHostKeys(f + 2);
    EXPECT_TRUE(isDown(kb, 0x44)) << "released before two scans saw it";
    kb.applyHostKeys(f + 3);
    EXPECT_FALSE(isDown(kb, 0x44)) << "the release must come before the second press";
    kb.applyHostKeys(f + 5);
    EXPECT_FALSE(isDown(kb, 0x44));
    kb.applyHostKeys(f + 6);
    EXPECT_TRUE(isDown(kb, 0x44));
    EXPECT_FALSE(isDown(kb, 0x33)) << "p waits for the second l to be seen";
    kb.applyHostKeys(f + 9);
    EXPECT_FALSE(isDown(kb, 0x44));
    EXPECT_TRUE(isDown(kb, 0x33));
    kb.applyHostKeys(f + 12);
    EXPECT_FALSE(kb.hostKeysPending());
    for (int line = 0; line < 16; ++line) EXPECT_EQ(kb.matrix[line], 0xFF) << "line " << line;

    // SHIFT let go: the next key waits until that has been seen.
    kb.hostKeyDown(kCpcKeyShift, 150);
    kb.hostKeyUp(kCpcKeyShift, 153);
    kb.hostKeyDown(0x80, 153);
    EXPECT_FALSE(isDown(kb, kCpcKeyShift));
    EXPECT_FALSE(isDown(kb, 0x80));
    kb.applyHostKeys(156);
    EXPECT_TRUE(isDown(kb, 0x80));

    // Held for many frames: let go as soon as released.
    kb.hostKeyUp(0x80, 200);
    kb.hostKeyDown(0x57, 200);
    kb.applyHostKeys(230);
    kb.hostKeyUp(0x57, 230);
    EXPECT_FALSE(isDown(kb, 0x57));

    // The joystick keys pass typing keys that are still waiting.
    kb.hostKeyDown(0x83, 300);
    kb.hostKeyDown(0x72, 300);
    kb.hostKeyDown(0x93, 300);
    EXPECT_TRUE(isDown(kb, 0x93));
    EXPECT_FALSE(isDown(kb, 0x72));
    kb.reset();
    EXPECT_FALSE(kb.hostKeysPending());
}

// Digits come from the keypad; 0x100 is SHIFT; 0 types nothing.
TEST(AutorunTable, LettersDigitsAndControls) {
    keyboard kb;
    const std::pair<uint8_t, uint16_t> typed[] = {{'a', 0x85},  {'A', 0x185}, {'z', 0x87},  {'Q', 0x183},
                                                  {'0', 0x17},  {'9', 0x03},  {'\r', 0x06}, {0x0F, 0x25},
                                                  {0x1B, 0x82}, {0x7F, 0x97}, {'"', 0x181}, {'~', 0},
                                                  {'\n', 0}};
    for (auto [c, code] : typed) EXPECT_EQ(kb.mapAutorunKeyToCpcKey(c), code) << "character " << int(c);
    for (int c = 128; c < 256; ++c) EXPECT_EQ(kb.mapAutorunKeyToCpcKey(static_cast<uint8_t>(c)), 0) << c;
}

TEST(AutorunTable, EveryTypableCharacterHasItsOwnKeyPress) {
    keyboard kb;
    std::map<uint16_t, int> owner;
    for (int c = 0; c < 128; ++c) {
        const uint16_t entry = kb.mapAutorunKeyToCpcKey(static_cast<uint8_t>(c));
        if (!entry) continue;
        auto [it, fresh] = owner.emplace(entry, c);
        EXPECT_TRUE(fresh) << "characters " << it->second << " and " << c << " type the same";
    }
}

// The firmware's own key translation tables decide what a press gives; the
// autorun table must type each character as the UK firmware reads it.
TEST(AutorunTable, TypesWhatTheUkFirmwareReads) {
    SKIP_WITHOUT_SHARED_ROMS();
    const std::vector<uint8_t> os = fileBytes(test_support::sharedOsRom("6128"));
    ASSERT_EQ(os.size(), 16384u);
    // The normal table starts with cursor up, right, down, f9, f6, f3, ENTER, f.; the shifted one follows.
    const uint8_t start[] = {0xF0, 0xF3, 0xF1, 0x89, 0x86, 0x83, 0x8B, 0x8A};
    size_t at = 0;
    while (at + 160 <= os.size() && !std::equal(start, start + 8, os.begin() + at)) ++at;
    ASSERT_LE(at + 160, os.size()) << "no key translation table in the ROM";
    const uint8_t* normal = &os[at];
    const uint8_t* shifted = &os[at + 80];

    keyboard kb;
    for (int c = 0; c < 128; ++c) {
        const uint16_t entry = kb.mapAutorunKeyToCpcKey(static_cast<uint8_t>(c));
        const uint8_t code = entry & 0xFF;
        if (!code || (c < 0x20 && c != '\r')) continue;
        const int firmwareKey = (code >> 4) * 8 + (code & 7);
        ASSERT_LT(firmwareKey, 80);
        uint8_t gives = (entry & 0x100) ? shifted[firmwareKey] : normal[firmwareKey];
        // Keypad keys give the function-key tokens, which expand to digits and RETURN by default.
        if (gives >= 0x80 && gives <= 0x89) gives = static_cast<uint8_t>('0' + gives - 0x80);
        if (gives == 0x8B) gives = '\r';
        EXPECT_EQ(gives, c) << "character " << c << " ('" << char(c) << "') typed as key " << std::hex << entry;
    }
}

}  // namespace
