#include "debug/symbol_table.h"

#include <cstdio>
#include <memory>

#include "debug/number_text.h"

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r'; }
bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isNameStart(char c) { return isLetter(c) || c == '_' || c == '.' || c == '@' || c == '?'; }
bool isNameChar(char c) { return isNameStart(c) || isDigit(c) || c == '\'' || c == '$'; }
char upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

std::string upperCopy(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = upper(c);
    return out;
}

void skipSpaces(std::string_view s, size_t& i) {
    while (i < s.size() && isSpace(s[i])) ++i;
}

// One "NAME EQU value" / "NAME: EQU value" / "NAME = value" line.
bool parseLine(std::string_view line, std::string_view& name, uint16_t& value) {
    const size_t comment = line.find(';');
    if (comment != std::string_view::npos) line = line.substr(0, comment);
    size_t i = 0;
    skipSpaces(line, i);
    const size_t nameStart = i;
    if (i >= line.size() || !isNameStart(line[i])) return false;
    while (i < line.size() && isNameChar(line[i])) ++i;
    name = line.substr(nameStart, i - nameStart);
    if (i < line.size() && line[i] == ':') ++i;
    skipSpaces(line, i);
    if (i < line.size() && line[i] == '=') {
        ++i;
    } else {
        if (line.size() - i < 3 || upper(line[i]) != 'E' || upper(line[i + 1]) != 'Q' || upper(line[i + 2]) != 'U') {
            return false;
        }
        i += 3;
        if (i >= line.size() || !isSpace(line[i])) return false;
    }
    skipSpaces(line, i);
    const size_t valueStart = i;
    while (i < line.size() && !isSpace(line[i])) ++i;
    const std::string_view valueText = line.substr(valueStart, i - valueStart);
    skipSpaces(line, i);
    uint32_t v = 0;
    if (i != line.size() || !parseNumber(valueText, v) || v > 0xFFFF) return false;
    value = uint16_t(v);
    return true;
}

}  // namespace

size_t SymbolTable::addText(std::string_view text) {
    size_t added = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view name;
        uint16_t value = 0;
        if (parseLine(text.substr(start, end - start), name, value)) {
            if (byName_.emplace(upperCopy(name), value).second) {
                byValue_.emplace(value, std::string(name));
                ++added;
            }
        }
        start = end + 1;
    }
    return added;
}

bool SymbolTable::addFile(const std::string& path, std::string& error) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        error = "cannot open " + path;
        return false;
    }
    // Read in pieces up to one past the cap, so that neither a huge file nor
    // one whose size cannot be known beforehand is held whole.
    std::string data;
    char piece[65536];
    while (data.size() <= kMaxFileBytes) {
        const size_t n = std::fread(piece, 1, sizeof piece, file.get());
        data.append(piece, n);
        if (n < sizeof piece) break;
    }
    if (std::ferror(file.get())) {
        error = "cannot read " + path;
        return false;
    }
    if (data.size() > kMaxFileBytes) {
        error = path + " is larger than " + std::to_string(kMaxFileBytes >> 20) + " MB";
        return false;
    }
    addText(data);
    return true;
}

std::optional<uint16_t> SymbolTable::valueOf(std::string_view name) const {
    const auto it = byName_.find(upperCopy(name));
    if (it == byName_.end()) return std::nullopt;
    return it->second;
}

const std::string* SymbolTable::nameAt(uint16_t address) const {
    const auto it = byValue_.find(address);
    return it == byValue_.end() ? nullptr : &it->second;
}

void SymbolTable::clear() {
    byName_.clear();
    byValue_.clear();
}
