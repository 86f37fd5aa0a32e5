// SNR replay: recorded keyboard input, played back one picture frame at a
// time from the monitor's vertical retrace, so that a run repeats exactly.
#pragma once
#include <cstddef>
#include <cstdint>

extern bool SNRPlaying;
extern uint8_t* SNRBuffer;  // the recorded stream (built by beginCPC)
extern uint32_t SNRValCount;  // length of SNRBuffer
extern uint32_t SNRIdx;
extern uint32_t SNRFrameCount;  // frames to the next record
extern uint32_t SNRLastIdxKeyStroke;
extern uint8_t SNRLastNBKeyStroke;

// Takes the keyboard lines 0-9 and a copy of the recorded stream, reads the
// first delay and starts the replay.
void startSNR(const uint8_t keyboardLines[10], const uint8_t* stream, size_t length);
void stopSNR();
void clearSNRCounters();
// One frame of replay, at the start of each monitor vertical retrace.
void playSNR();
