// The CP/M directory of a disk (what CAT lists): read from the tracks a loader
// builds, so every image format the drives take shows its catalogue, and
// without inserting the disk into either of the machine's drives.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class floppyDrive;

struct CatalogueEntry {
    std::string name;  // "NAME.EXT", the blanks trimmed
    uint8_t user = 0;
    uint32_t sizeK = 0;  // the blocks allocated to it, 1 KB each
    bool readOnly = false;
    bool system = false;  // hidden from CAT
};

struct DiskCatalogue {
    const char* format = "";  // "Data", "System" or "IBM"
    std::vector<CatalogueEntry> entries;  // sorted by name, then user
};

// The catalogue of the disk in `drive`; false when its first track is not one
// of the three formats (the entries are then empty).
bool readCatalogue(const floppyDrive& drive, DiskCatalogue& catalogue);
// The catalogue of the image file at `path` (any disk kind of the media
// table), loaded into a scratch drive; false when it is not a readable disk
// image or holds no CP/M directory. Uses the file layer's one open file.
bool readCatalogueOfFile(const char* path, DiskCatalogue& catalogue);
