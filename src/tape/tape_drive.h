// Placeholder tape deck until its issue lands.
#pragma once
#include <cstdint>

class tapeDrive {
public:
    void init(bool, bool, bool) {}
    void eject() {}
    void read() {}
};

// Positions and texts of the blocks on the tape in the deck.
class tapeBlockIndex {
public:
    int count = 0;
    void clear() { count = 0; }
};
