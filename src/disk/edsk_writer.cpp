#include "disk/edsk_writer.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "disk/floppy_drive.h"
#include "disk/mfm_codec.h"
#include "machine/byte_order.h"

namespace {

constexpr uint64_t kNone = UINT64_MAX;
constexpr uint32_t kCellsPerWord = 16;
// Larger sectors are stored cut: one turn of a track holds about 6250 bytes,
// and a track built from the image may not grow beyond what the drive keeps.
constexpr uint32_t kMaxStoredSector = 8192;
constexpr int kMaxTableEntries = 204;  // track-size bytes that fit the 256-byte disk header
constexpr size_t kMaxTrackBlock = 255 * 256;
constexpr size_t kMaxSectorsPerTrack = 255;

// The state of a CRC register fed `count` zero bytes, as a matrix over
// GF(2) per power of two: a field's CRC then costs the same whatever its length.
class ZeroBytes {
public:
    ZeroBytes() {
        for (int bit = 0; bit < 16; ++bit) powers[0][bit] = crcUpdate(static_cast<uint16_t>(1u << bit), 0);
        for (int j = 1; j < kPowers; ++j)
            for (int bit = 0; bit < 16; ++bit) powers[j][bit] = apply(powers[j - 1], powers[j - 1][bit]);
    }
    uint16_t after(uint16_t state, uint32_t count) const {
        for (int j = 0; j < kPowers && count; ++j, count >>= 1)
            if (count & 1) state = apply(powers[j], state);
        return state;
    }

private:
    static constexpr int kPowers = 17;  // counts up to a sector of 32 KB and its CRC
    static uint16_t apply(const uint16_t (&m)[16], uint16_t v) {
        uint16_t out = 0;
        for (int bit = 0; bit < 16; ++bit)
            if (v & (1u << bit)) out ^= m[bit];
        return out;
    }
    uint16_t powers[kPowers][16] = {};
};

// One track's five revolutions as single cells, read at any cell offset the
// way the drive's shift register sees them: the cells are packed end to end,
// 16 to a word, so any offset's word is two look-ups.
class CellStream {
public:
    CellStream(const uint16_t* words, uint32_t length, uint8_t nibbles) {
        uint32_t lastCells = nibbles ? 4u * nibbles : kCellsPerWord;
        perRevolution = (length - 1) * kCellsPerWord + lastCells;
        total = uint64_t(perRevolution) * kRevolutionsPerTrack;
        packed.reserve(total / kCellsPerWord + 4);
        for (int copy = 0; copy < kRevolutionsPerTrack; ++copy) {
            for (uint32_t i = 0; i < length; ++i) {
                uint32_t count = i + 1 == length ? lastCells : kCellsPerWord;
                append(words[copy * length + i] & ((1u << count) - 1), count);
            }
        }
        // The stream starts again after its five revolutions: a word read across its end wraps round.
        for (int i = 0; i < 2; ++i) append(packed[static_cast<size_t>(i)], kCellsPerWord);
        append(0, kCellsPerWord);
    }
    uint8_t cell(uint64_t p) const {
        p %= total;
        return (packed[p / kCellsPerWord] >> (15 - p % kCellsPerWord)) & 1;
    }
    uint16_t word(uint64_t p) const {
        p %= total;
        uint32_t pair = (uint32_t(packed[p / kCellsPerWord]) << 16) | packed[p / kCellsPerWord + 1];
        return static_cast<uint16_t>(pair >> (kCellsPerWord - p % kCellsPerWord));
    }
    uint8_t byte(uint64_t p) const { return mfmdecode[word(p)]; }

