// Zip archives built in memory with libzip, for the archive reader's tests.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct ZipEntrySpec {
    std::string name;
    std::vector<uint8_t> bytes;
    const char* password = nullptr;  // AES-256 encrypted with it when set
};

std::vector<uint8_t> zipArchive(const std::vector<ZipEntrySpec>& entries);
