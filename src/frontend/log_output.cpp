#include "frontend/log_output.h"

#include <cstdio>

namespace {

const char* priorityName(SDL_LogPriority priority) {
    switch (priority) {
        case SDL_LOG_PRIORITY_VERBOSE: return "VERBOSE";
        case SDL_LOG_PRIORITY_DEBUG: return "DEBUG";
        case SDL_LOG_PRIORITY_INFO: return "INFO";
        case SDL_LOG_PRIORITY_WARN: return "WARN";
        case SDL_LOG_PRIORITY_ERROR: return "ERROR";
        case SDL_LOG_PRIORITY_CRITICAL: return "CRITICAL";
        default: return "LOG";
    }
}

void writeLogLine(void*, int, SDL_LogPriority priority, const char* message) {
    // SDL cuts a message at 4 KB before it gets here.
    char line[4096];
    const size_t length = plainLogText(message, line, sizeof line);
    std::fprintf(stderr, "%s: %.*s\n", priorityName(priority), static_cast<int>(length), line);
}

}  // namespace

size_t plainLogText(const char* message, char* out, size_t size) {
    if (!out || size == 0) return 0;
    size_t n = 0;
    for (const char* c = message ? message : ""; *c && n + 1 < size; ++c) {
        const unsigned char byte = static_cast<unsigned char>(*c);
        if (byte == 0xF6 || byte == 0xF7) continue;
        out[n++] = *c;
    }
    out[n] = 0;
    return n;
}

void installLogOutput() { SDL_LogSetOutputFunction(writeLogLine, nullptr); }
