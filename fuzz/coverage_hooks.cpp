// The coverage hooks that instrumented code calls, doing nothing. The fuzz
// targets get libFuzzer's own (strong) definitions instead; GCC's float
// comparisons have none there and stay no-ops everywhere.
#include <cstdint>

#define KESTRIX_WEAK extern "C" __attribute__((weak))

KESTRIX_WEAK void __sanitizer_cov_trace_pc() {}
KESTRIX_WEAK void __sanitizer_cov_trace_cmp1(uint8_t, uint8_t) {}
KESTRIX_WEAK void __sanitizer_cov_trace_cmp2(uint16_t, uint16_t) {}
KESTRIX_WEAK void __sanitizer_cov_trace_cmp4(uint32_t, uint32_t) {}
KESTRIX_WEAK void __sanitizer_cov_trace_cmp8(uint64_t, uint64_t) {}
KESTRIX_WEAK void __sanitizer_cov_trace_const_cmp1(uint8_t, uint8_t) {}
KESTRIX_WEAK void __sanitizer_cov_trace_const_cmp2(uint16_t, uint16_t) {}
KESTRIX_WEAK void __sanitizer_cov_trace_const_cmp4(uint32_t, uint32_t) {}
KESTRIX_WEAK void __sanitizer_cov_trace_const_cmp8(uint64_t, uint64_t) {}
KESTRIX_WEAK void __sanitizer_cov_trace_cmpf(float, float) {}
KESTRIX_WEAK void __sanitizer_cov_trace_cmpd(double, double) {}
KESTRIX_WEAK void __sanitizer_cov_trace_switch(uint64_t, uint64_t*) {}
