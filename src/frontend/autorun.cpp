#include "frontend/autorun.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>

#include "machine/emulation_thread.h"
#include "machine/keyboard.h"
#include "machine/shared_flag.h"
#include "machine/text_buffers.h"
#include "machine/timed_actions.h"

uint16_t autorun_dsk_str_idx = 0;
uint8_t autorun_dsk_key[2] = {0, 0};

namespace {

// Each start of typing gets a new number; a timer carrying an older one has
// been taken over and ends without touching the keys.
std::atomic<uintptr_t> typingGeneration{0};
uint32_t keyPeriodMs = kAutorunKeyPeriodMs;
std::atomic<uint8_t> keyIsDown{0};  // phase of the running timer: release next

// In a window the timer keeps the host's time, but the firmware scans the
// keys once a frame: on a loaded host the machine may run slower than real
// time, so a key stays down (or up) until the running machine has also
// emulated this many frames. Headless typing follows emulated time already.
std::atomic<uint32_t> phaseStartFrame{0};
std::atomic<uint32_t> phaseFrames{0};
constexpr uint32_t kFramesPerKeyPhase = 2;
constexpr uint32_t kPhaseRetryMs = 5;

bool phaseSeenByMachine() {
    if (headlessMode || !running) return true;
    return framesEmulated.load(std::memory_order_relaxed) - phaseStartFrame.load() >= phaseFrames.load();
}

void startPhase(uint32_t frames) {
    phaseStartFrame = framesEmulated.load(std::memory_order_relaxed);
    phaseFrames = frames;
}

// Key strokes typed instead of the text while strokesActive.
std::vector<KeyStroke> strokeList;
size_t strokeNext = 0;
bool strokesActive = false;
KeyTiming strokeTiming;
KeyStroke heldStroke;

void releaseHeldKey() {
    if (!cPCKeyBoard) return;
    for (int k = 0; k < heldStroke.count; ++k) cPCKeyBoard->key_up(heldStroke.keys[k]);
    heldStroke = KeyStroke{};
    if (autorun_dsk_key[0] || autorun_dsk_key[1]) {
        if (autorun_dsk_key[1]) cPCKeyBoard->key_up(kCpcKeyShift);
        cPCKeyBoard->key_up(autorun_dsk_key[0]);
    }
}

// Presses the next character; false when typing ends here.
bool autorun_dsk_key_down() {
    if (!cPCKeyBoard || !autorun_dsk_str) return false;
    const uint8_t character = static_cast<uint8_t>(autorun_dsk_str[autorun_dsk_str_idx]);
    const uint16_t entry = cPCKeyBoard->mapAutorunKeyToCpcKey(character);
    const uint8_t code = entry & 0xFF;
    if (code == 0) {
        // Nothing on the keyboard types it: drop the rest, so the text does
        // not stay pending and block later autoruns.
        SDL_Log("autorun: character %u cannot be typed, %u characters dropped", character, autorun_dsk_str_idx);
        autorun_dsk_str_idx = 0;
        autorun_dsk_key[0] = autorun_dsk_key[1] = 0;
        return false;
    }
    const uint8_t shift = (entry >> 8) & 1;
    if (shift) cPCKeyBoard->key_down(kCpcKeyShift);
    cPCKeyBoard->key_down(code);
    autorun_dsk_key[0] = code;
    autorun_dsk_key[1] = shift;
    return true;
}

// Releases the held key; false after the last one (the RETURN at index 0).
bool autorun_dsk_key_up() {
    releaseHeldKey();
    if (autorun_dsk_str_idx > 0) {
        --autorun_dsk_str_idx;
        return true;
    }
    autorun_dsk_key[0] = autorun_dsk_key[1] = 0;
    return false;
}

void pressStroke() {
    heldStroke = strokeList[strokeNext];
    for (int k = 0; k < heldStroke.count; ++k) cPCKeyBoard->key_down(heldStroke.keys[k]);
    storeFlag(keyIsDown, true);
    startPhase(kFramesPerKeyPhase);
}

bool sharesKey(const KeyStroke& a, const KeyStroke& b) {
    for (int i = 0; i < a.count; ++i)
        for (int j = 0; j < b.count; ++j)
            if (a.keys[i] == b.keys[j]) return true;
    return false;
}

uint32_t atLeastOne(uint32_t ms) { return ms ? ms : 1; }

uint32_t strokeTimer() {
    if (!cPCKeyBoard) return 0;
    if (!loadFlag(keyIsDown)) {
        if (strokeNext >= strokeList.size()) {
            strokesActive = false;
            return 0;
        }
        pressStroke();
        return atLeastOne(strokeTiming.pressMs);
    }
    const KeyStroke released = heldStroke;
    releaseHeldKey();
    storeFlag(keyIsDown, false);
    if (++strokeNext >= strokeList.size()) {
        strokesActive = false;
        return 0;
    }
    const KeyStroke& next = strokeList[strokeNext];
    if (next.noDelay) {
        pressStroke();
        return atLeastOne(strokeTiming.pressMs);
    }
    uint32_t gap = atLeastOne(released.isReturn ? strokeTiming.afterReturnMs : strokeTiming.releaseMs);
    // As with text: a key typed twice must be seen up by two scans between.
    if (sharesKey(released, next)) gap = std::max<uint32_t>(gap, 2 * kAutorunKeyPeriodMs);
    startPhase(kFramesPerKeyPhase);
    return gap;
}

uint32_t autorunTimer(uint32_t, void* param) {
    if (reinterpret_cast<uintptr_t>(param) != typingGeneration.load()) return 0;
    if (!phaseSeenByMachine()) return kPhaseRetryMs;
    if (strokesActive) return strokeTimer();
    if (!loadFlag(keyIsDown)) {
        if (!autorun_dsk_key_down()) return 0;
        storeFlag(keyIsDown, true);
    } else {
        storeFlag(keyIsDown, false);
        const uint8_t released = autorun_dsk_key[0];
        if (!autorun_dsk_key_up()) return 0;
        // The firmware takes a key as typed again only after two scans saw it
        // up; a doubled letter or digit would otherwise be typed once.
        const uint8_t next = static_cast<uint8_t>(autorun_dsk_str[autorun_dsk_str_idx]);
        if (cPCKeyBoard && (cPCKeyBoard->mapAutorunKeyToCpcKey(next) & 0xFF) == released) {
            startPhase(kFramesPerKeyPhase + 1);
            return 2 * keyPeriodMs;
        }
    }
    startPhase(kFramesPerKeyPhase);
    return keyPeriodMs;
}

}  // namespace

