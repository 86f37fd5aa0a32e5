#include "disk/ipf_image.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "disk/floppy_drive.h"
#include "disk/mfm_codec.h"
#include "disk/track_info.h"
#include "machine/file_reader.h"
#include "machine/frontend_hooks.h"

namespace {

constexpr uint32_t kIdCaps = 0x43415053;  // "CAPS"
constexpr uint32_t kIdInfo = 0x494E464F;  // "INFO"
constexpr uint32_t kIdImge = 0x494D4745;  // "IMGE"
constexpr uint32_t kIdData = 0x44415441;  // "DATA"
constexpr int kMinimumTracks = 43;
constexpr uint32_t kMaximumTrack = 99;    // no 3-inch or 3.5-inch drive steps further
constexpr uint32_t kDescriptorBytes = 32;
constexpr uint32_t kBlockFlagForwardGap = 1;
constexpr uint32_t kBlockFlagBackwardGap = 2;
constexpr uint32_t kBlockFlagDataInBits = 4;
constexpr int kMaximumSectors = 255;
// The fuzzy area's ID field: C, H, R, N lie this many words before its data.
constexpr uint32_t kIdBeforeData = 44;
constexpr int64_t kInfoWords = 21, kImgeWords = 17, kDataWords = 4;

const char* const kNotOriginalText = "\366 IPF-this file is not an original SPS ! \367";

struct ImageEntry {
    bool present = false;
    uint32_t track = 0, side = 0, density = 0, startByte = 0, trackBits = 0, blockCount = 0, dataKey = 0;
};

struct Image {
    bool haveInfo = false;
    uint32_t encoderType = 0;
    int tracks = 0, sides = 0;
    trackInfo* info = nullptr;
    uint16_t** buffers = nullptr;
    std::vector<ImageEntry> entries;
    bool side1Data = false;

    ~Image() { destroy_track_IBMFM(info, buffers, tracks, sides); }
};

bool refuse(const char* why) {
    refuseFile("fileIPF", "%s, image refused", why);
    return false;
}

// Reads a record's payload words; false when the file ends inside it.
bool readWords(uint32_t* words, int64_t count) {
    if (!fileHasBytes(count * 4)) return false;
    for (int64_t i = 0; i < count; ++i) words[i] = readU32();
    return true;
}

// A big-endian reader over one DATA record's extra bytes that never leaves them.
struct Cursor {
    const uint8_t* bytes;
    uint32_t size;
    uint32_t at;
    bool left(uint32_t n) const { return at <= size && n <= size - at; }
    uint8_t byte() { return bytes[at++]; }
    // Element header: type in the low five bits, the size's byte count in the top three.
    bool element(uint32_t& type, uint32_t& value) {
        if (!left(1)) return false;
        uint8_t head = byte();
        type = head & 0x1F;
        uint32_t count = head >> 5;
        if (count > 4 || !left(count)) return false;
        value = 0;
        for (uint32_t i = 0; i < count; ++i) value = (value << 8) | byte();
        return true;
    }
};

// Writes one track's words from its start position, wrapping at its length,
// and refuses to write more than the blocks may take.
struct TrackRenderer {
    uint16_t* words = nullptr;
    uint32_t length = 0;
    uint32_t position = 0;
    uint32_t written = 0;
    uint32_t budget = 0;
    uint32_t random = 0;  // fuzzy areas' pseudo-random sequence
    std::vector<sectorRecord> fuzzy;

