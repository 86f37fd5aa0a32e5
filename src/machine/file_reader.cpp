#include "machine/file_reader.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <utility>

#include "sound/audio_output.h"

SDL_RWops* cPCFile = nullptr;
int64_t cPCFileLength = 0;
int64_t filepos_idx = 0;

namespace {

// The host's file access must not leave stale sound queued behind it.
void audioQuietBeforeOpen() {
    if (CPC_audio_enable) {
        audioClearQueue();
        audioPause(true);
    }
}

void audioResumeAfterOpen() {
    if (CPC_audio_enable) audioRestartQueue();
}

const char* lastOpenProblem = "not found";
char refusal[160] = {};

struct MemoryFile {
    std::string path, innerName;
    std::vector<uint8_t> bytes;
};
// Both drives, the deck and a snapshot or cartridge: four are as many as can be loading at once.
constexpr size_t kMemoryFilesKept = 4;
std::vector<MemoryFile> memoryFiles;

const MemoryFile* memoryFileOf(const char* path) {
    if (!path) return nullptr;
    for (const MemoryFile& file : memoryFiles) {
        if (file.path == path) return &file;
    }
    return nullptr;
}

// What keeps `path` from being read as a file, or null. Decided from the
// directory entry alone: a FIFO or a device opened for reading could block
// the program for good.
const char* openProblem(const char* path) {
    struct stat st {};
    if (!path || !*path || stat(path, &st) != 0) return errno == EACCES ? "cannot be read" : "not found";
    if (S_ISDIR(st.st_mode)) return "is a directory, not a file";
    if (S_ISFIFO(st.st_mode)) return "is a FIFO, not a file";
    if (S_ISSOCK(st.st_mode)) return "is a socket, not a file";
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return "is a device, not a file";
    if (!S_ISREG(st.st_mode)) return "is not a regular file";
    if (access(path, R_OK) != 0) return "cannot be read";
    return nullptr;
}

int64_t openQuiet(const char* path) {
    refusal[0] = 0;
    const MemoryFile* memory = memoryFileOf(path);
    const char* problem = memory ? nullptr : openProblem(path);
    if (memory) {
        cPCFile = SDL_RWFromConstMem(memory->bytes.data(), static_cast<int>(memory->bytes.size()));
    } else {
        cPCFile = problem ? nullptr : SDL_RWFromFile(path, "rb");
    }
    if (!cPCFile) {
        if (!problem) problem = "cannot be read";
        lastOpenProblem = problem;
        if (std::strcmp(problem, "not found") == 0) {
            SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, " SDL_OpenFile: file %s not found !", path ? path : "(null)");
        } else {
            SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, " SDL_OpenFile: file %s %s !", path, problem);
        }
        cPCFileLength = 0;
        return 0;
    }
    lastOpenProblem = nullptr;
    int64_t length = SDL_RWseek(cPCFile, 0, RW_SEEK_END);
    if (length < 0) length = 0;
    SDL_RWseek(cPCFile, 0, RW_SEEK_SET);
    cPCFileLength = length;
    filepos_idx = 0;
    return length;
}

}  // namespace

void setMemoryFile(const char* path, std::vector<uint8_t> bytes, const std::string& innerName) {
    if (!path) return;
    for (auto it = memoryFiles.begin(); it != memoryFiles.end(); ++it) {
        if (it->path == path) {
            memoryFiles.erase(it);
            break;
        }
    }
    if (memoryFiles.size() >= kMemoryFilesKept) memoryFiles.erase(memoryFiles.begin());
    memoryFiles.push_back(MemoryFile{path, innerName, std::move(bytes)});
}

const char* memoryFileName(const char* path) {
    const MemoryFile* file = memoryFileOf(path);
    return file ? file->innerName.c_str() : nullptr;
}

const char* fileOpenProblem() { return lastOpenProblem ? lastOpenProblem : "not found"; }

