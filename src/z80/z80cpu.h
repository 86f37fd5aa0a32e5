// Placeholder processor: pins only, until the T-state core lands.
#pragma once
#include <cstdint>

class Z80CPU {
public:
    bool m1 = false, mreq = false, iorq = false, rd = false, wr = false, rfsh = false, halt = false;
    bool wait = false;
    bool intLine = false;
    uint16_t addressBus = 0;
    uint8_t dataBus = 0;
    uint8_t intVector = 0;

    void clock() {}
    void reset() { *this = Z80CPU(); }
};
