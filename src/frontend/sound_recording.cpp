#include "frontend/sound_recording.h"

#include "machine/base_path.h"
#include "machine/emulation_thread.h"
#include "machine/frontend_hooks.h"
#include "sound/audio_output.h"
#include "sound/wav_recorder.h"

bool startWavRecording(const char* path) {
    if (headlessMode && !CPC_audio_enable) audioCollectWithoutDevice();
    const bool started = withEmulationStopped([path] {
        if (wavRecorder.active()) wavRecorder.stop(audioOutputRate());
        return wavRecorder.start(path);
    });
    if (started) {
        textShowOSD("\366 Recording the sound to %s \367", fileNamePart(path));
    } else {
        textShowOSD("\366 Cannot record the sound to %s ! \367", fileNamePart(path));
    }
    return started;
}

bool stopWavRecording() {
    if (!wavRecorder.active()) return true;
    const bool written = withEmulationStopped([] {
        audioDeliver();
        return wavRecorder.stop(audioOutputRate());
    });
    const char* name = fileNamePart(wavRecorder.path().c_str());
    if (written) {
        textShowOSD("\366 Sound recorded to %s \367", name);
    } else {
        textShowOSD("\366 Error writing the sound to %s ! \367", name);
    }
    return written;
}

bool wavRecordingActive() { return wavRecorder.active(); }
