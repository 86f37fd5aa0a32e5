#include "sound/audio_output.h"

bool CPC_audio_enable = false;
bool CPC_audio_stereo = true;
bool digiBlaster = false;
float CPC_audio_volume = 1.0f;
SDL_AudioDeviceID cpcAudioDevice = 0;
float CPC_audio_buffer[4096];
uint16_t CPC_audio_buffer_length = 0;

void audioClearQueue() {
    if (cpcAudioDevice) SDL_ClearQueuedAudio(cpcAudioDevice);
}

void audioPause(bool pause) {
    if (cpcAudioDevice) SDL_PauseAudioDevice(cpcAudioDevice, pause ? 1 : 0);
}

void endisable_sound() { CPC_audio_enable = !CPC_audio_enable; }
