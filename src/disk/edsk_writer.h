// Extended DSK images from the drive's MFM tracks: every track is read the
// way the controller reads it (sync marks, ID and data fields, CRCs, the five
// revolutions), so that the written image loads back into tracks on which
// the controller finds the same sectors, data and errors.
#pragma once
#include <cstdint>
#include <vector>

class floppyDrive;

// One sector as the controller finds it on a track.
struct foundSector {
    uint8_t C = 0, H = 0, R = 0, N = 0;
    // ID CRC error: ST1 20h; data CRC error: 20h in both; deleted: ST2 40h; no data mark: 01h in both.
    uint8_t ST1 = 0, ST2 = 0;
    bool weak = false;          // the data differs between revolutions
    std::vector<uint8_t> data;  // what is stored: one copy, three copies when weak, nothing without a data mark
};

struct foundTrack {
    bool formatted = false;  // at least one ID field was found
    uint8_t sizeCode = 2;
    uint8_t gap3 = 0x4E;
    uint8_t filler = 0xE5;
    std::vector<foundSector> sectors;  // in the order they pass the head from the index
};

// A disk's tracks copied out of the drive, in the disk's own side order: the
// copy takes a moment, reading the tracks much longer, so the machine is held
// only for the copy and the image is built while it runs on.
struct copiedTrack {
    std::vector<uint16_t> words;  // the five revolutions, `length` words each
    uint32_t length = 0;          // 0 = unformatted
    uint8_t lastWordNibbles = 0;
};
struct diskTracks {
    int sides = 1;
    std::vector<copiedTrack> tracks;  // (cylinder * sides) + side
};

// Reads track `index` of the drive (in the disk's own side order, whatever way
// up it is in the drive).
foundTrack readDriveTrack(const floppyDrive& drive, int index);
// Copies the drive's tracks into `copy` (its buffers are reused); false when the drive holds no disk.
bool copyDiskTracks(const floppyDrive& drive, diskTracks& copy);
// The whole disk as an Extended DSK file; false when there is no disk.
bool buildExtendedDSK(const diskTracks& disk, std::vector<uint8_t>& image);
bool buildExtendedDSK(const floppyDrive& drive, std::vector<uint8_t>& image);
// A blank disk in the CPC's DATA format: 40 tracks, one side, sectors C1h to
// C9h of 512 bytes filled with E5h.
void buildBlankDataDisk(std::vector<uint8_t>& image);
