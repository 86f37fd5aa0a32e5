// Putting a disk into the drive and taking it out: the five revolutions of
// every track are built here, once, so that turning the disk costs nothing.
#include <algorithm>
#include <cstring>
#include <utility>

#include "disk/fdc765.h"
#include "disk/floppy_drive.h"

namespace {

// Low byte of a raw word moved up by `cells`, the vacated cells repeating its lowest cell.
uint16_t shiftedVariant(uint16_t word, int cells) {
    uint32_t fill = (word & 1) ? (1u << cells) - 1 : 0;
    return mfmencode[((uint32_t(word) << cells) | fill) & 0xFF];
}

const sectorRecord* findWeakSector(const trackInfo& info, uint8_t r) {
    if (!info.sectors) return nullptr;
    for (int s = 0; s < info.sectorCount; ++s) {
        if (info.sectors[s].weak && info.sectors[s].R == r) return &info.sectors[s];
    }
    return nullptr;
}

// Builds five copies of one revolution into `copies` (5 x length words, copy k
// at k x length) and returns the length of one copy once the extra stored
// copies of weak sectors have been taken out.
uint32_t buildRevolutionsFromOne(const trackInfo& info, const uint16_t* source, uint32_t length, uint16_t* copies) {
    uint32_t out = 0;
    uint32_t in = 0;
    uint32_t weakDataAt = UINT32_MAX;
    uint32_t weakSize = 0;
    bool weakThreeCopies = false;
    auto put = [&](uint16_t c0, uint16_t c1, uint16_t c2, uint16_t c3, uint16_t c4) {
        copies[out] = c0;
        copies[length + out] = c1;
        copies[2 * length + out] = c2;
        copies[3 * length + out] = c3;
        copies[4 * length + out] = c4;
        ++out;
    };
    while (in < length) {
        if (in == weakDataAt) {
            for (uint32_t i = 0; i < weakSize; ++i) {
                uint16_t w = source[in + i];
                if (weakThreeCopies) {
                    uint16_t second = source[in + weakSize + i];
                    uint16_t third = source[in + 2 * weakSize + i];
                    bool same = second == w;
                    put(w, second, third, same ? w : shiftedVariant(w, 1), same ? w : shiftedVariant(w, 2));
                } else {
                    uint16_t c4 = mfmencode[((w & 0x0F) << 4) | ((w & 1) ? 0x0F : 0)];
                    put(w, shiftedVariant(w, 1), shiftedVariant(w, 2), shiftedVariant(w, 3), c4);
                }
            }
            in += weakThreeCopies ? 3 * weakSize : weakSize;
            weakDataAt = UINT32_MAX;
            continue;
        }
        uint16_t w = source[in];
        if (w == kMfmIdMark && in >= 3 && in + 4 < length && source[in - 1] == kMfmSyncA1 &&
            source[in - 2] == kMfmSyncA1 && source[in - 3] == kMfmSyncA1) {
            // The data mark of the layout the loaders write is 44 words after the ID mark.
            const sectorRecord* weak = findWeakSector(info, mfmdecode[source[in + 3]]);
            if (weak) {
                uint32_t size = sectorSizeFromN(weak->N);
                uint32_t dataAt = in + 45;
                bool three = weak->dataLength == 3 * size;
                bool one = weak->dataLength == size;
                if ((three || one) && dataAt + (three ? 3 : 1) * size <= length) {
                    weakDataAt = dataAt;
                    weakSize = size;
                    weakThreeCopies = three;
                }
            }
        }
        put(w, w, w, w, w);
        ++in;
    }
    return out;
}

}  // namespace

void floppyDrive::freeTracks() {
    if (trackBuffers) {
        for (int i = 0; i < trackCount; ++i) delete[] trackBuffers[i];
    }
    delete[] trackBuffers;
    delete[] trackLengths;
    delete[] trackCapacities;
    trackBuffers = nullptr;
    trackLengths = nullptr;
    trackCapacities = nullptr;
    trackCount = 0;
    trackBuffer = nullptr;
    trackLength = 0;
    copyEnd = 0;
}

