#include "disk/dsk_image.h"

#include <SDL.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "disk/floppy_drive.h"
#include "disk/hfe_image.h"
#include "disk/ipf_image.h"
#include "disk/raw_image.h"
#include "disk/mfm_codec.h"
#include "disk/track_info.h"
#include "machine/file_reader.h"
#include "machine/frontend_hooks.h"

namespace {

constexpr int kMinimumTracks = 42;
constexpr uint32_t kFinalGapMinimum = 100;
constexpr uint32_t kPaddingLimit = 6656;  // what one turn of a real track holds

// Appends words to a track's scratch buffer; words beyond it are counted but dropped.
struct TrackWriter {
    uint16_t* words;
    uint32_t count = 0;
    void put(uint16_t word) {
        if (count < kTrackScratchWords) words[count] = word;
        ++count;
    }
    void repeat(uint16_t word, uint32_t n) {
        for (uint32_t i = 0; i < n; ++i) put(word);
    }
    void byte(uint8_t value) { put(mfmencode[value]); }
    uint16_t at(uint32_t i) const { return i < kTrackScratchWords ? words[i] : 0; }
};

struct SectorHeader {
    uint8_t C, H, R, N, ST1, ST2;
    uint16_t stored;
};

void putCrc(TrackWriter& track, uint16_t crc, bool spoil) {
    if (spoil) {
        // The spoilt pattern must not happen to be the right CRC.
        if (crc == 0xFFFF) {
            track.byte(0xFF);
            track.byte(0xFE);
        } else {
            track.repeat(kMfmBadCrc, 2);
        }
        return;
    }
    track.byte(static_cast<uint8_t>(crc >> 8));
    track.byte(static_cast<uint8_t>(crc & 0xFF));
}

uint16_t crcOfMark(uint8_t mark) {
    uint16_t crc = 0xFFFF;
    for (int i = 0; i < 3; ++i) crc = crcUpdate(crc, 0xA1);
    return crcUpdate(crc, mark);
}

// Stored data running on past the sector: the part from a sync area near its
// end on belongs to what follows on the real track, which is written anew.
bool blankRunOnSyncArea(TrackWriter& track, uint32_t dataStart, uint32_t dataEnd) {
    int64_t searchFrom = dataEnd > dataStart + 128 ? int64_t(dataEnd) - 128 : int64_t(dataStart);
    for (int64_t start = int64_t(dataEnd) - 12; start >= searchFrom; --start) {
        bool run = true;
        for (uint32_t k = 0; k < 12 && run; ++k) run = track.at(static_cast<uint32_t>(start) + k) == kMfmZero;
        if (!run) continue;
        for (uint32_t k = static_cast<uint32_t>(start); k < dataEnd && k < kTrackScratchWords; ++k)
            track.words[k] = kMfmFillerE5;
        return true;
    }
    return false;
}

// Where an Extended DSK track holds a second copy of its own start (a sector
// read across the index), the track ends before that copy.
void cutSecondTrackStart(TrackWriter& track) {
    uint32_t length = std::min(track.count, kTrackScratchWords);
    for (uint32_t p = 160; p + 78 <= length; ++p) {
        int matches = 0;
        for (uint32_t k = 0; k < 12 && mfmdecode[track.words[p + k]] == 0x00; ++k) ++matches;
        if (matches < 12) continue;
        for (uint32_t k = 0; k < 66 && mfmdecode[track.words[p + 12 + k]] == mfmdecode[track.words[92 + k]]; ++k)
            ++matches;
        if (matches < 78) continue;
        uint32_t end = p;
        while (end > p - 80 && mfmdecode[track.words[end - 1]] == 0x4E) --end;
        track.count = end;
        return;
    }
}

// Builds one track's MFM words from its block; reads the sector data from the file.
void buildTrack(TrackWriter& track, trackInfo& info, const SectorHeader* headers, bool extended, uint8_t* data) {
    track.repeat(kMfmGap4E, 80);
    track.repeat(kMfmZero, 12);
    track.repeat(kMfmIndexSyncC2, 3);
    track.put(kMfmIndexMark);
    track.repeat(kMfmGap4E, 50);

    // Room left on a real track for sectors stored shorter than their size.
    uint32_t planned = 146;
    for (int s = 0; s < info.sectorCount; ++s) {
        uint32_t size = sectorSizeFromN(headers[s].N);
        bool weak = extended && headers[s].stored == 3 * size;
        planned += 62 + (weak ? size : headers[s].stored) + info.gap3Length;
    }
    uint32_t paddingLeft = planned < kPaddingLimit ? kPaddingLimit - planned : 0;

    uint32_t target = kDefaultTrackLength;
    for (int s = 0; s < info.sectorCount; ++s) {
        const SectorHeader& h = headers[s];
        sectorRecord& record = info.sectors[s];
        record.C = h.C;
        record.H = h.H;
        record.R = h.R;
        record.N = h.N;
        record.ST1 = h.ST1;
        record.ST2 = h.ST2;
        record.dataLength = h.stored;
        uint32_t size = sectorSizeFromN(h.N);
        readBlock(data, h.stored);

        track.repeat(kMfmZero, 12);
        track.repeat(kMfmSyncA1, 3);
        bool noIdMark = (h.ST1 & 0x01) && !(h.ST2 & 0x01);
        uint8_t idMark = noIdMark ? 0x00 : 0xFE;
        track.put(noIdMark ? kMfmZero : kMfmIdMark);
        uint16_t crc = crcOfMark(idMark);
        for (uint8_t b : {h.C, h.H, h.R, h.N}) {
            track.byte(b);
            crc = crcUpdate(crc, b);
        }
        putCrc(track, crc, (h.ST1 & 0x20) && !(h.ST2 & 0x20));
        track.repeat(kMfmGap4E, 22);
        track.repeat(kMfmZero, 12);
        track.repeat(kMfmSyncA1, 3);
        uint8_t dataMark = (h.ST2 & 0x01) ? 0x00 : (h.ST2 & 0x40) ? 0xF8 : 0xFB;
        track.put(dataMark == 0x00 ? kMfmZero : dataMark == 0xF8 ? kMfmDeletedMark : kMfmDataMark);
        crc = crcOfMark(dataMark);

        uint32_t stored = h.stored;
        bool weak = extended && stored == 3 * size;
        bool runsOn = extended && stored > size && !weak;
        uint32_t dataStart = track.count;
        for (uint32_t i = 0; i < stored; ++i) {
            track.byte(data[i]);
            // A weak sector's CRC belongs to one copy of its data.
            if (!weak || i < size) crc = crcUpdate(crc, data[i]);
        }
        if (stored < size && paddingLeft) {
            uint32_t pad = std::min(size - stored, paddingLeft);
            paddingLeft -= pad;
            for (uint32_t i = 0; i < pad; ++i) {
                track.byte(info.fillerByte);
                crc = crcUpdate(crc, info.fillerByte);
            }
        }
        if (weak) {
            record.weak = 1;
            target += stored - size;
        }
        bool spoilData = (h.ST1 & 0x20) && (h.ST2 & 0x20);
        if (runsOn) {
            if (blankRunOnSyncArea(track, dataStart, track.count)) record.dataLength = static_cast<uint16_t>(stored - 12);
            if (stored % 128) continue;  // the stored bytes stand in for the CRC and gap
        }
        putCrc(track, crc, spoilData);
        track.repeat(kMfmGap4E, info.gap3Length);
    }
    track.repeat(kMfmGap4E, kFinalGapMinimum);
    if (!extended) target = kDefaultTrackLength;
    while (track.count < target) track.put(kMfmGap4E);
    if (extended) cutSecondTrackStart(track);
}

// Adds " T" (or " T.S" on two sides) for table entry i to the list of damaged tracks.
void noteDamagedTrack(char* list, size_t size, int entry, int sides) {
    size_t used = std::strlen(list);
    if (used + 12 >= size) return;
    if (sides == 2) {
        std::snprintf(list + used, size - used, " %d.%d", entry / 2, entry % 2);
    } else {
        std::snprintf(list + used, size - used, " %d", entry);
    }
}

// The tracks from table entry `first` to the last one are absent from a cut file.
void noteMissingTracks(char* list, size_t size, int first, int slots, int sides) {
    noteDamagedTrack(list, size, first, sides);
    if (slots - 1 <= first) return;
    size_t used = std::strlen(list);
    if (used + 6 < size) std::snprintf(list + used, size - used, " to");
    noteDamagedTrack(list, size, slots - 1, sides);
}

}  // namespace

