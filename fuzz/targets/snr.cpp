// SNR input recordings.
#include "fuzz_harness.h"
KESTRIX_FUZZ_MEDIA("snr", 1)
