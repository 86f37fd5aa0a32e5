#include "frontend/media_loader.h"

#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>
#include <utility>

#include "disk/dsk_image.h"
#include "disk/fdc765.h"
#include "frontend/autorun.h"
#include "frontend/disk_writeback.h"
#include "frontend/flip_names.h"
#include "frontend/media_cartridge.h"
#include "frontend/media_snapshot.h"
#include "frontend/media_tape.h"
#include "machine/archive_reader.h"
#include "machine/base_path.h"
#include "machine/config.h"
#include "machine/emulation_thread.h"
#include "machine/file_reader.h"
#include "machine/frontend_hooks.h"
#include "machine/media_kind.h"
#include "machine/model.h"
#include "machine/shared_flag.h"
#include "machine/text_buffers.h"
#include "machine/timed_actions.h"

uint8_t t_eject_disk[4] = {};
std::atomic<uint8_t> flipSideInUse{0};

namespace {

constexpr uint32_t kDiskLoadDelayMs = 100;
constexpr uint32_t kFlipLockMs = 1000;
constexpr uint32_t kCatDelayMs = 512;

// The directory each drive's disk came from, where its other sides are looked for.
char diskDirectory[2][kTextBufferSize] = {};

const char* driveLetter(int unit) { return unit ? "B" : "A"; }
const char* unitDigit(int unit) { return unit ? "1" : "0"; }

char* diskNameBuffer(int unit) { return unit ? fileName_dsk1_str : fileName_dsk0_str; }

floppyDrive* unitDrive(int unit) {
    if (!fdc || unit < 0 || unit > 1) return nullptr;
    floppyDrive* drive = unit ? fd1 : fd0;
    return fdc->units[unit]->drive == drive ? drive : nullptr;
}


void showDiskName(int unit, const char* text) {
    floppyDrive* drive = unitDrive(unit);
    if (drive && drive->diskInserted && drive->doubleSided) {
        textShowOSD("%s:\\%s.%s", driveLetter(unit), drive->sideFlipped ? "1" : "0", text);
    } else {
        textShowOSD("%s:\\%s", driveLetter(unit), text);
    }
}

void redrawDisks() { frontendHooks.redrawDiskIcons(); }

// The eject steps shared by load_dsk and eject_dsk; the caller has stopped the emulation.
void ejectUnit(int unit, bool forgetName) {
    // Before the write-back, whose message says where the disk went.
    textShowOSD("%s:\\%s", driveLetter(unit), "Disk ejected !");
    if (floppyDrive* drive = unitDrive(unit)) {
        writeBackDisk(unit);
        drive->eject_disk();
    }
    if (unit >= 0 && unit < 4) {
        storeFlag(t_led_disk[unit], 0);
        t_eject_disk[unit] = 0;
    }
    if (forgetName && (unit == 0 || unit == 1)) {
        copyToTextBuffer(diskNameBuffer(unit), "");
        diskDirectory[unit][0] = 0;
    }
    redrawDisks();
}

struct PendingDiskLoad {
    std::string name;
    int unit;
    char kind;
    bool bySnapshot;
};

uint32_t loadeject_dsk_timeOut(uint32_t, void* param) {
    auto* pending = static_cast<PendingDiskLoad*>(param);
    // Two loads into one drive in a row: the last one named wins, it does not eject the first.
    floppyDrive* drive = unitDrive(pending->unit);
    if (drive && drive->diskInserted) withEmulationStopped([&] {
        ejectUnit(pending->unit, false);
        return 0;
    });
    if (!loadeject_dsk(pending->name.c_str(), pending->unit, pending->kind, pending->bySnapshot)) ++namedFileFailures;
    SDL_CloseFile();
    delete pending;
    return 0;
}

uint32_t flipSideTimeOut(uint32_t, void*) {
    storeFlag(flipSideInUse, false);
    return 0;
}

// base + "_NNN.ext" for the first number whose file does not exist.
char* numberedSaveName(char* buffer, const std::string& base, const char* extension) {
    for (int number = 0; number < 1000; ++number) {
        char candidate[kTextBufferSize];
        int n = std::snprintf(candidate, sizeof candidate, "%s_%03d.%s", base.c_str(), number, extension);
        if (n < 0 || n >= static_cast<int>(sizeof candidate)) return nullptr;
        if (!isRegularFile(candidate)) {
            std::memcpy(buffer, candidate, static_cast<size_t>(n) + 1);
            return buffer;
        }
    }
    return nullptr;
}

}  // namespace

