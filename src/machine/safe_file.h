// Files written whole or not at all: a temporary file beside the target,
// synced, then renamed over it, so that a full disk or a crash never leaves a
// cut-short file or destroys the one that was there.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A temporary file: the target's name, this tag and mkstemp's six characters.
constexpr char kTemporaryFileTag[] = ".kestrix-tmp-";

// The directory as the system names it: "." for a bare name, "/" for the root, else no trailing separator.
std::string directoryOf(const std::string& path);
// Writes `bytes` to a temporary file beside `target` and renames it over
// `target` (replace) or links it to `target` only if no such file exists, so
// that a failure never leaves a half-written file; `error` says why not. A
// symbolic link is written through to its file; a device or pipe is written
// directly, having no file to replace.
bool writeFileSafely(const std::string& target, const std::vector<uint8_t>& bytes, bool replace, std::string& error);