void setAutorunText(const char* text) {
    if (!autorun_dsk_str) {
        SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "autorun: no text buffer, text ignored");
        return;
    }
    if (!text) text = "";
    size_t n = std::strlen(text);
    if (n > kAutorunMaxChars) n = kAutorunMaxChars;
    autorun_dsk_str[0] = 0x0D;
    for (size_t i = 0; i < n; ++i) autorun_dsk_str[n - i] = text[i];
    autorun_dsk_str[n + 1] = 0;
    autorun_dsk_str_idx = static_cast<uint16_t>(n);
}

void sendAutorunText(const char* text) { setAutorunText(text); }

void autorun_dsk(uint32_t delayMs, uint32_t periodMs) {
    const uintptr_t generation = typingGeneration.fetch_add(1) + 1;
    if (loadFlag(keyIsDown)) releaseHeldKey();
    strokesActive = false;
    storeFlag(keyIsDown, false);
    autorun_dsk_key[0] = autorun_dsk_key[1] = 0;
    keyPeriodMs = periodMs ? periodMs : kAutorunKeyPeriodMs;
    phaseFrames = 0;  // the start delay is the host's alone
    scheduleTimedAction(delayMs, autorunTimer, reinterpret_cast<void*>(generation));
}

void autorunStrokes(const std::vector<KeyStroke>& strokes, const KeyTiming& timing, uint32_t delayMs) {
    const uintptr_t generation = typingGeneration.fetch_add(1) + 1;
    if (loadFlag(keyIsDown)) releaseHeldKey();
    storeFlag(keyIsDown, false);
    autorun_dsk_key[0] = autorun_dsk_key[1] = 0;
    autorun_dsk_str_idx = 0;
    strokeList = strokes;
    strokeNext = 0;
    strokeTiming = timing;
    strokesActive = !strokeList.empty();
    phaseFrames = 0;
    if (strokesActive) scheduleTimedAction(delayMs, autorunTimer, reinterpret_cast<void*>(generation));
}

bool autorunInProgress() {
    return strokesActive || autorun_dsk_key[0] || autorun_dsk_key[1] || autorun_dsk_str_idx;
}

void autorunCancel() {
    typingGeneration.fetch_add(1);
    if (loadFlag(keyIsDown)) releaseHeldKey();
    strokesActive = false;
    storeFlag(keyIsDown, false);
    autorun_dsk_key[0] = autorun_dsk_key[1] = 0;
    autorun_dsk_str_idx = 0;
}