void fileDSKSkipUnused() {
    int64_t next = (filepos_idx + 255) & ~int64_t(255);
    if (next != filepos_idx) SDL_RewindFile(next);
}

int fileDSK(floppyDrive* drive) {
    MakeMFMEnDecodeTable();
    SDL_RewindFile(0);
    bool extended = false;
    if (!headerIdCheck("MV - CPC")) {
        SDL_RewindFile(0);
        if (!headerIdCheck("EXTENDED CPC DSK File")) {
            return refuseFile("fileDSK", cPCFileLength ? "not a DSK image" : "empty file, not a DSK image");
        }
        extended = true;
    }
    if (!drive) return 0;
    char creator[15] = {};
    SDL_RewindFile(0x22);
    for (int i = 0; i < 14; ++i) creator[i] = static_cast<char>(readU8());
    SDL_RewindFile(0x30);
    int tracksInImage = readU8();
    int sides = readU8();
    if (sides < 1 || sides > 2) {
        return refuseFile("fileDSK", "%d sides is not a disk", sides);
    }
    SDL_Log("fileDSK: %s image by '%s', %d tracks, %d side(s)", extended ? "extended" : "standard", creator,
            tracksInImage, sides);
    int tracks = std::max(tracksInImage, kMinimumTracks);
    int slotsAllocated = tracks * sides;
    trackInfo* info = init_track_information_bloc(tracks, sides);
    uint16_t** buffers = init_track_MFM(tracks, sides);
    std::unique_ptr<uint8_t[]> data(new uint8_t[65536]);
    SectorHeader headers[256];

    int slots = tracksInImage * sides;
    // The Extended header's track-size table (in 256-byte units) places every
    // block, so a damaged one hides nothing after it; without a table the
    // blocks are taken in sequence.
    uint8_t sizeTable[256 - 0x34] = {};
    bool tablePlaced = false;
    if (extended) {
        SDL_RewindFile(0x34);
        for (int i = 0; i < slots && i < int(sizeof sizeTable); ++i) {
            sizeTable[i] = readU8();
            tablePlaced |= sizeTable[i] != 0;
        }
    }
    // A standard image's blocks come one per track in order, a block's place
    // being its track whatever it says; past a damaged one the header's track
    // size finds the next.
    SDL_RewindFile(0x32);
    const uint16_t standardSize = extended ? 0 : readU16lh();
    const bool reported = tablePlaced || !extended;
    int64_t tableOffset = 0x100;
    int tracksBuilt = 0;
    char damaged[160] = {};
    SDL_RewindFile(0x100);
    int blocksLeft = 2 * slotsAllocated + 16;  // bounds the work a hostile file can ask for
    for (int i = 0; i < slots && blocksLeft > 0; ++i) {
        int64_t blockEnd = INT64_MAX;
        if (tablePlaced) {
            if (i >= int(sizeof sizeTable)) break;
            SDL_RewindFile(tableOffset);
            blockEnd = tableOffset + int64_t(sizeTable[i]) * 256;
            tableOffset = blockEnd;
            if (blockEnd == filepos_idx) continue;  // unformatted track, absent from the file
        }
        fileDSKSkipUnused();
        int64_t blockStart = filepos_idx;
        if (blockStart >= cPCFileLength) {
            // A standard header with nothing after it is a blank disk, not a cut one.
            if (reported && (extended || i > 0)) noteMissingTracks(damaged, sizeof damaged, i, slots, sides);
            break;
        }
        if (!headerIdCheck("Track-Info")) {
            if (reported) noteDamagedTrack(damaged, sizeof damaged, i, sides);
            SDL_RewindFile(standardSize >= 256 ? blockStart + standardSize : blockStart);
            continue;
        }
        --blocksLeft;
        SDL_RewindFile(blockStart + 0x10);
        uint8_t trackNumber = readU8();
        uint8_t side = readU8();
        SDL_RewindFile(blockStart + 0x14);
        uint8_t sizeCode = readU8();
        uint8_t sectorCount = readU8();
        uint8_t gap3 = readU8();
        uint8_t filler = readU8();
        uint32_t dataTotal = 0;
        for (int s = 0; s < sectorCount; ++s) {
            SectorHeader& h = headers[s];
            h.C = readU8();
            h.H = readU8();
            h.R = readU8();
            h.N = readU8();
            h.ST1 = readU8();
            h.ST2 = readU8();
            uint16_t length = readU16lh();
            h.stored = extended ? length : static_cast<uint16_t>(128u << (h.N <= 8 ? h.N : 9));
            dataTotal += h.stored;
        }
        fileDSKSkipUnused();
        // Sector data never runs into the next block or past the end of the file: lengths beyond are damage.
        int64_t dataEnd = std::min(tablePlaced ? blockEnd : INT64_MAX, cPCFileLength);
        if (filepos_idx + int64_t(dataTotal) > dataEnd) {
            int64_t room = dataEnd > filepos_idx ? dataEnd - filepos_idx : 0;
            dataTotal = 0;
            for (int s = 0; s < sectorCount; ++s) {
                SectorHeader& h = headers[s];
                if (h.stored > room) h.stored = static_cast<uint16_t>(room);
                room -= h.stored;
                dataTotal += h.stored;
            }
            noteDamagedTrack(damaged, sizeof damaged, i, sides);
        }
        int slot = i;
        if (extended) slot = sides == 1 ? trackNumber : ((i & 1) == 0 ? 2 * trackNumber : i);
        if (slot >= slotsAllocated) {
            SDL_Log("fileDSK: track %d lies beyond the disk, skipped", trackNumber);
            SDL_ForwadFile(dataTotal);
            continue;
        }
        trackInfo& t = info[slot];
        delete[] t.sectors;
        t.sectors = sectorCount ? new sectorRecord[sectorCount] : nullptr;
        t.cylinder = static_cast<uint8_t>(slot >> (sides - 1));
        t.side = side;
        t.sectorSizeCode = sizeCode;
        t.sectorCount = sectorCount;
        t.gap3Length = gap3;
        t.fillerByte = filler;
        // Nothing past the words written is ever read: a slot built twice needs no clearing.
        TrackWriter writer{buffers[slot]};
        buildTrack(writer, t, headers, extended, data.get());
        uint32_t length = std::min<uint32_t>(writer.count, kMaxTrackLength);
        t.trackLength = static_cast<uint16_t>(length);
        t.lastWordNibbles = 0;
        ++tracksBuilt;
        if (!tablePlaced) i = slot;
    }
    if (damaged[0]) {
        SDL_Log("fileDSK: damaged track blocks:%s", damaged);
        textShowOSD("\366 Damaged tracks:%s \367", damaged);
    } else if (tracksBuilt == 0) {
        SDL_Log("fileDSK: the image holds no track data, the disk is blank");
        textShowOSD("\366 The image holds no tracks: blank disk ! \367");
    }
    drive->attach_disk(info, buffers, tracks, sides == 2 ? 1 : 0, 1);
    return 1;
}

