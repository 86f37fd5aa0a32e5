// Placeholder floppy controller until the disk issue lands.
#pragma once
#include <cstdint>

class floppyDrive;

class FDCupd765 {
public:
    floppyDrive* units[4] = {};
    void clock() {}
    void enable() {}
    void reset(floppyDrive* a, floppyDrive* b, floppyDrive* c, floppyDrive* d, bool) {
        units[0] = a; units[1] = b; units[2] = c; units[3] = d;
    }
};
