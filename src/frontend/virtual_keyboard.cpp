#include "frontend/virtual_keyboard.h"

#include <SDL.h>

#include "machine/keyboard.h"
#include "machine/timed_actions.h"

uint8_t mapkey = 255;
uint8_t mapkey_to_release[kMaxLatchedKeys] = {};
uint8_t mapkey_id = 0;

namespace {

struct KeyArea {
    int16_t x0, x1;  // inclusive; -1, -2, -3 name the keypad columns
    uint8_t code;
};

constexpr int16_t K1 = -1, K2 = -2, K3 = -3;

struct KeyRow {
    int16_t y0, y1;
    const KeyArea* keys;
    int count;
};

constexpr KeyArea kRow1[] = {
    {9, 38, 0x82},    {47, 76, 0x80},   {87, 116, 0x81},  {126, 155, 0x71}, {165, 194, 0x70}, {204, 233, 0x61},
    {243, 272, 0x60}, {282, 311, 0x51}, {321, 350, 0x50}, {360, 389, 0x41}, {399, 428, 0x40}, {438, 467, 0x31},
    {476, 505, 0x30}, {517, 546, 0x20}, {554, 604, 0x97}, {K1, K1, 0x12},   {K2, K2, 0x13},   {K3, K3, 0x03}};
constexpr KeyArea kRow2[] = {
    {8, 54, 0x84},    {65, 94, 0x83},   {104, 133, 0x73}, {143, 172, 0x72}, {182, 211, 0x62}, {221, 250, 0x63},
    {260, 289, 0x53}, {299, 328, 0x52}, {338, 367, 0x43}, {377, 406, 0x42}, {416, 445, 0x33}, {476, 505, 0x32},
    {517, 546, 0x21}, {554, 604, 0x22}, {K1, K1, 0x24},   {K2, K2, 0x14},   {K3, K3, 0x04}};
constexpr KeyArea kRow3[] = {{545, 604, 0x22}};
constexpr KeyArea kRow4[] = {
    {8, 64, 0x86},    {75, 104, 0x85},  {114, 143, 0x74}, {143, 172, 0x75}, {192, 221, 0x65}, {231, 260, 0x64},
    {270, 299, 0x54}, {309, 338, 0x55}, {348, 377, 0x45}, {387, 416, 0x44}, {426, 455, 0x35}, {465, 494, 0x34},
    {504, 533, 0x23}, {545, 604, 0x22}, {K1, K1, 0x15},   {K2, K2, 0x16},   {K3, K3, 0x05}};
constexpr KeyArea kRow5[] = {
    {8, 84, 0x25},    {96, 125, 0x87},  {135, 164, 0x77}, {174, 203, 0x76}, {213, 242, 0x67}, {252, 281, 0x66},
    {291, 320, 0x56}, {330, 359, 0x46}, {369, 398, 0x47}, {408, 437, 0x37}, {447, 476, 0x36}, {486, 515, 0x26},
    {526, 604, 0x25}, {K1, K1, 0x17},   {K2, K2, 0x00},   {K3, K3, 0x07}};
constexpr KeyArea kRow6[] = {{8, 84, 0x27},   {96, 153, 0x11},  {161, 478, 0x57},
                             {486, 604, 0x06}, {K1, K1, 0x10},   {K2, K2, 0x02}, {K3, K3, 0x01}};

template <int N>
constexpr KeyRow row(int16_t y0, int16_t y1, const KeyArea (&keys)[N]) {
    return {y0, y1, keys, N};
}

constexpr KeyRow kRows[] = {row(85, 115, kRow1),  row(126, 155, kRow2), row(156, 165, kRow3),
                            row(166, 195, kRow4), row(206, 235, kRow5), row(245, 274, kRow6)};

bool inArea(const KeyArea& k, int x, bool rightButton) {
    switch (k.x0) {
        case K1: return x >= 623 && x <= 652;
        case K2: return x >= 665 && x <= 694;
        case K3: return x >= 707 && x <= (rightButton ? 746 : 736);
        default: return x >= k.x0 && x <= k.x1;
    }
}

uint32_t kvirtual_key_up(uint32_t, void* code) {
    const uint8_t key = static_cast<uint8_t>(reinterpret_cast<uintptr_t>(code));
    if (cPCKeyBoard) cPCKeyBoard->key_up(key);
    if (mapkey == key) mapkey = 255;
    return 0;
}

}  // namespace

uint8_t virtualKeyAt(int x, int y, bool rightButton) {
    for (const KeyRow& r : kRows) {
        if (y < r.y0 || y > r.y1) continue;
        // Where areas of a row overlap, the later one wins.
        for (int i = r.count - 1; i >= 0; --i) {
            if (inArea(r.keys[i], x, rightButton)) return r.keys[i].code;
        }
        return 255;
    }
    return 255;
}

bool inVirtualReleaseArea(int x, int y) { return x >= 534 && x <= 610 && y >= 26 && y <= 55; }

void virtualKeyboardClick(uint8_t button, int x, int y) {
    if (!cPCKeyBoard) return;
    if (button == SDL_BUTTON_LEFT) {
        const uint8_t code = virtualKeyAt(x, y, false);
        if (code == 255) return;
        mapkey = code;
        cPCKeyBoard->key_down(code);
        // The timer carries its own key, so a second click within 50 ms
        // cannot leave the first key held.
        scheduleTimedAction(kVirtualKeyPressMs, kvirtual_key_up, reinterpret_cast<void*>(uintptr_t{code}));
    } else if (button == SDL_BUTTON_RIGHT) {
        if (inVirtualReleaseArea(x, y)) {
            while (mapkey_id > 0) cPCKeyBoard->key_up(mapkey_to_release[--mapkey_id]);
            mapkey = 255;
            return;
        }
        const uint8_t code = virtualKeyAt(x, y, true);
        if (code == 255) return;
        cPCKeyBoard->key_down(code);
        if (mapkey_id < kMaxLatchedKeys) mapkey_to_release[mapkey_id++] = code;
    }
}
