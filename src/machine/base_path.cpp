#include "machine/base_path.h"

#include <SDL.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "machine/text_buffers.h"

char* getbasepath = nullptr;
const char* constCharDirectory = "/";

void initBasePath() {
    freeBasePath();
    const char* home = std::getenv("KESTRIX_HOME");
    char* base = nullptr;
    if (home && *home) {
        size_t n = std::strlen(home);
        bool slash = home[n - 1] == '/' || home[n - 1] == '\\';
        base = static_cast<char*>(SDL_malloc(n + 2));
        std::memcpy(base, home, n);
        if (!slash) base[n++] = '/';
        base[n] = 0;
    } else {
        base = SDL_GetBasePath();
        if (!base) base = SDL_strdup("./");
    }
    getbasepath = base;
}

void freeBasePath() {
    if (getbasepath) SDL_free(getbasepath);
    getbasepath = nullptr;
}

void buildBasePath(char* out, const char* sub, const char* name) {
    if (!getbasepath) initBasePath();
    if (sub && *sub) {
        std::snprintf(out, kTextBufferSize, "%s%s%s%s", getbasepath, sub, constCharDirectory, name);
    } else {
        std::snprintf(out, kTextBufferSize, "%s%s", getbasepath, name);
    }
}

const char* fileNamePart(const char* path) {
    const char* name = path;
    for (const char* c = path; *c; ++c) {
        if (*c == '/' || *c == '\\') name = c + 1;
    }
    return name;
}

std::string directoryPart(const char* path) {
    if (!path) return {};
    return std::string(path, static_cast<size_t>(fileNamePart(path) - path));
}

bool isRegularFile(const char* path) {
    struct stat st;
    return stat(path, &st) == 0 && S_ISREG(st.st_mode);
}
