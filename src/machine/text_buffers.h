// The program's 512-byte text buffers for paths, file names and messages.
#pragma once
#include <cstddef>

constexpr size_t kTextBufferSize = 512;

extern char* currentFilePath;
extern char* fullCurrentFilePath;
extern char* defaultFilePathSCR;
extern char* defaultFilePathSNA;
extern char* textOSD;
extern char* fullFileNameStr;
extern char* fileName_dsk0_str;
extern char* fileName_dsk1_str;
extern char* fileName_cdt_str;
extern char* fileName_cpr_str;
extern char* autorun_dsk_str;
extern char* tapeIdText;

void allocateTextBuffers();
void freeTextBuffers();
// Copies `src` into a 512-byte buffer, cutting it to 511 bytes.
void copyToTextBuffer(char* dst, const char* src);
