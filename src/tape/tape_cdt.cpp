#include "tape/tape_cdt.h"

#include <SDL.h>

#include "machine/file_reader.h"
#include "tape/tape_csw.h"
#include "tape/tape_drive.h"
#include "tape/tape_file_span.h"
#include "tape/tape_pulse_builder.h"

namespace {

constexpr uint32_t kStandardPilotPulse = 2168;
constexpr uint32_t kStandardSync1 = 667;
constexpr uint32_t kStandardSync2 = 735;
constexpr uint32_t kStandardZeroBit = 855;
constexpr uint32_t kStandardOneBit = 1710;
constexpr int kHeaderPilotPulses = 8063;
constexpr int kDataPilotPulses = 3223;
constexpr uint32_t kLeadInPauseMs = 2048;

int64_t fileLength = 0;

uint8_t clampUsedBits(uint8_t bits) { return bits > 8 ? 8 : bits; }

// Hands the bits of the next n bytes of the file to onBit, most significant
// first; of the last byte only its used bits. A full table skips the rest.
template <typename OnBit>
void forEachDataBit(int64_t n, uint8_t usedBits, OnBit onBit) {
    n = tapeClampToFile(n, fileLength);
    uint8_t chunk[4096];
    while (n > 0) {
        if (tableDataPulseFull()) {
            tapeSkip(n, fileLength);
            return;
        }
        int64_t take = n < int64_t(sizeof chunk) ? n : int64_t(sizeof chunk);
        readBlock(chunk, take);
        for (int64_t i = 0; i < take; ++i) {
            int bits = (n - i == 1) ? usedBits : 8;
            for (int b = 0; b < bits; ++b) onBit((chunk[i] >> (7 - b)) & 1);
        }
        n -= take;
    }
}

// Data bytes, each bit as two pulses.
void decodeTAPBuffer(int64_t n) {
    forEachDataBit(n, clampUsedBits(usedBitsInTheLastByte), [](bool bit) { pushBit(bit); });
}

void endDataBlock(uint16_t pauseMs) {
    if (pauseMs) pushPause(pauseMs);
}

void standardSpeedData() {
    uint16_t pause = readU16lh();
    int64_t length = tapeClampToFile(readU16lh(), fileLength);
    zeroBitPulseLength = kStandardZeroBit;
    oneBitPulseLength = kStandardOneBit;
    usedBitsInTheLastByte = 8;
    if (length > 0) {
        uint8_t flag = readU8();
        int pilots = (flag & 0x80) ? kDataPilotPulses : kHeaderPilotPulses;
        pushTone(kStandardPilotPulse, pilots);
        pushPulse(kStandardSync1);
        pushPulse(kStandardSync2);
        pushByte(flag);
        decodeTAPBuffer(length - 1);
    }
    endDataBlock(pause);
}

void turboSpeedData() {
    uint16_t pilot = readU16lh();
    uint16_t sync1 = readU16lh();
    uint16_t sync2 = readU16lh();
    zeroBitPulseLength = readU16lh();
    oneBitPulseLength = readU16lh();
    uint16_t pilots = readU16lh();
    usedBitsInTheLastByte = readU8();
    uint16_t pause = readU16lh();
    uint32_t length = readU24lh();
    pushTone(pilot, pilots);
    pushPulse(sync1);
    pushPulse(sync2);
    decodeTAPBuffer(length);
    endDataBlock(pause);
}

void pureTone() {
    uint16_t length = readU16lh();
    uint16_t count = readU16lh();
    pushTone(length, count);
}

void pulseSequence() {
    uint8_t count = readU8();
    for (int i = 0; i < count; ++i) pushPulse(readU16lh());
}

void pureData() {
    zeroBitPulseLength = readU16lh();
    oneBitPulseLength = readU16lh();
    usedBitsInTheLastByte = readU8();
    uint16_t pause = readU16lh();
    uint32_t length = readU24lh();
    decodeTAPBuffer(length);
    endDataBlock(pause);
}

// Each bit is one sample of the level; runs of equal samples are one pulse.
void directRecording() {
    uint32_t tStatesPerSample = readU16lh();
    if (tStatesPerSample == 0) tStatesPerSample = 1;
    uint16_t pause = readU16lh();
    uint8_t usedBits = clampUsedBits(readU8());
    uint32_t n = readU24lh();
    uint8_t level = 0;
    double run = 0;
    forEachDataBit(n, usedBits, [&](uint8_t sample) {
        if (sample == level) {
            run += tStatesPerSample;
        } else {
            addPulse(level, run);
            level ^= 1;
            run = tStatesPerSample;
        }
    });
    if (run > 0) addPulse(level, run);
    endDataBlock(pause);
}

void cswRecording() {
    uint32_t blockLength = readU32lh();
    int64_t blockEnd = filepos_idx + blockLength;
    if (blockLength < 10) {
        tapeSkip(blockLength, fileLength);
        return;
    }
    uint16_t pause = readU16lh();
    uint32_t rate = readU24lh();
    uint8_t compression = readU8();
    uint32_t pulses = readU32lh();
    int64_t dataLength = int64_t(blockLength) - 10;
    if (!decodeCSWPulses(2, compression, rate, dataLength, pulses)) {
        SDL_Log("CDT : CSW recording block skipped");
    }
    if (filepos_idx < blockEnd) tapeSkip(blockEnd - filepos_idx, fileLength);
    endDataBlock(pause);
}

void setSignalLevel() {
    uint32_t blockLength = readU32lh();
    currentLevel = readU8() & 1;
    addPulse(currentLevel, currentLevel ? oneBitPulseLength : zeroBitPulseLength);
    currentLevel ^= 1;
    if (blockLength > 1) tapeSkip(blockLength - 1, fileLength);
}

// A text of the given length becomes the block's text.
void readBlockText(uint32_t length) {
    char text[256];
    int64_t n = tapeClampToFile(length, fileLength);
    readBlock(text, n);
    tapeIndex->setLastText(text, static_cast<uint32_t>(n));
}

void logArchiveType(uint8_t type) {
    static const char* const kTypes[] = {
        "CDT : 00 - Full title",          "CDT : 01 - Software house/publisher",
        "CDT : 02 - Author(s)",           "CDT : 03 - Year of publication",
        "CDT : 04 - Language",            "CDT : 05 - Game/utility type",
        "CDT : 06 - Price",               "CDT : 07 - Protection scheme/loader",
        "CDT : 08 - Origin",
    };
    if (type < sizeof kTypes / sizeof kTypes[0]) {
        SDL_Log("%s", kTypes[type]);
    } else if (type == 0xFF) {
        SDL_Log("CDT : FF - Comment(s)");
    }
}

void archiveInfo() {
    uint16_t blockLength = readU16lh();
    int64_t blockEnd = filepos_idx + blockLength;
    uint8_t count = readU8();
    for (int i = 0; i < count && filepos_idx + 2 <= blockEnd; ++i) {
        uint8_t type = readU8();
        uint8_t length = readU8();
        int64_t room = blockEnd - filepos_idx;
        logArchiveType(type);
        readBlockText(static_cast<uint32_t>(length < room ? length : room));
    }
    if (filepos_idx < blockEnd) tapeSkip(blockEnd - filepos_idx, fileLength);
}

// Decodes one block; false for an identifier this loader does not know.
bool decodeBlock(uint8_t id) {
    switch (id) {
        case 0x10: standardSpeedData(); break;
        case 0x11: turboSpeedData(); break;
        case 0x12: pureTone(); break;
        case 0x13: pulseSequence(); break;
        case 0x14: pureData(); break;
        case 0x15: directRecording(); break;
        case 0x18: cswRecording(); break;
        case 0x19: tapeSkip(readU32lh(), fileLength); break;
        case 0x20: pushPause(readU16lh()); break;
        case 0x21: readBlockText(readU8()); break;
        case 0x22: case 0x25: case 0x27: break;
        case 0x23: case 0x24: readU16lh(); break;
        case 0x26: tapeSkip(int64_t(readU16lh()) * 2, fileLength); break;
        case 0x28: tapeSkip(readU16lh(), fileLength); break;
        case 0x2A: readU32lh(); break;
        case 0x2B: setSignalLevel(); break;
        case 0x30: readBlockText(readU8()); break;
        case 0x31: readU8(); readBlockText(readU8()); break;
        case 0x32: archiveInfo(); break;
        case 0x33: tapeSkip(int64_t(readU8()) * 3, fileLength); break;
        case 0x35: tapeSkip(16, fileLength); tapeSkip(readU32lh(), fileLength); break;
        case 0x5A: tapeSkip(9, fileLength); break;
        default: return false;
    }
    return true;
}

}  // namespace

