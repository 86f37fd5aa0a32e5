#include "machine/media_kind.h"

#include <cstring>
#include <strings.h>

#include "machine/base_path.h"

namespace {

constexpr MediaKind kMediaKinds[] = {
    {"dsk", MediaClass::Disk, 'd'},
    {"raw", MediaClass::Disk, 'r'},
    {"ipf", MediaClass::Disk, 'i'},
    {"hfe", MediaClass::Disk, 'h'},
    {"cdt", MediaClass::Tape, 'c'},
    {"tzx", MediaClass::Tape, 'c'},
    {"wav", MediaClass::Tape, 'w'},
    {"csw", MediaClass::Tape, 's'},
    {"sna", MediaClass::Snapshot, 0},
    {"snr", MediaClass::Snapshot, 0},
    {"cpr", MediaClass::Cartridge, 0},
};

}  // namespace

const char* fileExtension(const char* path) {
    if (!path) return nullptr;
    const char* dot = std::strrchr(fileNamePart(path), '.');
    return dot && dot[1] ? dot + 1 : nullptr;
}

const MediaKind* mediaKindOfExtension(const char* extension) {
    if (!extension) return nullptr;
    for (const MediaKind& kind : kMediaKinds) {
        if (strcasecmp(extension, kind.extension) == 0) return &kind;
    }
    return nullptr;
}

const MediaKind* mediaKindOfPath(const char* path) { return mediaKindOfExtension(fileExtension(path)); }
