// Recording what the machine plays into a WAV file, for the option, keys and
// menus: the machine is held while the recording starts or stops.
#pragma once

// Starts a recording into `path` (one in progress is ended first); headless,
// the frame clock starts making samples for it. False, said on screen, when
// the file cannot be made.
bool startWavRecording(const char* path);
// Ends the recording in progress and puts the file in place; false, said on
// screen, when writing it failed. True when nothing was recording.
bool stopWavRecording();
bool wavRecordingActive();
