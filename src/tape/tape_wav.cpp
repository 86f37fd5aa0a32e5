#include "tape/tape_wav.h"

#include <SDL.h>

#include <vector>

#include "machine/file_reader.h"
#include "tape/tape_drive.h"
#include "tape/tape_file_span.h"
#include "tape/tape_pulse_builder.h"

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;
constexpr size_t kChunkBytes = 1 << 20;

bool isChunkIdText(const uint8_t id[4]) {
    for (int i = 0; i < 4; ++i) {
        if (id[i] < 0x20 || id[i] > 0x7E) return false;
    }
    return true;
}

struct WaveFormat {
    uint16_t channels = 0;
    uint32_t rate = 0;
    uint16_t blockAlign = 0;
    uint16_t bytesPerSample = 0;
};

// Reads the format chunk after "WAVEfmt "; false when it is not PCM this
// loader can level.
bool readFormat(WaveFormat& f, int64_t length) {
    uint32_t size = readU32lh();
    int64_t chunkEnd = filepos_idx + size;
    if (chunkEnd > length) {
        return refuseFile("WAVE ", "the 'fmt ' chunk is cut short by the end of the file");
    }
    uint16_t format = readU16lh();
    if (size < 16 || (format != kFormatPcm && format != kFormatExtensible)) return false;
    f.channels = readU16lh();
    f.rate = readU32lh();
    readU32lh();  // byte rate
    f.blockAlign = readU16lh();
    readU16lh();  // bits per sample: the block align tells the sample width
    if (format == kFormatExtensible) {
        if (size < 40) return false;
        readU16lh();  // extension size
        readU16lh();  // valid bits
        readU32lh();  // channel mask
        if (readU16lh() != kFormatPcm) return false;  // sub-format GUID begins with the format tag
    }
    if (filepos_idx < chunkEnd) tapeSkip(chunkEnd - filepos_idx, length);
    if (f.channels == 0 || f.rate == 0 || f.blockAlign == 0 || f.blockAlign % f.channels) return false;
    f.bytesPerSample = f.blockAlign / f.channels;
    return f.bytesPerSample <= 4;
}

// The levelling state carries over from one data chunk to the next.
struct Leveller {
    double sampleUnits = 0;  // one sample period
    double run = 0;
    uint8_t previousLevel = 0;
    int64_t frames = 0;

    void frame(const uint8_t* p, const WaveFormat& f) {
        // Each sample as an unsigned byte: 8-bit samples are unsigned, wider
        // ones signed little-endian, whose high byte flips to unsigned.
        ++frames;
        uint32_t value = previousLevel;
        for (uint16_t c = 0; c < f.channels; ++c, p += f.bytesPerSample) {
            value += f.bytesPerSample == 1 ? p[0] : uint8_t(p[f.bytesPerSample - 1] ^ 0x80);
        }
        value /= f.channels;
        uint8_t level = value <= 0x80 ? 1 : 0;
        if (level == previousLevel) {
            run += sampleUnits;
            return;
        }
        addPulse(currentLevel, run);
        currentLevel ^= 1;
        run = sampleUnits;
        previousLevel = level;
    }
};

void decodeDataChunk(uint32_t size, const WaveFormat& f, Leveller& leveller, int64_t end) {
    int64_t bytes = size < end - filepos_idx ? int64_t(size) : end - filepos_idx;
    int64_t frames = bytes / f.blockAlign;
    // The buffer holds what the chunk really has, at most about 1 MB.
    int64_t perRead = kChunkBytes / f.blockAlign > 0 ? int64_t(kChunkBytes / f.blockAlign) : 1;
    if (perRead > frames) perRead = frames;
    std::vector<uint8_t> chunk(static_cast<size_t>(perRead > 0 ? perRead * f.blockAlign : 1));
    while (frames > 0 && !tableDataPulseFull()) {
        int64_t take = frames < perRead ? frames : perRead;
        readBlock(chunk.data(), take * f.blockAlign);
        for (int64_t i = 0; i < take; ++i) leveller.frame(chunk.data() + i * f.blockAlign, f);
        frames -= take;
        bytes -= take * f.blockAlign;
    }
    tapeSkip(bytes, end);
    if (size & 1) tapeSkip(1, end);  // chunks are word aligned
}

