#include "frontend/keymap.h"

#include <strings.h>

#include <cstring>

#include "frontend/autorun.h"
#include "machine/emulation_thread.h"
#include "machine/frontend_hooks.h"
#include "machine/keyboard.h"

bool keymapByCharacter = false;

namespace {

constexpr uint8_t kNoKey = 0xFF;
constexpr uint32_t kPasteFirstLineDelayMs = 200;  // lets go of the host's Shift first
constexpr uint32_t kPasteLineDelayMs = 100;       // BASIC stores the line meanwhile
constexpr size_t kPasteMaxBytes = 65536;

// The CPC key each host key pressed, so the release frees that key even when
// the mapping changed meanwhile (joystick emulation switched, mode changed).
uint8_t pressedCode[SDL_NUM_SCANCODES];
bool typedCharacter[SDL_NUM_SCANCODES];  // the key pressed the character it typed
bool pressedInitialised = false;

// Character mode: a key that types text waits for its text event.
SDL_Scancode awaitingText = SDL_SCANCODE_UNKNOWN;
bool awaitingRepeat = false;
int heldCharacters = 0;   // keys held that typed a character
bool hostShiftHeld = false;
bool intendedShift = false;  // what the queue leaves SHIFT at

std::string pasteLines;
size_t pastePos = 0;

void initPressed() {
    if (pressedInitialised) return;
    std::memset(pressedCode, kNoKey, sizeof pressedCode);
    pressedInitialised = true;
}

uint32_t frameNow() { return framesEmulated.load(std::memory_order_relaxed); }

void queueKey(uint8_t code, bool down) {
    if (!cPCKeyBoard) return;
    down ? cPCKeyBoard->hostKeyDown(code, frameNow()) : cPCKeyBoard->hostKeyUp(code, frameNow());
}

void setShift(bool down) {
    if (intendedShift == down) return;
    intendedShift = down;
    queueKey(kCpcKeyShift, down);
}

// Keys that keep their position in character mode: cursor and keypad keys,
// COPY, CONTROL, SHIFT, CLR, DEL, ESC, TAB, CAPS LOCK, RETURN, ENTER, SPACE
// and the joystick lines.
bool keepsPosition(uint8_t code) {
    static constexpr uint8_t kPositional[] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x10, 0x11, 0x12, 0x13,
                                              0x14, 0x15, 0x16, 0x17, 0x20, 0x22, 0x24, 0x25, 0x27, 0x57, 0x82, 0x84,
                                              0x86, 0x97};
    if (code >= 0x90) return true;
    for (uint8_t c : kPositional)
        if (c == code) return true;
    return false;
}

// The key (and SHIFT) that types a character. Digits use the main row, as a
// game asking for "1" reads that key; the rest comes from the autorun table.
uint16_t keyForCharacter(uint8_t c) {
    static constexpr uint8_t kDigits[10] = {0x40, 0x80, 0x81, 0x71, 0x70, 0x61, 0x60, 0x51, 0x50, 0x41};
    if (c >= '0' && c <= '9') return kDigits[c - '0'];
    if (c >= 128 || !cPCKeyBoard) return 0;
    return cPCKeyBoard->mapAutorunKeyToCpcKey(c);
}

void pressCharacter(SDL_Scancode from, uint16_t entry) {
    const uint8_t code = entry & 0xFF;
    setShift((entry >> 8) & 1);
    queueKey(code, true);
    if (from != SDL_SCANCODE_UNKNOWN) {
        pressedCode[from] = code;
        typedCharacter[from] = true;
        ++heldCharacters;
    } else {
        // Text without a key (an input method): a tap.
        queueKey(code, false);
        if (heldCharacters == 0) setShift(hostShiftHeld);
    }
}

}  // namespace

bool setKeymapMode(const char* text) {
    if (!text) return false;
    if (strcasecmp(text, "char") == 0) {
        keymapByCharacter = true;
    } else if (strcasecmp(text, "position") == 0) {
        keymapByCharacter = false;
    } else {
        SDL_Log("keymap: unknown mode %s (char or position)", text);
        return false;
    }
    return true;
}

