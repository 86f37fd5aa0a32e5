#include "script/key_text.h"

#include <cstring>

#include "machine/keyboard.h"

namespace {

constexpr uint8_t kKeyReturn = 0x22, kKeyEnter = 0x06;

struct NamedKey {
    const char* name;
    uint8_t code;
};

constexpr NamedKey kNamedKeys[] = {
    {"RET", kKeyReturn}, {"ENT", kKeyEnter}, {"ESC", 0x82}, {"TAB", 0x84}, {"CAP", 0x86}, {"SHI", kCpcKeyShift},
    {"CTR", 0x27},       {"COP", 0x11},      {"CLR", 0x20}, {"DEL", 0x97}, {"ARL", 0x10}, {"ARR", 0x01},
    {"ARU", 0x00},       {"ARD", 0x02},      {"FN0", 0x17}, {"FN1", 0x15}, {"FN2", 0x16}, {"FN3", 0x05},
    {"FN4", 0x24},       {"FN5", 0x14},      {"FN6", 0x04}, {"FN7", 0x12}, {"FN8", 0x13}, {"FN9", 0x03},
};

// The characters autorun typing uses (the keyboard's own table).
const keyboard& characterTable() {
    static const keyboard table;
    return table;
}

bool addKey(KeyStroke& stroke, uint8_t code) {
    for (int k = 0; k < stroke.count; ++k)
        if (stroke.keys[k] == code) return true;
    if (stroke.count == kMaxChordKeys) return false;
    stroke.keys[stroke.count++] = code;
    if (code == kKeyReturn || code == kKeyEnter) stroke.isReturn = true;
    return true;
}

bool addCharacter(KeyStroke& stroke, uint8_t c, std::string& error) {
    const uint16_t entry = c < 128 ? characterTable().mapAutorunKeyToCpcKey(c) : 0;
    if ((entry & 0xFF) == 0) {
        error = "no key types character " + std::to_string(c);
        return false;
    }
    if ((entry >> 8) & 1) addKey(stroke, kCpcKeyShift);
    if (!addKey(stroke, static_cast<uint8_t>(entry & 0xFF))) {
        error = "more than 8 keys in a chord";
        return false;
    }
    return true;
}

}  // namespace

bool parseKeyText(const std::string& text, bool newlines, std::vector<KeyStroke>& out, std::string& error) {
    bool inChord = false;
    bool noDelay = false;
    KeyStroke chord;
    for (size_t i = 0; i < text.size(); ++i) {
        KeyStroke single;
        KeyStroke& target = inChord ? chord : single;
        const char c = text[i];
        if (c == '\\' && i + 1 < text.size() && text[i + 1] == '(') {
            const size_t close = text.find(')', i + 3);
            if (close == std::string::npos) {
                error = "\\( without )";
                return false;
            }
            const std::string name = text.substr(i + 2, close - i - 2);
            i = close;
            if (name == "KOF") {
                noDelay = true;
                continue;
            }
            if (name.size() == 1 && std::strchr("{}\\'", name[0])) {
                if (!addCharacter(target, static_cast<uint8_t>(name[0]), error)) return false;
            } else {
                bool known = false;
                for (const NamedKey& key : kNamedKeys) {
                    if (name != key.name) continue;
                    known = addKey(target, key.code);
                    break;
                }
                if (!known) {
                    error = "unknown key \\(" + name + ")";
                    return false;
                }
            }
        } else if (c == '{' && !inChord) {
            inChord = true;
            chord = KeyStroke{};
            continue;
        } else if (c == '}' && inChord) {
            inChord = false;
            if (chord.count) {
                chord.noDelay = noDelay;
                noDelay = false;
                out.push_back(chord);
            }
            continue;
        } else if (c == '\n' || c == '\r') {
            if (!newlines || c == '\r') continue;
            addKey(target, kKeyReturn);
        } else if (!addCharacter(target, static_cast<uint8_t>(c), error)) {
            return false;
        }
        if (!inChord) {
            single.noDelay = noDelay;
            noDelay = false;
            out.push_back(single);
        }
    }
    if (inChord) {
        error = "chord { without }";
        return false;
    }
    return true;
}
