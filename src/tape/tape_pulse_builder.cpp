#include "tape/tape_pulse_builder.h"

#include <SDL.h>
#include <cstdlib>
#include <cstring>

#include "tape/tape_drive.h"

float tapeCpcFreq = 3.5f;
uint32_t zeroBitPulseLength = 855;
uint32_t oneBitPulseLength = 1710;
uint8_t usedBitsInTheLastByte = 8;
uint8_t currentLevel = 0;

tapePulse* tableDataPulse = nullptr;
uint64_t maxIdx = 0;
uint64_t idx = 0;

namespace {

constexpr uint64_t kTableGrowth = 65536;
// Room for the closing pulses once the table is full.
constexpr uint64_t kHardLimit = kMaxTapePulses + 16;
bool fullLogged = false;
double tableMicroseconds = 0;

}  // namespace

void beginTableDataPulse() {
    std::free(tableDataPulse);
    tableDataPulse = nullptr;
    maxIdx = 0;
    idx = 0;
    fullLogged = false;
    tableMicroseconds = 0;
}

bool copyTableDataPulse() {
    uint64_t growth = maxIdx / 2 > kTableGrowth ? maxIdx / 2 : kTableGrowth;
    uint64_t capacity = maxIdx + growth;
    if (capacity > kHardLimit) capacity = kHardLimit;
    if (capacity <= maxIdx) return false;
    auto* grown = static_cast<tapePulse*>(std::realloc(tableDataPulse, sizeof(tapePulse) * capacity));
    if (!grown) return false;
    tableDataPulse = grown;
    maxIdx = capacity;
    return true;
}

bool tableDataPulseFull() {
    if (idx < kMaxTapePulses && tableMicroseconds < kMaxTapeMicroseconds) return false;
    if (!fullLogged) {
        SDL_Log("tape: more than %llu pulses or %.0f minutes, the rest of the tape is dropped",
                static_cast<unsigned long long>(kMaxTapePulses), kMaxTapeMicroseconds / 60e6);
        fullLogged = true;
    }
    return true;
}

bool tableDataPulseCut() { return fullLogged; }

bool tapeImageEmpty = false;

void checkEndTableDataPulse() {
    tapePulse* table = tableDataPulse;
    if (idx == 0) {
        std::free(table);
        table = nullptr;
    } else if (idx < maxIdx) {
        auto* shrunk = static_cast<tapePulse*>(std::realloc(table, sizeof(tapePulse) * idx));
        if (shrunk) table = shrunk;
    }
    uint32_t count = static_cast<uint32_t>(idx);
    tableDataPulse = nullptr;
    maxIdx = 0;
    idx = 0;
    if (tapeIndex) tapeIndex->checkEndTapeIndexTable();
    if (tape) {
        tape->insertPulses(table, count);
    } else {
        std::free(table);
    }
}

void discardTableDataPulse() {
    beginTableDataPulse();
    if (tapeIndex) tapeIndex->clear();
    k7IndexNextBlock = 0;
}

bool addTapeIndex(uint8_t kind) { return tapeIndex && tapeIndex->addTapeIndex(kind, idx); }

void addPulseMicroseconds(uint8_t level, double microseconds) {
    double rounded = microseconds + 0.5;
    // A pulse shorter than the deck's step cannot be played; its neighbours
    // carry their own levels, so leaving it out keeps the rest in place.
    if (!(rounded >= 1.0)) return;
    if (idx >= kHardLimit) return;
    if (idx == maxIdx && !copyTableDataPulse()) return;
    tapePulse& p = tableDataPulse[idx++];
    p.level = level & 1;
    p.duration = rounded >= double(kMaxPulseMicroseconds) ? kMaxPulseMicroseconds : static_cast<uint32_t>(rounded);
    tableMicroseconds += p.duration;
}

void addPulse(uint8_t level, double length) { addPulseMicroseconds(level, length / tapeCpcFreq); }

void pushPulse(double length) {
    addPulse(currentLevel, length);
    currentLevel ^= 1;
}

void pushTone(double length, uint32_t count) {
    // Pulses too short to play only change the level: an odd count of them leaves it turned.
    if (!(length / tapeCpcFreq + 0.5 >= 1.0)) {
        currentLevel ^= count & 1;
        return;
    }
    for (uint32_t i = 0; i < count && !tableDataPulseFull(); ++i) pushPulse(length);
}

void pushBit(bool bit) {
    uint32_t length = bit ? oneBitPulseLength : zeroBitPulseLength;
    pushPulse(length);
    pushPulse(length);
}

void pushByte(uint8_t byte) {
    for (int bit = 7; bit >= 0; --bit) pushBit((byte >> bit) & 1);
}

void pushPause(uint32_t ms) {
    if (ms == 0) return;
    if (currentLevel == 1) {
        addPulseMicroseconds(1, 1000);
        currentLevel = 0;
    }
    addPulseMicroseconds(currentLevel, double(ms) * 1000);
    currentLevel ^= 1;
}

void pushEndOfTape(const char* text) {
    pushPause(1);
    addPulseMicroseconds(1, 1);
    addPulseMicroseconds(1, 1);
    if (addTapeIndex(TapeKindEndOfTape) && text) tapeIndex->setLastText(text, static_cast<uint32_t>(std::strlen(text)));
}
