// One 3-inch drive with the disk in it, held as raw MFM byte cells: every
// track is five consecutive revolutions of 16-bit words so that weak sectors
// can differ from turn to turn. Turned once per microsecond by the frame clock.
#pragma once
#include <atomic>
#include <cstdint>

#include "disk/mfm_codec.h"
#include "disk/track_info.h"

struct us;

struct trackLengthRecord {
    uint16_t length = 0;          // words per revolution, 0 = unformatted
    uint8_t lastWordNibbles = 0;  // 0..3
};

constexpr int kRevolutionsPerTrack = 5;
constexpr uint16_t kMaxTrackLength = 13107;  // five copies still fit 65535 words
constexpr uint16_t kFormatMaxTrackLength = 6656;
constexpr uint16_t kFormatMinTrackLength = 6350;

class floppyDrive {
public:
    uint8_t headSide = 0;
    bool writeGate = false;
    uint16_t writeWord = 0;
    bool stepLine = false;
    bool stepOutward = false;
    bool motorRunning = false;
    bool ready = false;
    uint16_t readWord = 0;
    uint16_t currentWord = 0;
    bool writeProtected = false;
    bool indexPulse = false;
    bool trackZero = true;
    uint8_t cylinder = 0;
    uint8_t unitNumber = 0;
    uint8_t doubleSided = 0;
    bool sideFlipped = false;
    bool motorOn = false;
    bool spinning = false;
    bool diskInserted = false;
    // The machine wrote or formatted a track since the disk was inserted or last saved.
    bool diskChanged = false;
    // For the main thread, which writes a changed disk back once its drive has stood still: the motor switch, and a
    // count that moves with every word written and track formatted. One writer (the machine), read relaxed.
    std::atomic<uint8_t> motorSwitch{0};
    std::atomic<uint32_t> changeCount{0};
    uint32_t position = 0;
    // One record and one buffer per track index ((cylinder << doubleSided) + head).
    // Every buffer holds room for a formatted track, so FORMAT never allocates.
    trackLengthRecord* trackLengths = nullptr;
    uint16_t** trackBuffers = nullptr;
    uint32_t* trackCapacities = nullptr;  // words each buffer can hold
    int trackCount = 0;
    uint8_t bitCounter = 31;
    uint8_t indexWait = 0;
    uint16_t spinUpTime = 25000;
    uint16_t motorTimer = 25000;
    uint8_t revolution = 0;
    uint8_t lastCylinder = 41;
    uint16_t* trackBuffer = nullptr;
    uint32_t trackLength = 0;
    uint32_t copyEnd = 0;
    uint8_t trackNibbles = 0;
    uint8_t syncWindow = 16;
    uint16_t shiftRegister = 0;
    uint16_t cellMask = 0x8000;
    // The copy ended within a byte cell and the next one has started: the
    // index pulse of that byte boundary is still to come.
    bool indexOwed = false;
    // Quiet: nothing watches the cells (no sync search, no write, no step, no
    // motor change under way), so a microsecond only counts bitCounter and
    // any number of them pass in one go (skip); the cells of each byte cell
    // are shifted at once at its boundary, before the boundary's work, and
    // those of the byte in progress by wake(). Set only at a byte boundary.
    // quietFullByte: whole byte cells passed with no word to load, which
    // leaves the shift register a rotation of readWord.
    bool quiet = false;
    bool quietFullByte = false;
    // The controller's record of the unit this drive is wired to (null when
    // no controller is connected); it learns of ready changes through it.
    us* unitRecord = nullptr;

    floppyDrive() = default;
    ~floppyDrive();
    floppyDrive(const floppyDrive&) = delete;
    floppyDrive& operator=(const floppyDrive&) = delete;

    void init(uint8_t unit);
    // One microsecond.
    void clock() {
        if (quiet) {
            skip(1);
            return;
        }
        turn();
    }
    // Microseconds from the next one on that the drive can pass with skip():
    // none while it turns cell by cell, any number while it is quiet.
    uint32_t quietFor() const { return quiet ? UINT32_MAX : 0; }
    // `microseconds` of a quiet drive, byte-cell boundaries included, as
    // that many calls of clock().
    void skip(uint32_t microseconds) {
        uint32_t count = bitCounter + microseconds;
        for (; count >= 32; count -= 32) {
            bitCounter = 0;
            quietByteBoundary();
        }
        bitCounter = static_cast<uint8_t>(count);
    }
    // Ends a quiet spell: brings the cells up to date. Called before anything
    // that can let data move (motor, disk, write gate, sync search, a step).
    void wake() {
        if (quiet) catchUpCells();
    }
    void start_motor(bool on);
    // Takes over `info` and `buffers` (freed here) built for tracks x (1 + doubleSided).
    void attach_disk(trackInfo* info, uint16_t** buffers, int tracks, uint8_t doubleSidedDisk, int revolutions);
    void eject_disk();
    void flip_side();
    void change_SIDE1_SELECT(bool side);
    void change_READY();
    void change_track();
    bool signal_WP() const { return diskInserted ? writeProtected : true; }
    bool signal_TS() const { return diskInserted ? doubleSided != 0 : true; }

    // FORMAT TRACK: the selected track becomes `length` words of `fill` in all
    // five copies, and the revolution starts again from the index.
    void replace_track(uint32_t length, uint16_t fill);
    // Index of the track under the head.
    int currentTrackIndex() const { return (cylinder << doubleSided) + headSide; }

private:
    void countChange() {
        changeCount.store(changeCount.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    }
    void turn();
    void quietByteBoundary();
    void catchUpCells();
    bool canBeQuiet() const;
    void selectTrack();
    void byteBoundary();
    void stepHead();
    void motorStep();
    void shiftCell();
    void shiftCells(int count);
    void loadNextWord();
    void nextCopy();
    void huntSync();
    void recomputeReady();
    void freeTracks();
};

// The machine's two drives (built by beginCPC).
extern floppyDrive* fd0;
extern floppyDrive* fd1;
