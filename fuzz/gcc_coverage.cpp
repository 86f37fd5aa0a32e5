// GCC's -fsanitize-coverage=trace-pc calls __sanitizer_cov_trace_pc on every
// basic block; libFuzzer 14 no longer takes that hook, but it takes 8-bit
// counters. Each call lands on a counter chosen by its return address, and the
// counters (with a table of stand-in PCs, one per counter) are handed to
// libFuzzer before it starts. Linked into the fuzz targets only; the copy of
// libFuzzer they link has its own trace_pc hook weakened (see CMakeLists.txt).
#include <cstddef>
#include <cstdint>

extern "C" void __sanitizer_cov_8bit_counters_init(uint8_t* start, uint8_t* stop);
extern "C" void __sanitizer_cov_pcs_init(const uintptr_t* start, const uintptr_t* stop);

namespace {

constexpr size_t kCounters = size_t(1) << 16;
uint8_t counters[kCounters];
uintptr_t standInPcs[2 * kCounters];  // (pc, flags) pairs

}  // namespace

extern "C" __attribute__((no_sanitize_address, no_sanitize_undefined)) void __sanitizer_cov_trace_pc() {
    uintptr_t pc = reinterpret_cast<uintptr_t>(__builtin_return_address(0));
    size_t slot = (pc ^ (pc >> 15)) & (kCounters - 1);
    ++counters[slot];
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    for (size_t i = 0; i < kCounters; ++i) standInPcs[2 * i] = i + 1;
    __sanitizer_cov_8bit_counters_init(counters, counters + kCounters);
    __sanitizer_cov_pcs_init(standInPcs, standInPcs + 2 * kCounters);
    return 0;
}
