#include "disk/raw_image.h"

#include <SDL.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "disk/floppy_drive.h"
#include "disk/mfm_codec.h"
#include "disk/track_info.h"
#include "machine/file_reader.h"

namespace {

constexpr uint32_t kIdCaps = 0x43415053;  // "CAPS"
constexpr uint32_t kIdData = 0x44415441;  // "DATA"
constexpr uint32_t kIdPack = 0x5041434B;  // "PACK"
constexpr uint32_t kIdTrck = 0x5452434B;  // "TRCK"
constexpr int kTracks = 43;
constexpr int kSides = 2;
constexpr uint32_t kMaxRevolutionBytes = 2u * kMaxTrackLength;
// How far (in cells) a revolution's address mark may lie from the first one's.
constexpr int64_t kAlignWindow = 1024;

bool refuse(const char* why, int track = -1) {
    if (track >= 0) refuseFile("fileRAW", "track %d: %s, image refused", track, why);
    else refuseFile("fileRAW", "%s, image refused", why);
    return false;
}

uint32_t crc32Of(const uint8_t* bytes, size_t size) {
    return static_cast<uint32_t>(crc32(crc32(0L, Z_NULL, 0), bytes, static_cast<uInt>(size)));
}

void putU32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

struct Revolution {
    const uint8_t* bytes;
    int64_t bits;
    // Sixteen cells from `bit` on, going round the revolution.
    uint16_t word(int64_t bit) const {
        bit %= bits;
        if (bit < 0) bit += bits;
        uint32_t value = 0;
        int64_t byte = bit >> 3;
        int64_t count = bits >> 3;
        for (int i = 0; i < 3; ++i) value = (value << 8) | bytes[(byte + i) % count];
        return static_cast<uint16_t>(value >> (8 - (bit & 7)));
    }
};

bool isMark(uint16_t word) { return word == kMfmIdMark || word == kMfmDataMark || word == kMfmDeletedMark; }

// Three sync words and an address mark from `bit`; an ID field also needs its CRC.
bool fieldAt(const Revolution& rev, int64_t bit, bool needCrc) {
    for (int i = 0; i < 3; ++i)
        if (rev.word(bit + 16 * i) != kMfmSyncA1) return false;
    uint16_t mark = rev.word(bit + 48);
    if (!isMark(mark)) return false;
    if (!needCrc) return true;
    if (mark != kMfmIdMark) return false;
    uint16_t crc = 0xFFFF;
    for (int i = 0; i < 3; ++i) crc = crcUpdate(crc, 0xA1);
    crc = crcUpdate(crc, 0xFE);
    for (int i = 0; i < 4; ++i) crc = crcUpdate(crc, mfmdecode[rev.word(bit + 64 + 16 * i)]);
    uint16_t stored = static_cast<uint16_t>((mfmdecode[rev.word(bit + 128)] << 8) | mfmdecode[rev.word(bit + 144)]);
    return crc == stored;
}

// The first ID field with a good CRC, else the first address mark; -1 without either.
int64_t findAnchor(const Revolution& rev) {
    for (int pass = 0; pass < 2; ++pass)
        for (int64_t bit = 0; bit + 160 <= rev.bits; ++bit)
            if (rev.word(bit) == kMfmSyncA1 && fieldAt(rev, bit, pass == 0)) return bit;
    return -1;
}

// Where `rev` holds the same field as `first` at `anchor`, nearest to the anchor.
int64_t matchAnchor(const Revolution& first, int64_t anchor, const Revolution& rev) {
    int fieldWords = first.word(anchor + 48) == kMfmIdMark ? 10 : 4;
    for (int64_t distance = 0; distance <= kAlignWindow; ++distance) {
        for (int64_t sign : {1, -1}) {
            int64_t bit = anchor + sign * distance;
            bool same = true;
            for (int i = 0; i < fieldWords && same; ++i) same = rev.word(bit + 16 * i) == first.word(anchor + 16 * i);
            if (same) return bit;
            if (distance == 0) break;
        }
    }
    return -1;
}

struct TrackGroup {
    bool open = false;
    bool beyondDisk = false;  // a track the drive cannot reach: read, checked and left out
    int track = -1, side = 0;
    int packs = 0;
    std::vector<uint8_t> streams;  // the unpacked second PACK record
};

// Rebuilds the unpacked record from the packed bytes; false on any size or offset that does not fit.
bool unpack(const std::vector<uint8_t>& in, std::vector<uint8_t>& out, int track) {
    size_t at = 0;
    if (in.empty()) return refuse("empty revolution record", track);
    uint32_t count = in[at++];
    if (count == 0) return refuse("no revolutions", track);
    if (in.size() < 1 + 2 * size_t(count)) return refuse("revolution lengths cut short", track);
    std::vector<uint32_t> lengths(count);
    size_t total = 1 + 2 * size_t(count);
    for (uint32_t r = 0; r < count; ++r) {
        lengths[r] = (uint32_t(in[at]) << 8) | in[at + 1];
        at += 2;
        if (lengths[r] < 2 || lengths[r] > kMaxRevolutionBytes) return refuse("revolution length out of range", track);
        total += lengths[r];
    }
    out.assign(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(at));
    out.reserve(total);
    if (in.size() - at < lengths[0]) return refuse("first revolution cut short", track);
    size_t first = out.size();
    out.insert(out.end(), in.begin() + static_cast<std::ptrdiff_t>(at),
               in.begin() + static_cast<std::ptrdiff_t>(at + lengths[0]));
    at += lengths[0];
    const uint8_t* rev0 = nullptr;
    for (uint32_t r = 1; r < count; ++r) {
        rev0 = out.data() + first;  // out never grows beyond its reserve, so this stays valid
        size_t end = out.size() + lengths[r];
        while (out.size() < end) {
            if (in.size() - at < 2) return refuse("revolution blocks cut short", track);
            uint8_t b = in[at++];
            uint32_t size = ((b & 0x7Fu) << 8) | in[at++];
            if (!(b & 0x80)) {
                if (size > end - out.size() || size > in.size() - at) return refuse("literal block out of bounds", track);
                out.insert(out.end(), in.begin() + static_cast<std::ptrdiff_t>(at),
                           in.begin() + static_cast<std::ptrdiff_t>(at + size));
                at += size;
                continue;
            }
            if (in.size() - at < 2) return refuse("copy block cut short", track);
            uint32_t shift = (b >> 4) & 7;
            size &= 0x0FFF;
            uint32_t offset = (uint32_t(in[at]) << 8) | in[at + 1];
            at += 2;
            uint64_t reads = uint64_t(size) + (shift ? 1 : 0);
            if (size > end - out.size() || offset + reads > lengths[0]) return refuse("copy block out of bounds", track);
            if (shift == 0) {
                for (uint32_t i = 0; i < size; ++i) out.push_back(rev0[offset + i]);
            } else {
                uint32_t window = rev0[offset];
                for (uint32_t i = 0; i < size; ++i) {
                    window = ((window << 8) | rev0[offset + 1 + i]) & 0xFFFF;
                    out.push_back(static_cast<uint8_t>(window >> shift));
                }
            }
        }
    }
    if (out.size() != total) return refuse("revolutions do not add up", track);
    return true;
}

// Five revolutions of `streams` into `words`, each rotated so that its
// first address mark falls where the first revolution's does, on a word boundary.
bool buildTrack(const std::vector<uint8_t>& streams, trackInfo& info, uint16_t* words, int track) {
    uint32_t count = streams[0];
    std::vector<Revolution> revs;
    size_t at = 1 + 2 * size_t(count);
    for (uint32_t r = 0; r < count; ++r) {
        uint32_t length = (uint32_t(streams[1 + 2 * r]) << 8) | streams[2 + 2 * r];
        revs.push_back({streams.data() + at, int64_t(length) * 8});
        at += length;
    }
    if (revs.size() > kRevolutionsPerTrack) revs.resize(kRevolutionsPerTrack);
    int64_t firstBytes = revs[0].bits / 8;
    uint32_t length = static_cast<uint32_t>((firstBytes + 1) / 2);
    if (length > kMaxTrackLength) return refuse("revolution longer than a track", track);
    int64_t anchor = findAnchor(revs[0]);
    std::vector<int64_t> start(revs.size(), 0);
    if (anchor >= 0) {
        int64_t base = anchor % 16;
        for (size_t r = 0; r < revs.size(); ++r) {
            int64_t found = r ? matchAnchor(revs[0], anchor, revs[r]) : anchor;
            start[r] = base + (found >= 0 ? found - anchor : 0);
        }
    } else {
        SDL_Log("fileRAW: track %d has no address mark, revolutions left unaligned", track);
    }
    for (int k = 0; k < kRevolutionsPerTrack; ++k) {
        size_t r = static_cast<size_t>(k) % revs.size();
        for (uint32_t j = 0; j < length; ++j) words[k * length + j] = revs[r].word(start[r] + 16 * int64_t(j));
        // The drive plays the low cells of a short final word: the odd byte goes there.
        if (firstBytes & 1) words[k * length + length - 1] >>= 8;
    }
    info.trackLength = static_cast<uint16_t>(length);
    info.lastWordNibbles = (firstBytes & 1) ? 2 : 0;
    return true;
}

struct Loader {
    trackInfo* info = nullptr;
    uint16_t** buffers = nullptr;
    TrackGroup group;
    bool anyTrack = false, side1 = false;

