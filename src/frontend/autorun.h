// Autorun: types a stored text (or a script's key strokes) into the emulated
// keyboard, one key per timer period, on SDL timers in a window and on
// emulated time when headless.
#pragma once
#include <cstdint>
#include <vector>

#include "script/key_text.h"

// Characters of one autorun text; longer texts are cut.
constexpr uint16_t kAutorunMaxChars = 253;
constexpr uint32_t kAutorunKeyPeriodMs = 30;
constexpr uint32_t kAutorunOptionDelayMs = 2000;  // -a and the "auto" key

// Stored reversed in autorun_dsk_str behind a RETURN at index 0; this is the
// index of the next character to type, 0 when nothing is pending.
extern uint16_t autorun_dsk_str_idx;
// The key being held and whether SHIFT is held with it; both 0 when none.
extern uint8_t autorun_dsk_key[2];

void setAutorunText(const char* text);
void sendAutorunText(const char* text);
// Starts typing the stored text after delayMs, holding each key keyPeriodMs
// and leaving keyPeriodMs between keys. A second call takes over from a
// typing still in progress.
void autorun_dsk(uint32_t delayMs, uint32_t keyPeriodMs);
bool autorunInProgress();

// How long a typed key is held, the gap before the next one and the gap
// after RETURN or ENTER (ms; 0 counts as 1).
struct KeyTiming {
    uint32_t pressMs = 50;
    uint32_t releaseMs = 50;
    uint32_t afterReturnMs = 300;
};
// Types key strokes (chords, keys without a character) through the same
// typist, with their own timing, after delayMs; takes over like autorun_dsk.
void autorunStrokes(const std::vector<KeyStroke>& strokes, const KeyTiming& timing, uint32_t delayMs);
// Stops typing and releases whatever it holds.
void autorunCancel();
