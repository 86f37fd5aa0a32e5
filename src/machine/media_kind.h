// What a file is, by the extension of its name: the one table the loader, the
// tape side, the disk write-back and the fuzz harness all choose by.
#pragma once
#include <cstdint>

enum class MediaClass : uint8_t { Disk, Tape, Snapshot, Cartridge };

struct MediaKind {
    const char* extension;  // lower case, matched case-insensitively
    MediaClass media;
    // The reader's kind code: disks 'd' DSK or Extended DSK, 'h' HFE, 'i' IPF,
    // 'r' RAW; tapes 'c' CDT/TZX, 'w' WAV, 's' CSW; 0 for the others.
    char code;
};

// The text after the last '.' of the path's file name, or null when the name
// has no '.' or nothing after it.
const char* fileExtension(const char* path);
// The table's entry for an extension (without the dot), or null.
const MediaKind* mediaKindOfExtension(const char* extension);
// The entry for the path's extension, or null.
const MediaKind* mediaKindOfPath(const char* path);
