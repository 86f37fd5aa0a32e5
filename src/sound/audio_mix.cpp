#include "sound/audio_mix.h"

#include "sound/ay8910.h"
#include "tape/tape_drive.h"
#include "video/gate_array.h"

namespace {

// The printer-port sampler: a byte left unchanged for 255 output frames is
// dropped, so a program that stopped playing leaves no offset behind.
float digiBlasterSample() {
    if (printerData != digiBlasterData) {
        digiBlasterData = printerData;
        digiBlasterDataLowFilterCount = 255;
    } else {
        if (digiBlasterDataLowFilterCount) --digiBlasterDataLowFilterCount;
        if (!digiBlasterDataLowFilterCount) return 0.0f;
    }
    const int d = digiBlasterData;
    return d < 128 ? d / 381.38138f : -(255 - d) / 381.38138f;
}

}  // namespace

void mixAudioFrame() {
    ay->mixer();
    float left, right;
    const uint8_t a = ay->level[0] & 15, b = ay->level[1] & 15, c = ay->level[2] & 15;
    if (!CPC_audio_stereo) {
        float s = ay->levelMono[a] + ay->levelMono[b] + ay->levelMono[c];
        if (digiBlaster) {
            s += digiBlasterSample();
        } else if (tape->moving && tape->readLevel) {
            s += 0.03f;  // tape noise
        }
        if (CPC_audio_volume != 1.0f) s *= CPC_audio_volume;
        left = right = s;
    } else {
        left = ay->levelStereoFull[a] + ay->levelStereoHalf[b];
        right = ay->levelStereoFull[c] + ay->levelStereoHalf[b];
        if (CPC_audio_volume != 1.0f) {
            left *= CPC_audio_volume;
            right *= CPC_audio_volume;
        }
    }
    CPC_audio_buffer[CPC_audio_buffer_length] = left;
    CPC_audio_buffer[CPC_audio_buffer_length + 1] = right;
    CPC_audio_buffer_length = static_cast<uint16_t>(CPC_audio_buffer_length + 2);
    // Delivered once a frame; only a very high device rate fills it sooner.
    if (CPC_audio_buffer_length >= kAudioBufferFloats) audioDeliver();
}