void showFileRefusal(const char* path, const char* fallback) {
    const char* why = fileRefusal()[0] ? fileRefusal() : cPCFile && cPCFileLength == 0 ? "empty file" : fallback;
    SDL_Log("%s refused: %s", path ? path : "", why);
    textShowOSD("\366 %s: %s ! \367", fileNamePart(path ? path : ""), why);
}

bool load_file_snadsk(const char* givenPath, int unit) {
    // The caller's buffer may be one this function writes (fullFileNameStr).
    std::string pathCopy = givenPath ? givenPath : "";
    const char* path = givenPath ? pathCopy.c_str() : nullptr;
    bool wasRunning = running;
    stopRun();
    bool taken = false;
    if (path) SDL_OpenFile(path);
    if (!path || !cPCFile) {
        textShowOSD("\366 %s %s ! \367", path ? path : "", fileOpenProblem());
        copyToTextBuffer(currentFilePath, "");
        if (wasRunning) run();
        return false;
    }
    const char* name = fileNamePart(path);
    const char* extension = fileExtension(path);
    if (!extension) {
        textShowOSD("\366 Warning this file is not recognized (no .extension found) ! \367");
        SDL_CloseFile();
        if (wasRunning) run();
        return false;
    }
    if (fullCurrentFilePath) {
        std::string directory = directoryPart(path);
        copyToTextBuffer(fullCurrentFilePath, directory.empty() ? getbasepath : directory.c_str());
    }
    const MediaKind* kind = mediaKindOfExtension(extension);
    SDL_CloseFile();
    std::string shownName = name;
    if (isArchivePath(path)) {
        // The image inside is read from memory under the archive's own name, so that a disk written back goes
        // beside the archive and the archive itself is never written.
        ArchiveEntry entry;
        std::string error;
        if (!readArchiveFile(path, entry, error)) {
            SDL_Log("load_file_snadsk: archive %s refused: %s", path, error.c_str());
            textShowOSD("\366 %s %s ! \367", name, error.c_str());
            if (wasRunning) run();
            return false;
        }
        SDL_Log("load_file_snadsk: %s taken from archive %s", entry.name.c_str(), path);
        kind = mediaKindOfPath(entry.name.c_str());
        shownName += ": " + entry.name;
        setMemoryFile(path, std::move(entry.bytes), entry.name);
    }
    if (!kind) {
        textShowOSD("\366 Warning this file is not recognized (wrong extension) ! \367");
    } else {
        if (path != fullFileNameStr) copyToTextBuffer(fullFileNameStr, path);
        switch (kind->media) {
            case MediaClass::Disk:
                load_dsk(path, unit, kind->code);
                textShowOSD("%s", shownName.c_str());
                taken = true;
                break;
            case MediaClass::Tape:
                // The tape side opens, loads and names the tape itself.
                taken = load_tape_file(path);
                break;
            case MediaClass::Snapshot:
                taken = load_snapshot_file(path);
                if (taken) textShowOSD("%s", shownName.c_str());
                break;
            case MediaClass::Cartridge: taken = load_cartridge_file(path); break;
        }
    }
    if (wasRunning) run();
    return taken;
}

void load_dsk(const char* name, int unit, char kind, bool bySnapshot) {
    if (!name) return;
    if (fdc) withEmulationStopped([&] {
        ejectUnit(unit, false);
        return 0;
    });
    scheduleMainThreadAction(kDiskLoadDelayMs, loadeject_dsk_timeOut, new PendingDiskLoad{name, unit, kind, bySnapshot});
}

