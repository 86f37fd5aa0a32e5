#include "frontend/flip_names.h"

#include <cctype>

#include "machine/base_path.h"

namespace {

// The other name of a set at the character after a keyword, or false.
bool flipAt(std::string& name, size_t pos) {
    if (pos >= name.size()) return false;
    char& c = name[pos];
    if (c >= '1' && c <= '6') {
        if (pos + 1 < name.size()) {
            char& letter = name[pos + 1];
            switch (letter) {
                case 'A': letter = 'B'; return true;
                case 'B': letter = 'A'; return true;
                case 'a': letter = 'b'; return true;
                case 'b': letter = 'a'; return true;
                default: break;
            }
        }
        c = static_cast<char>(((c - '1') ^ 1) + '1');
        return true;
    }
    switch (c) {
        case 'A': c = 'B'; return true;
        case 'B': c = 'A'; return true;
        case 'C': c = 'D'; return true;
        case 'D': c = 'C'; return true;
        case 'a': c = 'b'; return true;
        case 'b': c = 'a'; return true;
        case 'c': c = 'd'; return true;
        case 'd': c = 'c'; return true;
        default: return false;
    }
}

}  // namespace

std::vector<std::string> flipSideNameCandidates(const std::string& name) {
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::vector<std::string> candidates;
    for (const char* keyword : {"face ", "side ", "disk "}) {
        for (size_t at = lower.find(keyword); at != std::string::npos; at = lower.find(keyword, at + 1)) {
            std::string changed = name;
            if (flipAt(changed, at + 5)) candidates.push_back(changed);
        }
    }
    return candidates;
}

std::string findOtherSide(const std::string& directory, const char* name) {
    if (!name || !*name) return {};
    for (const std::string& candidate : flipSideNameCandidates(fileNamePart(name))) {
        std::string path = directory + candidate;
        if (isRegularFile(path.c_str())) return path;
    }
    return {};
}