bool hostKeyEvent(const SDL_KeyboardEvent& key) {
    initPressed();
    const SDL_Scancode sc = key.keysym.scancode;
    if (sc < 0 || sc >= SDL_NUM_SCANCODES || !cPCKeyBoard) return false;
    if (key.type == SDL_KEYUP) {
        const uint8_t code = pressedCode[sc];
        if (code == kNoKey) {
            if (sc == awaitingText) awaitingText = SDL_SCANCODE_UNKNOWN;
            return cPCKeyBoard->mapDomKeyToCpcKey(sc) != kNoKey;
        }
        pressedCode[sc] = kNoKey;
        if (code == kCpcKeyShift && keymapByCharacter) {
            hostShiftHeld = false;
            if (heldCharacters == 0) setShift(false);
            return true;
        }
        queueKey(code, false);
        if (typedCharacter[sc]) {
            typedCharacter[sc] = false;
            if (heldCharacters > 0 && --heldCharacters == 0) setShift(hostShiftHeld);
        }
        return true;
    }
    const uint8_t code = cPCKeyBoard->mapDomKeyToCpcKey(sc);
    if (code == kNoKey) return false;
    if (key.repeat || pressedCode[sc] != kNoKey) {
        // The firmware repeats keys itself; the host's repeats only bring text.
        awaitingRepeat = keymapByCharacter;
        return true;
    }
    awaitingRepeat = false;
    if (!keymapByCharacter) {
        pressedCode[sc] = code;
        queueKey(code, true);
        return true;
    }
    if (code == kCpcKeyShift) {
        pressedCode[sc] = code;
        hostShiftHeld = true;
        if (heldCharacters == 0) setShift(true);
        return true;
    }
    // With Ctrl or Alt (not AltGr) the host gives no text: such combinations go by position.
    if (keepsPosition(code) || (key.keysym.mod & (KMOD_CTRL | KMOD_LALT))) {
        pressedCode[sc] = code;
        queueKey(code, true);
        return true;
    }
    awaitingText = sc;
    return true;
}

void hostTextInput(const char* text) {
    if (!keymapByCharacter || !text) return;
    initPressed();
    const SDL_Scancode from = awaitingText;
    awaitingText = SDL_SCANCODE_UNKNOWN;
    if (awaitingRepeat) {
        awaitingRepeat = false;
        return;
    }
    for (const char* p = text; *p; ++p) {
        const uint16_t entry = keyForCharacter(static_cast<uint8_t>(*p));
        if (!(entry & 0xFF) || (entry & 0xFF) == kNoKey) continue;
        // Only the first character belongs to the key; the rest are taps.
        pressCharacter(p == text && from != SDL_SCANCODE_UNKNOWN && pressedCode[from] == kNoKey ? from
                                                                                                 : SDL_SCANCODE_UNKNOWN,
                       entry);
    }
}

void applyHostKeyQueue() {
    if (cPCKeyBoard && cPCKeyBoard->hostKeysPending()) cPCKeyBoard->applyHostKeys(frameNow());
}

std::string pasteFilter(const char* text) {
    std::string out;
    if (!text || !cPCKeyBoard) return out;
    bool lineEmpty = true;
    for (const char* p = text; *p && static_cast<size_t>(p - text) < kPasteMaxBytes; ++p) {
        const uint8_t c = static_cast<uint8_t>(*p);
        if (c == '\n') {
            if (!lineEmpty) out += '\n';
            lineEmpty = true;
            continue;
        }
        // RETURN ends each line; a carriage return of its own is not typed.
        if (c == '\r' || c >= 127 || c < ' ') continue;
        const uint16_t entry = cPCKeyBoard->mapAutorunKeyToCpcKey(c);
        if (!(entry & 0xFF)) continue;
        out += static_cast<char>(c);
        lineEmpty = false;
    }
    if (!lineEmpty) out += '\n';
    return out;
}

bool pasteClipboard() {
    if (pasteInProgress() || autorunInProgress()) return false;
    if (!SDL_HasClipboardText()) {
        textShowOSD("\366 Nothing to paste \367");
        return false;
    }
    char* text = SDL_GetClipboardText();
    pasteLines = pasteFilter(text);
    SDL_free(text);
    pastePos = 0;
    if (pasteLines.empty()) return false;
    SDL_Log("paste: %zu characters", pasteLines.size());
    pasteStep();
    return true;
}

bool pasteInProgress() { return pastePos < pasteLines.size(); }

void pasteStep() {
    if (!pasteInProgress() || autorunInProgress()) return;
    size_t end = pasteLines.find('\n', pastePos);
    if (end == std::string::npos) end = pasteLines.size();
    std::string line = pasteLines.substr(pastePos, end - pastePos);
    if (line.size() > kAutorunMaxChars) {
        SDL_Log("paste: a line of %zu characters cut to %u", line.size(), unsigned{kAutorunMaxChars});
        line.resize(kAutorunMaxChars);
    }
    const bool first = pastePos == 0;
    pastePos = end + 1;
    if (pastePos >= pasteLines.size()) {
        pasteLines.clear();
        pastePos = 0;
    }
    setAutorunText(line.c_str());
    autorun_dsk(first ? kPasteFirstLineDelayMs : kPasteLineDelayMs, kAutorunKeyPeriodMs);
}
