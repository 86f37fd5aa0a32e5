// Names of addresses and constants, read from assembler symbol files
// (pasmo's "NAME EQU 0BB5AH" and the like), for the disassembler, the
// expressions of break points and the monitor's commands.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

class SymbolTable {
public:
    // Reads "NAME EQU value", "NAME: EQU value" and "NAME = value" lines
    // (an optional "; comment" after them); skips every other line. A name
    // defined before keeps its first value. Returns the symbols added.
    size_t addText(std::string_view text);
    // addText() of a whole file; false with error set when the file cannot
    // be read or is larger than kMaxFileBytes.
    bool addFile(const std::string& path, std::string& error);

    std::optional<uint16_t> valueOf(std::string_view name) const;  // case-insensitive
    const std::string* nameAt(uint16_t address) const;             // the first name given to that value
    size_t size() const { return byName_.size(); }
    void clear();

    static constexpr size_t kMaxFileBytes = 8u << 20;

private:
    std::unordered_map<std::string, uint16_t> byName_;   // upper-case names
    std::unordered_map<uint16_t, std::string> byValue_;  // names as written
};