    bool room(uint64_t n) const { return n <= budget - written; }
    void put(uint16_t word) {
        words[position] = word;
        if (++position == length) position = 0;
        ++written;
    }
    uint16_t before(uint32_t back) const { return words[(position + length - back % length) % length]; }
    uint8_t nextRandom() {
        random = (random << 1) | ((random ^ (random >> 22)) & 1);
        return static_cast<uint8_t>(random);
    }
};

bool renderDataStream(TrackRenderer& out, Cursor stream, uint32_t flags) {
    for (;;) {
        uint32_t type, size;
        if (!stream.element(type, size)) return refuse("data stream runs past its record");
        if (type == 0 && size == 0) return true;
        if (flags & kBlockFlagDataInBits) size = static_cast<uint32_t>((uint64_t(size) + 7) / 8);
        switch (type) {
            case 1:  // sync
            case 4:  // raw
                if (!stream.left(size)) return refuse("stream element runs past its record");
                if (!out.room((uint64_t(size) + 1) / 2)) return refuse("blocks longer than their track");
                for (uint32_t i = 0; i + 1 < size; i += 2) {
                    uint8_t high = stream.byte();
                    out.put(static_cast<uint16_t>((high << 8) | stream.byte()));
                }
                if (size & 1) out.put(static_cast<uint16_t>(stream.byte() << 8));
                break;
            case 2:  // data
            case 3:  // gap
                if (!stream.left(size)) return refuse("stream element runs past its record");
                if (!out.room(size)) return refuse("blocks longer than their track");
                for (uint32_t i = 0; i < size; ++i) out.put(mfmencode[stream.byte()]);
                break;
            case 5: {  // fuzzy: a weak sector whose ID field precedes it
                if (!out.room(size)) return refuse("blocks longer than their track");
                if (out.fuzzy.size() < kMaximumSectors) {
                    sectorRecord record;
                    record.C = mfmdecode[out.before(kIdBeforeData)];
                    record.H = mfmdecode[out.before(kIdBeforeData - 1)];
                    record.R = mfmdecode[out.before(kIdBeforeData - 2)];
                    record.N = mfmdecode[out.before(kIdBeforeData - 3)];
                    record.dataLength = static_cast<uint16_t>(std::min<uint32_t>(sectorSizeFromN(record.N), 0xFFFF));
                    record.weak = 1;
                    out.fuzzy.push_back(record);
                }
                for (uint32_t i = 0; i < size; ++i) out.put(mfmencode[out.nextRandom()]);
                break;
            }
            default: return refuse("unknown data stream element");
        }
    }
}

struct GapPiece {
    bool sized;      // false: as far as the gap goes
    uint32_t bytes;
    uint32_t sampleAt, sampleBytes;
};

// One direction's gap stream: lengths (type 1) and the samples that fill them (type 2).
bool readGapStream(Cursor& stream, uint32_t cellType, std::vector<GapPiece>& pieces) {
    bool sized = false;
    uint32_t pending = 0;
    for (;;) {
        uint32_t type, value;
        if (!stream.element(type, value)) return refuse("gap stream runs past its record");
        if (type == 0 && value == 0) return true;
        if (type == 1) {
            pending = static_cast<uint32_t>(((uint64_t(value) + 7) / 8) >> cellType);
            sized = true;
        } else if (type == 2) {
            uint32_t sampleBytes = static_cast<uint32_t>((uint64_t(value) + 7) / 8);
            if (sampleBytes == 0 || !stream.left(sampleBytes)) return refuse("gap sample runs past its record");
            pieces.push_back({sized, pending, stream.at, sampleBytes});
            stream.at += sampleBytes;
            sized = false;
        } else {
            return refuse("unknown gap stream element");
        }
    }
}

// Fills `gap` bytes: forward pieces from its start, backward pieces from its
// end, whatever stays between them with the nearest sample, so that the next
// block starts at its own position whatever the streams say.
void fillGap(std::vector<uint8_t>& gap, const uint8_t* bytes, const std::vector<GapPiece>& forward,
             const std::vector<GapPiece>& backward) {
    uint32_t size = static_cast<uint32_t>(gap.size());
    uint32_t front = 0, back = size;
    const GapPiece* lastForward = nullptr;
    for (const GapPiece& piece : forward) {
        uint32_t n = piece.sized ? std::min(piece.bytes, back - front) : back - front;
        for (uint32_t i = 0; i < n; ++i) gap[front + i] = bytes[piece.sampleAt + i % piece.sampleBytes];
        front += n;
        lastForward = &piece;
    }
    const GapPiece* lastBackward = nullptr;
    for (const GapPiece& piece : backward) {
        uint32_t n = piece.sized ? std::min(piece.bytes, back - front) : back - front;
        for (uint32_t i = 0; i < n; ++i)
            gap[back - 1 - i] = bytes[piece.sampleAt + piece.sampleBytes - 1 - i % piece.sampleBytes];
        back -= n;
        lastBackward = &piece;
    }
    const GapPiece* rest = lastForward ? lastForward : lastBackward;
    if (!rest) return;
    for (uint32_t i = front; i < back; ++i) gap[i] = bytes[rest->sampleAt + (i - front) % rest->sampleBytes];
}

bool renderTrack(Image& image, const ImageEntry& entry, const uint8_t* bytes, uint32_t size) {
    int index = static_cast<int>(entry.track) * image.sides + static_cast<int>(entry.side);
    trackInfo& info = image.info[index];
    uint32_t length = info.trackLength;
    if (length == 0 || length > kMaxTrackLength) return refuse("track length out of range");
    if (entry.startByte >= length) return refuse("start position beyond the track");
    if (uint64_t(entry.blockCount) * kDescriptorBytes > size) return refuse("block descriptors run past their record");

    // Rounding a block's data and gap up to whole words may add two words per block.
    TrackRenderer out;
    out.words = image.buffers[index];
    out.length = length;
    out.position = entry.startByte;
    out.budget = static_cast<uint32_t>(std::min<uint64_t>(uint64_t(length) + 2 * uint64_t(entry.blockCount), kTrackScratchWords));
    out.random = length;
    Cursor descriptors{bytes, size, 0};
    for (uint32_t b = 0; b < entry.blockCount; ++b) {
        uint32_t d[8];
        for (uint32_t& word : d) {
            word = 0;
            for (int k = 0; k < 4; ++k) word = (word << 8) | descriptors.byte();
        }
        bool sps = image.encoderType == 2;
        uint32_t dataBits = d[0], gapBits = d[1];
        uint32_t cellType = sps ? d[3] : 1;
        uint32_t flags = d[5], gapDefault = d[6], dataOffset = d[7];
        if (cellType > 3) return refuse("unknown cell type");
        uint64_t dataWords = sps ? ((uint64_t(dataBits) + 7) / 8) >> cellType : d[2];
        uint64_t gapWords = sps ? ((uint64_t(gapBits) + 7) / 8) >> cellType : d[3];
        if (dataOffset >= size) return refuse("data stream outside its record");
        uint32_t blockStart = out.written;
        if (!renderDataStream(out, Cursor{bytes, size, dataOffset}, flags)) return false;
        uint64_t dataWritten = out.written - blockStart;
        // The gap takes up what the block declared and its data did not use.
        uint64_t declared = (dataWords ? dataWords : dataWritten) + gapWords;
        uint64_t gapSize = declared > dataWritten ? declared - dataWritten : 0;
        if (gapSize == 0) continue;
        if (!out.room(gapSize)) return refuse("blocks longer than their track");
        std::vector<uint8_t> gap(static_cast<size_t>(gapSize), static_cast<uint8_t>(gapDefault));
        if (sps && (flags & (kBlockFlagForwardGap | kBlockFlagBackwardGap))) {
            if (d[2] >= size) return refuse("gap stream outside its record");
            Cursor stream{bytes, size, d[2]};
            std::vector<GapPiece> forward, backward;
            if ((flags & kBlockFlagForwardGap) && !readGapStream(stream, cellType, forward)) return false;
            if ((flags & kBlockFlagBackwardGap) && !readGapStream(stream, cellType, backward)) return false;
            fillGap(gap, bytes, forward, backward);
        }
        for (uint8_t value : gap) out.put(mfmencode[value]);
    }
    delete[] info.sectors;
    info.sectors = nullptr;
    info.sectorCount = static_cast<uint8_t>(out.fuzzy.size());
    if (!out.fuzzy.empty()) {
        info.sectors = new sectorRecord[out.fuzzy.size()];
        std::copy(out.fuzzy.begin(), out.fuzzy.end(), info.sectors);
    }
    if (entry.side == 1) image.side1Data = true;
    return true;
}

bool readInfo(Image& image) {
    uint32_t w[kInfoWords];
    if (!readWords(w, kInfoWords)) return refuse("INFO record cut short");
    if (image.haveInfo) return refuse("second INFO record");
    uint32_t encoderType = w[1], maxTrack = w[7], maxSide = w[9], creator = w[17];
    if (creator == 0) {
        refuseFile("fileIPF", "creator identifier 0, image refused");
        textShowOSD("%s", kNotOriginalText);
        frontendHooks.showPauseScreen(kNotOriginalText);
        return false;
    }
    if (encoderType != 1 && encoderType != 2) return refuse("unknown encoder type");
    if (maxTrack > kMaximumTrack) return refuse("maximum track out of range");
    if (maxSide > 1) return refuse("maximum side out of range");
    image.encoderType = encoderType;
    image.sides = maxSide ? 2 : 1;
    image.tracks = std::max<int>(static_cast<int>(maxTrack) + 1, kMinimumTracks);
    image.info = init_track_information_bloc(image.tracks, image.sides);
    image.buffers = init_track_MFM(image.tracks, image.sides);
    image.entries.assign(static_cast<size_t>(image.tracks * image.sides), ImageEntry{});
    image.haveInfo = true;
    SDL_Log("fileIPF: encoder %u, %d tracks, %d side(s), creator %08X", encoderType, image.tracks, image.sides, creator);
    return true;
}

bool readImge(Image& image) {
    uint32_t w[kImgeWords];
    if (!readWords(w, kImgeWords)) return refuse("IMGE record cut short");
    if (!image.haveInfo) return refuse("IMGE record before INFO");
    ImageEntry entry;
    entry.present = true;
    entry.track = w[0];
    entry.side = w[1];
    entry.density = w[2];
    entry.startByte = w[5];
    entry.trackBits = w[9];
    entry.blockCount = w[10];
    entry.dataKey = w[13];
    if (entry.track >= uint32_t(image.tracks) || entry.side >= uint32_t(image.sides))
        return refuse("IMGE track or side outside the disk");
    int index = static_cast<int>(entry.track) * image.sides + static_cast<int>(entry.side);
    if (entry.trackBits) {
        if (entry.density == 0) return refuse("IMGE density 0");
        uint64_t words = ((uint64_t(entry.trackBits) + 7) / 8) / entry.density;
        if (words == 0 || words > kMaxTrackLength) return refuse("IMGE track length out of range");
        image.info[index].trackLength = static_cast<uint16_t>(words);
    }
    image.entries[static_cast<size_t>(index)] = entry;
    return true;
}

bool readData(Image& image) {
    uint32_t w[kDataWords];
    if (!readWords(w, kDataWords)) return refuse("DATA record cut short");
    uint32_t length = w[0], dataKey = w[3];
    if (length == 0) return true;
    if (!fileHasBytes(length)) return refuse("DATA record runs past the end of the file");
    const ImageEntry* entry = nullptr;
    for (const ImageEntry& e : image.entries)
        if (e.present && e.dataKey == dataKey) entry = &e;
    if (!entry) {
        SDL_Log("fileIPF: DATA record without IMGE entry, ignored");
        SDL_ForwadFile(length);
        return true;
    }
    std::vector<uint8_t> bytes(length);
    if (!readExact(bytes.data(), length)) return refuse("DATA record unreadable");
    return renderTrack(image, *entry, bytes.data(), length);
}

}  // namespace

