// Hostile HFE, IPF and RAW files: every truncation of a small valid image and
// every 32-bit field set to 0, 1, 7FFFFFFF and FFFFFFFF. Whatever the bytes,
// the loader loads or refuses with a log line, without a hang or a stray
// access (run under the sanitizers too).
#include <gtest/gtest.h>

#include <string>

#include "disk/hfe_image.h"
#include "disk/ipf_image.h"
#include "disk/raw_image.h"
#include "support/disk_image_writers.h"
#include "support/disk_test_support.h"

using namespace disk_test;

namespace {

MfmTrack tinyTrack(uint8_t track, uint8_t side) {
    MfmTrack t;
    t.track = track;
    t.side = side;
    t.words.assign(8, mfmencode[0x4E]);
    t.words.insert(t.words.end(), {kMfmZero, kMfmZero, kMfmSyncA1, kMfmSyncA1, kMfmSyncA1, kMfmIdMark});
    for (uint8_t b : {track, side, uint8_t(1), uint8_t(0), uint8_t(0x12), uint8_t(0x34)}) t.words.push_back(mfmencode[b]);
    t.words.resize(60, mfmencode[0x4E]);
    return t;
}

std::vector<uint8_t> hfeSeed() { return writeHFE({tinyTrack(0, 0), tinyTrack(0, 1)}, 1, 2); }

std::vector<uint8_t> ipfSeed() {
    IpfDisk disk;
    disk.maxTrack = 1;
    disk.maxSide = 1;
    disk.tracks.push_back(ipfTrackFromWords(tinyTrack(0, 0), 50, 6));
    IpfTrack gaps;
    gaps.track = 1;
    gaps.side = 1;
    gaps.lengthWords = 40;
    IpfBlock block;
    ipfElement(block.stream, 1, 4, {0x44, 0x89, 0x44, 0x89});
    ipfElement(block.stream, 3, 2, {0x4E, 0x4E});
    ipfElement(block.stream, 4, 3, {0x12, 0x34, 0x56});
    block.stream.push_back(0);
    block.dataBits = 5 * 16;
    block.gapBits = 35 * 16;
    block.flags = 3;
    for (int direction = 0; direction < 2; ++direction) {
        ipfElement(block.gapStream, 1, 80);
        ipfElement(block.gapStream, 2, 8, {0x4E});
        block.gapStream.push_back(0);
    }
    gaps.blocks.push_back(block);
    disk.tracks.push_back(gaps);
    return writeIPF(disk);
}

std::vector<uint8_t> rawSeed() {
    std::vector<uint8_t> rev = wordsToBytes(tinyTrack(0, 0).words);
    std::vector<uint8_t> other = rev;
    other[3] ^= 0x10;
    return writeRAW({{0, 0, {rev, rev}, 0}, {0, 1, {rev, other, rev}}});
}

struct Format {
    const char* name;
    int (*loader)(floppyDrive*);
    std::vector<uint8_t> seed;
    // Offsets of the fields to set: every aligned word, or (HFE) the header and track list.
    std::vector<size_t> fields;
};

std::vector<Format> formats() {
    std::vector<Format> list{{"fileHFE", fileHFE, hfeSeed(), {}}, {"fileIPF", fileIPF, ipfSeed(), {}},
                             {"fileRAW", fileRAW, rawSeed(), {}}};
    for (size_t at = 8; at < 0x14; at += 2) list[0].fields.push_back(at);
    for (size_t at = 512; at < 520; at += 2) list[0].fields.push_back(at);
    for (Format* f : {&list[1], &list[2]})
        for (size_t at = 0; at + 4 <= f->seed.size(); at += 4) f->fields.push_back(at);
    return list;
}

// Loads, and on a refusal expects the loader to have said why.
void expectLoadsOrSaysWhy(const Format& f, floppyDrive& drive, const std::vector<uint8_t>& bytes, const std::string& what) {
    LogCapture log;
    int result = loadWith(f.loader, drive, bytes);
    ASSERT_TRUE(result == 0 || result == 1) << what;
    if (result == 0) {
        EXPECT_NE(log.text.find(f.name), std::string::npos) << what << "\n" << log.text;
    }
    if (result == 1) {
        ASSERT_TRUE(drive.diskInserted) << what;
        for (int i = 0; i < drive.trackCount; ++i) ASSERT_LE(drive.trackLengths[i].length, kMaxTrackLength) << what;
    }
}

}  // namespace

TEST(HostileFiles, EveryTruncationLoadsOrIsRefused) {
    floppyDrive drive;
    drive.init(0);
    for (const Format& f : formats()) {
        ASSERT_EQ(loadWith(f.loader, drive, f.seed), 1) << f.name << " seed";
        int refused = 0;
        for (size_t size = 0; size < f.seed.size(); ++size) {
            std::vector<uint8_t> cut(f.seed.begin(), f.seed.begin() + static_cast<std::ptrdiff_t>(size));
            expectLoadsOrSaysWhy(f, drive, cut, std::string(f.name) + " cut at " + std::to_string(size));
            refused += drive.diskInserted ? 0 : 1;
            drive.eject_disk();
        }
        EXPECT_GT(refused, static_cast<int>(f.seed.size()) / 2) << f.name;
    }
}

TEST(HostileFiles, EveryFieldSetToExtremesLoadsOrIsRefused) {
    floppyDrive drive;
    drive.init(0);
    for (const Format& f : formats()) {
        size_t width = f.loader == fileHFE ? 2 : 4;
        for (size_t at : f.fields) {
            for (uint32_t value : {0u, 1u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
                std::vector<uint8_t> bytes = f.seed;
                // HFE fields are little-endian, the others big-endian.
                for (size_t k = 0; k < width; ++k)
                    bytes[at + k] = static_cast<uint8_t>(width == 2 ? value >> (8 * k) : value >> (24 - 8 * k));
                char what[96];
                std::snprintf(what, sizeof what, "%s field at %zu = %08X", f.name, at, value);
                expectLoadsOrSaysWhy(f, drive, bytes, what);
                drive.eject_disk();
            }
        }
    }
}
