// CPR cartridges.
#include "fuzz_harness.h"
KESTRIX_FUZZ_MEDIA("cpr", 1)
