// The main configuration file "Kestrix.ini".
#include "fuzz_harness.h"
KESTRIX_FUZZ_ENTRY(fuzzConfigFile(data, size))
