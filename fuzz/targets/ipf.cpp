// IPF disk images.
#include "fuzz_harness.h"
KESTRIX_FUZZ_MEDIA("ipf", 0)