// Whether a data chunk holds at least one whole frame, walking the chunks
// from here as the decoding does; the file position is left where it was.
bool anyFrame(const WaveFormat& f, int64_t end) {
    const int64_t start = filepos_idx;
    bool found = false;
    while (!found && end - filepos_idx >= 8) {
        uint8_t id[4];
        readBlock(id, 4);
        uint32_t size = readU32lh();
        int64_t left = end - filepos_idx;
        if (id[0] == 'd' && id[1] == 'a' && id[2] == 't' && id[3] == 'a') {
            found = (size < left ? int64_t(size) : left) >= f.blockAlign;
            tapeSkip(int64_t(size) + (size & 1), end);
        } else if (isChunkIdText(id) && size <= left) {
            tapeSkip(int64_t(size) + (size & 1), end);
        } else {
            break;
        }
    }
    SDL_RewindFile(start);
    return found;
}

}  // namespace

int fileWAVE(const char* /*name*/) {
    tapeCpcFreq = 4.0f;
    int64_t length = cPCFileLength;
    if (!headerIdCheck("RIFF")) return refuseFile("WAVE ", "This file is not a WAVE - id != 'RIFF'");
    uint32_t riffSize = readU32lh();
    if (!headerIdCheck("WAVE")) return refuseFile("WAVE ", "This file is not a WAVE - id != 'WAVEfmt '");
    // Chunks such as "LIST" may come before "fmt ": walk to it.
    bool formatFound = false;
    while (length - filepos_idx >= 8) {
        uint8_t id[4];
        readBlock(id, 4);
        if (id[0] == 'f' && id[1] == 'm' && id[2] == 't' && id[3] == ' ') {
            formatFound = true;
            break;
        }
        uint32_t size = readU32lh();
        if (!isChunkIdText(id) || size > length - filepos_idx) break;
        tapeSkip(int64_t(size) + (size & 1), length);
    }
    if (!formatFound) return refuseFile("WAVE ", "This file is not a WAVE - id != 'WAVEfmt '");
    WaveFormat format;
    if (!readFormat(format, length)) {
        if (!fileRefusal()[0]) refuseFile("WAVE ", "This file is not in Pulse Code Modulation Format");
        return 0;
    }
    // The RIFF size bounds the chunks, and so does the file when it is shorter.
    int64_t end = int64_t(riffSize) + 8;
    if (end > length) end = length;
    if (!anyFrame(format, end)) {
        // An empty tape would load without a word; the tape in the deck stays.
        refuseFile("WAVE ", "holds no samples, refused");
        tapeImageEmpty = true;
        return 0;
    }
    beginTableDataPulse();
    currentLevel = 0;
    tape->eject();

    Leveller leveller;
    leveller.sampleUnits = double(tapeCpcFreq) * 1000000.0 / format.rate;
    leveller.run = leveller.sampleUnits;
    while (end - filepos_idx >= 8 && !tableDataPulseFull()) {
        uint8_t id[4];
        readBlock(id, 4);
        uint32_t size = readU32lh();
        if (id[0] == 'd' && id[1] == 'a' && id[2] == 't' && id[3] == 'a') {
            addTapeIndex(TapeKindWaveData);
            decodeDataChunk(size, format, leveller, end);
        } else if (isChunkIdText(id) && size <= end - filepos_idx) {
            // Lists, cue points and the like carry no sound.
            tapeSkip(int64_t(size) + (size & 1), end);
        } else {
            SDL_Log("WAVE : PCM Format - no 'data' found or wave not proper end -> extra length is %lu",
                    static_cast<unsigned long>(end - filepos_idx + 8));
            break;
        }
    }
    if (leveller.frames == 0) {
        // An empty tape would load without a word.
        refuseFile("WAVE ", "holds no samples, refused");
        discardTableDataPulse();
        return 0;
    }
    pushEndOfTape("End of Tape !");
    checkEndTableDataPulse();
    return 1;
}
