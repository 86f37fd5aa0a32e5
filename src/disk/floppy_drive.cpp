#include "disk/floppy_drive.h"

void MakeMFMEnDecodeTable() {}