    ~Loader() { destroy_track_IBMFM(info, buffers, kTracks, kSides); }

    bool closeGroup() {
        if (!group.open) return true;
        if (group.streams.empty()) return refuse("track group without revolutions", group.track);
        if (group.track < 0) return refuse("revolutions without TRCK record");
        if (group.beyondDisk) {
            SDL_Log("fileRAW: track %d lies beyond the %d a drive holds, left out", group.track, kTracks);
            group = TrackGroup{};
            return true;
        }
        int index = group.track * kSides + group.side;
        if (!buildTrack(group.streams, info[index], buffers[index], group.track)) return false;
        anyTrack = true;
        if (group.side) side1 = true;
        group = TrackGroup{};
        return true;
    }

    bool readPack() {
        uint8_t header[24];
        putU32(header, kIdPack);
        if (!readExact(header + 4, 20)) return refuse("PACK record cut short");
        auto field = [&](int offset) {
            return (uint32_t(header[offset]) << 24) | (uint32_t(header[offset + 1]) << 16) |
                   (uint32_t(header[offset + 2]) << 8) | header[offset + 3];
        };
        uint32_t unpackedSize = field(4), unpackedCrc = field(8), packedSize = field(12), packedCrc = field(16);
        uint32_t headerCrc = field(20);
        putU32(header + 20, 0);
        if (crc32Of(header, sizeof header) != headerCrc) return refuse("PACK header CRC wrong");
        if (!fileHasBytes(packedSize)) return refuse("PACK record runs past the end of the file");
        if (!group.open) return refuse("PACK record outside a DATA group");
        int which = group.packs++;
        if (which != 1) {  // the first holds timing the drive does not use
            SDL_ForwadFile(packedSize);
            return true;
        }
        std::vector<uint8_t> packed(packedSize);
        if (!readExact(packed.data(), packedSize)) return refuse("PACK record unreadable");
        if (crc32Of(packed.data(), packed.size()) != packedCrc) return refuse("packed data CRC wrong", group.track);
        std::vector<uint8_t> streams;
        if (!unpack(packed, streams, group.track)) return false;
        if (streams.size() != unpackedSize) return refuse("unpacked size differs from its record", group.track);
        if (crc32Of(streams.data(), streams.size()) != unpackedCrc) return refuse("unpacked data CRC wrong", group.track);
        group.streams = std::move(streams);
        return true;
    }

