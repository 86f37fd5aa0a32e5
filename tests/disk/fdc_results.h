// A command's result phase as hex bytes, so that a test compares it whole.
#pragma once
#include <cstdio>
#include <string>

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

}  // namespace disk_test
