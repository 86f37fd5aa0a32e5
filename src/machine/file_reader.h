// The one open image file and its byte readers. Every loader reads through
// these so that short or truncated files behave the same everywhere: reads
// past the end yield 0 and never touch memory outside the caller's buffer.
#pragma once
#include <SDL.h>
#include <cstdint>
#include <string>
#include <vector>

extern SDL_RWops* cPCFile;
extern int64_t cPCFileLength;
extern int64_t filepos_idx;

int64_t SDL_OpenFile(const char* path);
// Makes SDL_OpenFile(path) open these bytes instead of the file: an image taken
// out of an archive, read by every loader as if it were the archive's file.
// The few most recent are kept; `innerName` is the image's own name.
void setMemoryFile(const char* path, std::vector<uint8_t> bytes, const std::string& innerName);
// The image name set for `path`, or null when it opens as itself.
const char* memoryFileName(const char* path);
int SDL_ReadFile(const char* path, void* buffer, int64_t size);
void SDL_CloseFile();
void SDL_RewindFile(int64_t offset);
void SDL_ForwadFile(int64_t count);

uint8_t readU8();
uint16_t readU16lh();
uint16_t readU16();
uint32_t readU32lh();
uint32_t readU32();
// Why the last open failed: "not found", "cannot be read", "is a directory,
// not a file", ... Special files are refused before they are opened.
const char* fileOpenProblem();
bool headerIdCheck(const char* text);
// Why a loader refused the open file, in a few words ("bank 3 cut short");
// empty when none did since the file was opened. refuseFile logs it under
// the loader's name (printf style) and returns false for the loader to pass on.
bool refuseFile(const char* loader, const char* format, ...) SDL_PRINTF_VARARG_FUNC(2);
const char* fileRefusal();
bool directoryTestExist(const char* path);

// Reads up to `size` bytes into `buffer` from the current position; bytes past
// the end of the file are zero. Returns how many bytes came from the file.
int64_t readBlock(void* buffer, int64_t size);

// Bounds of the open file, for loaders that must check a count, length or
// offset before they trust it: bytes left from the read position (0 past the
// end or without a file), and whether `count` more bytes exist there.
int64_t fileBytesLeft();
bool fileHasBytes(int64_t count);
// Whether [offset, offset + count) lies inside the file.
bool fileHasRange(int64_t offset, int64_t count);
// Reads exactly `size` bytes into `buffer` when the file holds them from the
// read position; false (nothing read, position unchanged) otherwise.
bool readExact(void* buffer, int64_t size);
