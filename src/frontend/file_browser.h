// The file browser's model, apart from its drawing: one folder's sub-folders
// and files of one media kind, the selection and its type-ahead, and what is
// remembered in "Kestrix.ini" (the last folder of each kind, the recent files).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "machine/media_kind.h"

struct BrowserEntry {
    std::string name;
    bool folder = false;
    bool readable = true;  // an unreadable entry is shown as such and never opened
};

class FileBrowser {
public:
    // Lists the folder remembered for `kind`, else the program's base folder.
    void open(MediaClass kind);
    // Lists `folder` ("/"-ended); false, the listing unchanged, when it cannot be read.
    bool list(const std::string& folder);
    MediaClass kind() const { return kind_; }
    const std::string& folder() const { return folder_; }
    // ".." (but at the root), the folders, then the files, each by name; dot files left out.
    const std::vector<BrowserEntry>& entries() const { return entries_; }
    int selected() const { return selected_; }
    void select(int index);
    // A key typed at `nowMs`: keys within a second of each other make one prefix,
    // and the first entry starting with it (any case) is selected.
    void typeAhead(char key, uint32_t nowMs);
    std::string pathOf(int index) const;
    // RETURN or a double click on an entry: a folder is listed (empty result);
    // a readable file's path is returned, and its folder remembered for the kind.
    std::string activate(int index);

private:
    MediaClass kind_ = MediaClass::Disk;
    std::string folder_;
    std::vector<BrowserEntry> entries_;
    int selected_ = 0;
    std::string typed_;
    uint32_t typedAt_ = 0;
};

// The last files loaded, newest first, kept in "Kestrix.ini".
constexpr int kRecentFiles = 8;
std::vector<std::string> recentFiles();
void noteRecentFile(const std::string& path);
