// The host audio device and the shared sample buffer the frame clock fills.
#pragma once
#include <SDL.h>
#include <cstdint>

extern bool CPC_audio_enable;
extern bool CPC_audio_stereo;
extern bool digiBlaster;
extern float CPC_audio_volume;
extern SDL_AudioDeviceID cpcAudioDevice;
extern float CPC_audio_buffer[4096];
extern uint16_t CPC_audio_buffer_length;

void audioClearQueue();
void audioPause(bool pause);
// Turns sound on or off (opening or closing the device as needed).
void endisable_sound();
