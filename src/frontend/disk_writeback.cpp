#include "frontend/disk_writeback.h"

#include <SDL.h>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <system_error>
#include <utility>

#include "debug/debugger.h"
#include "disk/edsk_writer.h"
#include "disk/floppy_drive.h"
#include "frontend/media_loader.h"
#include "frontend/osd.h"
#include "machine/base_path.h"
#include "machine/config.h"
#include "machine/emulation_thread.h"
#include "machine/frontend_hooks.h"
#include "machine/media_kind.h"
#include "machine/safe_file.h"
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

// The file as it was when the disk was loaded (or last written in place), to tell when another program, a link or
// the other drive shares it.
struct FileIdentity {
    bool known = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
};
FileIdentity loadedAs[2];
// A snapshot put this disk in the drive, not the user: its file is never written.
bool bySnapshot[2];
int failures = 0;

FileIdentity identityOf(const std::string& path) {
    FileIdentity identity;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return identity;
    identity = {true, info.st_dev, info.st_ino, info.st_size, info.st_mtim};
    return identity;
}

bool sameFile(const FileIdentity& a, const FileIdentity& b) {
    return a.known && b.known && a.device == b.device && a.inode == b.inode;
}

// A frame of the machine: a write that takes longer says so on screen while it goes on.
constexpr auto kNoticedWriteTime = std::chrono::milliseconds(20);

const char* driveLetter(int unit) { return unit ? "B" : "A"; }

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

floppyDrive* driveOf(int unit) { return unit == 0 ? fd0 : unit == 1 ? fd1 : nullptr; }

// Headless runs follow emulated time, as their timed actions do, so that a run gives the same files every time.
uint32_t nowMilliseconds() {
    return headlessMode ? static_cast<uint32_t>(emulatedTimeMicroseconds() / 1000) : SDL_GetTicks();
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
    const size_t tagLength = sizeof kTemporaryFileTag - 1;
    while (const dirent* entry = readdir(listing)) {
        const std::string name = entry->d_name;
        if (name.size() < stem.size() + tagLength + 6 || name.compare(0, stem.size(), stem) != 0 ||
            name.compare(name.size() - 6 - tagLength, tagLength, kTemporaryFileTag) != 0) {
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
    ++failures;
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

void noteDiskImage(int unit, const char* path, bool insertedBySnapshot) {
    if (unit != 0 && unit != 1) return;
    imagePath[unit] = path ? path : "";
    // A link is followed once: later writes go to the file it named at the load.
    if (char* resolved = path && *path ? realpath(path, nullptr) : nullptr) {
        imagePath[unit] = resolved;
        std::free(resolved);
    }
    loadedAs[unit] = identityOf(imagePath[unit]);
    bySnapshot[unit] = insertedBySnapshot;
    copyPath[unit].clear();
    StillWatch& still = watch[unit];
    still.announced = false;
    if (const floppyDrive* drive = driveOf(unit)) {
        still.changesSeen = still.changesTaken = drive->changeCount.load(std::memory_order_relaxed);
    }
    if (!imagePath[unit].empty()) removeLeftTemporaries(imagePath[unit]);
}

namespace {

// Why a DSK file that could be replaced in place gets a numbered copy instead; empty when nothing stands against it.
std::string reasonForCopy(int unit) {
    if (bySnapshot[unit]) return "was inserted by a snapshot";
    struct stat info {};
    if (::stat(imagePath[unit].c_str(), &info) != 0) return "is gone";
    // Replacing the file would part it from its other names, which would keep the old disk.
    if (info.st_nlink > 1) return "has other hard links";
    const FileIdentity now = identityOf(imagePath[unit]);
    const floppyDrive* other = driveOf(1 - unit);
    if (other && other->diskInserted && sameFile(now, loadedAs[1 - unit])) {
        return std::string("is also in drive ") + driveLetter(1 - unit);
    }
    const FileIdentity& then = loadedAs[unit];
    if (!sameFile(now, then) || now.size != then.size || now.modified.tv_sec != then.modified.tv_sec ||
        now.modified.tv_nsec != then.modified.tv_nsec) {
        return "changed on the host since it was loaded";
    }
    return {};
}

// Runs `work` (building and writing an image) on a thread of its own, and when it takes longer than a frame puts
// a message on screen at once, for the wait.
template <typename Work>
bool noticedWhenSlow(int unit, Work work) {
    std::future<bool> done;
    try {
        done = std::async(std::launch::async, work);
    } catch (const std::system_error&) {
        return work();  // no thread to be had: written all the same, without the message
    }
    if (done.wait_for(kNoticedWriteTime) == std::future_status::timeout) {
        char text[64];
        std::snprintf(text, sizeof text, "\366 Writing disk %s... \367", driveLetter(unit));
        presentMessageNow(text);
    }
    return done.get();
}

// Puts the image of the unit's disk where the policy says. `asked`: the disk leaves the drive or the program ends,
// and the text on screen says where it went; of the writes nobody asked for, only this disk's first says so.
bool placeImage(int unit, const std::vector<uint8_t>& image, bool asked) {
    const std::string& path = imagePath[unit];
    std::string error;
    bool inPlace = diskWritePolicy == DiskWritePolicy::Back && isDskImage(path) &&
                   access(directoryOf(path).c_str(), W_OK) == 0 && access(path.c_str(), W_OK) == 0;
    const std::string whyCopy = inPlace ? reasonForCopy(unit) : "";
    if (!whyCopy.empty()) inPlace = false;
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
        loadedAs[unit] = identityOf(path);
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
    const std::string because = whyCopy.empty() ? "" : " (" + std::string(fileNamePart(path.c_str())) + " " + whyCopy + ")";
    SDL_Log("diskwrite: disk %s written to %s%s%s", driveLetter(unit), name, because.c_str(), why);
    if (announce)
        textShowOSD("\366 Disk %s written to %s%s \367", driveLetter(unit), fileNamePart(name), because.c_str());
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
    // A failed write leaves the disk changed, for the next burst and the exit to try again.
    if (taken && !noticedWhenSlow(unit, [unit] {
            std::vector<uint8_t> image;
            return buildExtendedDSK(copy, image) && placeImage(unit, image, false);
        })) {
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
    bool built = true;
    const bool placed = noticedWhenSlow(unit, [&] {
        std::vector<uint8_t> image;
        built = buildExtendedDSK(*drive, image);
        return !built || placeImage(unit, image, true);
    });
    if (!built) return true;
    if (!placed) return false;
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
        SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "new-disk: %s exists, nothing overwritten", path);
        textShowOSD("\366 %s exists: no new disk made ! \367", path);
        ++namedFileFailures;
        return false;
    }
    std::vector<uint8_t> image;
    buildBlankDataDisk(image);
    std::string error;
    if (!writeFileSafely(path, image, false, error)) {
        SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "new-disk: %s not created: %s", path, error.c_str());
        textShowOSD("\366 Error creating disk %s: %s ! \367", path, error.c_str());
        ++namedFileFailures;
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
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaction(signalNumber, &action, nullptr);
    // A file over the size limit is a failed write to report, not the end of the program.
    std::signal(SIGXFSZ, SIG_IGN);
}

int diskWriteFailures() { return failures; }
