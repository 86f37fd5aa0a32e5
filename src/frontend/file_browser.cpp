#include "frontend/file_browser.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "machine/archive_reader.h"
#include "machine/base_path.h"
#include "machine/config.h"

namespace {

// Bounds the work a folder of millions of entries can ask for.
constexpr size_t kMaxEntries = 20000;
constexpr uint32_t kTypeAheadPauseMs = 1000;

const char* folderKey(MediaClass kind) {
    switch (kind) {
        case MediaClass::Disk: return "diskdir";
        case MediaClass::Tape: return "tapedir";
        case MediaClass::Snapshot: return "snapdir";
        case MediaClass::Cartridge: return "cartdir";
    }
    return "diskdir";
}

std::string withSeparator(std::string folder) {
    if (folder.empty() || (folder.back() != '/' && folder.back() != '\\')) folder += '/';
    return folder;
}

bool startsWith(const std::string& name, const std::string& prefix) {
    return name.size() >= prefix.size() && strncasecmp(name.c_str(), prefix.c_str(), prefix.size()) == 0;
}

// Files of the kind, and archives that may hold one: a gzipped image by the
// name inside, a zip whatever it holds (looking inside costs an inflate).
bool listedAs(const std::string& name, MediaClass wanted) {
    const MediaKind* kind = mediaKindOfPath(name.c_str());
    if (kind) return kind->media == wanted;
    if (!isArchivePath(name.c_str())) return false;
    if (name.size() > 3 && strcasecmp(name.c_str() + name.size() - 3, ".gz") == 0) {
        const MediaKind* inner = mediaKindOfPath(name.substr(0, name.size() - 3).c_str());
        return inner && inner->media == wanted;
    }
    return true;
}

}  // namespace

void FileBrowser::open(MediaClass kind) {
    kind_ = kind;
    const std::string remembered = mainConfigValue(folderKey(kind));
    if (remembered.empty() || !list(withSeparator(remembered))) {
        if (!list(getbasepath ? getbasepath : "./")) list("/");
    }
}

bool FileBrowser::list(const std::string& folder) {
    const std::string path = withSeparator(folder);
    DIR* dir = opendir(path.c_str());
    if (!dir) return false;
    std::vector<BrowserEntry> found;
    while (dirent* d = readdir(dir)) {
        if (found.size() >= kMaxEntries) break;
        const std::string name = d->d_name;
        if (name.empty() || name[0] == '.') continue;
        const std::string full = path + name;
        struct stat st {};
        BrowserEntry entry{name, false, false};
        // A broken link or a name that cannot be looked at is listed as unreadable if its name fits.
        if (stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            entry.folder = true;
            entry.readable = access(full.c_str(), R_OK | X_OK) == 0;
        } else {
            if (!listedAs(name, kind_)) continue;
            entry.readable = stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(full.c_str(), R_OK) == 0;
        }
        found.push_back(std::move(entry));
    }
    closedir(dir);
    std::sort(found.begin(), found.end(), [](const BrowserEntry& a, const BrowserEntry& b) {
        if (a.folder != b.folder) return a.folder;
        const int order = strcasecmp(a.name.c_str(), b.name.c_str());
        return order ? order < 0 : a.name < b.name;
    });
    if (path != "/") found.insert(found.begin(), BrowserEntry{"..", true, true});
    folder_ = path;
    entries_ = std::move(found);
    selected_ = 0;
    typed_.clear();
    return true;
}

void FileBrowser::select(int index) {
    if (index >= 0 && index < static_cast<int>(entries_.size())) selected_ = index;
}

void FileBrowser::typeAhead(char key, uint32_t nowMs) {
    if (nowMs - typedAt_ > kTypeAheadPauseMs) typed_.clear();
    typedAt_ = nowMs;
    typed_ += key;
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].name != ".." && startsWith(entries_[i].name, typed_)) {
            selected_ = static_cast<int>(i);
            return;
        }
    }
}

std::string FileBrowser::pathOf(int index) const {
    if (index < 0 || index >= static_cast<int>(entries_.size())) return {};
    return folder_ + entries_[index].name;
}

std::string FileBrowser::activate(int index) {
    if (index < 0 || index >= static_cast<int>(entries_.size())) return {};
    const BrowserEntry& entry = entries_[index];
    if (!entry.readable) return {};
    if (entry.folder) {
        if (entry.name == "..") {
            // The parent: the folder without its last part, whichever separator it uses.
            const std::string parent = directoryPart(folder_.substr(0, folder_.size() - 1).c_str());
            list(parent.empty() ? "/" : parent);
        } else {
            list(folder_ + entry.name);
        }
        return {};
    }
    setMainConfigValue(folderKey(kind_), folder_);
    return folder_ + entry.name;
}

std::vector<std::string> recentFiles() {
    std::vector<std::string> files;
    for (int i = 0; i < kRecentFiles; ++i) {
        std::string file = mainConfigValue(("recent" + std::to_string(i)).c_str());
        if (!file.empty()) files.push_back(file);
    }
    return files;
}

void noteRecentFile(const std::string& path) {
    std::vector<std::string> files = recentFiles();
    files.erase(std::remove(files.begin(), files.end(), path), files.end());
    files.insert(files.begin(), path);
    files.resize(std::min<size_t>(files.size(), kRecentFiles));
    for (int i = 0; i < kRecentFiles; ++i) {
        const std::string key = "recent" + std::to_string(i);
        const std::string value = i < static_cast<int>(files.size()) ? files[i] : std::string();
        if (!value.empty() || !mainConfigValue(key.c_str()).empty()) setMainConfigValue(key.c_str(), value);
    }
}
