#include "support/disk_image_writers.h"

#include <SDL.h>
#include <zlib.h>

#include "disk/dsk_image.h"
#include "support/disk_test_support.h"
#include "machine/file_reader.h"

namespace disk_test {

namespace {

void putU32(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (24 - 8 * i)));
}

void putId(std::vector<uint8_t>& out, const char* id) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(id[i]));
}

uint8_t mirror(uint8_t b) {
    uint8_t m = 0;
    for (int i = 0; i < 8; ++i)
        if (b & (1 << i)) m |= static_cast<uint8_t>(0x80 >> i);
    return m;
}

uint32_t crcOf(const std::vector<uint8_t>& bytes, size_t from = 0, size_t to = SIZE_MAX) {
    to = std::min(to, bytes.size());
    return static_cast<uint32_t>(crc32(crc32(0L, Z_NULL, 0), bytes.data() + from, static_cast<uInt>(to - from)));
}

}  // namespace

std::vector<MfmTrack> tracksOfDrive(const floppyDrive& drive) {
    std::vector<MfmTrack> tracks;
    for (int i = 0; i < drive.trackCount; ++i) {
        MfmTrack t;
        t.track = static_cast<uint8_t>(i >> drive.doubleSided);
        t.side = static_cast<uint8_t>(drive.doubleSided ? i & 1 : 0);
        t.words.assign(drive.trackBuffers[i], drive.trackBuffers[i] + drive.trackLengths[i].length);
        tracks.push_back(std::move(t));
    }
    return tracks;
}

std::vector<MfmTrack> tracksOfDsk(const std::string& path, int& sides) {
    floppyDrive drive;
    drive.init(0);
    std::vector<MfmTrack> tracks;
    if (SDL_OpenFile(path.c_str()) > 0 && fileDSK(&drive)) tracks = tracksOfDrive(drive);
    SDL_CloseFile();
    sides = drive.doubleSided + 1;
    return tracks;
}

std::vector<uint8_t> wordsToBytes(const std::vector<uint16_t>& words) {
    std::vector<uint8_t> bytes;
    for (uint16_t w : words) {
        bytes.push_back(static_cast<uint8_t>(w >> 8));
        bytes.push_back(static_cast<uint8_t>(w));
    }
    return bytes;
}

std::vector<uint8_t> writeHFE(const std::vector<MfmTrack>& tracks, int trackCount, int sides) {
    std::vector<uint8_t> out(1024, 0xFF);
    const char* id = "HXCPICFE";
    std::copy(id, id + 8, out.begin());
    out[8] = 0;
    out[9] = static_cast<uint8_t>(trackCount);
    out[10] = static_cast<uint8_t>(sides);
    out[0x12] = 1;  // track list in block 1
    out[0x13] = 0;
    for (int t = 0; t < trackCount; ++t) {
        std::vector<uint8_t> side[2];
        for (const MfmTrack& track : tracks)
            if (track.track == t && track.side < sides) side[track.side] = wordsToBytes(track.words);
        size_t perSide = std::max(side[0].size(), side[1].size());
        size_t block = out.size() / 512;
        size_t blocks = (perSide + 255) / 256;
        out.resize(out.size() + blocks * 512, 0);
        for (int s = 0; s < sides; ++s)
            for (size_t i = 0; i < side[s].size(); ++i)
                out[block * 512 + (i / 256) * 512 + s * 256 + i % 256] = mirror(side[s][i]);
        size_t length = perSide * 2;
        out[512 + 4 * t] = static_cast<uint8_t>(block);
        out[513 + 4 * t] = static_cast<uint8_t>(block >> 8);
        out[514 + 4 * t] = static_cast<uint8_t>(length);
        out[515 + 4 * t] = static_cast<uint8_t>(length >> 8);
    }
    return out;
}

void ipfElement(std::vector<uint8_t>& out, uint8_t type, uint32_t size, const std::vector<uint8_t>& bytes) {
    int count = size > 0xFFFFFF ? 4 : size > 0xFFFF ? 3 : size > 0xFF ? 2 : 1;
    out.push_back(static_cast<uint8_t>((count << 5) | type));
    for (int i = count - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(size >> (8 * i)));
    out.insert(out.end(), bytes.begin(), bytes.end());
}

IpfTrack ipfTrackFromWords(const MfmTrack& track, size_t fuzzyStart, size_t fuzzyCount) {
    IpfTrack t;
    t.track = track.track;
    t.side = track.side;
    t.lengthWords = static_cast<uint32_t>(track.words.size());
    size_t end = track.words.size();
    while (end > 0 && track.words[end - 1] == mfmencode[0x4E]) --end;
    IpfBlock block;
    size_t i = 0;
    while (i < end) {
        if (fuzzyCount && i == fuzzyStart) {
            ipfElement(block.stream, 5, static_cast<uint32_t>(fuzzyCount));
            i += fuzzyCount;
            continue;
        }
        bool data = mfmencode[mfmdecode[track.words[i]]] == track.words[i];
        size_t j = i;
        std::vector<uint8_t> bytes;
        while (j < end && !(fuzzyCount && j == fuzzyStart) && (mfmencode[mfmdecode[track.words[j]]] == track.words[j]) == data) {
            if (data) {
                bytes.push_back(mfmdecode[track.words[j]]);
            } else {
                bytes.push_back(static_cast<uint8_t>(track.words[j] >> 8));
                bytes.push_back(static_cast<uint8_t>(track.words[j]));
            }
            ++j;
        }
        ipfElement(block.stream, data ? 2 : 1, static_cast<uint32_t>(bytes.size()), bytes);
        i = j;
    }
    block.stream.push_back(0);
    block.dataBits = static_cast<uint32_t>(end * 16);
    block.gapBits = static_cast<uint32_t>((track.words.size() - end) * 16);
    t.blocks.push_back(block);
    return t;
}

