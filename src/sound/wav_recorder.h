// Records the samples the frame clock makes as a 16-bit stereo WAV file. The
// file is written under a temporary name beside the target and renamed over
// it when the recording stops, so a stopped recording is always whole.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

class WavRecorder {
public:
    // False (logged) when the temporary file cannot be made; a recording in
    // progress is stopped first.
    bool start(const char* path);
    // Interleaved left/right samples, clipped to -1..1 and rounded to 16 bits.
    void append(const float* samples, size_t floats);
    // Writes the header for `rate` Hz and renames the file into place; false
    // (logged, the temporary file removed) when any write failed.
    bool stop(int rate);
    bool active() const { return file_ != nullptr; }
    const std::string& path() const { return path_; }

private:
    std::FILE* file_ = nullptr;
    std::string path_, temporary_;
    uint64_t dataBytes_ = 0;
    bool failed_ = false;
};

// The one recording of the program (appended to on the emulation thread,
// started and stopped with the machine held).
extern WavRecorder wavRecorder;

// One sample as the file holds it.
int16_t wavSampleOf(float sample);
