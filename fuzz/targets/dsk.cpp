// DSK and Extended DSK images in drive A.
#include "fuzz_harness.h"
KESTRIX_FUZZ_MEDIA("dsk", 0)