int fileCDT(const char* /*name*/, int64_t length) {
    tapeCpcFreq = 3.5f;
    if (!headerIdCheck("ZXTape!") || readU8() != 0x1A) {
        return refuseFile("CDT ", "not a TZX tape image - id != 'ZXTape!'");
    }
    readU8();  // version, major and minor
    readU8();
    if (filepos_idx >= length) {
        // Loading it would give a tape that plays nothing, without a word:
        // refused as a wrong header is, with the tape in the deck kept.
        refuseFile("CDT ", "holds no blocks, refused");
        tapeImageEmpty = true;
        return 0;
    }
    fileLength = length;
    zeroBitPulseLength = kStandardZeroBit;
    oneBitPulseLength = kStandardOneBit;
    usedBitsInTheLastByte = 8;
    beginTableDataPulse();
    currentLevel = 0;
    tape->eject();
    addTapeIndex(TapeKindBeginOfTape);
    pushPause(kLeadInPauseMs);
    while (filepos_idx < length) {
        if (tableDataPulseFull()) break;
        int64_t offset = filepos_idx;
        uint8_t id = readU8();
        if (!addTapeIndex(id)) {
            SDL_Log("CDT : too many blocks, the tape ends at offset %lld", static_cast<long long>(offset));
            break;
        }
        if (!decodeBlock(id)) {
            SDL_Log("CDT : unknown block id %02X at offset %lld, the tape ends there", id,
                    static_cast<long long>(offset));
            checkEndTableDataPulse();
            return 1;
        }
    }
    pushEndOfTape(nullptr);
    checkEndTableDataPulse();
    return 1;
}
