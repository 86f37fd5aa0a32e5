// CSW tape images, RLE and Z-RLE.
#include "fuzz_harness.h"
KESTRIX_FUZZ_MEDIA("csw", 1)
