// Archives: the first image inside is taken whole, whatever comes before it; every class of hostile or
// damaged archive is refused, saying why.
#include <gtest/gtest.h>
#include <zlib.h>

#include "machine/archive_reader.h"
#include "support/archive_writer.h"

static std::vector<uint8_t> gzipped(std::vector<uint8_t> in) {
    z_stream s{};
    deflateInit2(&s, 9, Z_DEFLATED, 16 + MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
    std::vector<uint8_t> out(deflateBound(&s, in.size()));
    s.next_in = in.data(), s.avail_in = static_cast<uInt>(in.size());
    s.next_out = out.data(), s.avail_out = static_cast<uInt>(out.size());
    deflate(&s, Z_FINISH);
    out.resize(s.total_out);
    deflateEnd(&s);
    return out;
}

TEST(ArchiveReader, TakesTheFirstImageAndRefusesHostileArchives) {
    const std::vector<uint8_t> disk(5000, 0xE5), zeros(kArchiveMaxEntrySize + 1, 0);
    ArchiveEntry entry;
    std::string error;
    const auto good = zipArchive({{"read.me", {1}}, {"games/Rogue.DSK", disk}, {"b.cdt", {2}}});
    ASSERT_TRUE(extractArchiveImage(good.data(), good.size(), nullptr, entry, error)) << error;
    EXPECT_EQ(entry.name, "Rogue.DSK");
    EXPECT_EQ(entry.bytes, disk);
    const auto gz = gzipped(disk);
    ASSERT_TRUE(extractArchiveImage(gz.data(), gz.size(), "rogue.dsk", entry, error)) << error;
    EXPECT_EQ(entry.bytes, disk);

    std::vector<ZipEntrySpec> many;
    for (int i = 0; i <= 1000; ++i) many.push_back({std::to_string(i).append(".dsk"), {1}});
    const bool aes = zip_encryption_method_supported(ZIP_EM_AES_256, 1);
    const struct {
        std::vector<uint8_t> bytes;
        const char *gzipName, *why;
    } hostile[] = {
        {zipArchive({{"bomb.dsk", zeros}}), nullptr, "more than 16 MB"},
        {zipArchive({{"ratio.dsk", std::vector<uint8_t>(5 << 20, 0)}}), nullptr, "too many times"},
        {gzipped(zeros), "bomb.dsk", "more than 16 MB"},
        {zipArchive({{"ok.dsk", disk}, {"a/../../up.dsk", disk}}), nullptr, "named a/../../up.dsk"},
        {zipArchive({{"/etc/abs.dsk", disk}}), nullptr, "named /etc/abs.dsk"},
        {zipArchive(many), nullptr, "more than 1000 entries"},
        {zipArchive({{"x.dsk", disk, aes ? "secret" : nullptr}}), nullptr, aes ? "encrypted" : nullptr},
        {zipArchive({{"notes.txt", disk}}), nullptr, "no image"},
        {gz, "notes.txt", "no image"},
        {std::vector<uint8_t>(gz.begin(), gz.begin() + gz.size() / 2), "cut.dsk", "damaged"},
        {std::vector<uint8_t>(good.begin(), good.begin() + 100), nullptr, "not a zip"},
    };
    for (const auto& h : hostile) {
        if (!h.why) continue;  // no AES in this libzip
        EXPECT_FALSE(extractArchiveImage(h.bytes.data(), h.bytes.size(), h.gzipName, entry, error)) << h.why;
        EXPECT_NE(error.find(h.why), std::string::npos) << error;
    }
}
