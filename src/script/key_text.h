// The keys a CSL text types: characters, \(NAME) keys, \(KOF) (the next key
// without the delay) and {...} chords pressed together.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

constexpr int kMaxChordKeys = 8;

struct KeyStroke {
    uint8_t keys[kMaxChordKeys] = {};  // CPC key codes (line * 16 + bit)
    uint8_t count = 0;
    bool noDelay = false;  // pressed at once after the one before
    bool isReturn = false; // RETURN or ENTER: the longer gap after it
};

// Appends the strokes of `text`; a newline types RETURN when `newlines`.
// False with `error` for an unknown \(NAME), a character no key types or a
// chord left open.
bool parseKeyText(const std::string& text, bool newlines, std::vector<KeyStroke>& out, std::string& error);
