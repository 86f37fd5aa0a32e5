// The command line.
#include "fuzz_harness.h"
KESTRIX_FUZZ_ENTRY(fuzzCommandLine(data, size))
