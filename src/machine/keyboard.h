// Placeholder key matrix until its issue lands.
#pragma once
#include <cstdint>

class keyboard {
public:
    uint8_t matrix[16] = {};
    void reset() {
        for (auto& line : matrix) line = 0xFF;
    }
    void key_down(uint8_t code) { matrix[(code >> 4) & 15] &= static_cast<uint8_t>(~(1u << (code & 7))); }
    void key_up(uint8_t code) { matrix[(code >> 4) & 15] |= static_cast<uint8_t>(1u << (code & 7)); }
};
