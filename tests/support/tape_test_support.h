// Shared pieces of the tape tests: a deck without the rest of the machine,
// a scratch directory, image builders and writers, and a log catcher.
#pragma once
#include "support/log_capture.h"
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/temp_home.h"
#include "tape/tape_drive.h"

using Bytes = std::vector<uint8_t>;

// A scratch directory, removed afterwards.
using TapeScratchDir = TempKestrixHome;

// The deck, its index, the key matrix and the text buffers, with timed
// actions following emulated time.
class TapeDeckTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Plays n microseconds.
    static void run(uint64_t microseconds);
    // Writes the image as `name` in the scratch directory and loads it by its extension (.cdt, .csw, .wav).
    int load(const std::string& name, const Bytes& image);
    TapeScratchDir scratch;
};

using TapeLogCatcher = test_support::LogCapture;

// Opens the file and runs the loader of the kind ('c', 's', 'w'); the loader's result.
int loadTapeImage(const std::string& path, char kind);

// The deck's pulse table as (level, duration) pairs.
std::vector<tapePulse> deckPulses();

// --- builders -------------------------------------------------------------

void putU16(Bytes& b, uint32_t v);
void putU24(Bytes& b, uint32_t v);
void putU32(Bytes& b, uint32_t v);
void putText(Bytes& b, const std::string& s);
// The parts one after another.
Bytes join(std::initializer_list<Bytes> parts);
// The bytes through zlib at its best compression.
Bytes zlibPacked(const Bytes& raw);

Bytes cdtHeader();
// A standard speed data block (0x10) with the given bytes.
Bytes cdtStandardBlock(const Bytes& data, uint16_t pauseMs);
// A turbo speed data block (0x11) in the CPC firmware's timing.
Bytes cdtTurboBlock(const Bytes& data, uint8_t usedBits, uint16_t pauseMs, uint16_t pilots = 4096);

// Writers that turn a pulse table into a recording of it.
Bytes wavFromPulses(const std::vector<tapePulse>& pulses, uint32_t rate, int bits, int channels = 1);
Bytes cswFromPulses(const std::vector<tapePulse>& pulses, uint32_t rate, int version);
Bytes cswHeaderV1(uint32_t rate, uint8_t compression, uint8_t flags);
Bytes cswHeaderV2(uint32_t rate, uint32_t pulses, uint8_t compression, uint8_t flags);
Bytes wavHeader(uint32_t rate, uint16_t channels, uint16_t bits, uint32_t dataBytes);

// A CDT holding one block of every kind the loader knows.
Bytes cdtOfEveryBlock();
// A varied pulse table ending in a run too long for one RLE byte.
std::vector<tapePulse> somePulses();

// `count` pulses from `from` as "level:us" words, for comparing a stretch of a table at once.
std::string pulseText(const std::vector<tapePulse>& pulses, size_t from, size_t count);

// Durations of the runs of equal level, with neighbouring pulses of one level joined.
std::vector<uint64_t> levelRuns(const std::vector<tapePulse>& pulses);
