// CSW tape images (compressed square wave, versions 1 and 2, RLE and Z-RLE).
#pragma once
#include <cstdint>

// Reads the image open in the file layer (length bytes); 1 when the tape is in the deck.
int fileCSW(int64_t length);

// Reads size bytes of CSW pulse data from the open file and appends their
// pulses; false (with a log line) when the data cannot be decoded.
bool decodeCSWPulses(uint8_t version, uint8_t compression, uint32_t rate, int64_t size, uint32_t pulses);
// decodeCSWPulses, then the end of the tape: the table goes to the deck.
int decodeCSW(uint8_t version, uint8_t compression, uint32_t rate, int64_t size, uint32_t pulses);
// Whether a CSW of this version can hold data of this compression.
bool cswCompressionKnown(uint8_t version, uint8_t compression);