    // The CRC register after `count` bytes from cell `at`, starting from `initial`.
    uint16_t crc(uint16_t initial, uint64_t at, uint32_t count) {
        if (count <= kShortField) {
            for (uint32_t i = 0; i < count; ++i) initial = crcUpdate(initial, byte(at + uint64_t(i) * kCellsPerWord));
            return initial;
        }
        // From registers fed from 0 along the field's cell phase: a register
        // is linear in its start and its bytes, so the run between two
        // offsets is the difference of two of them, the start carried
        // through as many zero bytes.
        std::vector<uint16_t>& prefix = prefixes[at % kCellsPerWord];
        uint64_t first = at / kCellsPerWord, last = first + count;
        if (prefix.empty()) prefix.push_back(0);
        while (prefix.size() <= last) {
            uint64_t j = prefix.size() - 1;
            prefix.push_back(crcUpdate(prefix[j], byte(at % kCellsPerWord + j * kCellsPerWord)));
        }
        static const ZeroBytes zeros;
        return static_cast<uint16_t>(prefix[last] ^ zeros.after(static_cast<uint16_t>(initial ^ prefix[first]), count));
    }

    // Hunts for three A1 sync words in a row from `from`, the mark word's
    // position after them, or kNone when none starts before `limit`.
    uint64_t findSync(uint64_t from, uint64_t limit) const {
        for (uint64_t p = from; p + 15 < limit; ++p) {
            if (word(p) != kMfmSyncA1) continue;
            if (word(p + 16) == kMfmSyncA1 && word(p + 32) == kMfmSyncA1) return p + 48;
        }
        return kNone;
    }

