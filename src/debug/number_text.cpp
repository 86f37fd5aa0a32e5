#include "debug/number_text.h"

#include <cstdio>

namespace {

int digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool parseDigits(std::string_view digits, uint32_t base, uint32_t& value) {
    if (digits.empty()) return false;
    uint64_t v = 0;
    for (char c : digits) {
        const int d = digitValue(c);
        if (d < 0 || uint32_t(d) >= base) return false;
        v = v * base + uint32_t(d);
        if (v > 0xFFFFFFFFu) return false;
    }
    value = uint32_t(v);
    return true;
}

}  // namespace

bool parseNumber(std::string_view text, uint32_t& value) {
    if (text.empty()) return false;
    const char first = text[0];
    if (first == '&' || first == '#' || first == '$') return parseDigits(text.substr(1), 16, value);
    if (text.size() > 2 && first == '0' && (text[1] == 'x' || text[1] == 'X')) {
        return parseDigits(text.substr(2), 16, value);
    }
    if (first < '0' || first > '9') return false;
    const char last = text.back();
    if (last == 'h' || last == 'H') return parseDigits(text.substr(0, text.size() - 1), 16, value);
    return parseDigits(text, 10, value);
}

int hexTo(char* out, uint32_t value, int digits, HexStyle style) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    if (digits < 1) digits = 1;
    if (digits > 8) digits = 8;
    while (digits < 8 && (value >> (4 * digits)) != 0) ++digits;
    out[0] = style == HexStyle::Hash ? '#' : '&';
    for (int i = 0; i < digits; ++i) out[digits - i] = kDigits[(value >> (4 * i)) & 15];
    out[digits + 1] = 0;
    return digits + 1;
}

std::string hex(uint32_t value, int digits, HexStyle style) {
    char buffer[10];
    const int n = hexTo(buffer, value, digits, style);
    return std::string(buffer, size_t(n));
}

std::string hex4(uint32_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value & 0xFFFF);
    return text;
}

std::string hex2(uint32_t value) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", value & 0xFF);
    return text;
}
