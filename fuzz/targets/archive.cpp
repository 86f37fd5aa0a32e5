// Zip and gzip archives, read as both; a taken image goes on to the loader.
#include <string>

#include "fuzz_harness.h"
#include "machine/archive_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ArchiveEntry entry;
    std::string error;
    if (extractArchiveImage(data, size, nullptr, entry, error)) {
        fuzzMediaFile(entry.bytes.data(), entry.bytes.size(), entry.name.substr(entry.name.rfind('.') + 1).c_str(), 0);
    }
    extractArchiveImage(data, size, "input.dsk", entry, error);
    return 0;
}
