// The virtual keyboard window: a left click types a key for 50 ms, a right
// click latches it (for SHIFT or CONTROL combinations) until the release area
// is right-clicked.
#pragma once
#include <cstdint>

constexpr uint8_t kMaxLatchedKeys = 32;
constexpr uint32_t kVirtualKeyPressMs = 50;

extern uint8_t mapkey;  // key the release timer lets go, 255 none
extern uint8_t mapkey_to_release[kMaxLatchedKeys];
extern uint8_t mapkey_id;  // how many keys are latched

// Key code under (x, y) of the keyboard window for that button, 255 none.
uint8_t virtualKeyAt(int x, int y, bool rightButton);
bool inVirtualReleaseArea(int x, int y);
// A mouse button pressed in the keyboard window (SDL button number).
void virtualKeyboardClick(uint8_t button, int x, int y);
