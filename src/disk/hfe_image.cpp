#include "disk/hfe_image.h"

#include <SDL.h>

#include <algorithm>
#include <memory>

#include "disk/floppy_drive.h"
#include "disk/mfm_codec.h"
#include "disk/track_info.h"
#include "machine/file_reader.h"

namespace {

constexpr int kMinimumTracks = 42;
constexpr int64_t kBlockSize = 512;
constexpr uint32_t kSideHalf = 256;

struct TrackEntry {
    uint16_t block;
    uint16_t length;
};

bool refuse(const char* why, int track = -1) {
    if (track >= 0) return refuseFile("fileHFE", "track %d: %s, image refused", track, why);
    return refuseFile("fileHFE", "%s, image refused", why);
}

// Gathers one side's `perSide` bytes of a track from its interleaved blocks.
bool readTrackSides(int64_t start, uint32_t perSide, int sides, uint8_t* side0, uint8_t* side1) {
    uint32_t blocks = (perSide + kSideHalf - 1) / kSideHalf;
    for (uint32_t b = 0; b < blocks; ++b) {
        uint32_t count = std::min(perSide - b * kSideHalf, kSideHalf);
        SDL_RewindFile(start + int64_t(b) * kBlockSize);
        if (!readExact(side0 + b * kSideHalf, count)) return false;
        if (sides == 2) {
            SDL_RewindFile(start + int64_t(b) * kBlockSize + kSideHalf);
            if (!readExact(side1 + b * kSideHalf, count)) return false;
        }
    }
    return true;
}

void bytesToWords(const uint8_t* bytes, uint32_t count, uint16_t* words) {
    uint32_t pairs = count / 2;
    for (uint32_t j = 0; j < pairs; ++j)
        words[j] = static_cast<uint16_t>((transformHFEtoMFM(bytes[2 * j]) << 8) | transformHFEtoMFM(bytes[2 * j + 1]));
    // An odd final byte is kept in the buffer, past the length the drive plays.
    if (count & 1) words[pairs] = static_cast<uint16_t>(transformHFEtoMFM(bytes[count - 1]) << 8);
}

// Every track's data must lie inside the file before anything is built.
bool readTrackList(TrackEntry* list, int tracksInImage, int sides, int64_t listAt) {
    if (!fileHasRange(listAt, int64_t(tracksInImage) * 4)) return refuse("track list lies outside the file");
    SDL_RewindFile(listAt);
    for (int t = 0; t < tracksInImage; ++t) {
        list[t].block = readU16lh();
        list[t].length = readU16lh();
    }
    for (int t = 0; t < tracksInImage; ++t) {
        uint32_t perSide = list[t].length / 2u;
        if (perSide && list[t].block == 0) return refuse("track data inside the header", t);
        uint32_t blocks = (perSide + kSideHalf - 1) / kSideHalf;
        uint32_t lastCount = perSide - (blocks ? (blocks - 1) * kSideHalf : 0);
        int64_t needed = blocks ? (int64_t(blocks) - 1) * kBlockSize + (sides == 2 ? kSideHalf : 0) + lastCount : 0;
        if (!fileHasRange(int64_t(list[t].block) * kBlockSize, needed))
            return refuse("track data runs past the end of the file", t);
    }
    return true;
}

bool loadTracks(const TrackEntry* list, trackInfo* info, uint16_t** buffers, int tracksInImage, int sides) {
    // A length field of 65535 gives 32767 bytes per side: 16384 words, inside the scratch buffer.
    std::unique_ptr<uint8_t[]> side0(new uint8_t[32768]);
    std::unique_ptr<uint8_t[]> side1(new uint8_t[32768]);
    for (int t = 0; t < tracksInImage; ++t) {
        uint32_t perSide = list[t].length / 2u;
        if (!readTrackSides(int64_t(list[t].block) * kBlockSize, perSide, sides, side0.get(), side1.get()))
            return refuse("track data unreadable", t);
        int index = t * sides;
        for (int s = 0; s < sides; ++s) {
            bytesToWords(s ? side1.get() : side0.get(), perSide, buffers[index + s]);
            info[index + s].trackLength = static_cast<uint16_t>(perSide / 2);
            info[index + s].lastWordNibbles = 0;
        }
    }
    return true;
}

}  // namespace

uint8_t transformHFEtoMFM(uint8_t byte) {
    uint8_t mirrored = 0;
    for (int bit = 0; bit < 8; ++bit)
        if (byte & (1u << bit)) mirrored = static_cast<uint8_t>(mirrored | (0x80u >> bit));
    return mirrored;
}

int fileHFE(floppyDrive* drive) {
    MakeMFMEnDecodeTable();
    SDL_RewindFile(0);
    if (!headerIdCheck("HXCPICFE")) {
        return refuseFile("fileHFE", cPCFileLength ? "not an HFE image" : "empty file, not an HFE image");
    }
    uint8_t revision = readU8();
    int tracksInImage = readU8();
    int sides = readU8();
    SDL_RewindFile(0x12);
    uint16_t listBlock = readU16lh();
    SDL_Log("HFE : HXCPICFE - Revision %d - Nb of track-Side = %d-%d - ", revision, tracksInImage, sides);
    if (!fileHasRange(0, 0x14)) return refuse("header cut short");
    if (!drive) return 0;
    if (sides < 1 || sides > 2) return refuse("the number of sides is neither 1 nor 2");
    if (tracksInImage == 0) return refuse("no tracks");
    std::unique_ptr<TrackEntry[]> list(new TrackEntry[tracksInImage]);
    if (!readTrackList(list.get(), tracksInImage, sides, int64_t(listBlock) * kBlockSize)) return 0;
    int tracks = std::max(tracksInImage, kMinimumTracks);
    trackInfo* info = init_track_information_bloc(tracks, sides);
    uint16_t** buffers = init_track_MFM(tracks, sides);
    if (!loadTracks(list.get(), info, buffers, tracksInImage, sides)) {
        destroy_track_IBMFM(info, buffers, tracks, sides);
        return 0;
    }
    drive->attach_disk(info, buffers, tracks, sides == 2 ? 1 : 0, 1);
    return 1;
}
