#include "support/archive_writer.h"

#include <zip.h>

#include <algorithm>

std::vector<uint8_t> zipArchive(const std::vector<ZipEntrySpec>& entries) {
    zip_source_t* out = zip_source_buffer_create(nullptr, 0, 0, nullptr);
    zip_source_keep(out);
    zip_t* archive = zip_open_from_source(out, ZIP_TRUNCATE, nullptr);
    for (const ZipEntrySpec& e : entries) {
        zip_source_t* data = zip_source_buffer_create(e.bytes.data(), e.bytes.size(), 0, nullptr);
        const zip_int64_t index = zip_file_add(archive, e.name.c_str(), data, ZIP_FL_ENC_RAW);
        if (e.password) zip_file_set_encryption(archive, static_cast<zip_uint64_t>(index), ZIP_EM_AES_256, e.password);
    }
    zip_close(archive);
    std::vector<uint8_t> bytes;
    zip_stat_t st;
    if (zip_source_stat(out, &st) == 0 && zip_source_open(out) == 0) {
        bytes.resize(st.size);
        bytes.resize(static_cast<size_t>(std::max<zip_int64_t>(0, zip_source_read(out, bytes.data(), st.size))));
        zip_source_close(out);
    }
    zip_source_free(out);
    return bytes;
}
