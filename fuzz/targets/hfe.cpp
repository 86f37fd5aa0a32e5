// HFE disk images.
#include "fuzz_harness.h"
KESTRIX_FUZZ_MEDIA("hfe", 0)
