#include "machine/keyboard.h"

#include <SDL.h>

#include <array>
#include <cstring>

namespace {

struct HostKey {
    SDL_Scancode scancode;
    uint8_t code;
};

// By key position, not by the character the host layout prints on it.
constexpr HostKey kHostKeys[] = {
    {SDL_SCANCODE_UP, 0x00},          {SDL_SCANCODE_RIGHT, 0x01},        {SDL_SCANCODE_DOWN, 0x02},
    {SDL_SCANCODE_KP_9, 0x03},        {SDL_SCANCODE_KP_6, 0x04},         {SDL_SCANCODE_KP_3, 0x05},
    {SDL_SCANCODE_KP_ENTER, 0x06},    {SDL_SCANCODE_KP_PERIOD, 0x07},    {SDL_SCANCODE_LEFT, 0x10},
    {SDL_SCANCODE_LALT, 0x11},        {SDL_SCANCODE_KP_7, 0x12},         {SDL_SCANCODE_KP_8, 0x13},
    {SDL_SCANCODE_KP_5, 0x14},        {SDL_SCANCODE_KP_1, 0x15},         {SDL_SCANCODE_KP_2, 0x16},
    {SDL_SCANCODE_KP_0, 0x17},        {SDL_SCANCODE_DELETE, 0x20},       {SDL_SCANCODE_RIGHTBRACKET, 0x21},
    {SDL_SCANCODE_RETURN, 0x22},      {SDL_SCANCODE_BACKSLASH, 0x23},    {SDL_SCANCODE_KP_4, 0x24},
    {SDL_SCANCODE_LSHIFT, 0x25},      {SDL_SCANCODE_RSHIFT, 0x25},       {SDL_SCANCODE_NONUSBACKSLASH, 0x26},
    {SDL_SCANCODE_LCTRL, 0x27},       {SDL_SCANCODE_RCTRL, 0x27},        {SDL_SCANCODE_EQUALS, 0x30},
    {SDL_SCANCODE_MINUS, 0x31},       {SDL_SCANCODE_LEFTBRACKET, 0x32},  {SDL_SCANCODE_P, 0x33},
    {SDL_SCANCODE_APOSTROPHE, 0x34},  {SDL_SCANCODE_SEMICOLON, 0x35},    {SDL_SCANCODE_SLASH, 0x36},
    {SDL_SCANCODE_PERIOD, 0x37},      {SDL_SCANCODE_0, 0x40},            {SDL_SCANCODE_9, 0x41},
    {SDL_SCANCODE_O, 0x42},           {SDL_SCANCODE_I, 0x43},            {SDL_SCANCODE_L, 0x44},
    {SDL_SCANCODE_K, 0x45},           {SDL_SCANCODE_M, 0x46},            {SDL_SCANCODE_COMMA, 0x47},
    {SDL_SCANCODE_8, 0x50},           {SDL_SCANCODE_7, 0x51},            {SDL_SCANCODE_U, 0x52},
    {SDL_SCANCODE_Y, 0x53},           {SDL_SCANCODE_H, 0x54},            {SDL_SCANCODE_J, 0x55},
    {SDL_SCANCODE_N, 0x56},           {SDL_SCANCODE_SPACE, 0x57},        {SDL_SCANCODE_6, 0x60},
    {SDL_SCANCODE_5, 0x61},           {SDL_SCANCODE_R, 0x62},            {SDL_SCANCODE_T, 0x63},
    {SDL_SCANCODE_G, 0x64},           {SDL_SCANCODE_F, 0x65},            {SDL_SCANCODE_B, 0x66},
    {SDL_SCANCODE_V, 0x67},           {SDL_SCANCODE_4, 0x70},            {SDL_SCANCODE_3, 0x71},
    {SDL_SCANCODE_E, 0x72},           {SDL_SCANCODE_W, 0x73},            {SDL_SCANCODE_S, 0x74},
    {SDL_SCANCODE_D, 0x75},           {SDL_SCANCODE_C, 0x76},            {SDL_SCANCODE_X, 0x77},
    {SDL_SCANCODE_1, 0x80},           {SDL_SCANCODE_2, 0x81},            {SDL_SCANCODE_ESCAPE, 0x82},
    {SDL_SCANCODE_Q, 0x83},           {SDL_SCANCODE_TAB, 0x84},          {SDL_SCANCODE_A, 0x85},
    {SDL_SCANCODE_CAPSLOCK, 0x86},    {SDL_SCANCODE_Z, 0x87},            {SDL_SCANCODE_BACKSPACE, 0x97},
};

constexpr uint16_t kWithShift = 0x100;

// Characters as the UK firmware gives them from the matrix. Digits go through
// the keypad so that they come out the same on every language's keyboard.
constexpr std::array<uint16_t, 128> buildAutorunTable() {
    std::array<uint16_t, 128> t{};
    constexpr uint8_t letters[26] = {0x85, 0x66, 0x76, 0x75, 0x72, 0x65, 0x64, 0x54, 0x43, 0x55, 0x45, 0x44, 0x46,
                                     0x56, 0x42, 0x33, 0x83, 0x62, 0x74, 0x63, 0x52, 0x67, 0x73, 0x77, 0x53, 0x87};
    for (int i = 0; i < 26; ++i) {
        t['a' + i] = letters[i];
        t['A' + i] = letters[i] | kWithShift;
    }
    constexpr uint8_t keypad[10] = {0x17, 0x15, 0x16, 0x05, 0x24, 0x14, 0x04, 0x12, 0x13, 0x03};
    for (int i = 0; i < 10; ++i) t['0' + i] = keypad[i];

    t[0x0B] = 0x84;  // TAB
    t[0x0D] = 0x06;  // keypad ENTER
    t[0x0F] = kCpcKeyShift;
    t[0x1B] = 0x82;  // ESC
    t[0x7F] = 0x97;  // DEL

    t[' '] = 0x57;
    t['!'] = 0x80 | kWithShift;
    t['"'] = 0x81 | kWithShift;
    t['#'] = 0x71 | kWithShift;
    t['$'] = 0x70 | kWithShift;
    t['%'] = 0x61 | kWithShift;
    t['&'] = 0x60 | kWithShift;
    t['\''] = 0x51 | kWithShift;
    t['('] = 0x50 | kWithShift;
    t[')'] = 0x41 | kWithShift;
    t['*'] = 0x35 | kWithShift;
    t['+'] = 0x34 | kWithShift;
    t[','] = 0x47;
    t['-'] = 0x31;
    t['.'] = 0x37;
    t['/'] = 0x36;
    t[':'] = 0x35;
    t[';'] = 0x34;
    t['<'] = 0x47 | kWithShift;
    t['='] = 0x31 | kWithShift;
    t['>'] = 0x37 | kWithShift;
    t['?'] = 0x36 | kWithShift;
    t['@'] = 0x32;
    t['['] = 0x21;
    t['\\'] = 0x26;
    t[']'] = 0x23;
    t['^'] = 0x30;
    t['_'] = 0x40 | kWithShift;
    t['`'] = 0x26 | kWithShift;
    t['{'] = 0x21 | kWithShift;
    t['|'] = 0x32 | kWithShift;
    t['}'] = 0x23 | kWithShift;
    return t;
}

constexpr std::array<uint16_t, 128> kAutorunTable = buildAutorunTable();

}  // namespace

