// The uPD765 floppy controller of the 664, 6128 and 6128+, working on the MFM
// byte cells that pass under the selected drive's head: it finds sync marks,
// ID and data fields and CRCs in the stream as the chip does. The CPU reaches
// it through ports &FB7E (main status) and &FB7F (data); the frame clock calls
// clock() once per microsecond, before the drives.
#pragma once
#include <atomic>
#include <cstdint>

#include "disk/floppy_drive.h"

class FDCupd765;

// Activity LED of each unit, lit while a data command runs on it.
extern std::atomic<uint8_t> t_led_disk[4];

// The controller's record of one unit (US0..US3), separate from the drive.
struct us {
    floppyDrive* drive = nullptr;
    FDCupd765* controller = nullptr;
    uint8_t unit = 0;
    uint8_t pcn = 0;
    uint8_t ncn = 0;
    bool noDrive = true;
    bool interruptPending = false;
    bool seekEnd = false;
    bool readyChanged = false;
    bool seeking = false;
    bool recalibrating = false;
    uint8_t recalibrateStepsLeft = 77;
    bool hunting = false;  // looking for sync marks: the drive realigns its byte cells meanwhile

    void attachFD(floppyDrive* newDrive);
    void ready_change();
};

// Command codes (low five bits of the first command byte).
enum FdcCommand : uint8_t {
    kFdcInvalid = 0x00,
    kFdcReadTrack = 0x02,
    kFdcSpecify = 0x03,
    kFdcSenseDriveStatus = 0x04,
    kFdcWriteData = 0x05,
    kFdcReadData = 0x06,
    kFdcRecalibrate = 0x07,
    kFdcSenseInterruptStatus = 0x08,
    kFdcWriteDeletedData = 0x09,
    kFdcReadId = 0x0A,
    kFdcReadDeletedData = 0x0C,
    kFdcFormatTrack = 0x0D,
    kFdcSeek = 0x0F,
    kFdcScanEqual = 0x11,
    kFdcScanLowOrEqual = 0x19,
    kFdcScanHighOrEqual = 0x1D,
};

class FDCupd765 {
public:
    using stepRoutine = void (FDCupd765::*)();

    floppyDrive* currentDrive = nullptr;
    us* units[4] = {};
    uint8_t dataIn = 0;
    uint8_t mainStatus = 0x80;
    uint8_t dataOut = 0;
    uint16_t rawWord = 0;
    uint16_t crc = 0xFFFF;
    uint16_t crcRead = 0;
    uint8_t resultCount = 0;
    uint8_t resultBytes[7] = {};  // read out from the highest index down
    uint8_t command = 0;
    uint8_t commandCode = 0;
    uint8_t commandByteIndex = 0;
    uint8_t stepIndex = 0;
    stepRoutine currentStep = nullptr;
    stepRoutine stepTable[5][8] = {};
    uint8_t subState = 0;
    uint16_t byteCounter = 0;
    uint16_t sectorBytesLeft = 0;
    uint16_t dtlSkip = 0;
    bool seekActive = false;
    uint8_t phase = 0;
    stepRoutine phaseHandler = nullptr;
    uint8_t C = 0, H = 0, R = 0, N = 0, EOT = 0, GPL = 0, DTL = 0, STP = 0, SC = 0, D = 0;
    uint8_t MT = 0, MFM = 0, SK = 0, HD = 0, US = 0, HUT = 0, SRT = 0, HLT = 0, ND = 1;
    // A SPECIFY came since the reset (the disk ROM gives one when it starts).
    bool specified = false;
    uint8_t resultC = 0, resultH = 0, resultR = 0, resultN = 0;
    uint8_t idC = 0, idH = 0, idR = 0, idN = 0;  // the ID field being read
    uint8_t sectorCounter = 0;
    uint8_t indexCount = 0;
    bool scanNotSatisfied = false;
    bool scanHit = false;
    uint8_t st0 = 0, st1 = 0, st2 = 0, st3 = 0;
    uint32_t startDelay = 0;  // head load time can reach 512 ms
    uint16_t stepTimer = 0;
    uint8_t senseCounter = 0;
    uint8_t interruptUnit = 0;  // unit reported by SENSE INTERRUPT STATUS

    FDCupd765();
    ~FDCupd765();
    FDCupd765(const FDCupd765&) = delete;
    FDCupd765& operator=(const FDCupd765&) = delete;

    // A snapshot's disk ROM has long since given its SPECIFY, which a
    // controller fresh from reset never saw: take the disk ROM's timings
    // (SRT 10, HUT 1, HLT 1), else every seek waits 32 ms a step and the
    // disk ROM gives up on it.
    void assumeDiskRomSpecify();
    void reset(floppyDrive* driveA, floppyDrive* driveB, floppyDrive* driveC, floppyDrive* driveD, bool fourUnits);
    void enable();
    // One microsecond; an idle controller with no head stepping has nothing to do.
    void clock() {
        if (seekActive || phase != 0) clockBusy();
    }
    // Microseconds from the next one on in which clock() would change
    // nothing: a seek and the command phase count every one, the execution
    // phase acts in the microsecond after its drive's byte cell (it sees
    // bitCounter 0, as it is clocked before the drives), and the idle and
    // result phases wait for the processor.
    uint32_t quietFor() const {
        if (seekActive || phase == 1) return 0;
        if (phase != 2 || !currentDrive) return UINT32_MAX;
        const uint32_t cell = currentDrive->bitCounter;
        return cell ? 32 - cell : 0;
    }
    // Those microseconds change nothing, so passing them takes no work.
    void skip(uint32_t) {}
    void sense_drive_status();
    void select_fd_unit();
    void change_side();
    void seek(uint8_t unit);

    // Phases.
    void phase_idle() {}
    void phase_command();
    void phase_execution();
    void phase_result() {}
    void set_command();
    void set_execution();
    void set_result();
    void set_idle();
    void go_idle();
    void next_sub_command();
    void set_sub_command(uint8_t step);

    // Step programs, one call per byte cell.
    void sub_command_wait_IndexHole();
    void sub_command_wait_preIndexGap();
    void sub_command_wait_gap1();
    void sub_command_read_IDR();
    void sub_command_read_gap2();
    void sub_command_read_user_data();
    void sub_command_scan_user_data();
    void sub_command_read_CRC_data();
    void sub_command_read_gap3();
    void sub_command_write_Gap2();
    void sub_command_write_user_data();
    void sub_command_write_CRC_data();
    void sub_command_write_gap3();
    void sub_command_format_preIndexGap();
    void sub_command_format_gap1();
    void sub_command_format_IDR();
    void sub_command_format_Gap2();
    void sub_command_format_user_data();
    void sub_command_format_gap3();

private:
    void clockBusy();
    // The drives stop reporting to these unit records.
    void unhookDrives();
    void writeDataRegister(uint8_t byte);
    void storeParameter(uint8_t byte);
    void senseInterruptStatus();
    void loadProgram(int row, uint8_t firstStep);
    void loadStepPrograms();
    bool syncFound();
    void setHunting(bool on);
    void idFieldRead();
    void takeSector(uint8_t n);
    void restartSearch();
    void endOfSector();
    void writeToDisk(uint16_t word);
    bool isScan() const;
    bool isDataCommand(uint8_t code) const;
};

// The machine's floppy controller (built by beginCPC).
extern FDCupd765* fdc;
