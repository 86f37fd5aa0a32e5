#include "disk/floppy_drive.h"

#include "disk/fdc765.h"
#include "machine/shared_flag.h"

floppyDrive::~floppyDrive() {
    // Whichever of drive and controller goes first unhooks itself from the other.
    if (unitRecord && unitRecord->controller) {
        FDCupd765* controller = unitRecord->controller;
        for (us* unit : controller->units) {
            if (unit && unit->drive == this) unit->attachFD(nullptr);
        }
        if (controller->currentDrive == this) controller->currentDrive = nullptr;
    }
    freeTracks();
}

void floppyDrive::init(uint8_t unit) {
    freeTracks();
    headSide = 0;
    writeGate = false;
    writeWord = 0;
    stepLine = stepOutward = false;
    motorRunning = ready = false;
    readWord = currentWord = 0;
    writeProtected = false;
    indexPulse = false;
    trackZero = true;
    cylinder = 0;
    unitNumber = unit;
    doubleSided = 0;
    sideFlipped = motorOn = spinning = diskInserted = false;
    storeFlag(motorSwitch, 0);
    position = 0;
    bitCounter = 31;
    indexWait = 0;
    spinUpTime = motorTimer = 25000;
    revolution = 0;
    lastCylinder = 41;
    trackNibbles = 0;
    syncWindow = 16;
    shiftRegister = 0;
    cellMask = 0x8000;
    quiet = quietFullByte = false;
    indexOwed = false;
}

void floppyDrive::start_motor(bool on) {
    if (motorOn == on) return;
    wake();
    motorOn = on;
    storeFlag(motorSwitch, on);
    if (motorTimer == 0) motorTimer = spinUpTime;  // a change under way is not restarted
    if (!on) indexWait = 0;
}

void floppyDrive::recomputeReady() {
    bool now = spinning && indexWait == 0 && diskInserted && trackBuffer != nullptr;
    if (now == ready) return;
    ready = now;
    if (unitRecord) unitRecord->ready_change();
}

void floppyDrive::change_READY() {
    wake();
    recomputeReady();
    selectTrack();
}

void floppyDrive::change_track() { change_READY(); }

void floppyDrive::selectTrack() {
    int index = currentTrackIndex();
    if (diskInserted && index < trackCount && trackLengths[index].length) {
        trackBuffer = trackBuffers[index];
        trackLength = trackLengths[index].length;
        trackNibbles = trackLengths[index].lastWordNibbles;
    } else {
        trackBuffer = nullptr;
        trackLength = 0;
        trackNibbles = 0;
    }
    copyEnd = trackLength * (revolution + 1u);
    if (position >= copyEnd) {
        revolution = 0;
        copyEnd = trackLength;
    }
    position = copyEnd ? position % copyEnd : 0;
}

void floppyDrive::change_SIDE1_SELECT(bool side) {
    wake();
    if (!doubleSided) {
        headSide = 0;
        return;
    }
    headSide = side ? 1 : 0;
    selectTrack();
}

// One cell every 2 us; the word loads and the sync search are the rare parts.
inline void floppyDrive::shiftCell() {
    const uint16_t source = writeGate ? writeWord : readWord;
    shiftRegister = static_cast<uint16_t>((shiftRegister << 1) | ((source & cellMask) ? 1 : 0));
    cellMask >>= 1;
    if (!cellMask) loadNextWord();
    if (unitRecord && unitRecord->hunting) huntSync();
}

// Nothing looks at the cells one by one: no sync search, no write, no step
// and no motor change under way.
inline bool floppyDrive::canBeQuiet() const {
    return motorTimer == 0 && !writeGate && !stepLine && !(unitRecord && unitRecord->hunting);
}

// Cells as shiftCell() shifts them with no sync search and no write.
void floppyDrive::shiftCells(int count) {
    for (; count > 0; --count) {
        shiftRegister = static_cast<uint16_t>((shiftRegister << 1) | ((readWord & cellMask) ? 1 : 0));
        cellMask >>= 1;
        if (!cellMask) loadNextWord();
    }
}

// The sixteen cells of the byte cell that ends here, then the boundary.
[[gnu::noinline]] void floppyDrive::quietByteBoundary() {
    if (motorRunning && trackBuffer) {
        shiftCells(16);  // the whole register
        quietFullByte = false;
    } else {
        quietFullByte = true;  // no word loads while the motor is stopped or there is no track
    }
    byteBoundary();  // changes none of what canBeQuiet() asks (a ready change only ends a sync search)
}

