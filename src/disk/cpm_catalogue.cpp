#include "disk/cpm_catalogue.h"

#include <algorithm>
#include <map>
#include <utility>

#include "disk/dsk_image.h"
#include "disk/edsk_writer.h"
#include "disk/floppy_drive.h"
#include "machine/file_reader.h"
#include "machine/media_kind.h"

namespace {

constexpr int kDirectorySectors = 4;  // 64 entries of 32 bytes in 512-byte sectors
constexpr size_t kEntrySize = 32;
constexpr uint8_t kHighestUser = 15;  // above: deleted (E5h), labels, time stamps

struct Layout {
    const char* name;
    uint8_t firstSector;
    int directoryTrack;
};

// The format by the sector numbers of the first track, as AMSDOS tells them.
bool layoutOf(const foundTrack& first, Layout& layout) {
    if (first.sectors.empty()) return false;
    uint8_t lowest = 0xFF;
    for (const foundSector& s : first.sectors) lowest = std::min(lowest, s.R);
    switch (lowest) {
        case 0xC1: layout = {"Data", 0xC1, 0}; return true;
        case 0x41: layout = {"System", 0x41, 2}; return true;
        case 0x01: layout = {"IBM", 0x01, 1}; return true;
        default: return false;
    }
}

char nameCharacter(uint8_t byte) {
    byte &= 0x7F;
    return byte < 0x20 || byte == 0x7F ? '?' : static_cast<char>(byte);
}

std::string trimmed(const uint8_t* bytes, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += nameCharacter(bytes[i]);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

}  // namespace

bool readCatalogue(const floppyDrive& drive, DiskCatalogue& catalogue) {
    catalogue = DiskCatalogue();
    Layout layout{};
    if (!layoutOf(readDriveTrack(drive, 0), layout)) return false;
    const int sides = drive.doubleSided ? 2 : 1;
    const foundTrack track = readDriveTrack(drive, layout.directoryTrack * sides);
    // Extents of one file share its user and name; their blocks add up.
    std::map<std::pair<std::string, uint8_t>, CatalogueEntry> files;
    for (int k = 0; k < kDirectorySectors; ++k) {
        const uint8_t id = static_cast<uint8_t>(layout.firstSector + k);
        auto sector = std::find_if(track.sectors.begin(), track.sectors.end(),
                                   [id](const foundSector& s) { return s.R == id; });
        if (sector == track.sectors.end()) continue;
        const std::vector<uint8_t>& data = sector->data;
        for (size_t at = 0; at + kEntrySize <= std::min<size_t>(data.size(), 512); at += kEntrySize) {
            const uint8_t* e = data.data() + at;
            if (e[0] > kHighestUser) continue;
            std::string base = trimmed(e + 1, 8), extension = trimmed(e + 9, 3);
            if (base.empty()) continue;
            std::string name = extension.empty() ? base : base + "." + extension;
            CatalogueEntry& file = files[{name, e[0]}];
            file.name = name;
            file.user = e[0];
            file.readOnly = e[9] & 0x80;
            file.system = e[10] & 0x80;
            for (int b = 16; b < 32; ++b) file.sizeK += e[b] != 0;
        }
    }
    catalogue.format = layout.name;
    for (auto& file : files) catalogue.entries.push_back(std::move(file.second));
    return true;
}

bool readCatalogueOfFile(const char* path, DiskCatalogue& catalogue) {
    catalogue = DiskCatalogue();
    const MediaKind* kind = mediaKindOfPath(path);
    if (!kind || kind->media != MediaClass::Disk) return false;
    floppyDrive scratch;
    scratch.init(0);
    int loaded = SDL_OpenFile(path) > 0 ? readDiskImage(&scratch, kind->code) : 0;
    SDL_CloseFile();
    return loaded && readCatalogue(scratch, catalogue);
}
