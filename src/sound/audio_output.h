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
// The device buffer (12 ms at 44100 Hz; SDL's drivers want a power of two)
// and the queue's fill wanted after each push (it drains by a frame's 20 ms
// before the next): the sound is heard about 40 ms after the picture.
constexpr int kAudioDeviceFrames = 512;
constexpr double kAudioQueueTargetSeconds = 0.040;

// Microseconds per output frame at the device's own rate; the frame clock's
// CPC_audio_frameCount follows it, trimmed by the queue control.
extern float audioBaseFrameCount;
// Queue underruns (the queue found empty while running) since the device opened.
extern uint32_t audioUnderruns;

void audioClearQueue();
void audioPause(bool pause);
// Empties the queue, fills it with silence up to its target and plays: the
// sound starts again at its latency when running resumes.
void audioRestartQueue();
// The samples made so far go to the device's queue and to a WAV recording;
// the buffer starts again. On the emulation thread (and headless).
void audioDeliver();
// End of an emulated frame on the emulation thread: delivers, then measures
// the queue and trims the sample rate. Returns the factor of the frame
// period (1 when no device plays); `runNow` when the queue is too short to
// wait for the pace.
double audioFrameEnded(bool& runNow);
// Before the next frame, once paced: waits (a little at most) while the
// queue is a frame too long for it. True when it waited.
bool audioWaitForDevice();
// While the tape runs unpaced nothing is queued and the device plays silence;
// afterwards the queue restarts at its target.
void audioSilentWhileUnpaced(bool silent);
// Headless: samples are made without a device, at the requested rate, for a recording.
void audioCollectWithoutDevice();
// The rate the frame clock makes samples at (the device's, or the requested one).
int audioOutputRate();
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
