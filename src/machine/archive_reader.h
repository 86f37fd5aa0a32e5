// Images inside .zip and .gz archives: the first entry the media table knows,
// taken out whole into memory. Archives come from anywhere, so every size,
// count and name is checked before anything is inflated, and what is inflated
// is bounded by its own length, not by what the archive claims.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The largest image taken out of an archive, and of an archive file itself.
constexpr size_t kArchiveMaxEntrySize = 16u * 1024 * 1024;
constexpr size_t kArchiveMaxFileSize = 64u * 1024 * 1024;
// More entries than this is no software collection but an attack on the reader.
constexpr size_t kArchiveMaxEntries = 1000;
// Above this size an entry must not inflate more than kArchiveMaxRatio times.
constexpr size_t kArchiveRatioFloor = 4u * 1024 * 1024;
constexpr size_t kArchiveMaxRatio = 100;

struct ArchiveEntry {
    std::string name;  // the entry's file name, without the directories inside the archive
    std::vector<uint8_t> bytes;
};

// ".zip" or ".gz" (any case) at the end of the path's name.
bool isArchivePath(const char* path);
// Takes the first image out of the archive `bytes` (a zip, or a gzip stream
// when `gzipName` is set: the name the image had, the archive's without .gz).
// False with `error` saying why for anything hostile, damaged or empty.
bool extractArchiveImage(const uint8_t* bytes, size_t size, const char* gzipName, ArchiveEntry& entry,
                         std::string& error);
// The same for an archive file.
bool readArchiveFile(const char* path, ArchiveEntry& entry, std::string& error);
