#include "snapshot/snr_replay.h"

#include <cstring>

#include "machine/frontend_hooks.h"
#include "machine/keyboard.h"

bool SNRPlaying = false;
uint32_t SNRValCount = 0;
uint32_t SNRIdx = 0;
uint32_t SNRFrameCount = 0;
uint32_t SNRLastIdxKeyStroke = 0;
uint8_t SNRLastNBKeyStroke = 0;

namespace {

constexpr uint8_t kRepeatLastRecord = 127;

// Bytes past the end read as 0; the position still moves, so the end is seen.
uint8_t next() {
    uint8_t b = SNRIdx < SNRValCount ? SNRBuffer[SNRIdx] : 0;
    ++SNRIdx;
    return b;
}

// Operand bytes of a non-key event (e has bit 7 set).
uint32_t eventOperands(uint8_t e) {
    if (e >= 0xE0) {
        if (e == 0xE3) return 4;
        return e <= 0xE6 ? 1 : 0;
    }
    if (e & 0x01) return 1;
    if (e & 0x40) return 2;
    if (e & 0x20) return 1;
    if (e & 0x10) return 2;
    if (e & 0x02) return 1;
    if (e & 0x04) return 2;
    return 0;
}

// Key code k is bit k & 7 of matrix line k >> 3.
void toggleKeys(uint32_t from, uint8_t count) {
    if (!cPCKeyBoard) return;
    for (uint32_t i = 0; i < count; ++i) {
        if (from + i >= SNRValCount) return;
        const uint8_t k = SNRBuffer[from + i] & 0x7F;
        cPCKeyBoard->matrix[k >> 3] ^= static_cast<uint8_t>(1u << (k & 7));
    }
}

void readDelay() {
    uint32_t d = next();
    if (d == 0 && SNRIdx + 2 <= SNRValCount) {
        d = next();
        d |= static_cast<uint32_t>(next()) << 8;
    }
    SNRFrameCount = d;
}

}  // namespace

void clearSNRCounters() {
    SNRPlaying = false;
    SNRValCount = 0;
    SNRIdx = 0;
    SNRFrameCount = 0;
    SNRLastIdxKeyStroke = 0;
    SNRLastNBKeyStroke = 0;
}

void stopSNR() { SNRPlaying = false; }

void startSNR(const uint8_t keyboardLines[10], const uint8_t* stream, size_t length) {
    SNRPlaying = false;
    delete[] SNRBuffer;
    SNRBuffer = nullptr;
    clearSNRCounters();
    if (length > UINT32_MAX) length = UINT32_MAX;
    SNRBuffer = new uint8_t[length ? length : 1];
    if (length) std::memcpy(SNRBuffer, stream, length);
    SNRValCount = static_cast<uint32_t>(length);
    if (cPCKeyBoard) std::memcpy(cPCKeyBoard->matrix, keyboardLines, 10);
    readDelay();
    ++SNRFrameCount;
    SNRPlaying = true;
}

void playSNR() {
    if (!SNRPlaying) return;
    if (SNRFrameCount) {
        if (SNRFrameCount-- != 1) return;
    }
    if (SNRIdx >= SNRValCount) return;
    const uint8_t header = next();
    if (header & 0x80) SNRIdx += 4;
    const uint8_t n = header & 0x7F;
    if (n == kRepeatLastRecord) {
        toggleKeys(SNRLastIdxKeyStroke, SNRLastNBKeyStroke);
    } else if (n) {
        if (SNRIdx < SNRValCount && (SNRBuffer[SNRIdx] & 0x80)) {
            SNRIdx += 1 + eventOperands(SNRBuffer[SNRIdx]);
        } else {
            SNRLastIdxKeyStroke = SNRIdx;
            SNRLastNBKeyStroke = n;
            toggleKeys(SNRIdx, n);
            SNRIdx += n;
        }
    }
    if (SNRIdx < SNRValCount) {
        readDelay();
    } else {
        SNRPlaying = false;
        textShowOSD("End of SNR Replay !");
    }
}
