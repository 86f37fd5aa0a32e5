// CDT/TZX tape images.
#include "fuzz_harness.h"
KESTRIX_FUZZ_MEDIA("cdt", 1)
