// The CPC key matrix, the host scancode table and the character table that
// autorun typing uses. A key code is line * 16 + bit.
#pragma once
#include <cstdint>

constexpr uint8_t kCpcKeyShift = 0x25;
constexpr uint8_t kCpcNoKey = 0xFF;
// Codes at or above this fall outside the ten wired lines and press nothing.
constexpr uint8_t kCpcKeyCodeLimit = 0xA0;

class keyboard {
public:
    uint8_t matrix[16];            // a bit is 0 while its key is down
    uint8_t selectedLine;          // chosen through PPI port C
    uint8_t hostKeyMap[256];       // SDL scancode -> key code, FFh none
    uint16_t autorunKeyMap[256];   // character -> key code, high byte 1 = with SHIFT

    keyboard() { reset(); }

    void reset();
    void select_line(uint8_t line) { selectedLine = line & 15; }
    // Several sources share one bit per key: the first release frees it.
    void key_down(uint8_t code) {
        if (code >= kCpcKeyCodeLimit) return;
        matrix[code >> 4] &= static_cast<uint8_t>(~(1u << (code & 7)));
    }
    void key_up(uint8_t code) {
        if (code >= kCpcKeyCodeLimit) return;
        matrix[code >> 4] |= static_cast<uint8_t>(1u << (code & 7));
    }
    uint8_t selectedLineBits() const { return matrix[selectedLine & 15]; }
    uint8_t mapDomKeyToCpcKey(int scancode) const {
        return (scancode >= 0 && scancode < 256) ? hostKeyMap[scancode] : kCpcNoKey;
    }
    uint16_t mapAutorunKeyToCpcKey(uint8_t character) const { return autorunKeyMap[character]; }
    // Cursor keys, Shift and Ctrl become joystick 0 (Right Alt is fire 3 either way).
    void mapJoystick(bool on);
};
