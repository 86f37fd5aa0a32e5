#include "machine/archive_reader.h"

#include <strings.h>
#include <zip.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "machine/base_path.h"
#include "machine/media_kind.h"

namespace {

bool endsWithNoCase(const char* text, const char* tail) {
    const size_t n = std::strlen(text), m = std::strlen(tail);
    return n > m && strcasecmp(text + n - m, tail) == 0;
}

// A name that would leave the folder it is taken out into: absolute, with a
// drive letter, or with a ".." part.
bool escapingName(const char* name) {
    if (name[0] == '/' || name[0] == '\\' || (name[0] && name[1] == ':')) return true;
    const char* part = name;
    for (const char* c = name;; ++c) {
        if (*c == '/' || *c == '\\' || !*c) {
            if (c - part == 2 && part[0] == '.' && part[1] == '.') return true;
            if (!*c) return false;
            part = c + 1;
        }
    }
}

bool tooMuchInflated(size_t inflated, size_t compressed) {
    return inflated > kArchiveRatioFloor && inflated / kArchiveMaxRatio > compressed;
}

bool fail(std::string& error, const std::string& why) {
    error = why;
    return false;
}

bool inflateGzip(const uint8_t* bytes, size_t size, std::vector<uint8_t>& out, std::string& error) {
    z_stream stream{};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) return fail(error, "cannot inflate");
    stream.next_in = const_cast<Bytef*>(bytes);
    stream.avail_in = static_cast<uInt>(size);
    // Grown a piece at a time, so that a small stream costs little and a bomb stops at the bound.
    constexpr size_t kPiece = 256 * 1024;
    out.clear();
    int result = Z_OK;
    while (result == Z_OK && out.size() <= kArchiveMaxEntrySize) {
        const size_t at = out.size();
        out.resize(at + kPiece);
        stream.next_out = out.data() + at;
        stream.avail_out = static_cast<uInt>(kPiece);
        result = inflate(&stream, Z_NO_FLUSH);
        out.resize(out.size() - stream.avail_out);
    }
    inflateEnd(&stream);
    if (out.size() > kArchiveMaxEntrySize) return fail(error, "inflates to more than 16 MB");
    if (result != Z_STREAM_END) return fail(error, "is damaged or cut short");
    if (tooMuchInflated(out.size(), size)) return fail(error, "inflates too many times its size");
    return true;
}

struct ZipCloser {
    void operator()(zip_t* z) const { zip_discard(z); }
};
struct ZipFileCloser {
    void operator()(zip_file_t* f) const { zip_fclose(f); }
};

// The entry count the end of central directory record gives, read before libzip builds a table of them all;
// -1 without such a record (libzip then refuses the archive itself).
long declaredEntries(const uint8_t* bytes, size_t size) {
    constexpr size_t kRecord = 22, kLongestComment = 65535;
    if (size < kRecord) return -1;
    const size_t lowest = size > kRecord + kLongestComment ? size - kRecord - kLongestComment : 0;
    for (size_t at = size - kRecord + 1; at-- > lowest;) {
        if (bytes[at] == 0x50 && bytes[at + 1] == 0x4B && bytes[at + 2] == 5 && bytes[at + 3] == 6) {
            return bytes[at + 10] | bytes[at + 11] << 8;
        }
    }
    return -1;
}

