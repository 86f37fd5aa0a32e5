#include "frontend/disk_writeback.h"

#include <SDL.h>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <utility>

#include "debug/debugger.h"
#include "disk/edsk_writer.h"
#include "disk/floppy_drive.h"
#include "frontend/media_loader.h"
#include "machine/base_path.h"
#include "machine/emulation_thread.h"
#include "machine/frontend_hooks.h"
#include "machine/media_kind.h"
#include "machine/shared_flag.h"
#include "machine/text_buffers.h"
#include "machine/timed_actions.h"

DiskWritePolicy diskWritePolicy = DiskWritePolicy::Back;

namespace {

std::string imagePath[2];
// What became of the disk that left a unit, for the name of the disk that replaces it.
std::string note[2];
// The numbered copy this disk went to, which its later writes replace: one copy per disk inserted, however often it
// is written.
std::string copyPath[2];

// The main thread's watch over a drive, for the write-back after a burst of writes.
struct StillWatch {
    uint32_t changesSeen = 0;   // the drive's change count at the last look
    uint32_t changesTaken = 0;  // ... when its tracks were last taken for writing (or found unchanged)
    uint32_t stillSince = 0;    // ms: since when the count has stood and the motor been off
    bool announced = false;     // the on-screen text of a write nobody asked for has been shown for this disk
};
StillWatch watch[2];

// A temporary file: the target's name, this tag and mkstemp's six characters.
constexpr char kTemporaryTag[] = ".kestrix-tmp-";

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

floppyDrive* driveOf(int unit) { return unit == 0 ? fd0 : unit == 1 ? fd1 : nullptr; }

// Headless runs follow emulated time, as their timed actions do, so that a run gives the same files every time.
uint32_t nowMilliseconds() {
    return headlessMode ? static_cast<uint32_t>(emulatedTimeMicroseconds() / 1000) : SDL_GetTicks();
}

// Makes a rename or link that has just been done survive a power cut; a file system that cannot sync a
// directory has nothing more to do.
void syncDirectory(const std::string& directory) {
    int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return;
    fsync(fd);
    ::close(fd);
}

// Temporary files a killed run left beside the disk's file (and its .bak and numbered copies) go when the disk is
// loaded again; nothing else is touched: the name must start with the disk's name without its extension and end
// in the tag and six characters.
void removeLeftTemporaries(const std::string& path) {
    std::string stem = fileNamePart(path.c_str());
    if (size_t dot = stem.rfind('.'); dot != std::string::npos && dot > 0) stem.resize(dot);
    if (stem.empty()) return;
    const std::string directory = directoryOf(path);
    DIR* listing = opendir(directory.c_str());
    if (!listing) return;
    const size_t tagLength = sizeof kTemporaryTag - 1;
    while (const dirent* entry = readdir(listing)) {
        const std::string name = entry->d_name;
        if (name.size() < stem.size() + tagLength + 6 || name.compare(0, stem.size(), stem) != 0 ||
            name.compare(name.size() - 6 - tagLength, tagLength, kTemporaryTag) != 0) {
            continue;
        }
        const std::string left = directory + "/" + name;
        struct stat info {};
        if (::lstat(left.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        if (::unlink(left.c_str()) == 0) SDL_Log("diskwrite: %s, left by an interrupted write, removed", left.c_str());
    }
    closedir(listing);
}

void reportFailure(int unit, const std::string& target, const std::string& error, bool asked) {
    if (asked) note[unit] = "changes not saved !";
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
    if (unit != 0 && unit != 1) return;
    imagePath[unit] = path ? path : "";
    copyPath[unit].clear();
    StillWatch& still = watch[unit];
    still.announced = false;
    if (const floppyDrive* drive = driveOf(unit)) {
        still.changesSeen = still.changesTaken = drive->changeCount.load(std::memory_order_relaxed);
    }
    if (!imagePath[unit].empty()) removeLeftTemporaries(imagePath[unit]);
}

bool writeFileSafely(const std::string& target, const std::vector<uint8_t>& bytes, bool replace, std::string& error) {
    std::string temporary = target + kTemporaryTag + "XXXXXX";
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
        } else {
            if (!replace) ::unlink(temporary.c_str());
            syncDirectory(directoryOf(target));
        }
    }
    if (!written) {
        ::unlink(temporary.c_str());
        error = std::strerror(savedErrno ? savedErrno : EIO);
    }
    return written;
}

namespace {

// Puts the image of the unit's disk where the policy says. `asked`: the disk leaves the drive or the program ends,
// and the text on screen says where it went; of the writes nobody asked for, only this disk's first says so.
bool placeImage(int unit, const std::vector<uint8_t>& image, bool asked) {
    const std::string& path = imagePath[unit];
    std::string error;
    bool inPlace = diskWritePolicy == DiskWritePolicy::Back && isDskImage(path) &&
                   access(directoryOf(path).c_str(), W_OK) == 0 && access(path.c_str(), W_OK) == 0;
    const char* why = asked ? "" : " (drive stopped)";
    const bool announce = asked || !watch[unit].announced;
    if (inPlace) {
        // The first overwrite keeps the file as it was beside it.
        std::string backup = path + ".bak";
        std::vector<uint8_t> original;
        if (!isRegularFile(backup.c_str()) &&
            (!readWholeFile(path, original, error) || !writeFileSafely(backup, original, false, error))) {
            reportFailure(unit, backup, error, asked);
            return false;
        }
        if (!writeFileSafely(path, image, true, error)) {
            reportFailure(unit, path, error, asked);
            return false;
        }
        SDL_Log("diskwrite: disk %s written back to %s%s", driveLetter(unit), path.c_str(), why);
        if (announce)
            textShowOSD("\366 Disk %s written back to %s \367", driveLetter(unit), fileNamePart(path.c_str()));
        if (asked) note[unit] = std::string(fileNamePart(path.c_str())) + " written back";
        watch[unit].announced = true;
        return true;
    }
    // Later writes of the same disk replace the copy its first write made.
    const bool again = !copyPath[unit].empty();
    char name[kTextBufferSize];
    if (again) {
        copyToTextBuffer(name, copyPath[unit].c_str());
    } else if (!save_find_enum(name, 'd', nullptr, path.c_str())) {
        reportFailure(unit, path, "no free numbered name left", asked);
        return false;
    }
    if (!writeFileSafely(name, image, again, error)) {
        reportFailure(unit, name, error, asked);
        return false;
    }
    copyPath[unit] = name;
    SDL_Log("diskwrite: disk %s written to %s%s", driveLetter(unit), name, why);
    if (announce) textShowOSD("\366 Disk %s written to %s \367", driveLetter(unit), fileNamePart(name));
    if (asked) note[unit] = std::string("written to ") + fileNamePart(name);
    watch[unit].announced = true;
    return true;
}

// A stop ends free running; a write the user did not ask for lets it go on.
template <typename Change>
auto withMachineHeld(Change change) {
    const bool freeRunning = loadFlag(freeRunEnable);
    auto result = withEmulationStopped(change);
    if (freeRunning && running) {
        storeFlag(freeRunEnable, 1);
        freeRun();
    }
    return result;
}

// The machine is held only while the tracks are copied; the image is built and written once it runs again.
void writeBackStillDisk(int unit, floppyDrive& drive) {
    static diskTracks copy;  // kept, so that its buffers are there for the next copy
    const bool taken = withMachineHeld([&] {
        watch[unit].changesTaken = drive.changeCount.load(std::memory_order_relaxed);
        if (!drive.diskInserted || !drive.diskChanged || !copyDiskTracks(drive, copy)) return false;
        drive.diskChanged = false;
        return true;
    });
    std::vector<uint8_t> image;
    // A failed write leaves the disk changed, for the next burst and the exit to try again.
    if (taken && (!buildExtendedDSK(copy, image) || !placeImage(unit, image, false))) {
        withMachineHeld([&] { return drive.diskChanged = true; });
    }
}

}  // namespace

bool writeBackDisk(int unit) {
    floppyDrive* drive = driveOf(unit);
    if (!drive || !drive->diskInserted || !drive->diskChanged) return true;
    watch[unit].changesTaken = drive->changeCount.load(std::memory_order_relaxed);
    if (diskWritePolicy == DiskWritePolicy::Off) {
        SDL_Log("diskwrite: off, the changes to disk %s (%s) are dropped", driveLetter(unit), imagePath[unit].c_str());
        textShowOSD("\366 Disk %s changed: changes dropped (diskwrite=off) \367", driveLetter(unit));
        note[unit] = "changes dropped";
        drive->diskChanged = false;
        return true;
    }
    std::vector<uint8_t> image;
    if (!buildExtendedDSK(*drive, image)) return true;
    if (!placeImage(unit, image, true)) return false;
    drive->diskChanged = false;
    return true;
}

void writeBackStillDisks() {
    const uint32_t now = nowMilliseconds();
    for (int unit = 0; unit < 2; ++unit) {
        floppyDrive* drive = driveOf(unit);
        if (!drive) continue;
        StillWatch& still = watch[unit];
        const uint32_t changes = drive->changeCount.load(std::memory_order_relaxed);
        if (changes != still.changesSeen || loadFlag(drive->motorSwitch)) {
            still.changesSeen = changes;
            still.stillSince = now;
            continue;
        }
        if (changes == still.changesTaken || now - still.stillSince < kWriteBackAfterStillMs) continue;
        // diskwrite=off drops the changes only when the disk leaves; a debugger stop is not ended for a write.
        if (diskWritePolicy == DiskWritePolicy::Off || debugger.stopped()) continue;
        writeBackStillDisk(unit, *drive);
    }
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