void keyboard::reset() {
    std::memset(matrix, 0xFF, sizeof matrix);
    selectedLine = 0;
    std::memset(hostKeyMap, kCpcNoKey, sizeof hostKeyMap);
    for (const HostKey& k : kHostKeys) hostKeyMap[k.scancode] = k.code;
    for (int c = 0; c < 256; ++c) autorunKeyMap[c] = c < 128 ? kAutorunTable[c] : 0;
    hostQueueCount = 0;
    std::memset(keySeenFrame, 0, sizeof keySeenFrame);
    typingSeenFrame = 0;
}

namespace {

// The firmware scans once in every frame and lets a key go only after two
// scans without it: a change made while frame F + 1 runs (F frames done) has
// surely been scanned twice once frame F + 3 has run.
constexpr uint32_t kFramesUntilScanned = 3;

bool reached(uint32_t frame, uint32_t target) { return static_cast<int32_t>(frame - target) >= 0; }

// Joystick 0 directions and fire buttons (keyboard emulation) need no order
// among typed keys: only their own press and release are kept apart.
bool isTypingKey(uint8_t code) { return code < 0x90 || code > 0x96; }

// Letting go of SHIFT or CONTROL changes what the next key types.
bool isModifier(uint8_t code) { return code == kCpcKeyShift || code == 0x27; }

}  // namespace

void keyboard::queueHostKey(uint8_t code, bool down, uint32_t frame) {
    if (code >= kCpcKeyCodeLimit) return;
    if (hostQueueCount == kHostKeyQueueSize) {
        // Far more than anyone types ahead: apply the oldest now rather than drop it.
        const HostKeyChange& oldest = hostQueue[0];
        oldest.down ? key_down(oldest.code) : key_up(oldest.code);
        keySeenFrame[oldest.code] = frame + kFramesUntilScanned;
        std::memmove(hostQueue, hostQueue + 1, sizeof(HostKeyChange) * (kHostKeyQueueSize - 1));
        --hostQueueCount;
    }
    hostQueue[hostQueueCount++] = {code, down};
    applyHostKeys(frame);
}

void keyboard::applyHostKeys(uint32_t frame) {
    uint8_t waiting[16] = {};  // keys with an earlier change still queued
    bool typingWaits = false;
    int kept = 0;
    for (int i = 0; i < hostQueueCount; ++i) {
        const HostKeyChange change = hostQueue[i];
        const uint8_t line = change.code >> 4, bit = static_cast<uint8_t>(1u << (change.code & 7));
        const bool typing = isTypingKey(change.code);
        bool due = !(waiting[line] & bit) && !(typing && typingWaits) && reached(frame, keySeenFrame[change.code]);
        if (due && typing && (change.down || isModifier(change.code))) due = reached(frame, typingSeenFrame);
        if (due) {
            change.down ? key_down(change.code) : key_up(change.code);
            keySeenFrame[change.code] = frame + kFramesUntilScanned;
            if (typing && (change.down || isModifier(change.code))) typingSeenFrame = frame + kFramesUntilScanned;
        } else {
            hostQueue[kept++] = change;
            waiting[line] |= bit;
            typingWaits = typingWaits || typing;
        }
    }
    hostQueueCount = kept;
}

void keyboard::mapJoystick(bool on) {
    hostKeyMap[SDL_SCANCODE_RALT] = 0x96;
    hostKeyMap[SDL_SCANCODE_LSHIFT] = hostKeyMap[SDL_SCANCODE_RSHIFT] = on ? 0x95 : kCpcKeyShift;
    hostKeyMap[SDL_SCANCODE_LCTRL] = hostKeyMap[SDL_SCANCODE_RCTRL] = on ? 0x94 : 0x27;
    hostKeyMap[SDL_SCANCODE_RIGHT] = on ? 0x93 : 0x01;
    hostKeyMap[SDL_SCANCODE_LEFT] = on ? 0x92 : 0x10;
    hostKeyMap[SDL_SCANCODE_DOWN] = on ? 0x91 : 0x02;
    hostKeyMap[SDL_SCANCODE_UP] = on ? 0x90 : 0x00;
}
