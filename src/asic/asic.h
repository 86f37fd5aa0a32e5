// Placeholder Plus ASIC until its issue lands.
#pragma once
#include <cstdint>

class asicCPC {
public:
    void reset() {}
    void clock() {}
};
