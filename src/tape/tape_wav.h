// PCM WAV recordings of tapes: each sample is read as a high or low level.
#pragma once

// Reads the image open in the file layer; 1 when the tape is in the deck.
int fileWAVE(const char* name);
