// Snapshot files built byte by byte for the loader tests.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "support/temp_home.h"

namespace sna_test {

// A 256-byte header: identifier, version, memory dump size in KB, machine type.
inline std::vector<uint8_t> header(uint8_t version, uint16_t dumpKB, uint8_t type, const char* id = "MV - SNA") {
    std::vector<uint8_t> h(256, 0);
    std::memcpy(h.data(), id, 8);
    h[0x10] = version;
    h[0x6B] = static_cast<uint8_t>(dumpKB);
    h[0x6C] = static_cast<uint8_t>(dumpKB >> 8);
    h[0x6D] = type;
    h[0x40] = 0x89;  // mode 1, both ROMs off
    return h;
}

// Appends a chunk: identifier, 32-bit little-endian length (the data's unless given), data.
inline void chunk(std::vector<uint8_t>& file, const char* id, const std::vector<uint8_t>& data,
                  int64_t claimed = -1) {
    const uint32_t length = static_cast<uint32_t>(claimed < 0 ? static_cast<int64_t>(data.size()) : claimed);
    file.insert(file.end(), id, id + 4);
    for (int i = 0; i < 4; ++i) file.push_back(static_cast<uint8_t>(length >> (8 * i)));
    file.insert(file.end(), data.begin(), data.end());
}

inline std::string text(const std::vector<uint8_t>& data) { return std::string(data.begin(), data.end()); }

// An SNR file from a snapshot with a memory dump: "RW - SNR", no dump, the
// memory as raw MEM chunks, then the keyboard (nothing pressed) and `stream`.
inline std::vector<uint8_t> snrFromSnapshot(const std::vector<uint8_t>& sna, const std::vector<uint8_t>& stream) {
    std::vector<uint8_t> file(sna.begin(), sna.begin() + 256);
    std::memcpy(file.data(), "RW - SNR", 8);
    file[0x6B] = file[0x6C] = 0;
    const size_t groups = (sna.size() - 256) / 65536;
    for (size_t g = 0; g < groups; ++g) {
        std::vector<uint8_t> mem(sna.begin() + 256 + g * 65536, sna.begin() + 256 + (g + 1) * 65536);
        char id[5] = {'M', 'E', 'M', static_cast<char>('0' + g), 0};
        chunk(file, id, mem);
    }
    std::vector<uint8_t> snr(82 + stream.size(), 0);
    std::memset(snr.data(), 0xFF, 10);
    if (!stream.empty()) std::memcpy(snr.data() + 82, stream.data(), stream.size());
    chunk(file, "SNR ", snr);
    return file;
}

}  // namespace sna_test