int fileIPF(floppyDrive* drive) {
    MakeMFMEnDecodeTable();
    SDL_RewindFile(0);
    if (readU32() != kIdCaps) {
        refuseFile("fileIPF", cPCFileLength ? "not an IPF image" : "empty file, not an IPF image");
        return 0;
    }
    readU32();
    readU32();
    if (!drive) return 0;
    Image image;
    // Every record moves the position forward by at least its header, so the loop ends with the file.
    while (fileHasBytes(12)) {
        uint32_t type = readU32();
        readU32();
        readU32();
        bool ok = true;
        if (type == kIdInfo) ok = readInfo(image);
        else if (type == kIdImge) ok = readImge(image);
        else if (type == kIdData) ok = image.haveInfo ? readData(image) : refuse("DATA record before INFO");
        else break;
        if (!ok) return 0;
    }
    if (!image.haveInfo) {
        refuse("no INFO record");
        return 0;
    }
    int sides = image.sides;
    if (sides == 2 && !image.side1Data) {
        SDL_Log("fileIPF: no side-1 data, attached single-sided");
        foldToSingleSide(image.info, image.buffers, image.tracks);
        sides = 1;
    }
    drive->attach_disk(image.info, image.buffers, image.tracks, sides == 2 ? 1 : 0, 1);
    image.info = nullptr;
    image.buffers = nullptr;
    return 1;
}
