// The host audio device (queue mode, no callback), the user's sound settings
// and the shared sample buffer the frame clock fills and queues.
#pragma once
#include <SDL.h>
#include <cstdint>

extern bool CPC_audio_enable;  // the device is open and playback is wanted
extern bool CPC_audio_stereo;
extern bool digiBlaster;  // in mono, mix the printer-port sampler
extern float CPC_audio_volume;  // 0.0 .. 1.0, applied to every sample
extern SDL_AudioDeviceID cpcAudioDevice;
extern SDL_AudioSpec cpcAudioSpec;
extern SDL_AudioSpec cpcAudioSpecObtained;
extern float CPC_audio_buffer[4096];  // interleaved left/right, 2048 frames
extern uint16_t CPC_audio_buffer_length;  // floats filled so far
extern float CPC_audio_frameCount;  // microseconds of emulated time per output frame
extern float CPC_audio_frameCount_timer;

constexpr int kAudioRequestedRate = 44100;
constexpr int kAudioBufferFloats = 4096;

void audioClearQueue();
void audioPause(bool pause);
// Opens the default output device and starts playback; nothing when sound is
// already on. Failures are logged and leave the sound off.
void enable_sound();
void disable_sound();
// The sound switch. During free run it only promises sound for its end.
void endisable_sound();
// stereo -> mono with Digiblaster -> mono -> stereo; re-opens an open device.
void cycleCPCAudio();
// Volume 0..128 (0 silent, 128 full); other values are ignored.
void setSoundVolume(int value);
