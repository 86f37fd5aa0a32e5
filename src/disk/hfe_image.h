// HFE ("HXCPICFE") images: every track is already a raw MFM cell stream,
// stored least significant cell first with the two sides interleaved in
// 256-byte halves of 512-byte blocks.
#pragma once
#include <cstdint>

class floppyDrive;

// Reads the image open in the file layer into `drive`; 1 on success, 0 when
// the file is not an HFE image or fails a check (the drive is then untouched).
int fileHFE(floppyDrive* drive);
// Mirrors the eight bits of a byte: the file's first cell becomes the word's high cell.
uint8_t transformHFEtoMFM(uint8_t byte);
