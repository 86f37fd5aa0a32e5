#include "machine/text_buffers.h"

#include <cstring>

char* currentFilePath = nullptr;
char* fullCurrentFilePath = nullptr;
char* defaultFilePathSCR = nullptr;
char* defaultFilePathSNA = nullptr;
char* textOSD = nullptr;
char* fullFileNameStr = nullptr;
char* fileName_dsk0_str = nullptr;
char* fileName_dsk1_str = nullptr;
char* fileName_cdt_str = nullptr;
char* fileName_cpr_str = nullptr;
char* autorun_dsk_str = nullptr;
char* tapeIdText = nullptr;

namespace {
char** const kBuffers[] = {&currentFilePath, &fullCurrentFilePath, &defaultFilePathSCR, &defaultFilePathSNA,
                           &textOSD, &fullFileNameStr, &fileName_dsk0_str, &fileName_dsk1_str,
                           &fileName_cdt_str, &fileName_cpr_str, &autorun_dsk_str, &tapeIdText};
}

void allocateTextBuffers() {
    for (char** buffer : kBuffers) {
        if (!*buffer) *buffer = new char[kTextBufferSize]();
    }
}

void freeTextBuffers() {
    for (char** buffer : kBuffers) {
        delete[] *buffer;
        *buffer = nullptr;
    }
}

void copyToTextBuffer(char* dst, const char* src) {
    if (!dst) return;
    if (!src) src = "";
    size_t n = std::strlen(src);
    if (n > kTextBufferSize - 1) n = kTextBufferSize - 1;
    std::memmove(dst, src, n);
    dst[n] = 0;
}
