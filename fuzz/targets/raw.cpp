// RAW disk images.
#include "fuzz_harness.h"
KESTRIX_FUZZ_MEDIA("raw", 0)
