// The CPC key matrix, the host scancode table and the character table that
// autorun typing uses. A key code is line * 16 + bit.
#pragma once
#include <cstdint>

// Characters of one autorun text; longer texts are cut.
constexpr uint16_t kAutorunMaxChars = 253;
#include <cstdint>

constexpr uint8_t kCpcKeyShift = 0x25;
constexpr uint8_t kCpcNoKey = 0xFF;
// Codes at or above this fall outside the ten wired lines and press nothing.
constexpr uint8_t kCpcKeyCodeLimit = 0xA0;
// Host key changes waiting for the firmware's scan (a tool typing ahead of the
// scan fills it); beyond this the oldest is applied at once.
constexpr int kHostKeyQueueSize = 1024;

class keyboard {
public:
    uint8_t matrix[16];            // a bit is 0 while its key is down
    uint8_t selectedLine;          // chosen through PPI port C
    uint8_t hostKeyMap[256];       // SDL scancode -> key code, FFh none
    uint16_t autorunKeyMap[256];   // character -> key code, high byte 1 = with SHIFT

    // Host keys pass through a queue, because the firmware looks at the matrix
    // once a frame: a change stays until the frame after it has been scanned,
    // and typing keys go down one scan apart so they arrive in the order typed.
    // Keys held longer than that are not delayed. Frames are counted by the
    // caller (frames emulated); other sources bypass the queue.
    struct HostKeyChange {
        uint8_t code;
        bool down;
    };
    HostKeyChange hostQueue[kHostKeyQueueSize];
    int hostQueueCount;
    uint32_t keySeenFrame[kCpcKeyCodeLimit];  // frame from which the key's last change has been scanned
    uint32_t typingSeenFrame;                 // the same for the last typing key pressed

    keyboard() { reset(); }

    void reset();
    void select_line(uint8_t line) { selectedLine = line & 15; }
    // Several sources share one bit per key: the first release frees it.
    void key_down(uint8_t code) {
        if (code >= kCpcKeyCodeLimit) return;
        matrix[code >> 4] &= static_cast<uint8_t>(~(1u << (code & 7)));
    }
    void key_up(uint8_t code) {
        if (code >= kCpcKeyCodeLimit) return;
        matrix[code >> 4] |= static_cast<uint8_t>(1u << (code & 7));
    }
    uint8_t selectedLineBits() const { return matrix[selectedLine & 15]; }
    uint8_t mapDomKeyToCpcKey(int scancode) const {
        return (scancode >= 0 && scancode < 256) ? hostKeyMap[scancode] : kCpcNoKey;
    }
    uint16_t mapAutorunKeyToCpcKey(uint8_t character) const { return autorunKeyMap[character]; }
    void hostKeyDown(uint8_t code, uint32_t frame) { queueHostKey(code, true, frame); }
    void hostKeyUp(uint8_t code, uint32_t frame) { queueHostKey(code, false, frame); }
    // Applies the queued changes whose time has come; called once per pass of the main loop.
    void applyHostKeys(uint32_t frame);
    bool hostKeysPending() const { return hostQueueCount > 0; }
    // Cursor keys, Shift and Ctrl become joystick 0 (Right Alt is fire 3 either way).
    void mapJoystick(bool on);

private:
    void queueHostKey(uint8_t code, bool down, uint32_t frame);
};

// The machine's key matrix (built by beginCPC).
extern keyboard* cPCKeyBoard;
