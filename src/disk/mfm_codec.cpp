#include "disk/mfm_codec.h"

uint16_t mfmencode[256];
uint8_t mfmdecode[65536];
uint16_t crc_table[256];

namespace {
bool tablesBuilt = false;
}

void MakeMFMEnDecodeTable() {
    if (tablesBuilt) return;
    for (int byte = 0; byte < 256; ++byte) {
        uint16_t word = 0;
        int previous = 0;
        for (int bit = 7; bit >= 0; --bit) {
            int data = (byte >> bit) & 1;
            int clock = (previous == 0 && data == 0) ? 1 : 0;
            word = static_cast<uint16_t>((word << 2) | (clock << 1) | data);
            previous = data;
        }
        mfmencode[byte] = word;
    }
    for (uint32_t word = 0; word < 65536; ++word) {
        uint8_t byte = 0;
        for (int bit = 7; bit >= 0; --bit) byte = static_cast<uint8_t>((byte << 1) | ((word >> (2 * bit)) & 1));
        mfmdecode[word] = byte;
    }
    for (int i = 0; i < 256; ++i) {
        uint16_t crc = static_cast<uint16_t>(i << 8);
        for (int k = 0; k < 8; ++k) crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
        crc_table[i] = crc;
    }
    tablesBuilt = true;
}
