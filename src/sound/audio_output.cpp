#include "sound/audio_output.h"

#include <atomic>
#include <cstring>

#include "machine/emulation_thread.h"
#include "machine/frontend_hooks.h"
#include "machine/shared_flag.h"

bool CPC_audio_enable = false;
bool CPC_audio_stereo = false;
bool digiBlaster = false;
float CPC_audio_volume = 1.0f;
SDL_AudioDeviceID cpcAudioDevice = 0;
SDL_AudioSpec cpcAudioSpec = {};
SDL_AudioSpec cpcAudioSpecObtained = {};
float CPC_audio_buffer[kAudioBufferFloats];
uint16_t CPC_audio_buffer_length = 0;
float CPC_audio_frameCount = 1000000.0f / kAudioRequestedRate;
float CPC_audio_frameCount_timer = 0.0f;

namespace {

void logAudioError(const char* text) {
    SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "main: %s - SDL_Error: %s\n", text, SDL_GetError());
}

// The emulation thread queues samples without a lock. Once it has seen the
// sound switched off it queues no more, but it may be inside a queueing call
// right now: let the frame in progress end before the device goes away.
void waitForQueueingToEnd() {
    std::atomic_thread_fence(std::memory_order_seq_cst);
    if (!cpcIsRunning || (threadID != 0 && SDL_ThreadID() != threadID)) return;
    uint32_t frame = framesEmulated;
    for (int i = 0; i < 100 && cpcIsRunning && framesEmulated == frame; ++i) SDL_Delay(1);
}

void redrawSoundIcons() {
    frontendHooks.redrawSoundIcon();
    refreshScreen = true;
}

}  // namespace

void audioClearQueue() {
    if (cpcAudioDevice) SDL_ClearQueuedAudio(cpcAudioDevice);
}

void audioPause(bool pause) {
    if (cpcAudioDevice) SDL_PauseAudioDevice(cpcAudioDevice, pause ? 1 : 0);
}

void enable_sound() {
    // Headless runs have no audio device by design.
    if (CPC_audio_enable || headlessMode) return;
    std::memset(CPC_audio_buffer, 0, sizeof CPC_audio_buffer);
    if (!SDL_WasInit(SDL_INIT_AUDIO) && SDL_InitSubSystem(SDL_INIT_AUDIO) < 0) {
        logAudioError("enable_sound: SDL_OpenAudioDevice failed to get an AudioDevice available !");
        return;
    }
    SDL_zero(cpcAudioSpec);
    cpcAudioSpec.freq = kAudioRequestedRate;
    cpcAudioSpec.format = AUDIO_F32LSB;
    cpcAudioSpec.channels = 2;
    cpcAudioSpec.samples = 4096;
    cpcAudioSpec.callback = nullptr;
    cpcAudioSpec.userdata = nullptr;
    // The frame clock writes 32-bit float stereo and follows only the rate, so
    // SDL converts format and channels for devices that want others.
    cpcAudioDevice = SDL_OpenAudioDevice(nullptr, 0, &cpcAudioSpec, &cpcAudioSpecObtained,
                                         SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_SAMPLES_CHANGE);
    if (cpcAudioDevice == 0) {
        logAudioError("enable_sound: SDL_OpenAudioDevice failed to get an AudioDevice available !");
        return;
    }
    if (cpcAudioSpecObtained.format != AUDIO_F32LSB) {
        logAudioError("enable_sound: SDL_OpenAudioDevice didn't get Float32 audio format !");
    }
    CPC_audio_buffer_length = 0;
    CPC_audio_frameCount_timer = 0.0f;
    CPC_audio_frameCount = 1000000.0f / static_cast<float>(cpcAudioSpecObtained.freq > 0 ? cpcAudioSpecObtained.freq
                                                                                          : kAudioRequestedRate);
    std::atomic_thread_fence(std::memory_order_seq_cst);
    CPC_audio_enable = true;
    SDL_ClearQueuedAudio(cpcAudioDevice);
    SDL_PauseAudioDevice(cpcAudioDevice, 0);
}

void disable_sound() {
    if (!CPC_audio_enable) return;
    CPC_audio_enable = false;
    waitForQueueingToEnd();
    SDL_ClearQueuedAudio(cpcAudioDevice);
    SDL_PauseAudioDevice(cpcAudioDevice, 1);
    SDL_CloseAudioDevice(cpcAudioDevice);
    cpcAudioDevice = 0;
}

void endisable_sound() {
    if (CPC_audio_enable) {
        disable_sound();
    } else if (loadFlag(freeRunEnable)) {
        freerun_keep_CPC_audio_enable = true;
    } else {
        enable_sound();
    }
    redrawSoundIcons();
}

void cycleCPCAudio() {
    if (CPC_audio_stereo) {
        CPC_audio_stereo = false;
        digiBlaster = true;
    } else if (digiBlaster) {
        digiBlaster = false;
    } else {
        CPC_audio_stereo = true;
    }
    if (CPC_audio_enable) {
        disable_sound();
        enable_sound();
    }
    frontendHooks.redrawSoundModeIcon();
    refreshScreen = true;
}

void setSoundVolume(int value) {
    if (value >= 0 && value <= 128) CPC_audio_volume = static_cast<float>(value) / 128.0f;
}
