#include "tape/tape_csw.h"

#include <SDL.h>
#include <zlib.h>

#include <vector>

#include "machine/byte_order.h"
#include "machine/file_reader.h"
#include "tape/tape_drive.h"
#include "tape/tape_file_span.h"
#include "tape/tape_pulse_builder.h"

namespace {

constexpr uint8_t kCompressionRle = 1;
constexpr uint8_t kCompressionZRle = 2;
constexpr uint64_t kMaxCswBytes = 1ull << 30;

// One pulse per entry: a byte of 1..255 samples, or 0 and a 32-bit count.
// Fed in pieces, as the data comes out of the inflater.
class RlePulses {
public:
    explicit RlePulses(uint32_t rate) : sampleUnits(double(tapeCpcFreq) * 1000000.0 / rate) {}
    // False once the table is full.
    bool feed(const uint8_t* data, size_t n) {
        for (size_t i = 0; i < n; ++i) {
            if (tableDataPulseFull()) return false;
            if (longBytes < 0) {
                if (data[i]) {
                    push(data[i]);
                } else {
                    longBytes = 0;
                    longValue = 0;
                }
                continue;
            }
            longValue |= uint32_t(data[i]) << (8 * longBytes);
            if (++longBytes == 4) {
                push(longValue);
                longBytes = -1;
            }
        }
        return true;
    }
    // A long entry cut by the end of the data is an empty pulse.
    void finish() {
        if (longBytes >= 0) push(0);
        longBytes = -1;
    }

private:
    void push(uint32_t samples) {
        addPulse(currentLevel, samples * sampleUnits);
        currentLevel ^= 1;
    }
    double sampleUnits;
    int longBytes = -1;  // bytes of a long count read so far, -1 outside one
    uint32_t longValue = 0;
};

// Logs why the data cannot be decoded.
bool cswDecodable(uint8_t version, uint8_t compression, uint32_t rate) {
    if (!cswCompressionKnown(version, compression)) {
        return refuseFile("CSW", "Unknown compression Type %d", compression);
    }
    if (rate == 0) {
        return refuseFile("CSW", "sample rate of 0 Hz");
    }
    return true;
}

}  // namespace

bool cswCompressionKnown(uint8_t version, uint8_t compression) {
    return compression == kCompressionRle || (version != 1 && compression == kCompressionZRle);
}

bool decodeCSWPulses(uint8_t version, uint8_t compression, uint32_t rate, int64_t size, uint32_t pulses) {
    size = tapeClampToFile(size, cPCFileLength);
    if (size < 0) size = 0;
    if (uint64_t(size) > kMaxCswBytes) {
        refuseFile("CSW", "%lld bytes of pulse data is more than this program reads", static_cast<long long>(size));
        tapeSkip(size, cPCFileLength);
        return false;
    }
    std::vector<uint8_t> raw(static_cast<size_t>(size));
    readBlock(raw.data(), size);

    if (!cswDecodable(version, compression, rate)) return false;
    RlePulses rle(rate);
    if (compression == kCompressionRle) {
        rle.feed(raw.data(), raw.size());
        rle.finish();
        return true;
    }
    // The stream is inflated a piece at a time into pulses: memory follows the
    // pulses kept, not what the data inflates to. The header's pulse count is
    // only a hint (some writers under-state it).
    uint64_t firstPulse = idx;
    uint8_t firstLevel = currentLevel;
    std::vector<uint8_t> piece(65536);
    z_stream z{};
    int e = inflateInit(&z);
    z.next_in = raw.data();
    z.avail_in = static_cast<uInt>(raw.size());
    uint64_t produced = 0;
    bool room = true;
    // Entries of no samples keep no pulse: the output is bounded too, by five bytes for each pulse kept.
    while (e == Z_OK && room && produced < kMaxTapePulses * 5) {
        z.next_out = piece.data();
        z.avail_out = static_cast<uInt>(piece.size());
        e = inflate(&z, Z_NO_FLUSH);
        size_t got = piece.size() - z.avail_out;
        produced += got;
        if (e == Z_BUF_ERROR && z.avail_in == 0) e = Z_DATA_ERROR;  // the stream ended early
        if (e == Z_BUF_ERROR) e = Z_OK;
        if (e == Z_OK || e == Z_STREAM_END) room = rle.feed(piece.data(), got);
    }
    inflateEnd(&z);
    if (e != Z_STREAM_END && e != Z_OK) {
        refuseFile("CSW", "the compressed pulses are damaged (zlib error %d)", e);
        // Nothing of a stream that cannot be read is kept.
        idx = firstPulse;
        currentLevel = firstLevel;
        return false;
    }
    if (e == Z_OK) SDL_Log("CSW: more pulse data than a tape holds, the tape is cut");
    if (produced > uint64_t(pulses) * 5) SDL_Log("CSW: the header under-states the pulse count (%u)", pulses);
    rle.finish();
    return true;
}

int decodeCSW(uint8_t version, uint8_t compression, uint32_t rate, int64_t size, uint32_t pulses) {
    if (!decodeCSWPulses(version, compression, rate, size, pulses)) {
        discardTableDataPulse();
        return 0;
    }
    pushEndOfTape("End of Tape !");
    checkEndTableDataPulse();
    return 1;
}

int fileCSW(int64_t length) {
    if (!headerIdCheck("Compressed Square Wave")) {
        return refuseFile("CSW", "This file is not a Compressed Square Wave - id != 'Compressed Square Wave'");
    }
    tapeCpcFreq = 4.0f;
    readU8();  // 0x1A
    uint8_t major = readU8();
    readU8();  // minor
    if (major != 1 && major != 2) {
        return refuseFile("CSW", "major version %d is not 1 or 2, refused", major);
    }
    uint32_t rate;
    uint32_t pulses = 0;
    uint8_t compression;
    uint8_t flags;
    if (major == 1) {
        rate = readU16lh();
        compression = readU8();
        flags = readU8();
        tapeSkip(3, length);
    } else {
        rate = readU32lh();
        pulses = readU32lh();
        compression = readU8();
        flags = readU8();
        uint8_t extension = readU8();
        tapeSkip(16, length);  // encoder name
        tapeSkip(extension, length);
    }
    // Refusals that the header already shows leave the tape in the deck.
    if (!cswDecodable(major, compression, rate)) return 0;
    if (tapeFileRemaining(length) == 0) {
        refuseFile("CSW", "no pulse data after the header, refused");
        tapeImageEmpty = true;
        return 0;
    }
    beginTableDataPulse();
    currentLevel = flags == 0 ? 1 : 0;
    tape->eject();
    addTapeIndex(TapeKindBeginOfTape);
    addTapeIndex(TapeKindCompressedSquareWave);
    return decodeCSW(major, compression, rate, tapeFileRemaining(length), pulses);
}
