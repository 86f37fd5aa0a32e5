// WAV tape recordings.
#include "fuzz_harness.h"
KESTRIX_FUZZ_MEDIA("wav", 1)