bool refuseFile(const char* loader, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(refusal, sizeof refusal, format, args);
    va_end(args);
    SDL_Log("%s: %s", loader, refusal);
    return false;
}

const char* fileRefusal() { return refusal; }

int64_t SDL_OpenFile(const char* path) {
    audioQuietBeforeOpen();
    int64_t length = openQuiet(path);
    audioResumeAfterOpen();
    return length;
}

int SDL_ReadFile(const char* path, void* buffer, int64_t size) {
    audioQuietBeforeOpen();
    int64_t length = openQuiet(path);
    int records = 0;
    if (cPCFile) {
        if (length != 0 && size > 0 && length >= size) {
            records = SDL_RWread(cPCFile, buffer, static_cast<size_t>(size), 1) == 1 ? 1 : 0;
        }
        SDL_RWclose(cPCFile);
        cPCFile = nullptr;
    }
    cPCFileLength = records;
    audioResumeAfterOpen();
    return records;
}

void SDL_CloseFile() {
    if (cPCFile) {
        SDL_RWclose(cPCFile);
        cPCFile = nullptr;
    }
}

void SDL_RewindFile(int64_t offset) {
    if (!cPCFile) return;
    int64_t pos = SDL_RWseek(cPCFile, offset, RW_SEEK_SET);
    if (pos >= 0) filepos_idx = pos;
}

void SDL_ForwadFile(int64_t count) {
    if (!cPCFile) return;
    int64_t pos = SDL_RWseek(cPCFile, filepos_idx + count, RW_SEEK_SET);
    if (pos >= 0) filepos_idx = pos;
}

uint8_t readU8() {
    uint8_t byte = 0;
    if (cPCFile && SDL_RWread(cPCFile, &byte, 1, 1) != 1) byte = 0;
    filepos_idx++;
    return byte;
}

uint16_t readU16lh() {
    uint16_t b0 = readU8();
    uint16_t b1 = readU8();
    return static_cast<uint16_t>(b0 | (b1 << 8));
}

uint16_t readU16() {
    uint16_t b0 = readU8();
    uint16_t b1 = readU8();
    return static_cast<uint16_t>((b0 << 8) | b1);
}

uint32_t readU32lh() {
    uint32_t lo = readU16lh();
    uint32_t hi = readU16lh();
    return lo | (hi << 16);
}

uint32_t readU32() {
    uint32_t hi = readU16();
    uint32_t lo = readU16();
    return (hi << 16) | lo;
}

bool headerIdCheck(const char* text) {
    for (const char* c = text; *c; ++c) {
        if (readU8() != static_cast<uint8_t>(*c)) return false;
    }
    return true;
}

bool directoryTestExist(const char* path) {
    if (!path || !*path) return false;
    DIR* dir = opendir(path);
    if (!dir) return false;
    closedir(dir);
    return true;
}

int64_t readBlock(void* buffer, int64_t size) {
    if (size <= 0) return 0;
    auto* out = static_cast<uint8_t*>(buffer);
    int64_t got = 0;
    if (cPCFile) {
        size_t n = SDL_RWread(cPCFile, out, 1, static_cast<size_t>(size));
        got = static_cast<int64_t>(n);
    }
    if (got < size) std::memset(out + got, 0, static_cast<size_t>(size - got));
    filepos_idx += size;
    return got;
}

int64_t fileBytesLeft() {
    if (!cPCFile || filepos_idx >= cPCFileLength || filepos_idx < 0) return 0;
    return cPCFileLength - filepos_idx;
}

bool fileHasBytes(int64_t count) { return count >= 0 && count <= fileBytesLeft(); }

bool fileHasRange(int64_t offset, int64_t count) {
    return cPCFile && offset >= 0 && count >= 0 && offset <= cPCFileLength && count <= cPCFileLength - offset;
}

bool readExact(void* buffer, int64_t size) {
    if (!fileHasBytes(size)) return false;
    return readBlock(buffer, size) == size;
}
