// Builders of DSK images and a bench that runs the controller and two drives
// microsecond by microsecond with the CPU side played by the test.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "disk/fdc765.h"
#include "disk/floppy_drive.h"

namespace disk_test {

struct Sector {
    uint8_t C = 0, H = 0, R = 1, N = 2;
    uint8_t ST1 = 0, ST2 = 0;
    std::vector<uint8_t> data;  // stored bytes; empty means size(N) bytes of a pattern
};

struct Track {
    uint8_t track = 0, side = 0;
    uint8_t N = 2, gap3 = 78, filler = 0xE5;
    std::vector<Sector> sectors;
};

// Bytes of sector `r` on cylinder `c`: recognisable and never constant.
std::vector<uint8_t> patternData(uint8_t c, uint8_t r, size_t size);
// A track of `count` sectors R = 1..count of 512 bytes filled by patternData.
Track standardTrack(uint8_t cylinder, uint8_t side = 0, int count = 9);
std::vector<uint8_t> buildImage(const std::vector<Track>& tracks, int trackCount, int sides, bool extended);
// Three small images with the cases a loader must take: a standard DSK, an
// Extended one with odd statuses, weak, long and short sectors, two sides.
std::vector<std::vector<uint8_t>> sampleImages();
// Writes the bytes to a fresh file under the test's temporary directory.
std::string writeTempFile(const std::string& name, const std::vector<uint8_t>& bytes);
// Opens the bytes through the file layer and runs `loader` on `drive`; -1
// when the file cannot be opened.
int loadWith(int (*loader)(floppyDrive*), floppyDrive& drive, const std::vector<uint8_t>& bytes,
             const char* name = "image.bin");
// The same with the DSK reader.
int loadImage(floppyDrive& drive, const std::vector<uint8_t>& bytes);

struct Execution {
    std::vector<uint8_t> data;    // bytes the CPU read in execution
    std::vector<uint8_t> result;  // result bytes in the order read
    uint64_t microseconds = 0;
};

class Bench {
public:
    FDCupd765 fdc;
    floppyDrive driveA, driveB;
    uint64_t now = 0;
    // The drives turn every microsecond in full, never quiet (the reference
    // the quiet spells are checked against).
    bool drivesNeverQuiet = false;

    Bench();
    void tick(uint64_t microseconds = 1);
    uint8_t status();
    uint8_t readData();
    void writeData(uint8_t byte);
    // Writes each byte when the controller asks for one; false if it never does.
    bool command(std::initializer_list<uint8_t> bytes);
    bool command(const std::vector<uint8_t>& bytes);
    std::vector<uint8_t> result(uint64_t timeoutUs = 4000000);
    // Runs a command through execution and result, reading what it offers
    // and supplying `supply` bytes in turn when it asks for them.
    Execution run(const std::vector<uint8_t>& bytes, const std::vector<uint8_t>& supply = {},
                  uint64_t timeoutUs = 4000000, bool takeData = true);
    // Motor on and wait for ready; false when the drive never gets ready.
    bool spinUp(floppyDrive& drive, uint64_t timeoutUs = 2000000);
    void specify(uint8_t srt = 0x0F, uint8_t hut = 1, uint8_t hlt = 1);
    // Seek the unit's head to `cylinder` and collect the interrupt.
    std::vector<uint8_t> seekTo(uint8_t unit, uint8_t cylinder);
};

// READ DATA style command bytes: code | MFM (0x40), then HD/US, C, H, R, N, EOT, GPL, DTL.
std::vector<uint8_t> sectorCommand(uint8_t code, uint8_t unit, uint8_t c, uint8_t h, uint8_t r, uint8_t n,
                                   uint8_t eot, uint8_t gpl = 0x2A, uint8_t dtl = 0xFF);

}  // namespace disk_test
