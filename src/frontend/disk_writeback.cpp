#include "frontend/disk_writeback.h"

#include <SDL.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <utility>

#include "disk/edsk_writer.h"
#include "disk/floppy_drive.h"
#include "frontend/media_loader.h"
#include "machine/base_path.h"
#include "machine/emulation_thread.h"
#include "machine/frontend_hooks.h"
#include "machine/media_kind.h"
#include "machine/shared_flag.h"
#include "machine/text_buffers.h"

DiskWritePolicy diskWritePolicy = DiskWritePolicy::Back;

namespace {

std::string imagePath[2];
// What became of the disk that left a unit, for the name of the disk that replaces it.
std::string note[2];

const char* driveLetter(int unit) { return unit ? "B" : "A"; }

// The directory as the system names it: "." for a bare name, "/" for the root, else no trailing separator.
std::string directoryOf(const std::string& path) {
    std::string directory = directoryPart(path.c_str());
    if (directory.empty()) return ".";
    if (directory.size() == 1) return "/";
    directory.pop_back();
    return directory;
}

bool isDskImage(const std::string& path) {
    const MediaKind* kind = mediaKindOfPath(path.c_str());
    return kind && kind->code == 'd';
}

bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) {
        error = std::strerror(errno);
        return false;
    }
    bytes.clear();
    uint8_t chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, in)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    bool ok = !std::ferror(in);
    if (!ok) error = "read error";
    std::fclose(in);
    return ok;
}

bool writeAll(int fd, const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

void reportFailure(int unit, const std::string& target, const std::string& error) {
    note[unit] = "changes not saved !";
    SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "diskwrite: disk %s not written to %s: %s", driveLetter(unit),
                 target.c_str(), error.c_str());
    textShowOSD("\366 Error writing disk %s to %s: %s ! \367", driveLetter(unit), target.c_str(), error.c_str());
}

void stopSignal(int) { storeFlag(mainLoopEnd, 1); }

}  // namespace

bool setDiskWritePolicy(const char* text) {
    if (!text) return false;
    for (auto [name, policy] : {std::pair{"back", DiskWritePolicy::Back}, std::pair{"copy", DiskWritePolicy::Copy},
                                 std::pair{"off", DiskWritePolicy::Off}}) {
        if (strcasecmp(text, name) == 0) {
            diskWritePolicy = policy;
            return true;
        }
    }
    SDL_Log("diskwrite: '%s' is not back, copy or off - ignored", text);
    return false;
}

void noteDiskImage(int unit, const char* path) {
    if (unit == 0 || unit == 1) imagePath[unit] = path ? path : "";
}

bool writeFileSafely(const std::string& target, const std::vector<uint8_t>& bytes, bool replace, std::string& error) {
    std::string temporary = target + ".XXXXXX";
    int fd = mkstemp(temporary.data());
    if (fd < 0) {
        error = std::string("cannot write to ") + directoryOf(target) + " (" + std::strerror(errno) + ")";
        return false;
    }
    struct stat existing {};
    mode_t mode = ::stat(target.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0644;
    fchmod(fd, mode);
    bool written = writeAll(fd, bytes);
    int savedErrno = errno;
    if (written && fsync(fd) != 0) {
        written = false;
        savedErrno = errno;
    }
    if (::close(fd) != 0 && written) {
        written = false;
        savedErrno = errno;
    }
    if (written) {
        // link() refuses an existing name where a new file must not replace one.
        int placed =
            replace ? std::rename(temporary.c_str(), target.c_str()) : ::link(temporary.c_str(), target.c_str());
        if (placed != 0) {
            written = false;
            savedErrno = errno;
        } else if (!replace) {
            ::unlink(temporary.c_str());
        }
    }
    if (!written) {
        ::unlink(temporary.c_str());
        error = std::strerror(savedErrno ? savedErrno : EIO);
    }
    return written;
}

bool writeBackDisk(int unit) {
    floppyDrive* drive = unit == 0 ? fd0 : unit == 1 ? fd1 : nullptr;
    if (!drive || !drive->diskInserted || !drive->diskChanged) return true;
    const std::string& path = imagePath[unit];
    if (diskWritePolicy == DiskWritePolicy::Off) {
        SDL_Log("diskwrite: off, the changes to disk %s (%s) are dropped", driveLetter(unit), path.c_str());
        textShowOSD("\366 Disk %s changed: changes dropped (diskwrite=off) \367", driveLetter(unit));
        note[unit] = "changes dropped";
        drive->diskChanged = false;
        return true;
    }
    std::vector<uint8_t> image;
    if (!buildExtendedDSK(*drive, image)) return true;
    std::string error;
    bool inPlace = diskWritePolicy == DiskWritePolicy::Back && isDskImage(path) &&
                   access(directoryOf(path).c_str(), W_OK) == 0 && access(path.c_str(), W_OK) == 0;
    if (inPlace) {
        // The first overwrite keeps the file as it was beside it.
        std::string backup = path + ".bak";
        std::vector<uint8_t> original;
        if (!isRegularFile(backup.c_str()) &&
            (!readWholeFile(path, original, error) || !writeFileSafely(backup, original, false, error))) {
            reportFailure(unit, backup, error);
            return false;
        }
        if (!writeFileSafely(path, image, true, error)) {
            reportFailure(unit, path, error);
            return false;
        }
        drive->diskChanged = false;
        SDL_Log("diskwrite: disk %s written back to %s", driveLetter(unit), path.c_str());
        textShowOSD("\366 Disk %s written back to %s \367", driveLetter(unit), fileNamePart(path.c_str()));
        note[unit] = std::string(fileNamePart(path.c_str())) + " written back";
        return true;
    }
    char name[kTextBufferSize];
    if (!save_find_enum(name, 'd', nullptr, path.c_str())) {
        reportFailure(unit, path, "no free numbered name left");
        return false;
    }
    if (!writeFileSafely(name, image, false, error)) {
        reportFailure(unit, name, error);
        return false;
    }
    drive->diskChanged = false;
    SDL_Log("diskwrite: disk %s written to %s", driveLetter(unit), name);
    textShowOSD("\366 Disk %s written to %s \367", driveLetter(unit), fileNamePart(name));
    note[unit] = std::string("written to ") + fileNamePart(name);
    return true;
}

std::string takeWriteBackNote(int unit) {
    if (unit != 0 && unit != 1) return {};
    std::string taken;
    taken.swap(note[unit]);
    return taken;
}

void writeBackAllDisks() {
    for (int unit = 0; unit < 2; ++unit) {
        writeBackDisk(unit);
        note[unit].clear();  // the disk stays where it is: no other disk replaces it
    }
}

bool createNewDisk(const char* path) {
    if (!path || !*path) return false;
    struct stat existing {};
    if (::stat(path, &existing) == 0) {
        SDL_Log("new-disk: %s exists, nothing overwritten", path);
        textShowOSD("\366 %s exists: no new disk made ! \367", path);
        return false;
    }
    std::vector<uint8_t> image;
    buildBlankDataDisk(image);
    std::string error;
    if (!writeFileSafely(path, image, false, error)) {
        SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "new-disk: %s not created: %s", path, error.c_str());
        textShowOSD("\366 Error creating disk %s: %s ! \367", path, error.c_str());
        return false;
    }
    SDL_Log("new-disk: blank disk %s created", path);
    return true;
}

void installStopSignals() {
    struct sigaction action {};
    action.sa_handler = stopSignal;
    sigemptyset(&action.sa_mask);
    // A second signal ends the program at once.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}
