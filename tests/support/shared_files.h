// The ROM images, media and Z80 test material kept beside the repository
// (../shared), and the one way a test skips when a file of it is absent.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <string>

inline std::string sharedPath(const std::string& relative) { return std::string(KESTRIX_SHARED_DIR) + "/" + relative; }

namespace test_support {

inline constexpr const char* kSharedOsRom6128 = "roms/Rom CPC 6128 (UK) (Rom A) (1985) (OS v3) [UTILITAIRE] [ROM].rom";

// Path of a UK OS ROM image in the shared ROM directory ("464", "664", "6128").
inline std::string sharedOsRom(const std::string& model) {
    if (model == "464") return sharedPath("roms/Rom CPC 464 (UK) (Rom A) (1984) (OS v1) [UTILITAIRE] [ROM].rom");
    if (model == "664") return sharedPath("roms/Rom CPC 664 (UK) (Rom A) (1984) (OS v2) [UTILITAIRE] [ROM].rom");
    return sharedPath(kSharedOsRom6128);
}

// The first of the files (paths below ../shared) that is not there, as the
// reason to skip; empty when all are.
inline std::string missingShared(std::initializer_list<std::string> relatives) {
    for (const std::string& relative : relatives) {
        if (!std::filesystem::exists(sharedPath(relative))) {
            return sharedPath(relative) + " not found (the shared ROMs and media live in ../shared beside the "
                                          "repository)";
        }
    }
    return {};
}

}  // namespace test_support

// The shared ROM images are there (the 6128's OS stands for them all).
inline bool sharedRomsPresent() { return std::filesystem::exists(sharedPath(test_support::kSharedOsRom6128)); }

// Skips the test when a file of ../shared is absent: SKIP_WITHOUT_SHARED("media/cpcrogue.dsk", ...).
#define SKIP_WITHOUT_SHARED(...)                                                                     \
    do {                                                                                             \
        if (const std::string missing_ = test_support::missingShared({__VA_ARGS__}); !missing_.empty()) \
            GTEST_SKIP() << missing_;                                                                \
    } while (0)
#define SKIP_WITHOUT_SHARED_ROMS() SKIP_WITHOUT_SHARED(test_support::kSharedOsRom6128)
