// Building the deck's pulse table: what every tape loader shares. Lengths go
// in in the image's own time unit and are stored in microseconds.
#pragma once
#include <cstdint>

#include "tape/tape_drive.h"

// Source time units per microsecond: 3.5 for T-states of a 3.5 MHz Z80
// (CDT/TZX), 4 for CSW and WAV.
extern float tapeCpcFreq;
extern uint32_t zeroBitPulseLength;
extern uint32_t oneBitPulseLength;
extern uint8_t usedBitsInTheLastByte;
extern uint8_t currentLevel;  // level of the next pushed pulse

// The table being built, its capacity and its count.
extern tapePulse* tableDataPulse;
extern uint64_t maxIdx;
extern uint64_t idx;

// A tape is cut at the longest a real deck plays (a C120 side is an hour;
// three hours leave room) or at 16 M pulses (128 MB, two hours of the
// firmware's fastest speed), so that no small image takes a lot of memory.
constexpr uint64_t kMaxTapePulses = 1ull << 24;
constexpr double kMaxTapeMicroseconds = 3.0 * 3600 * 1e6;

// Starts a new table, dropping any left over.
void beginTableDataPulse();
bool copyTableDataPulse();
// Shrinks the table to its count, hands it to the deck and rewinds the deck.
void checkEndTableDataPulse();
// A loader gave up after the deck was emptied: the deck stays empty.
void discardTableDataPulse();
// Set by a loader that refused an image with nothing to play, which it does
// before touching the deck: the tape in the deck then stays. Cleared by the
// caller before each load.
extern bool tapeImageEmpty;
// True once the table holds kMaxTapePulses or kMaxTapeMicroseconds of tape;
// loaders stop decoding then.
bool tableDataPulseFull();
// The table being (or last) built was cut by tableDataPulseFull.
bool tableDataPulseCut();

// An index entry for the block starting at the next pulse; false when the
// index is full.
bool addTapeIndex(uint8_t kind);

void addPulse(uint8_t level, double length);
void addPulseMicroseconds(uint8_t level, double microseconds);
void pushPulse(double length);
// `count` pulses of one length in turn, as a pure tone or pilot is.
void pushTone(double length, uint32_t count);
void pushBit(bool bit);
void pushByte(uint8_t byte);
void pushPause(uint32_t ms);
// The close every tape gets: a final low, two short highs and the end entry.
void pushEndOfTape(const char* text);
