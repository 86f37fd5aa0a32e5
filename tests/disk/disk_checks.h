// Checks the disk tests share: a command's result phase as hex bytes, so
// that a test compares it whole, standard tracks, and a disk inserted and turning.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "support/disk_test_support.h"

namespace disk_test {

inline std::string results(const Execution& e) {
    std::string s;
    char buf[4];
    for (uint8_t b : e.result) {
        std::snprintf(buf, sizeof buf, "%s%02X", s.empty() ? "" : " ", b);
        s += buf;
    }
    return s;
}

// Cylinders 0 to count - 1, each of nine standard sectors.
inline std::vector<Track> standardTracks(int count) {
    std::vector<Track> list;
    for (int c = 0; c < count; ++c) list.push_back(standardTrack(static_cast<uint8_t>(c)));
    return list;
}

// Loads the DSK image into drive A and waits until the drive is ready.
inline bool insertSpinning(Bench& bench, const std::vector<uint8_t>& image) {
    return loadImage(bench.driveA, image) == 1 && bench.spinUp(bench.driveA);
}

}  // namespace disk_test
