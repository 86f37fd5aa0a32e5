// SNA snapshots: the whole machine in one file, read and written.
// A file is read and checked in full into an SnaImage before anything of the
// machine changes, so that a refused file leaves the machine as it was.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr size_t kSnaHeaderSize = 256;
constexpr size_t kSnaBankGroupSize = 65536;
// Largest file taken: 4160 KB of memory chunks and a long recorded session.
constexpr size_t kSnaMaxFileSize = 64u * 1024 * 1024;

// Header offsets the loader and the writer share.
enum SnaOffset : size_t {
    kSnaVersion = 0x10, kSnaRegisters = 0x11, kSnaPenSelect = 0x2E, kSnaPens = 0x2F, kSnaModeRom = 0x40,
    kSnaRamConfig = 0x41, kSnaCrtcSelect = 0x42, kSnaCrtcRegs = 0x43, kSnaUpperRom = 0x55, kSnaPpi = 0x56,
    kSnaAySelect = 0x5A, kSnaAyRegs = 0x5B, kSnaDumpSize = 0x6B, kSnaMachineType = 0x6D, kSnaRamFlags = 0x9A,
    kSnaFloppyMotor = 0x9C, kSnaFloppyTracks = 0x9D, kSnaCrtcType = 0xA4, kSnaCrtcC0 = 0xA9, kSnaCrtcC4 = 0xAB,
    kSnaCrtcC9 = 0xAC, kSnaCrtcC5 = 0xAD, kSnaCrtcC3l = 0xAE, kSnaCrtcC3h = 0xAF, kSnaSyncFlags = 0xB0,
    kSnaVsyncDelay = 0xB2, kSnaIntCounter = 0xB3, kSnaIntPending = 0xB4,
    // Plus only: raster interrupt and DMA status, ASIC lock; B7 tells a Plus writer.
    kSnaPlusIntStatus = 0xB5, kSnaPlusLock = 0xB6, kSnaPlusMarker = 0xB7,
};

struct SnaImage {
    uint8_t header[kSnaHeaderSize] = {};
    uint8_t version = 0;
    bool chunked = false;      // version 3 with no dump: memory came in chunks
    uint16_t ramKB = 0;        // RAM size the file asks for
    std::vector<uint8_t> ram;  // the banks in order, 16384 bytes each
    std::string diskA, diskB, cartridge;  // names recorded by DSCA, DSCB and ROMS
    bool hasSnr = false;
    uint8_t snrKeyboard[10] = {};
    std::vector<uint8_t> snrStream;
    // The "CPC+" chunk's data: the ASIC's state of a Plus snapshot.
    std::vector<uint8_t> plusChunk;
};

// Reads a snapshot from memory; false (with a log line naming `name`) when it
// is not one or is truncated or corrupt. Nothing of the machine is touched.
bool parseSNA(const uint8_t* data, size_t size, SnaImage& image, const char* name);
// The same for the file open in the file layer.
bool readSNA(SnaImage& image, const char* name);
// The model a snapshot's machine type byte (6Dh) selects; 6128 for unknown bytes.
uint8_t snaModelFor(uint8_t typeByte);
// The model the snapshot file at `path` would start, read and checked as a
// load reads it (through the file layer's one open file); NoModel when the
// file is not a snapshot the loader takes.
uint8_t snaFileModel(const char* path);
// Puts a parsed snapshot into the machine (stopped by the caller, model already built).
void applySNA(const SnaImage& image);
// Loads the snapshot open in the file layer into the stopped machine.
bool fileSNA(const char* path);

// Size of the image fileSaveSNA() builds: header and every RAM bank.
size_t snaSaveSize();
// A new[]-allocated image of the stopped machine, snaSaveSize() bytes. The
// machine is first stepped to the end of the instruction under way, so that
// the registers are those a program sees between two instructions.
uint8_t* fileSaveSNA();
// The same image into `out` (snaSaveSize() bytes) as the machine stands, for
// a caller that took it between two instructions (snaBoundaryNow()).
void writeSNAInto(uint8_t* out);
// The processor stands between two instructions, where a snapshot needs no settling.
bool snaBoundaryNow();
// Writes fileSaveSNA()'s image to `path` through a temporary file, so that a
// failure leaves any file there as it was; false, with the reason logged
// ("Error writing snapshot file NAME: why") and in `error`, when it fails.
bool writeSNAFile(const char* path, std::string* error = nullptr);

// Names recorded by the last snapshot loaded (empty when none).
extern char CPRAFileName[512];
extern char DSCAFileName[512];
extern char DSCBFileName[512];
void clearSnapshotNames();
