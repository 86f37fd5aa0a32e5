#include "sound/audio_output.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "machine/emulation_thread.h"
#include "machine/frontend_hooks.h"
#include "machine/shared_flag.h"
#include "sound/audio_latency.h"
#include "sound/wav_recorder.h"

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
float audioBaseFrameCount = 1000000.0f / kAudioRequestedRate;
uint32_t audioUnderruns = 0;

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

// The queue control and its figures belong to the emulation thread; the main
// thread only asks for a restart and reads the figures once the device is idle.
AudioLatencyControl latency;
std::atomic<bool> latencyRestart{false};
bool silentWhileUnpaced = false;
constexpr int kSettlingFrames = 150;  // after a restart, the figures wait 3 s
int framesSinceRestart = 0;
struct QueueFigures {
    uint64_t pushes = 0;
    double sum = 0, low = 0, high = 0;  // seconds after each push
    double drained = 0;                 // the mean of the fills after a push and before it
} figures;
uint32_t lastUnderrunLog = 0;

int deviceRate() { return cpcAudioSpecObtained.freq > 0 ? cpcAudioSpecObtained.freq : kAudioRequestedRate; }

uint32_t queuedFrames() { return SDL_GetQueuedAudioSize(cpcAudioDevice) / (2 * sizeof(float)); }

void logQueueFigures() {
    const double rate = deviceRate();
    const double device = cpcAudioSpecObtained.samples / rate;
    if (figures.pushes) {
        const double pushes = static_cast<double>(figures.pushes);
        SDL_Log("audio: queue after each push %.1f ms on average (%.1f to %.1f), target %.1f ms; latency %.1f ms "
                "(the queue's mean %.1f ms and the device buffer %.1f ms); %u underruns; sample rate %+.2f %%, "
                "frame period %+.2f %%",
                1000 * figures.sum / pushes, 1000 * figures.low, 1000 * figures.high, 1000 * kAudioQueueTargetSeconds,
                1000 * (figures.drained / pushes + device), 1000 * figures.drained / pushes, 1000 * device,
                audioUnderruns, 100 * (latency.rate() - 1), 100 * (latency.pacing() - 1));
    }
    figures = {};
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

void audioRestartQueue() {
    if (!cpcAudioDevice) return;
    static const float silence[kAudioBufferFloats] = {};
    SDL_ClearQueuedAudio(cpcAudioDevice);
    for (uint32_t left = static_cast<uint32_t>(kAudioQueueTargetSeconds * deviceRate()) * 2; left;) {
        const uint32_t n = left < kAudioBufferFloats ? left : kAudioBufferFloats;
        SDL_QueueAudio(cpcAudioDevice, silence, n * sizeof(float));
        left -= n;
    }
    latencyRestart = true;
    SDL_PauseAudioDevice(cpcAudioDevice, 0);
}

void audioDeliver() {
    if (!CPC_audio_buffer_length) return;
    if (wavRecorder.active()) wavRecorder.append(CPC_audio_buffer, CPC_audio_buffer_length);
    if (cpcAudioDevice && !silentWhileUnpaced) {
        SDL_QueueAudio(cpcAudioDevice, CPC_audio_buffer, CPC_audio_buffer_length * sizeof(float));
    }
    CPC_audio_buffer_length = 0;
}

double audioFrameEnded(bool& runNow) {
    runNow = false;
    if (!CPC_audio_enable || !cpcAudioDevice || silentWhileUnpaced) {
        audioDeliver();
        return 1.0;
    }
    if (latencyRestart.exchange(false)) {
        latency.setTarget(kAudioQueueTargetSeconds * deviceRate(), deviceRate() * (kFrameMicroseconds / 1e6));
        framesSinceRestart = 0;
    }
    const double before = queuedFrames();
    if (framesSinceRestart > 0 && before == 0) {
        ++audioUnderruns;
        // At most a line a second, however often it runs dry.
        const uint32_t now = SDL_GetTicks();
        if (audioUnderruns == 1 || now - lastUnderrunLog >= 1000) {
            lastUnderrunLog = now;
            SDL_Log("audio: the queue ran dry (%u times since the sound came on)", audioUnderruns);
        }
    }
    audioDeliver();
    const uint32_t queued = queuedFrames();
    latency.observe(queued);
    runNow = latency.runNow(queued);
    CPC_audio_frameCount = static_cast<float>(audioBaseFrameCount / latency.rate());
    if (++framesSinceRestart > kSettlingFrames) {
        const double seconds = queued / static_cast<double>(deviceRate());
        figures.drained += (queued + before) / 2 / deviceRate();
        figures.low = figures.pushes ? std::min(figures.low, seconds) : seconds;
        figures.high = figures.pushes ? std::max(figures.high, seconds) : seconds;
        figures.sum += seconds;
        ++figures.pushes;
    }
    return latency.pacing();
}

bool audioWaitForDevice() {
    if (!CPC_audio_enable || !cpcAudioDevice || silentWhileUnpaced || !latency.waitForDevice(queuedFrames(), false)) {
        return false;
    }
    // A device that stopped taking samples holds the machine back no longer than this.
    for (int ms = 0; ms < 100 && running && latency.waitForDevice(queuedFrames(), true); ++ms) SDL_Delay(1);
    return true;
}

void audioSilentWhileUnpaced(bool silent) {
    if (silent == silentWhileUnpaced) return;
    silentWhileUnpaced = silent;
    if (!cpcAudioDevice) return;
    if (silent) {
        SDL_ClearQueuedAudio(cpcAudioDevice);
    } else {
        audioRestartQueue();
    }
}

void audioCollectWithoutDevice() {
    CPC_audio_frameCount = audioBaseFrameCount = 1000000.0f / kAudioRequestedRate;
    CPC_audio_frameCount_timer = 0.0f;
    CPC_audio_buffer_length = 0;
    CPC_audio_enable = true;
}

int audioOutputRate() { return cpcAudioDevice ? deviceRate() : kAudioRequestedRate; }

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
    cpcAudioSpec.samples = kAudioDeviceFrames;
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
    CPC_audio_frameCount = audioBaseFrameCount = 1000000.0f / static_cast<float>(deviceRate());
    audioUnderruns = 0;
    figures = {};
    std::atomic_thread_fence(std::memory_order_seq_cst);
    CPC_audio_enable = true;
    audioRestartQueue();
}

void disable_sound() {
    if (!CPC_audio_enable) return;
    CPC_audio_enable = false;
    waitForQueueingToEnd();
    logQueueFigures();
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
