// RAW preservation images: "CAPS" followed by per-track groups of "DATA",
// "TRCK" and "PACK" records, all numbers big-endian. A group's second PACK
// record holds the track's revolutions as raw MFM bytes, the first stored as
// it is and the others as literal runs and (bit-shifted) copies of the first.
//
// Records: "CAPS" (the identifier alone, or with a length and a CRC word),
// "DATA" + 8 words (opens a track's group, not otherwise used), "TRCK" +
// track number and side, "PACK" + unpacked size, unpacked CRC-32, packed size,
// packed CRC-32, header CRC-32, then the packed bytes. Any other identifier
// ends the image.
#pragma once
#include <cstdint>

class floppyDrive;

// Reads the image open in the file layer into `drive` as 43 tracks of five
// revolutions aligned on their first address mark; 1 on success, 0 when the
// file is not a RAW image or fails a check (the drive is then untouched).
int fileRAW(floppyDrive* drive);
