// Placeholder AY-3-8910 until its issue lands.
#pragma once
#include <cstdint>

class ay8910 {
public:
    void reset() {}
    void clock() {}
    void mixer() {}
};
