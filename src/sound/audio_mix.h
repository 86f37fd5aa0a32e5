// The mix of one output frame: the AY's three channels, and in mono the
// printer-port sampler (Digiblaster) or the tape's noise, appended to the
// shared audio buffer at the device's rate.
#pragma once

#include "sound/audio_output.h"

// Counts one microsecond; true when it takes an output frame (the
// accumulator passed the device's microseconds per frame). Inline: the step
// asks every microsecond.
inline bool audioFrameDue() {
    if (!CPC_audio_enable) return false;
    CPC_audio_frameCount_timer += 1.0f;
    if (!(CPC_audio_frameCount_timer > CPC_audio_frameCount)) return false;
    CPC_audio_frameCount_timer -= CPC_audio_frameCount;
    return true;
}

// One stereo frame from the AY as it stands (it must be up to date); a full
// buffer is delivered at once.
void mixAudioFrame();