bool writeDiskTrackDump(floppyDrive* drive, const char* path) {
    if (!drive || !drive->trackBuffers || !path) return false;
    SDL_RWops* out = SDL_RWFromFile(path, "w");
    if (!out) {
        SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "save_dsk: cannot create %s", path);
        textShowOSD(" Error writing RAW file ! ");
        return false;
    }
    bool allWritten = true;
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[uint32_t(kMaxTrackLength) * kRevolutionsPerTrack]);
    for (int i = 0; i < drive->trackCount; ++i) {
        uint32_t length = drive->trackLengths[i].length;
        if (!length) continue;
        uint32_t total = length * kRevolutionsPerTrack;
        for (uint32_t k = 0; k < total; ++k) bytes[k] = mfmdecode[drive->trackBuffers[i][k]];
        size_t written = SDL_RWwrite(out, bytes.get(), 1, total);
        if (written == total) {
            textShowOSD(" Writing RAW file ok ! ");
        } else {
            textShowOSD(" Error writing RAW file ! ");
            allWritten = false;
        }
    }
    SDL_RWclose(out);
    return allWritten;
}

int readDiskImage(floppyDrive* drive, char kind) {
    switch (kind) {
        case 'd': return fileDSK(drive);
        case 'h': return fileHFE(drive);
        case 'i': return fileIPF(drive);
        case 'r': return fileRAW(drive);
        default:
            SDL_Log("readDiskImage: no reader for disk images of kind '%c'", kind);
            return 0;
    }
}
