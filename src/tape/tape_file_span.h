// Bounds for the tape loaders: no length read from an image reaches past
// the end of the open file.
#pragma once
#include <cstdint>

#include "machine/file_reader.h"

inline int64_t tapeFileRemaining(int64_t length) {
    int64_t left = length - filepos_idx;
    return left > 0 ? left : 0;
}

inline int64_t tapeClampToFile(int64_t n, int64_t length) {
    int64_t left = tapeFileRemaining(length);
    return n < left ? n : left;
}

// Skips n bytes, never past the end of the file.
inline void tapeSkip(int64_t n, int64_t length) {
    n = tapeClampToFile(n, length);
    if (n > 0) SDL_ForwadFile(n);
}

inline uint32_t readU24lh() {
    uint32_t lo = readU16lh();
    return lo | (uint32_t(readU8()) << 16);
}
