// Saved work is never lost: a disk the machine wrote to is written out as an
// Extended DSK soon after its drive stops, and again before it leaves the
// drive (eject, another disk, model change, end of the program) if it changed
// since, in place for DSK files, as a numbered copy otherwise.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

enum class DiskWritePolicy : uint8_t { Back, Copy, Off };
extern DiskWritePolicy diskWritePolicy;

// "back", "copy" or "off" (any case); false, policy unchanged, for anything else.
bool setDiskWritePolicy(const char* text);
// Remembers the file the disk in `unit` (0, 1) was loaded from (a link followed to its file) as it is now, and
// removes the temporary files an interrupted write left beside it. A disk a snapshot inserted, a file with other
// hard links, in both drives or changed by another program since is written to a numbered copy, never in place.
void noteDiskImage(int unit, const char* path, bool insertedBySnapshot = false);
// Writes the unit's disk when the machine changed it, as the policy says, and
// shows where it went; false only when writing failed. The disk stays in the drive.
bool writeBackDisk(int unit);
// A changed disk is written once its drive's motor has been off this long after the last write or format.
constexpr uint32_t kWriteBackAfterStillMs = 2000;
// Main thread, once per pass of the main loop or headless frame: writes each changed disk whose drive has stood
// still long enough (host time, emulated time in a headless run); one look at two counters otherwise.
void writeBackStillDisks();
// What became of the last disk written from `unit` ("NAME written back",
// "written to NAME_000.dsk", ...), once; empty when nothing was written.
std::string takeWriteBackNote(int unit);
// Both drives, for a machine or program that is going away.
void writeBackAllDisks();
// --new-disk: a blank DATA disk in a new file `path`, loaded into drive A;
// refused, and counted as a file that failed, when the file exists or cannot be written.
bool createNewDisk(const char* path);
// SIGINT, SIGTERM, SIGHUP and SIGQUIT end the run the ordinary way, so that disks are saved.
void installStopSignals();
// Disk writes that failed in this run (each reported as it failed), for the exit code of a headless run.
int diskWriteFailures();
