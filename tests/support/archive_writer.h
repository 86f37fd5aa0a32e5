// Zip archives built in memory with libzip; an entry with a password is AES-256 encrypted.
#pragma once
#include <zip.h>

#include <string>
#include <vector>

struct ZipEntrySpec {
    std::string name;
    std::vector<uint8_t> bytes;
    const char* password = nullptr;
};

inline std::vector<uint8_t> zipArchive(const std::vector<ZipEntrySpec>& entries) {
    zip_source_t* out = zip_source_buffer_create(nullptr, 0, 0, nullptr);
    zip_source_keep(out);
    zip_t* archive = zip_open_from_source(out, ZIP_TRUNCATE, nullptr);
    for (const ZipEntrySpec& e : entries) {
        const zip_int64_t i = zip_file_add(archive, e.name.c_str(),
                                           zip_source_buffer_create(e.bytes.data(), e.bytes.size(), 0, nullptr), 0);
        if (e.password) zip_file_set_encryption(archive, static_cast<zip_uint64_t>(i), ZIP_EM_AES_256, e.password);
    }
    zip_close(archive);
    zip_stat_t st;
    std::vector<uint8_t> bytes;
    if (zip_source_stat(out, &st) == 0 && zip_source_open(out) == 0) {
        bytes.resize(st.size);
        if (zip_source_read(out, bytes.data(), st.size) != static_cast<zip_int64_t>(st.size)) bytes.clear();
        zip_source_close(out);
    }
    zip_source_free(out);
    return bytes;
}