    uint32_t perRevolution = 0;

private:
    static constexpr uint32_t kShortField = 1024;
    void append(uint32_t bits, uint32_t count) {
        pending = (pending << count) | bits;
        pendingCells += count;
        if (pendingCells >= kCellsPerWord) {
            pendingCells -= kCellsPerWord;
            packed.push_back(static_cast<uint16_t>(pending >> pendingCells));
        }
    }
    uint64_t total = 0;
    std::vector<uint16_t> packed;
    uint64_t pending = 0;
    uint32_t pendingCells = 0;
    std::vector<uint16_t> prefixes[kCellsPerWord];
};

uint16_t crcAfterSync(uint8_t mark) {
    uint16_t crc = 0xFFFF;
    for (int i = 0; i < 3; ++i) crc = crcUpdate(crc, 0xA1);
    return crcUpdate(crc, mark);
}

struct IdField {
    uint64_t mark;  // cell position of the FE mark
    uint8_t C, H, R, N;
    bool crcError;
};

// Every ID field whose mark passes the head in the first revolution.
std::vector<IdField> findIdFields(const CellStream& s) {
    std::vector<IdField> ids;
    uint64_t from = 0;
    uint64_t limit = s.perRevolution + 64;
    for (;;) {
        uint64_t mark = s.findSync(from, limit);
        if (mark == kNone) break;
        if (s.byte(mark) != 0xFE) {
            from = mark + kCellsPerWord;
            continue;
        }
        IdField id{mark, s.byte(mark + 16), s.byte(mark + 32), s.byte(mark + 48), s.byte(mark + 64), false};
        uint16_t crc = crcAfterSync(0xFE);
        for (uint8_t b : {id.C, id.H, id.R, id.N}) crc = crcUpdate(crc, b);
        uint16_t stored = static_cast<uint16_t>((s.byte(mark + 80) << 8) | s.byte(mark + 96));
        id.crcError = crc != stored;
        // An ID read across the index belongs to the start of the track; the
        // marks come in order, so only the first few can be the same one.
        bool seen = false;
        if (mark >= s.perRevolution) {
            for (const IdField& other : ids) {
                if (other.mark > mark - s.perRevolution) break;
                seen |= other.mark == mark - s.perRevolution;
            }
        }
        if (!seen) ids.push_back(id);
        from = mark + 112;
    }
    std::stable_sort(ids.begin(), ids.end(), [&](const IdField& a, const IdField& b) {
        return a.mark % s.perRevolution < b.mark % s.perRevolution;
    });
    // A track block lists at most 255 sectors; the ones after them are never stored.
    if (ids.size() > kMaxSectorsPerTrack) ids.resize(kMaxSectorsPerTrack);
    return ids;
}

void readBytes(const CellStream& s, uint64_t at, uint32_t count, std::vector<uint8_t>& out) {
    for (uint32_t i = 0; i < count; ++i) out.push_back(s.byte(at + uint64_t(i) * kCellsPerWord));
}

uint8_t commonFiller(const foundTrack& track) {
    for (const foundSector& sector : track.sectors) {
        if (sector.data.empty() || sector.weak) continue;
        uint8_t first = sector.data[0];
        if (std::all_of(sector.data.begin(), sector.data.end(), [&](uint8_t b) { return b == first; })) return first;
    }
    return 0xE5;
}

// Appends one Track-Info block and returns its size in 256-byte units.
uint8_t appendTrackBlock(std::vector<uint8_t>& image, uint8_t cylinder, uint8_t side, const foundTrack& track) {
    size_t count = std::min(track.sectors.size(), kMaxSectorsPerTrack);
    // Drop sectors from the end until the block's size fits its table byte.
    for (;;) {
        size_t header = (0x18 + 8 * count + 255) & ~size_t(255);
        size_t data = 0;
        for (size_t i = 0; i < count; ++i) data += track.sectors[i].data.size();
        if (header + ((data + 255) & ~size_t(255)) <= kMaxTrackBlock) break;
        --count;
        SDL_Log("buildExtendedDSK: track %d side %d too long, sector %d left out", cylinder, side,
                static_cast<int>(count));
    }
    size_t start = image.size();
    size_t header = (0x18 + 8 * count + 255) & ~size_t(255);
    image.resize(start + header, 0);
    std::memcpy(&image[start], "Track-Info\r\n", 12);
    image[start + 0x10] = cylinder;
    image[start + 0x11] = side;
    image[start + 0x14] = track.sizeCode;
    image[start + 0x15] = static_cast<uint8_t>(count);
    image[start + 0x16] = track.gap3;
    image[start + 0x17] = track.filler;
    for (size_t i = 0; i < count; ++i) {
        const foundSector& sector = track.sectors[i];
        size_t at = start + 0x18 + 8 * i;
        image[at] = sector.C;
        image[at + 1] = sector.H;
        image[at + 2] = sector.R;
        image[at + 3] = sector.N;
        image[at + 4] = sector.ST1;
        image[at + 5] = sector.ST2;
        writeLe16(image.data() + at + 6, static_cast<uint16_t>(sector.data.size()));
    }
    for (size_t i = 0; i < count; ++i)
        image.insert(image.end(), track.sectors[i].data.begin(), track.sectors[i].data.end());
    image.resize(start + ((image.size() - start + 255) & ~size_t(255)), 0);
    return static_cast<uint8_t>((image.size() - start) / 256);
}

std::vector<uint8_t> diskHeader(int tracks, int sides) {
    std::vector<uint8_t> image(256, 0);
    std::memcpy(image.data(), "EXTENDED CPC DSK File\r\nDisk-Info\r\n", 34);
    std::memcpy(&image[0x22], "Kestrix", 7);
    image[0x30] = static_cast<uint8_t>(tracks);
    image[0x31] = static_cast<uint8_t>(sides);
    return image;
}

// Turned over in the drive, a double-sided disk keeps its sides swapped in the buffers: the buffer of track
// `index`, or -1 when it holds no formatted track.
int sourceTrack(const floppyDrive& drive, int index) {
    int source = drive.sideFlipped && drive.doubleSided ? index ^ 1 : index;
    if (!drive.trackBuffers || source < 0 || source >= drive.trackCount) return -1;
    if (!drive.trackLengths[source].length || !drive.trackBuffers[source]) return -1;
    return source;
}

foundTrack readTrack(const uint16_t* words, uint32_t length, uint8_t lastWordNibbles) {
    foundTrack track;
    MakeMFMEnDecodeTable();
    CellStream s(words, length, lastWordNibbles);
    std::vector<IdField> ids = findIdFields(s);
    track.formatted = !ids.empty();
    if (!track.formatted) return track;
    track.sizeCode = ids[0].N;
    bool gapFound = false;
    for (size_t i = 0; i < ids.size(); ++i) {
        const IdField& id = ids[i];
        foundSector sector;
        sector.C = id.C;
        sector.H = id.H;
        sector.R = id.R;
        sector.N = id.N;
        if (id.crcError) sector.ST1 |= 0x20;
        // The next ID field along the track, a turn later for the last one.
        uint64_t nextSync = kNone;
        if (ids.size() > 1) {
            const IdField& next = ids[(i + 1) % ids.size()];
            uint64_t nextMark = next.mark % s.perRevolution + (i + 1 == ids.size() ? s.perRevolution : 0);
            if (nextMark < id.mark) nextMark += s.perRevolution;
            nextSync = nextMark - 48;
        }
        uint64_t dataMark = s.findSync(id.mark + 112, id.mark + 112 + s.perRevolution);
        uint8_t mark = dataMark == kNone ? 0 : s.byte(dataMark);
        if (mark != 0xFB && mark != 0xF8) {
            sector.ST1 |= 0x01;
            sector.ST2 |= 0x01;
            track.sectors.push_back(std::move(sector));
            continue;
        }
        if (mark == 0xF8) sector.ST2 |= 0x40;
        uint32_t size = sectorSizeFromN(id.N);
        uint64_t dataStart = dataMark + kCellsPerWord;
        // Fed its own CRC as well, the register ends at 0 for an intact field.
        if (s.crc(crcAfterSync(mark), dataStart, size + 2) != 0) {
            sector.ST1 |= 0x20;
            sector.ST2 |= 0x20;
        }
        uint32_t stored = std::min(size, kMaxStoredSector);
        // Data declared longer than the room before the next sector: keep what is its own,
        // so that the sectors after it keep their place in the image.
        uint64_t zeroRun = nextSync != kNone && nextSync > 12 * kCellsPerWord ? nextSync - 12 * kCellsPerWord : kNone;
        if (zeroRun != kNone && dataStart + uint64_t(size) * kCellsPerWord > zeroRun) {
            uint64_t room = zeroRun > dataStart ? (zeroRun - dataStart) / kCellsPerWord : 0;
            stored = static_cast<uint32_t>(std::min<uint64_t>(stored, room));
        }
        readBytes(s, dataStart, stored, sector.data);
        if (!gapFound && zeroRun != kNone) {
            uint64_t crcEnd = dataStart + uint64_t(size + 2) * kCellsPerWord;
            if (zeroRun > crcEnd && (zeroRun - crcEnd) / kCellsPerWord < 256) {
                track.gap3 = static_cast<uint8_t>((zeroRun - crcEnd) / kCellsPerWord);
                gapFound = true;
            }
        }
        // Other revolutions: a sector that reads differently is weak; three copies are kept.
        std::vector<std::vector<uint8_t>> copies{sector.data};
        for (int turn = 1; turn < kRevolutionsPerTrack; ++turn) {
            std::vector<uint8_t> other;
            readBytes(s, dataStart + uint64_t(turn) * s.perRevolution, stored, other);
            if (std::find(copies.begin(), copies.end(), other) == copies.end()) copies.push_back(std::move(other));
        }
        if (copies.size() > 1 && stored == size) {
            sector.weak = true;
            while (copies.size() < 3) copies.push_back(copies[1]);
            sector.data.insert(sector.data.end(), copies[1].begin(), copies[1].end());
            sector.data.insert(sector.data.end(), copies[2].begin(), copies[2].end());
        }
        track.sectors.push_back(std::move(sector));
    }
    track.filler = commonFiller(track);
    return track;
}

}  // namespace

