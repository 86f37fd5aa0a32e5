// Loading media by file name: disks into drive A or B, tapes into the deck,
// ejecting and flipping disks, the disk dump and the numbered save names.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

// A disk is loaded in the unit (enables eject, save and the disk icon states).
extern uint8_t t_eject_disk[4];
// A flip is under way; it clears itself a second later.
extern std::atomic<uint8_t> flipSideInUse;

// Loads `path` by its extension (dsk, raw, ipf, hfe into drive `unit` 0 or 1;
// cdt, tzx, wav, csw into the tape deck; sna, snr into a rebuilt machine).
// Disks arrive 100 ms later. True when the file was taken (a disk load
// scheduled, a tape in the deck, a snapshot loaded).
bool load_file_snadsk(const char* path, int unit);
// A loader refused `path`: its name and the reason the loader gave (else
// `fallback`), logged and shown on one line.
void showFileRefusal(const char* path, const char* fallback);
// Ejects the unit's disk now and loads `name` into it 100 ms later.
// Kinds: 'd' DSK or Extended DSK, 'h' HFE, 'i' IPF, 'r' RAW. A disk a
// snapshot named (bySnapshot) is said so on screen and its file never written.
void load_dsk(const char* name, int unit, char kind, bool bySnapshot = false);
// Loads `name` into the unit, or ejects the disk the unit holds; true when a disk was loaded.
bool loadeject_dsk(const char* name, int unit, char kind, bool bySnapshot = false);
// The file the disk in unit 0 or 1 came from; empty without a disk.
std::string loadedDiskPath(int unit);
// Ejects the unit's disk; forgetName also clears the name kept for flipping.
void eject_dsk(int unit, bool forgetName);
// Shift+F1/F2 (unit 0/1) and Shift+F3 (unit 255, the tape): turns a
// double-sided disk over, or loads the other file of a set ("Face A"/"Face B",
// "Side 1"/"Side 2", "Disk 1A"/"Disk 1B") from the same directory.
bool flipSide(uint8_t unit, const char* name);
// Right click on a drive icon: writes the unit's tracks to a numbered .bin file.
void save_dsk(int unit);
// Numbered save name from the last loaded file: base + "_000" to "_999" and
// the extension of `kind` ('s' sna, 'p' png, 'b' bmp, 'd' dsk, 'w' wav, other bin), the
// first that does not exist. Null when all thousand exist. `loaded` names the
// file to number after instead of the last loaded one.
char* save_find_enum(char* buffer, char kind, const char* directory, const char* loaded = nullptr);
// The Insert key: types "cat" (French keyboard: "cqt") unless an autorun runs.
void autorun_cat();
