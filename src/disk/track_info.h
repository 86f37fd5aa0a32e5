// What the image loaders know of each track besides its MFM words: the
// layout it was built from and the sector records with their status bytes.
#pragma once
#include <cstdint>

struct sectorRecord {
    uint8_t C = 0, H = 0, R = 0, N = 0;
    uint8_t ST1 = 0, ST2 = 0;
    uint16_t dataLength = 0;  // bytes stored in the image for this sector
    uint8_t weak = 0;         // stored as three differing copies
    uint8_t spare = 0;
};

struct trackInfo {
    uint8_t cylinder = 0;
    uint8_t side = 0;
    uint8_t sectorSizeCode = 0;
    uint8_t sectorCount = 0;
    uint8_t gap3Length = 78;
    uint8_t fillerByte = 0xE5;
    uint8_t reserved[2] = {};
    sectorRecord* sectors = nullptr;  // sectorCount records, owned
    uint16_t trackLength = 6350;      // in MFM words
    uint8_t reserved2[2] = {};
    uint32_t lastWordNibbles = 0;     // low two bits: cells of the final word / 4, 0 = whole
};

constexpr uint16_t kDefaultTrackLength = 6350;
// A loader's scratch buffer per track, in words.
constexpr uint32_t kTrackScratchWords = 65536;

trackInfo* init_track_information_bloc(int tracks, int sides);
uint16_t** init_track_MFM(int tracks, int sides);
void destroy_track_IBMFM(trackInfo* info, uint16_t** buffers, int tracks, int sides);
// A two-sided layout (index = track x 2 + side) without any side-1 data
// becomes single-sided: the side-1 records and buffers are freed and the
// side-0 ones moved to consecutive indexes. The arrays keep their size.
void foldToSingleSide(trackInfo* info, uint16_t** buffers, int tracks);
