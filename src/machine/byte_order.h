// Little-endian fields of the file formats, read from and written to memory.
#pragma once
#include <cstdint>

inline uint16_t readLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t readLe32(const uint8_t* p) { return readLe16(p) | static_cast<uint32_t>(readLe16(p + 2)) << 16; }
inline void writeLe16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void writeLe32(uint8_t* p, uint32_t v) {
    writeLe16(p, v);
    writeLe16(p + 2, v >> 16);
}
