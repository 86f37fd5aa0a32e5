// Checks the disk tests share: a command's result phase as hex bytes, so
// that a test compares it whole, and a disk inserted and turning.
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

// Loads the DSK image into drive A and waits until the drive is ready.
inline bool insertSpinning(Bench& bench, const std::vector<uint8_t>& image) {
    return loadImage(bench.driveA, image) == 1 && bench.spinUp(bench.driveA);
}

}  // namespace disk_test
