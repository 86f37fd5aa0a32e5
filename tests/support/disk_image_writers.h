// Small writers of HFE, IPF and RAW images for the loader tests, fed with
// MFM word tracks (usually the ones the DSK loader builds from a real disk).
#pragma once
#include "support/log_capture.h"
#include <cstdint>
#include <string>
#include <vector>

#include "disk/floppy_drive.h"

namespace disk_test {

struct MfmTrack {
    uint8_t track = 0, side = 0;
    std::vector<uint16_t> words;  // one revolution
};

// The first revolution of every formatted track of the DSK image at `path`
// as the DSK loader builds it; empty when the file cannot be loaded.
std::vector<MfmTrack> tracksOfDsk(const std::string& path, int& sides);
// Copy 0 of every track on `drive` (tracks x sides of them).
std::vector<MfmTrack> tracksOfDrive(const floppyDrive& drive);

std::vector<uint8_t> writeHFE(const std::vector<MfmTrack>& tracks, int trackCount, int sides);

struct IpfBlock {
    std::vector<uint8_t> stream;  // data stream elements, with their terminating 0
    uint32_t dataBits = 0, gapBits = 0, flags = 0, gapDefault = 0x4E;
    std::vector<uint8_t> gapStream;  // forward then backward elements, each list ending in 0
};
struct IpfTrack {
    uint32_t track = 0, side = 0, lengthWords = 0, startByte = 0;
    std::vector<IpfBlock> blocks;
};
struct IpfDisk {
    uint32_t maxTrack = 41, maxSide = 0, creator = 0x4B455354, encoder = 2;
    std::vector<IpfTrack> tracks;
};
// A stream element: type and size, then `bytes`.
void ipfElement(std::vector<uint8_t>& out, uint8_t type, uint32_t size, const std::vector<uint8_t>& bytes = {});
// One block from a word track: address marks as sync, what mfmencode gives
// back as data, the final run of 4E as the block's gap; `fuzzyCount` words
// from `fuzzyStart` become one fuzzy area.
IpfTrack ipfTrackFromWords(const MfmTrack& track, size_t fuzzyStart = 0, size_t fuzzyCount = 0);
std::vector<uint8_t> writeIPF(const IpfDisk& disk);

struct RawTrack {
    uint8_t track = 0, side = 0;
    std::vector<std::vector<uint8_t>> revolutions;  // MFM bytes, most significant cell first
    // From 0 to 7: the later revolutions are stored as copies of revolution 0
    // shifted by this many cells (the caller makes them so), else as literals.
    int copyShift = -1;
};
// Revolution 0 stored as it is, the others as literal or copy blocks.
std::vector<uint8_t> writeRAW(const std::vector<RawTrack>& tracks);
std::vector<uint8_t> wordsToBytes(const std::vector<uint16_t>& words);

using test_support::LogCapture;


}  // namespace disk_test