foundTrack readDriveTrack(const floppyDrive& drive, int index) {
    int source = sourceTrack(drive, index);
    if (source < 0) return {};
    return readTrack(drive.trackBuffers[source], drive.trackLengths[source].length,
                     drive.trackLengths[source].lastWordNibbles);
}

bool copyDiskTracks(const floppyDrive& drive, diskTracks& copy) {
    if (!drive.diskInserted || !drive.trackBuffers || drive.trackCount <= 0) {
        copy.tracks.clear();
        return false;
    }
    copy.sides = drive.doubleSided ? 2 : 1;
    copy.tracks.resize(static_cast<size_t>(drive.trackCount / copy.sides * copy.sides));
    for (size_t i = 0; i < copy.tracks.size(); ++i) {
        copiedTrack& track = copy.tracks[i];
        int source = sourceTrack(drive, static_cast<int>(i));
        track.length = source < 0 ? 0 : drive.trackLengths[source].length;
        track.lastWordNibbles = source < 0 ? 0 : drive.trackLengths[source].lastWordNibbles;
        const uint16_t* words = source < 0 ? nullptr : drive.trackBuffers[source];
        // Never beyond the buffer: a track that does not fit is left out of the image.
        size_t count = words ? size_t(track.length) * kRevolutionsPerTrack : 0;
        if (words && drive.trackCapacities) count = std::min<size_t>(count, drive.trackCapacities[source]);
        track.words.assign(words, words + count);
    }
    return true;
}

