#include "machine/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "machine/base_path.h"

namespace {

bool writeAll(int fd, const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Makes a rename or link that has just been done survive a power cut; a file system that cannot sync a
// directory has nothing more to do.
void syncDirectory(const std::string& directory) {
    int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return;
    fsync(fd);
    ::close(fd);
}

// /dev/stdout, a pipe, /dev/full: there is no file to put a new one in place of.
bool writeSpecialFile(const std::string& target, const std::vector<uint8_t>& bytes, std::string& error) {
    int fd = ::open(target.c_str(), O_WRONLY | O_NOCTTY);
    bool written = fd >= 0 && writeAll(fd, bytes);
    int savedErrno = errno;
    if (fd >= 0 && ::close(fd) != 0 && written) {
        written = false;
        savedErrno = errno;
    }
    if (!written) error = std::strerror(savedErrno ? savedErrno : EIO);
    return written;
}

}  // namespace

std::string directoryOf(const std::string& path) {
    std::string directory = directoryPart(path.c_str());
    if (directory.empty()) return ".";
    if (directory.size() == 1) return "/";
    directory.pop_back();
    return directory;
}

bool writeFileSafely(const std::string& givenTarget, const std::vector<uint8_t>& bytes, bool replace,
                     std::string& error) {
    std::string target = givenTarget;
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) {
        if (!replace) {
            error = "exists";
            return false;
        }
        return writeSpecialFile(target, bytes, error);
    }
    // A rename would put a regular file in place of the link.
    struct stat link {};
    if (exists && ::lstat(target.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        if (char* resolved = realpath(target.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }
    std::string temporary = target + kTemporaryFileTag + "XXXXXX";
    int fd = mkstemp(temporary.data());
    if (fd < 0) {
        error = std::string("cannot write to ") + directoryOf(target) + " (" + std::strerror(errno) + ")";
        return false;
    }
    fchmod(fd, exists ? (existing.st_mode & 07777) : 0644);
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
