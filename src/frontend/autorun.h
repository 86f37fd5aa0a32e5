// Autorun: types a stored text into the emulated keyboard, one key per timer
// period, on SDL timers in a window and on emulated time when headless.
#pragma once
#include <cstdint>

#include "machine/keyboard.h"  // kAutorunMaxChars
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
// Stops typing and releases whatever it holds.
void autorunCancel();
