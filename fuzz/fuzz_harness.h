// The fuzz targets feed their input through the program's own entries (a
// loader by extension, the configuration file, the command line), then run
// the machine where the result is used. Each targets/ file names its entry.
#pragma once
#include <cstddef>
#include <cstdint>

// A medium given as a file with this extension, loaded into drive `unit`
// (disks) as a drop or -0/-1/-k/-s/-p would.
int fuzzMediaFile(const uint8_t* data, size_t size, const char* extension, int unit);
// The bytes as "Kestrix.ini" in the base directory.
int fuzzConfigFile(const uint8_t* data, size_t size);
// The bytes as a command line: arguments separated by NUL or newline bytes.
int fuzzCommandLine(const uint8_t* data, size_t size);

#define KESTRIX_FUZZ_ENTRY(call)                                                 \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { \
        return call;                                                          \
    }
#define KESTRIX_FUZZ_MEDIA(extension, unit) KESTRIX_FUZZ_ENTRY(fuzzMediaFile(data, size, extension, unit))
