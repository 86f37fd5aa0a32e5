// Byte <-> MFM cell conversion and the CRC-16-CCITT of the disk formats.
#pragma once
#include <cstdint>

// Raw MFM words the controller and the loaders recognise or write.
constexpr uint16_t kMfmSyncA1 = 0x4489;       // A1 with a missing clock
constexpr uint16_t kMfmIndexSyncC2 = 0x5224;  // C2 with a missing clock
constexpr uint16_t kMfmZero = 0xAAAA;         // 00
constexpr uint16_t kMfmGap4E = 0x9254;        // 4E
constexpr uint16_t kMfmIdMark = 0x5554;       // FE
constexpr uint16_t kMfmDataMark = 0x5545;     // FB
constexpr uint16_t kMfmDeletedMark = 0x554A;  // F8
constexpr uint16_t kMfmIndexMark = 0x5552;    // FC
constexpr uint16_t kMfmFillerE5 = 0x5491;     // E5, what a blank buffer holds
constexpr uint16_t kMfmBadCrc = 0x5555;       // written in place of a CRC byte to spoil it

// Byte to its 16 cells, most significant cell first, assuming a 0 data bit before it.
extern uint16_t mfmencode[256];
// Any 16-cell word to the byte of its data cells, whatever the clock cells hold.
extern uint8_t mfmdecode[65536];
extern uint16_t crc_table[256];

// Builds the three tables; cheap to call again.
void MakeMFMEnDecodeTable();

inline uint16_t crcUpdate(uint16_t crc, uint8_t byte) {
    return static_cast<uint16_t>((crc << 8) ^ crc_table[((crc >> 8) ^ byte) & 0xFF]);
}

// Sector size in bytes for a size code N.
inline uint32_t sectorSizeFromN(uint8_t n) { return n <= 8 ? 128u << n : 32768u; }