// The cells the quiet microseconds have not shifted yet: whole byte cells
// without loads leave readWord rotated by the cell position, and the byte
// cell in progress has had one shift on each odd count.
[[gnu::noinline]] void floppyDrive::catchUpCells() {
    quiet = false;
    if (quietFullByte) {
        const unsigned j = static_cast<unsigned>(__builtin_clz(cellMask) - 16);
        shiftRegister = static_cast<uint16_t>((readWord << j) | (readWord >> ((16 - j) & 15)));
        quietFullByte = false;
    }
    shiftCells((bitCounter + 1) / 2);
}

void floppyDrive::turn() {
    wake();
    if (stepLine) {
        stepHead();
    } else {
        const uint8_t count = static_cast<uint8_t>(bitCounter + 1);
        if (count & 1) {
            bitCounter = count;
            shiftCell();
        } else if (count == 32) {
            bitCounter = 0;
            byteBoundary();
        } else {
            bitCounter = count;
        }
    }
    if (motorTimer) motorStep();
    if (!bitCounter && canBeQuiet()) quiet = true;
}

[[gnu::noinline]] void floppyDrive::stepHead() {
    if (!stepOutward) {
        if (cylinder < lastCylinder) ++cylinder;
    } else if (!trackZero) {
        --cylinder;
    }
    trackZero = cylinder == 0;
    selectTrack();
    bitCounter = 0;
    byteBoundary();
}

[[gnu::noinline]] void floppyDrive::motorStep() {
    --motorTimer;
    if (motorTimer == spinUpTime / 2) {
        spinning = motorOn;
        if (motorOn) indexWait = 2;
    }
    if (motorTimer == 0) {
        motorRunning = motorOn;
        if (!motorOn) recomputeReady();
    }
}

[[gnu::noinline]] void floppyDrive::loadNextWord() {
    cellMask = 0x8000;
    if (!motorRunning || !trackBuffer) return;
    if (position >= copyEnd) {
        // A short final word ended inside a byte cell: the next copy follows
        // at once, and its index pulse comes at the byte boundary.
        if (!trackNibbles || indexOwed) return;
        nextCopy();
        indexOwed = true;
    }
    readWord = trackBuffer[position++];
    // A track whose length is not a whole number of words ends on a short word.
    if (trackNibbles && position == copyEnd) cellMask = static_cast<uint16_t>(0x8000 >> (16 - 4 * trackNibbles));
}

void floppyDrive::nextCopy() {
    if (++revolution == kRevolutionsPerTrack) {
        revolution = 0;
        position = 0;
        copyEnd = trackLength;
    } else {
        position = copyEnd;
        copyEnd += trackLength;
    }
}

[[gnu::noinline]] void floppyDrive::huntSync() {
    bool match = shiftRegister == kMfmSyncA1 || shiftRegister == kMfmIndexSyncC2;
    // A pattern only opens a window of sixteen cells; one that comes within it
    // realigns the byte cells on itself (the next microsecond ends a byte).
    // The 00 bytes before a mark give a C2 pattern five cells ahead of the
    // first A1, so marks realign and a stray A1 in a gap does not.
    if (!syncWindow) {
        if (match) syncWindow = 16;
        return;
    }
    --syncWindow;
    if (match) {
        if (syncWindow) bitCounter = 31;
        syncWindow = 16;
    }
}

void floppyDrive::byteBoundary() {
    if (position >= copyEnd || indexOwed) {
        indexPulse = true;
        if (indexWait && --indexWait == 0) recomputeReady();
        if (indexOwed) {
            indexOwed = false;
        } else {
            nextCopy();
        }
    } else {
        indexPulse = false;
    }
    if (!diskInserted || !motorRunning) return;
    if (writeGate) {
        shiftRegister = writeWord;
        if (trackBuffer && trackLength) {
            // The word that has just passed the head sits two words behind the next one to load.
            uint32_t index = (position % trackLength + trackLength * 2 - 2) % trackLength;
            for (int copy = 0; copy < kRevolutionsPerTrack; ++copy) trackBuffer[copy * trackLength + index] = writeWord;
            diskChanged = true;
            countChange();
        }
    }
    currentWord = shiftRegister;
}

void floppyDrive::replace_track(uint32_t length, uint16_t fill) {
    wake();
    int index = currentTrackIndex();
    if (!diskInserted || index >= trackCount) return;
    uint32_t capacity = trackCapacities[index] / kRevolutionsPerTrack;
    if (length > capacity) length = capacity;
    if (length > kMaxTrackLength) length = kMaxTrackLength;
    uint16_t* buffer = trackBuffers[index];
    for (uint32_t i = 0; i < length * kRevolutionsPerTrack; ++i) buffer[i] = fill;
    trackLengths[index].length = static_cast<uint16_t>(length);
    trackLengths[index].lastWordNibbles = 0;
    diskChanged = true;
    countChange();
    position = 0;
    revolution = 0;
    indexOwed = false;
    bool hadBuffer = trackBuffer != nullptr;
    selectTrack();
    if (!hadBuffer) recomputeReady();
}
