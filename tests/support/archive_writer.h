// Zip archives built with libzip; an entry with a password is AES-256 encrypted.
#pragma once
#include <unistd.h>
#include <zip.h>

#include "support/temp_home.h"

struct ZipEntrySpec {
    std::string name;
    std::vector<uint8_t> bytes;
    const char* password = nullptr;
};

inline std::vector<uint8_t> zipArchive(const std::vector<ZipEntrySpec>& entries) {
    char path[] = "/tmp/kestrix-zip-XXXXXX";
    close(mkstemp(path));
    zip_t* archive = zip_open(path, ZIP_TRUNCATE, nullptr);
    for (const ZipEntrySpec& e : entries) {
        const zip_int64_t i = zip_file_add(archive, e.name.c_str(),
                                           zip_source_buffer(archive, e.bytes.data(), e.bytes.size(), 0), 0);
        if (e.password) zip_file_set_encryption(archive, static_cast<zip_uint64_t>(i), ZIP_EM_AES_256, e.password);
    }
    zip_close(archive);
    std::vector<uint8_t> bytes = fileBytes(path);
    unlink(path);
    return bytes;
}