bool buildExtendedDSK(const floppyDrive& drive, std::vector<uint8_t>& image) {
    diskTracks copy;
    if (!copyDiskTracks(drive, copy)) {
        image.clear();
        return false;
    }
    return buildExtendedDSK(copy, image);
}

bool buildExtendedDSK(const diskTracks& disk, std::vector<uint8_t>& image) {
    image.clear();
    if (disk.tracks.empty() || disk.sides < 1 || disk.sides > 2) return false;
    const int sides = disk.sides;
    const int cylinders = static_cast<int>(disk.tracks.size()) / sides;
    std::vector<foundTrack> tracks(static_cast<size_t>(cylinders * sides));
    int used = 0;
    for (int i = 0; i < cylinders * sides; ++i) {
        const copiedTrack& copied = disk.tracks[i];
        if (copied.length && copied.words.size() >= size_t(copied.length) * kRevolutionsPerTrack) {
            tracks[i] = readTrack(copied.words.data(), copied.length, copied.lastWordNibbles);
        }
        if (tracks[i].formatted) used = i / sides + 1;
    }
    // Unformatted cylinders at the end are not part of the image.
    if (used == 0) used = cylinders;
    used = std::min(used, kMaxTableEntries / sides);
    image = diskHeader(used, sides);
    for (int cylinder = 0; cylinder < used; ++cylinder) {
        for (int side = 0; side < sides; ++side) {
            const foundTrack& track = tracks[cylinder * sides + side];
            // A double-sided image keeps an empty block: its reader places blocks by their order.
            if (!track.formatted && sides == 1) continue;
            image[0x34 + cylinder * sides + side] =
                appendTrackBlock(image, static_cast<uint8_t>(cylinder), static_cast<uint8_t>(side), track);
        }
    }
    return true;
}

void buildBlankDataDisk(std::vector<uint8_t>& image) {
    constexpr int kTracks = 40;
    image = diskHeader(kTracks, 1);
    foundTrack track;
    track.formatted = true;
    track.gap3 = 0x52;
    for (uint8_t r = 0xC1; r <= 0xC9; ++r) {
        foundSector sector;
        sector.R = r;
        sector.N = 2;
        sector.data.assign(512, 0xE5);
        track.sectors.push_back(sector);
    }
    for (int c = 0; c < kTracks; ++c) {
        for (foundSector& sector : track.sectors) sector.C = static_cast<uint8_t>(c);
        image[0x34 + c] = appendTrackBlock(image, static_cast<uint8_t>(c), 0, track);
    }
}
