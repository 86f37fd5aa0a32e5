// A headless machine started in this process as `kestrix --headless <options>`
// starts it, and a record of each frame: picture, samples, every chip, hashed.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "support/temp_home.h"

namespace test_support {

enum FramePart {
    kPartPicture,
    kPartAudio,
    kPartZ80,
    kPartCrtc,
    kPartGateArray,  // with the ASIC on a Plus, and the beam
    kPartAy,
    kPartPpiKeyboard,
    kPartDisk,  // controller and both drives
    kPartTape,
    kPartMemory,
    kFrameParts
};
const char* framePartName(int part);

struct FrameRecord {
    uint64_t part[kFrameParts] = {};
    bool operator==(const FrameRecord&) const = default;
};

// Samples collected without a device: stereo, or mono (with the tape noise
// or, after -d, the Digiblaster).
enum class AudioMode { Mono, Stereo };

// Starts the machine with `options` (a command line without the program
// name) in `home`, sound collected in `audio`; false when the start or an
// option failed. stopInProcessHeadless() takes it down again.
bool startInProcessHeadless(const TempKestrixHome& home, const std::vector<std::string>& options, AudioMode audio);
void stopInProcessHeadless();

// The record of the frame just run. The audio buffer is emptied for the
// next frame (a frame's samples never fill it).
FrameRecord recordFrame();

// Starts, runs `frames` frames through `runFrame`, records each, stops.
// Empty when the start failed.
std::vector<FrameRecord> recordRun(const TempKestrixHome& home, const std::vector<std::string>& options,
                                   AudioMode audio, int frames, void (*runFrame)());

// The first frame and part in which two records differ, as text; empty when equal.
std::string firstDifference(const std::vector<FrameRecord>& expected, const std::vector<FrameRecord>& actual);

uint32_t crc32Of(const void* data, size_t size, uint32_t crc = 0);

}  // namespace test_support