std::vector<uint8_t> writeIPF(const IpfDisk& disk) {
    std::vector<uint8_t> out;
    auto record = [&](const char* id, const std::vector<uint32_t>& words) {
        size_t start = out.size();
        putId(out, id);
        putU32(out, static_cast<uint32_t>(12 + 4 * words.size()));
        putU32(out, 0);
        for (uint32_t w : words) putU32(out, w);
        uint32_t crc = crcOf(out, start);
        for (int i = 0; i < 4; ++i) out[start + 8 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
    };
    record("CAPS", {});
    record("INFO", {1, disk.encoder, 1, 0, 1, 0, 0, disk.maxTrack, 0, disk.maxSide, 0, 0, 0, 0, 0, 0, 1, disk.creator,
                    0, 0, 0});
    uint32_t key = 1;
    for (const IpfTrack& t : disk.tracks) {
        record("IMGE", {t.track, t.side, 2, 1, t.lengthWords, t.startByte, 0, 0, 0, t.lengthWords * 16,
                        static_cast<uint32_t>(t.blocks.size()), 0, 0, key++, 0, 0, 0});
    }
    key = 1;
    for (const IpfTrack& t : disk.tracks) {
        std::vector<uint8_t> extra(32 * t.blocks.size());
        std::vector<uint32_t> descriptors;
        for (const IpfBlock& b : t.blocks) {
            uint32_t dataOffset = static_cast<uint32_t>(extra.size());
            extra.insert(extra.end(), b.stream.begin(), b.stream.end());
            uint32_t gapOffset = static_cast<uint32_t>(extra.size());
            extra.insert(extra.end(), b.gapStream.begin(), b.gapStream.end());
            uint32_t words[8] = {b.dataBits, b.gapBits, b.gapStream.empty() ? 0 : gapOffset, 1, 2, b.flags, b.gapDefault,
                                 dataOffset};
            if (disk.encoder == 1) {
                words[2] = b.dataBits / 16;
                words[3] = b.gapBits / 16;
            }
            descriptors.insert(descriptors.end(), words, words + 8);
        }
        for (size_t i = 0; i < descriptors.size(); ++i)
            for (int k = 0; k < 4; ++k) extra[4 * i + k] = static_cast<uint8_t>(descriptors[i] >> (24 - 8 * k));
        record("DATA", {static_cast<uint32_t>(extra.size()), static_cast<uint32_t>(extra.size() * 8), crcOf(extra), key++});
        out.insert(out.end(), extra.begin(), extra.end());
    }
    return out;
}

std::vector<uint8_t> writeRAW(const std::vector<RawTrack>& tracks) {
    std::vector<uint8_t> out;
    putId(out, "CAPS");
    auto pack = [&](const std::vector<uint8_t>& unpacked, const std::vector<uint8_t>& packed) {
        size_t start = out.size();
        putId(out, "PACK");
        putU32(out, static_cast<uint32_t>(unpacked.size()));
        putU32(out, crcOf(unpacked));
        putU32(out, static_cast<uint32_t>(packed.size()));
        putU32(out, crcOf(packed));
        putU32(out, 0);
        uint32_t crc = crcOf(out, start);
        for (int i = 0; i < 4; ++i) out[start + 20 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
        out.insert(out.end(), packed.begin(), packed.end());
    };
    for (const RawTrack& t : tracks) {
        putId(out, "DATA");
        for (int i = 0; i < 8; ++i) putU32(out, 0);
        putId(out, "TRCK");
        putU32(out, t.track);
        putU32(out, t.side);
        std::vector<uint8_t> timing(16, 0x80);
        pack(timing, timing);
        std::vector<uint8_t> unpacked{static_cast<uint8_t>(t.revolutions.size())};
        for (const auto& r : t.revolutions) {
            unpacked.push_back(static_cast<uint8_t>(r.size() >> 8));
            unpacked.push_back(static_cast<uint8_t>(r.size()));
        }
        std::vector<uint8_t> packed = unpacked;
        for (size_t k = 0; k < t.revolutions.size(); ++k) {
            const auto& r = t.revolutions[k];
            unpacked.insert(unpacked.end(), r.begin(), r.end());
            if (k && t.copyShift >= 0) {
                // A shifted copy reads one byte ahead: the first byte goes as a literal.
                size_t at = 0;
                if (t.copyShift) {
                    packed.insert(packed.end(), {0, 1, r[0]});
                    at = 1;
                }
                for (; at < r.size();) {
                    size_t n = std::min<size_t>(r.size() - at, 0xFFF);
                    size_t offset = t.copyShift ? at - 1 : at;
                    packed.push_back(static_cast<uint8_t>(0x80 | (t.copyShift << 4) | (n >> 8)));
                    packed.push_back(static_cast<uint8_t>(n));
                    packed.push_back(static_cast<uint8_t>(offset >> 8));
                    packed.push_back(static_cast<uint8_t>(offset));
                    at += n;
                }
                continue;
            }
            for (size_t at = 0; at < r.size();) {
                size_t n = k == 0 ? r.size() : std::min<size_t>(r.size() - at, 0x7FFF);
                if (k) {
                    packed.push_back(static_cast<uint8_t>(n >> 8));
                    packed.push_back(static_cast<uint8_t>(n));
                }
                packed.insert(packed.end(), r.begin() + static_cast<long>(at), r.begin() + static_cast<long>(at + n));
                at += n;
            }
        }
        pack(unpacked, packed);
    }
    return out;
}

}  // namespace disk_test
