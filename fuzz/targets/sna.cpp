// SNA snapshots.
#include "fuzz_harness.h"
KESTRIX_FUZZ_MEDIA("sna", 1)