    bool readRecords() {
        while (fileHasBytes(4)) {
            uint32_t id = readU32();
            if (id == kIdData) {
                if (!closeGroup()) return false;
                if (!fileHasBytes(32)) return refuse("DATA record cut short");
                SDL_ForwadFile(32);
                group.open = true;
            } else if (id == kIdTrck) {
                if (!fileHasBytes(8)) return refuse("TRCK record cut short");
                uint32_t track = readU32(), side = readU32();
                if (track > 255 || side >= uint32_t(kSides)) return refuse("TRCK track or side out of range");
                if (!group.open) return refuse("TRCK record outside a DATA group");
                group.beyondDisk = track >= uint32_t(kTracks);
                group.track = static_cast<int>(track);
                group.side = static_cast<int>(side);
            } else if (id == kIdPack) {
                if (!readPack()) return false;
            } else {
                break;
            }
        }
        return closeGroup();
    }
};

}  // namespace

int fileRAW(floppyDrive* drive) {
    MakeMFMEnDecodeTable();
    SDL_RewindFile(0);
    if (readU32() != kIdCaps) {
        refuseFile("fileRAW", cPCFileLength ? "not a RAW image" : "empty file, not a RAW image");
        return 0;
    }
    if (!drive) return 0;
    uint32_t next = readU32();
    // "CAPS" may carry a length and a CRC word before the first record.
    SDL_RewindFile(next == kIdData || next == kIdTrck || next == kIdPack ? 4 : 12);
    Loader loader;
    loader.info = init_track_information_bloc(kTracks, kSides);
    loader.buffers = init_track_MFM(kTracks, kSides);
    if (!loader.readRecords()) return 0;
    if (!loader.anyTrack) {
        refuse("no tracks");
        return 0;
    }
    uint8_t doubleSided = 1;
    if (!loader.side1) {
        foldToSingleSide(loader.info, loader.buffers, kTracks);
        doubleSided = 0;
    }
    SDL_Log("fileRAW: %d tracks, %d side(s)", kTracks, doubleSided + 1);
    drive->attach_disk(loader.info, loader.buffers, kTracks, doubleSided, kRevolutionsPerTrack);
    loader.info = nullptr;
    loader.buffers = nullptr;
    return 1;
}