void floppyDrive::attach_disk(trackInfo* info, uint16_t** buffers, int tracks, uint8_t doubleSidedDisk,
                              int revolutions) {
    wake();
    if (diskInserted) eject_disk();
    freeTracks();
    doubleSidedDisk = doubleSidedDisk ? 1 : 0;
    if (tracks > 256) tracks = 256;
    int count = tracks > 0 ? tracks << doubleSidedDisk : 0;
    if (!info || !buffers || count == 0) {
        destroy_track_IBMFM(info, buffers, tracks, 1 + doubleSidedDisk);
        return;
    }
    trackLengths = new trackLengthRecord[count];
    trackBuffers = new uint16_t*[count];
    trackCapacities = new uint32_t[count];
    trackCount = count;
    const uint32_t formatCapacity = uint32_t(kFormatMaxTrackLength) * kRevolutionsPerTrack;
    for (int i = 0; i < count; ++i) {
        uint32_t length = buffers[i] ? info[i].trackLength : 0;
        if (length > kMaxTrackLength) {
            length = kMaxTrackLength;
            info[i].trackLength = kMaxTrackLength;
        }
        uint8_t nibbles = static_cast<uint8_t>(info[i].lastWordNibbles & 3);
        // The copies are built in place; weak sectors only ever shorten them.
        uint16_t* words = new uint16_t[std::max(length * kRevolutionsPerTrack, formatCapacity)];
        if (length && revolutions != 1) {
            std::memcpy(words, buffers[i], length * kRevolutionsPerTrack * sizeof(uint16_t));
        } else if (length) {
            uint32_t reduced = buildRevolutionsFromOne(info[i], buffers[i], length, words);
            if (reduced != length) {
                // Close the gaps the extra stored copies leave at the end of each copy.
                for (int k = 1; k < kRevolutionsPerTrack; ++k)
                    std::memmove(words + k * reduced, words + k * length, reduced * sizeof(uint16_t));
                length = reduced;
            }
        }
        uint32_t capacity = std::max(length * kRevolutionsPerTrack, formatCapacity);
        std::fill(words + length * kRevolutionsPerTrack, words + capacity, kMfmFillerE5);
        trackBuffers[i] = words;
        trackCapacities[i] = capacity;
        trackLengths[i].length = static_cast<uint16_t>(length);
        trackLengths[i].lastWordNibbles = nibbles;
    }
    destroy_track_IBMFM(info, buffers, tracks, 1 + doubleSidedDisk);

    doubleSided = doubleSidedDisk;
    lastCylinder = static_cast<uint8_t>(tracks - 1);
    bitCounter = 31;
    position = 0;
    revolution = 0;
    indexOwed = false;
    sideFlipped = false;
    headSide = 0;
    if (tracks - 1 < cylinder) {
        cylinder = 0;
        if (unitRecord) unitRecord->pcn = 0;
    }
    trackZero = cylinder == 0;
    diskInserted = true;
    diskChanged = false;
    selectTrack();
    recomputeReady();
}

void floppyDrive::eject_disk() {
    wake();
    freeTracks();
    diskInserted = false;
    diskChanged = false;
    doubleSided = 0;
    headSide = 0;
    writeGate = false;
    lastCylinder = 41;
    trackZero = cylinder == 0;
    selectTrack();
    recomputeReady();
}

void floppyDrive::flip_side() {
    wake();
    sideFlipped = !sideFlipped;
    if (doubleSided && trackLengths) {
        for (int i = 0; i + 1 < trackCount; i += 2) {
            std::swap(trackLengths[i], trackLengths[i + 1]);
            std::swap(trackBuffers[i], trackBuffers[i + 1]);
            std::swap(trackCapacities[i], trackCapacities[i + 1]);
        }
    }
    headSide = 0;
    selectTrack();
}
