#include "frontend/media_snapshot.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "asic/cartridge.h"
#include "disk/fdc765.h"
#include "frontend/media_loader.h"
#include "machine/base_path.h"
#include "machine/cpc.h"
#include "machine/emulation_thread.h"
#include "machine/file_reader.h"
#include "machine/frontend_hooks.h"
#include "machine/model.h"
#include "machine/safe_file.h"
#include "machine/text_buffers.h"
#include "snapshot/sna_file.h"

namespace {

// A recorded name as it stands (with the base path when it has no directory),
// else its file part in the snapshot's directory; empty when neither exists.
std::string findRecordedFile(const char* recorded) {
    if (!recorded || !*recorded) return {};
    std::string asRecorded = recorded;
    if (!std::strchr(recorded, '/') && !std::strchr(recorded, '\\')) asRecorded = std::string(getbasepath) + recorded;
    if (isRegularFile(asRecorded.c_str())) return asRecorded;
    std::string beside = std::string(fullCurrentFilePath ? fullCurrentFilePath : "") + fileNamePart(recorded);
    if (isRegularFile(beside.c_str())) return beside;
    SDL_Log("load_snapshot_file: recorded file %s not found", recorded);
    return {};
}

void loadRecordedCartridge() {
    std::string path = findRecordedFile(CPRAFileName);
    if (path.empty()) return;
    if (SDL_OpenFile(path.c_str()) > 0 && fileCPR()) copyToTextBuffer(fileName_cpr_str, fileNamePart(path.c_str()));
    SDL_CloseFile();
}

std::string realPath(const std::string& path) {
    std::string real;
    if (char* resolved = realpath(path.c_str(), nullptr)) {
        real = resolved;
        std::free(resolved);
    }
    return real;
}

// A snapshot may come from anywhere: the disk it names is taken only from the snapshot's own folder (links
// resolved), so that a file can never put one of the user's other disks in a drive the machine then writes to.
std::string findRecordedDisk(const char* recorded, const char* snapshot) {
    if (!recorded || !*recorded) return {};
    const std::string folder = realPath(directoryOf(snapshot));
    std::string asRecorded = recorded;
    if (!std::strchr(recorded, '/') && !std::strchr(recorded, '\\')) asRecorded = std::string(getbasepath) + recorded;
    const std::string beside = directoryPart(snapshot) + fileNamePart(recorded);
    std::string outside;
    for (const std::string& candidate : {asRecorded, beside}) {
        if (!isRegularFile(candidate.c_str())) continue;
        const std::string real = realPath(candidate);
        if (!folder.empty() && !real.empty() && directoryOf(real) == folder) return candidate;
        outside = real.empty() ? candidate : real;
    }
    if (outside.empty()) {
        SDL_Log("load_snapshot_file: recorded file %s not found", recorded);
    } else {
        SDL_Log("load_snapshot_file: %s names disk %s outside its folder: not inserted", snapshot, outside.c_str());
        textShowOSD("\366 Snapshot disk %s is not in the snapshot's folder: not inserted ! \367",
                    fileNamePart(outside.c_str()));
    }
    return {};
}

void loadRecordedDisk(int unit, const char* snapshot) {
    std::string path = findRecordedDisk(unit ? DSCBFileName : DSCAFileName, snapshot);
    if (path.empty() || !fdc) return;
    // load_dsk ejects the drive's disk and brings the new one 100 ms later.
    load_dsk(path.c_str(), unit, 'd', true);
    if (running) stopRun();
}

}  // namespace

bool load_snapshot_file(const char* path) {
    SnaImage image;
    SDL_OpenFile(path);
    bool parsed = readSNA(image, path);
    SDL_CloseFile();
    if (!parsed) {
        textShowOSD("\366 SNA has wrong format ! \367");
        return false;
    }
    const uint8_t previous = cpcType;
    cpcType = snaModelFor(image.header[kSnaMachineType]);
    if (!startCPC()) {
        SDL_Log("load_snapshot_file: the model of %s cannot be built, the previous one is restored", path);
        cpcType = previous;
        startCPC();
        textShowOSD("\366 SNA has wrong format ! \367");
        return false;
    }
    clearSnapshotNames();
    applySNA(image);
    loadRecordedCartridge();
    loadRecordedDisk(0, path);
    loadRecordedDisk(1, path);
    frontendHooks.redrawModelIcon();
    frontendHooks.redrawCrtcIcon();
    return true;
}

void save_sna() {
    stopRun();
    const char* directory = nullptr;
    if (defaultFilePathSNA && (std::strchr(defaultFilePathSNA, '/') || std::strchr(defaultFilePathSNA, '\\'))) {
        directory = defaultFilePathSNA;
    }
    char name[kTextBufferSize];
    if (!save_find_enum(name, 's', directory)) {
        textShowOSD("\366 Error writing snapshot file %s ! \367", "(no free name)");
    } else if (writeSNAFile(name)) {
        textShowOSD("\366 Writing snapshot file %s ok ! \367", name);
    } else {
        textShowOSD("\366 Error writing snapshot file %s ! \367", name);
    }
    run();
}
