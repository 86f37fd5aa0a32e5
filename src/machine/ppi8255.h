// Placeholder PPI until its issue lands.
#pragma once
#include <cstdint>

class PPIi8255 {
public:
    void reset() {}
    void enable() {}
};
