// Single-byte flags shared between the main, emulation and timer threads: each
// is a std::atomic<uint8_t>, one lock-free byte. Nothing is published through
// them (a reader only polls them), so they are read and written relaxed through
// these two. The stop protocol's `running` and `cpcIsRunning` are the
// exception: they keep the default sequentially consistent order.
#pragma once
#include <atomic>
#include <cstdint>

inline uint8_t loadFlag(const std::atomic<uint8_t>& flag) { return flag.load(std::memory_order_relaxed); }
inline void storeFlag(std::atomic<uint8_t>& flag, uint8_t value) { flag.store(value, std::memory_order_relaxed); }
