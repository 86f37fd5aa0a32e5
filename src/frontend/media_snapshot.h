// Snapshot side of media loading: loading a .sna or .snr file into a rebuilt
// machine with the cartridge and disks it names, and F6's numbered saves.
#pragma once

// Loads the snapshot at `path`: reads and checks the whole file first (a bad
// file leaves the machine as it was), rebuilds the model the file names,
// restores it and loads the recorded cartridge and disks. True when loaded.
bool load_snapshot_file(const char* path);
// F6 and the snapshot icon: writes the machine to the next numbered .sna
// beside the last loaded file (or in the "filepathsna" directory).
void save_sna();
