// The ASIC's part of an SNA snapshot: the "CPC+" chunk, the Plus fields at
// offsets B5 and B6 of the header and the machine type byte at 6D.
#pragma once
#include <cstddef>
#include <cstdint>

// Bytes of the "CPC+" chunk's data (after its identifier and length).
constexpr size_t kAsicSnapshotChunkSize = 2296;

// Writes the chunk's data of the ASIC `as` into `buffer` (at least
// kAsicSnapshotChunkSize bytes); returns the bytes written.
size_t asicSnapshotChunkWrite(uint8_t* buffer);
// Restores the ASIC from a chunk's data. False, with nothing changed, when
// `size` is shorter than the chunk.
bool asicSnapshotChunkRead(const uint8_t* data, size_t size);

// A pen whose palette entry is what the colour port writes for the header's
// hardware colour was set through that port: it shows the monitor's colour.
void asicSnapshotKeepPortColours(const uint8_t* hardwareColours);

// Header byte B5: the video interrupt pending flag in bit 7 and the DMA
// interrupt flags and enables of DCSR in bits 6-0. B6: 0 unlocked, 1 locked.
uint8_t asicSnapshotB5();
uint8_t asicSnapshotB6();
void asicSnapshotReadB5B6(uint8_t b5, uint8_t b6);

// Header byte 6D: 0, 1, 2 for the 464, 664, 6128; 5 for the 464+, 4 for the
// 6128+, 6 for the GX4000. And back to a model (3 loads as a 6128).
uint8_t snapshotMachineTypeByte(uint8_t model);
uint8_t modelFromSnapshotMachineType(uint8_t byte);