bool loadeject_dsk(const char* name, int unit, char kind, bool bySnapshot) {
    if (!fdc) {
        textShowOSD("\366 FDC not active ! \367");
        return false;
    }
    floppyDrive* drive = unitDrive(unit);
    if (drive && drive->diskInserted) {
        eject_dsk(unit, true);
        return false;
    }
    return withEmulationStopped([&] {
        if (!drive) {
            textShowOSD("\366 FDD%s not active !! \367", unitDigit(unit));
            ejectUnit(unit, true);
            textShowOSD("\366 FDD%s loading DSK error ! \367", unitDigit(unit));
            return false;
        }
        int loaded = 0;
        if (name && SDL_OpenFile(name) > 0) loaded = readDiskImage(drive, kind);
        bool opened = cPCFile != nullptr;
        if (!loaded) showFileRefusal(name, opened ? "not a disk image" : fileOpenProblem());
        SDL_CloseFile();
        if (!loaded) {
            drive->eject_disk();
            t_eject_disk[unit] = 0;
            storeFlag(t_led_disk[unit], 0);
            redrawDisks();
            takeWriteBackNote(unit);
            return false;
        }
        t_eject_disk[unit] = 1;
        noteDiskImage(unit, name, bySnapshot);
        const char* part = fileNamePart(name);
        copyToTextBuffer(diskNameBuffer(unit), part);
        copyToTextBuffer(diskDirectory[unit], directoryPart(name).c_str());
        redrawDisks();
        std::string previous = takeWriteBackNote(unit);
        std::string shown = part;
        if (bySnapshot) shown += " (inserted by the snapshot)";
        if (!previous.empty()) shown += " (" + previous + ")";
        showDiskName(unit, shown.c_str());
        return true;
    });
}

std::string loadedDiskPath(int unit) {
    if (unit < 0 || unit > 1 || !t_eject_disk[unit]) return {};
    const char* name = diskNameBuffer(unit);
    return name && *name ? std::string(diskDirectory[unit]) + name : std::string();
}

void eject_dsk(int unit, bool forgetName) {
    if (!fdc) return;
    withEmulationStopped([&] {
        ejectUnit(unit, forgetName);
        return 0;
    });
    takeWriteBackNote(unit);  // the write-back message is on show already
}

bool flipSide(uint8_t unit, const char* name) {
    if (loadFlag(flipSideInUse)) return false;
    if (unit == 255) return flipTapeSide();
    if (unit > 1) return false;
    storeFlag(flipSideInUse, true);
    scheduleTimedAction(kFlipLockMs, flipSideTimeOut, nullptr);
    floppyDrive* drive = unitDrive(unit);
    if (drive && drive->diskInserted && drive->doubleSided) {
        withEmulationStopped([&] {
            drive->flip_side();
            return 0;
        });
        redrawDisks();
        const char* shown = diskNameBuffer(unit);
        showDiskName(unit, shown ? shown : "");
        return true;
    }
    std::string other = findOtherSide(diskDirectory[unit], name);
    return !other.empty() && load_file_snadsk(other.c_str(), unit);
}

void save_dsk(int unit) {
    floppyDrive* drive = unitDrive(unit);
    if (!drive || !drive->trackBuffers) return;
    withEmulationStopped([&] {
        const char* disk = diskNameBuffer(unit);
        std::string base = std::string(diskDirectory[unit]) + (disk && *disk ? disk : "disk.dsk");
        base = base.size() > 4 ? base.substr(0, base.size() - 4) : std::string("save");
        char path[kTextBufferSize];
        if (!numberedSaveName(path, base, "bin")) {
            textShowOSD("\366 No free name left for %s ! \367", base.c_str());
            return false;
        }
        SDL_Log("save_dsk: writing %s", path);
        return writeDiskTrackDump(drive, path);
    });
}

char* save_find_enum(char* buffer, char kind, const char* directory, const char* loaded) {
    if (!buffer) return nullptr;
    if (!loaded) loaded = fullFileNameStr ? fullFileNameStr : "";
    std::string base;
    // A gzipped image is numbered after the image's own name.
    std::string unzipped = loaded;
    if (unzipped.size() > 3 && strcasecmp(unzipped.c_str() + unzipped.size() - 3, ".gz") == 0) {
        unzipped.resize(unzipped.size() - 3);
    }
    loaded = unzipped.c_str();
    const char* part = fileNamePart(loaded);
    if (std::strlen(loaded) < 5) {
        base = "save";
    } else if (directory && std::strlen(part) > 4) {
        base = std::string(directory) + std::string(part, std::strlen(part) - 4);
    } else {
        base.assign(loaded, std::strlen(loaded) - 4);
    }
    const char* extension = kind == 's'   ? "sna"
                            : kind == 'p' ? "png"
                            : kind == 'b' ? "bmp"
                            : kind == 'd' ? "dsk"
                            : kind == 'w' ? "wav"
                                          : "bin";
    return numberedSaveName(buffer, base, extension);
}

void autorun_cat() {
    if (autorunInProgress()) return;
    setAutorunText(cpcLang == LangFrench ? "cqt" : "cat");
    autorun_dsk(kCatDelayMs, kAutorunKeyPeriodMs);
}
