// DSK ("MV - CPC") and Extended DSK images: every track is rebuilt as the MFM
// stream a uPD765 would have formatted, with the marks left out and the CRCs
// spoilt where the image's sector status bytes say so.
#pragma once
#include <cstdint>

class floppyDrive;

// Reads the image open in the file layer into `drive`; 1 on success, 0 when
// the file is not a DSK image (the drive is then left as it was).
int fileDSK(floppyDrive* drive);
// Moves the file position up to the next multiple of 256.
void fileDSKSkipUnused();
// Writes the drive's tracks as one decoded byte per MFM word, five
// revolutions per track; false when the file cannot be written.
bool writeDiskTrackDump(floppyDrive* drive, const char* path);
// Reads the image open in the file layer into `drive` with the reader of a
// disk kind of the media table ('d' DSK, 'h' HFE, 'i' IPF, 'r' RAW); 1 on success.
int readDiskImage(floppyDrive* drive, char kind);