bool extractZip(const uint8_t* bytes, size_t size, ArchiveEntry& entry, std::string& error) {
    if (declaredEntries(bytes, size) > static_cast<long>(kArchiveMaxEntries)) {
        return fail(error, "has more than " + std::to_string(kArchiveMaxEntries) + " entries");
    }
    zip_error_t zerror;
    zip_error_init(&zerror);
    zip_source_t* source = zip_source_buffer_create(bytes, size, 0, &zerror);
    if (!source) return fail(error, "cannot be read");
    std::unique_ptr<zip_t, ZipCloser> archive(zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &zerror));
    zip_error_fini(&zerror);
    if (!archive) {
        zip_source_free(source);
        return fail(error, "is not a zip archive or is damaged");
    }
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    if (count < 0 || static_cast<uint64_t>(count) > kArchiveMaxEntries) {
        return fail(error, "has more than " + std::to_string(kArchiveMaxEntries) + " entries");
    }
    // Every entry is looked at before one is taken: an archive with one hostile entry is not trusted at all.
    zip_int64_t chosen = -1;
    zip_stat_t chosenStat{};
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(archive.get(), static_cast<zip_uint64_t>(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME) ||
            !st.name) {
            return fail(error, "has an unreadable entry");
        }
        if (escapingName(st.name)) return fail(error, std::string("has an entry named ") + st.name);
        if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE) {
            return fail(error, std::string("has an encrypted entry ") + st.name);
        }
        const char* name = fileNamePart(st.name);
        if (chosen < 0 && *name && mediaKindOfPath(name)) {
            chosen = i;
            chosenStat = st;
        }
    }
    if (chosen < 0) return fail(error, "holds no image Kestrix can load");
    const bool sized = (chosenStat.valid & ZIP_STAT_SIZE) && (chosenStat.valid & ZIP_STAT_COMP_SIZE);
    if (!sized) return fail(error, "does not say how large its entries are");
    if (chosenStat.size > kArchiveMaxEntrySize) return fail(error, "inflates to more than 16 MB");
    if (tooMuchInflated(chosenStat.size, chosenStat.comp_size)) return fail(error, "inflates too many times its size");
    std::unique_ptr<zip_file_t, ZipFileCloser> file(zip_fopen_index(archive.get(), static_cast<zip_uint64_t>(chosen), 0));
    if (!file) return fail(error, "cannot open its entry");
    // What is read is bounded by the buffer, whatever the entry claims.
    entry.bytes.assign(static_cast<size_t>(chosenStat.size) + 1, 0);
    size_t got = 0;
    for (;;) {
        const zip_int64_t n = zip_fread(file.get(), entry.bytes.data() + got, entry.bytes.size() - got);
        if (n < 0) return fail(error, "is damaged");
        if (n == 0) break;
        got += static_cast<size_t>(n);
        if (got == entry.bytes.size()) return fail(error, "has an entry larger than it says");
    }
    if (got != chosenStat.size) return fail(error, "has an entry shorter than it says");
    entry.bytes.resize(got);
    entry.name = fileNamePart(chosenStat.name);
    return true;
}

}  // namespace

bool isArchivePath(const char* path) {
    if (!path) return false;
    const char* name = fileNamePart(path);
    return endsWithNoCase(name, ".zip") || endsWithNoCase(name, ".gz");
}

bool extractArchiveImage(const uint8_t* bytes, size_t size, const char* gzipName, ArchiveEntry& entry,
                         std::string& error) {
    entry = ArchiveEntry();
    if (!bytes || size == 0) return fail(error, "is empty");
    if (size > kArchiveMaxFileSize) return fail(error, "is larger than 64 MB");
    if (!gzipName) return extractZip(bytes, size, entry, error);
    const char* name = fileNamePart(gzipName);
    if (!*name || !mediaKindOfPath(name)) return fail(error, "holds no image Kestrix can load");
    if (!inflateGzip(bytes, size, entry.bytes, error)) return false;
    entry.name = name;
    return true;
}

bool readArchiveFile(const char* path, ArchiveEntry& entry, std::string& error) {
    if (!path || !isRegularFile(path)) return fail(error, "not found");
    std::unique_ptr<FILE, int (*)(FILE*)> in(std::fopen(path, "rb"), &std::fclose);
    if (!in) return fail(error, "cannot be read");
    if (std::fseek(in.get(), 0, SEEK_END) != 0) return fail(error, "cannot be read");
    const long length = std::ftell(in.get());
    if (length < 0) return fail(error, "cannot be read");
    if (static_cast<unsigned long>(length) > kArchiveMaxFileSize) return fail(error, "is larger than 64 MB");
    std::rewind(in.get());
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), in.get()));
    std::string inner;
    const char* name = fileNamePart(path);
    const bool gzip = endsWithNoCase(name, ".gz");
    if (gzip) inner.assign(name, std::strlen(name) - 3);
    return extractArchiveImage(bytes.data(), bytes.size(), gzip ? inner.c_str() : nullptr, entry, error);
}
