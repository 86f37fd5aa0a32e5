#include "machine/base_path.h"

#include <SDL.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "machine/text_buffers.h"

char* getbasepath = nullptr;
const char* constCharDirectory = "/";

namespace {

// Installed, the program's own files are read from here when the user's folder does not hold them.
std::string sharedDataFolder;

bool isDirectory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool exists(const char* path) {
    struct stat st;
    return stat(path, &st) == 0;
}

std::string withSeparator(std::string path) {
    if (path.empty() || (path.back() != '/' && path.back() != '\\')) path += '/';
    return path;
}

// $XDG_DATA_HOME/kestrix/, by default ~/.local/share/kestrix/; made when missing, parents too.
std::string userDataFolder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    std::string folder;
    if (xdg && *xdg == '/') {
        folder = withSeparator(xdg);
    } else if (home && *home) {
        folder = withSeparator(home) + ".local/share/";
    } else {
        folder = "./";
    }
    folder += "kestrix/";
    for (size_t at = 1; at < folder.size(); ++at) {
        if (folder[at] == '/') mkdir(folder.substr(0, at).c_str(), 0755);
    }
    return folder;
}

// The executable's directory decides: a build tree has IMG/ beside the program; an installed program in
// PREFIX/bin/ has its files in PREFIX/share/kestrix/.
std::string installedDataFolder(const std::string& executableDirectory) {
    if (isDirectory(executableDirectory + "IMG")) return {};
    std::string bin = executableDirectory;
    while (!bin.empty() && (bin.back() == '/' || bin.back() == '\\')) bin.pop_back();
    const std::string prefix = directoryPart(bin.c_str());
    const std::string shared = prefix + "share/kestrix/";
    return !prefix.empty() && isDirectory(shared) ? shared : std::string();
}

}  // namespace

void initBasePath() {
    freeBasePath();
    sharedDataFolder.clear();
    const char* home = std::getenv("KESTRIX_HOME");
    std::string base;
    if (home && *home) {
        base = withSeparator(home);
    } else {
        char* executable = SDL_GetBasePath();
        base = executable ? executable : "./";
        if (executable) SDL_free(executable);
        sharedDataFolder = installedDataFolder(base);
        if (!sharedDataFolder.empty()) base = userDataFolder();
    }
    getbasepath = SDL_strdup(base.c_str());
}

void freeBasePath() {
    if (getbasepath) SDL_free(getbasepath);
    getbasepath = nullptr;
}

void buildBasePath(char* out, const char* sub, const char* name) {
    if (!getbasepath) initBasePath();
    auto compose = [&](const char* base) {
        if (sub && *sub) {
            std::snprintf(out, kTextBufferSize, "%s%s%s%s", base, sub, constCharDirectory, name);
        } else {
            std::snprintf(out, kTextBufferSize, "%s%s", base, name);
        }
    };
    // The user's own file wins; the installed one stands in for it only where it exists. Neither: the
    // user's, where it is to go.
    if (!sharedDataFolder.empty()) {
        compose(getbasepath);
        if (exists(out)) return;
        compose(sharedDataFolder.c_str());
        if (exists(out)) return;
    }
    compose(getbasepath);
}

std::string sharedDataPath() { return sharedDataFolder; }

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
