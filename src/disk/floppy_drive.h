// Placeholder drive until the disk issue lands.
#pragma once
#include <cstdint>

class floppyDrive {
public:
    uint8_t unit = 0;
    void init(uint8_t u) { unit = u; }
    void start_motor(bool) {}
    void clock() {}
};

void MakeMFMEnDecodeTable();
