// Placeholder gate array: runs an empty frame until the frame clock lands.
#pragma once
#include <cstdint>

class gaCPC {
public:
    void reset() {}
    void clock() {}
};
