#include "tape/tape_index.h"

#include <cstdlib>
#include <cstring>

uint32_t k7IndexNextBlock = 0;

namespace {
constexpr uint32_t kIndexGrowth = 256;
}

tapeBlockIndex::~tapeBlockIndex() { clear(); }

void tapeBlockIndex::clear() {
    for (uint32_t i = 0; i < cdtNbBlock; ++i) std::free(entries[i].text);
    std::free(entries);
    entries = nullptr;
    cdtNbBlock = 0;
    maxCdtNbBlock = 0;
}

bool tapeBlockIndex::copyTapeIndexTable() {
    // Geometric growth: a file of nothing but block ids must not cost a copy per few blocks.
    uint32_t capacity = maxCdtNbBlock + (maxCdtNbBlock / 2 > kIndexGrowth ? maxCdtNbBlock / 2 : kIndexGrowth);
    if (capacity > kMaxEntries) capacity = kMaxEntries;
    if (capacity <= maxCdtNbBlock) return false;
    auto* grown = static_cast<tapeIndexEntry*>(std::realloc(entries, sizeof(tapeIndexEntry) * capacity));
    if (!grown) return false;
    entries = grown;
    maxCdtNbBlock = capacity;
    return true;
}

bool tapeBlockIndex::addTapeIndex(uint8_t kind, uint64_t pulseIndex) {
    if (cdtNbBlock >= kMaxEntries) return false;
    if (cdtNbBlock == maxCdtNbBlock && !copyTapeIndexTable()) return false;
    tapeIndexEntry& e = entries[cdtNbBlock];
    e.kind = kind;
    e.pulseIndex = static_cast<uint32_t>(pulseIndex);
    e.number = cdtNbBlock;
    e.text = nullptr;
    ++cdtNbBlock;
    return true;
}

void tapeBlockIndex::setLastText(const char* text, uint32_t length) {
    if (!cdtNbBlock) return;
    tapeIndexEntry& e = entries[cdtNbBlock - 1];
    std::free(e.text);
    e.text = nullptr;
    const void* zero = std::memchr(text, 0, length);
    if (zero) length = static_cast<uint32_t>(static_cast<const char*>(zero) - text);
    auto* copy = static_cast<char*>(std::malloc(length + 1));
    if (!copy) return;
    std::memcpy(copy, text, length);
    copy[length] = 0;
    e.text = copy;
}

void tapeBlockIndex::checkEndTapeIndexTable() {
    if (cdtNbBlock == maxCdtNbBlock) return;
    if (cdtNbBlock == 0) {
        clear();
        return;
    }
    auto* shrunk = static_cast<tapeIndexEntry*>(std::realloc(entries, sizeof(tapeIndexEntry) * cdtNbBlock));
    if (shrunk) {
        entries = shrunk;
        maxCdtNbBlock = cdtNbBlock;
    }
}
