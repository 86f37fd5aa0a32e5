// IPF preservation images: a chain of "CAPS" records that describe every
// track as blocks of sync, data, gap, raw and fuzzy stream elements plus a
// gap description, rendered here into MFM words. Fuzzy areas become weak
// sectors that the drive varies from one revolution to the next.
#pragma once
#include <cstdint>

class floppyDrive;

// Reads the image open in the file layer into `drive`; 1 on success, 0 when
// the file is not an IPF image or fails a check (the drive is then untouched).
int fileIPF(floppyDrive* drive);
