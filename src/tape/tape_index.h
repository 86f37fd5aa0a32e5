// Where each block of the tape in the deck starts, with an optional text,
// so the front-end can name the block the tape is passing.
#pragma once
#include <cstdint>

// Block kinds of the program's own beside the TZX block identifiers.
enum TapeBlockKind : uint8_t {
    TapeKindWaveData = 0x00,
    TapeKindBeginOfTape = 0x01,
    TapeKindCompressedSquareWave = 0x02,
    TapeKindEndOfTape = 0xFF,
};

struct tapeIndexEntry {
    uint8_t kind;
    uint32_t pulseIndex;  // first pulse of the block
    uint32_t number;      // position in the index
    char* text;           // owned; null when the block has none
};

class tapeBlockIndex {
public:
    tapeIndexEntry* entries = nullptr;
    uint32_t cdtNbBlock = 0;
    uint32_t maxCdtNbBlock = 0;

    // A hostile image made of one-byte blocks must not eat the memory.
    static constexpr uint32_t kMaxEntries = 1u << 20;

    tapeBlockIndex() = default;
    ~tapeBlockIndex();
    tapeBlockIndex(const tapeBlockIndex&) = delete;
    tapeBlockIndex& operator=(const tapeBlockIndex&) = delete;

    // Frees every entry and its text.
    void clear();
    // Appends an entry; false when the index is full.
    bool addTapeIndex(uint8_t kind, uint64_t pulseIndex);
    // Replaces the text of the last entry (length bytes, cut at a 0 byte).
    void setLastText(const char* text, uint32_t length);
    void checkEndTapeIndexTable();
    const tapeIndexEntry* last() const { return cdtNbBlock ? &entries[cdtNbBlock - 1] : nullptr; }

private:
    bool copyTapeIndexTable();
};

// Entry whose text is due next as the tape plays.
extern uint32_t k7IndexNextBlock;

// The block index of the tape in the deck (built by beginCPC).
extern tapeBlockIndex* tapeIndex;
