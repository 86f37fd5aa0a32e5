// The uPD765's bus side: main status and data register, command bytes,
// phases, results, seeks and the unit records.
#include "disk/fdc765.h"

#include "machine/cpu.h"
#include "machine/shared_flag.h"

std::atomic<uint8_t> t_led_disk[4] = {};

namespace {

// Bytes of each command including the first; 0 = not a command.
constexpr uint8_t kCommandLength[32] = {
    0, 0, 9, 3, 2, 9, 9, 2, 1, 9, 2, 0, 9, 6, 0, 3,
    0, 9, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0, 9, 0, 0,
};

bool isReadLike(uint8_t code) {
    return code == kFdcReadTrack || code == kFdcReadData || code == kFdcReadId || code == kFdcReadDeletedData ||
           code == kFdcScanEqual || code == kFdcScanLowOrEqual || code == kFdcScanHighOrEqual;
}

bool isWrite(uint8_t code) {
    return code == kFdcWriteData || code == kFdcWriteDeletedData || code == kFdcFormatTrack;
}

// Commands whose parameters carry C, H, R, N, EOT, GPL and DTL or STP.
bool hasSectorParameters(uint8_t code) { return kCommandLength[code & 0x1F] == 9; }

}  // namespace

void us::attachFD(floppyDrive* newDrive) {
    drive = newDrive;
    noDrive = newDrive == nullptr;
    recalibrateStepsLeft = 77;
    pcn = ncn = 0;
    interruptPending = seekEnd = readyChanged = false;
    seeking = recalibrating = false;
    hunting = false;
}

void us::ready_change() {
    FDCupd765* f = controller;
    if (!f) return;
    bool executing = f->phase == 2;
    f->startDelay = uint32_t(f->HLT) * 4000 + 4000;
    if (drive && f->units[f->US]->drive == drive) {
        if (drive->ready) {
            f->st0 &= static_cast<uint8_t>(~0x08);
        } else {
            f->st0 |= 0x08;
            if (executing && f->stepIndex <= 3) {
                f->st0 = static_cast<uint8_t>((f->st0 & 0x7F) | 0x48);
                f->set_result();
            }
        }
    }
    if (executing) interruptPending = readyChanged = true;
}

FDCupd765::FDCupd765() {
    for (uint8_t i = 0; i < 4; ++i) {
        units[i] = new us();
        units[i]->controller = this;
        units[i]->unit = i;
    }
    loadStepPrograms();
    currentStep = stepTable[1][0];
    phaseHandler = &FDCupd765::phase_idle;
}

void FDCupd765::unhookDrives() {
    for (us* unit : units) {
        if (unit->drive && unit->drive->unitRecord == unit) unit->drive->unitRecord = nullptr;
    }
}

FDCupd765::~FDCupd765() {
    unhookDrives();
    for (us*& unit : units) {
        delete unit;
        unit = nullptr;
    }
}

void FDCupd765::loadStepPrograms() {
    const stepRoutine read[8] = {
        &FDCupd765::sub_command_wait_IndexHole, &FDCupd765::sub_command_wait_preIndexGap,
        &FDCupd765::sub_command_wait_gap1,      &FDCupd765::sub_command_read_IDR,
        &FDCupd765::sub_command_read_gap2,      &FDCupd765::sub_command_read_user_data,
        &FDCupd765::sub_command_read_CRC_data,  &FDCupd765::sub_command_read_gap3,
    };
    const stepRoutine write[8] = {
        &FDCupd765::sub_command_wait_IndexHole, &FDCupd765::sub_command_wait_preIndexGap,
        &FDCupd765::sub_command_wait_gap1,      &FDCupd765::sub_command_read_IDR,
        &FDCupd765::sub_command_write_Gap2,     &FDCupd765::sub_command_write_user_data,
        &FDCupd765::sub_command_write_CRC_data, &FDCupd765::sub_command_write_gap3,
    };
    const stepRoutine format[8] = {
        &FDCupd765::sub_command_wait_IndexHole,   &FDCupd765::sub_command_format_preIndexGap,
        &FDCupd765::sub_command_format_gap1,      &FDCupd765::sub_command_format_IDR,
        &FDCupd765::sub_command_format_Gap2,      &FDCupd765::sub_command_format_user_data,
        &FDCupd765::sub_command_write_CRC_data,   &FDCupd765::sub_command_format_gap3,
    };
    for (int i = 0; i < 8; ++i) {
        stepTable[1][i] = read[i];
        stepTable[2][i] = read[i];
        stepTable[3][i] = write[i];
        stepTable[4][i] = format[i];
        stepTable[0][i] = read[i];
    }
    stepTable[2][5] = &FDCupd765::sub_command_scan_user_data;
}

void FDCupd765::loadProgram(int row, uint8_t firstStep) {
    if (stepTable[0][5] != stepTable[row][5] || stepTable[0][7] != stepTable[row][7]) {
        for (int i = 0; i < 8; ++i) stepTable[0][i] = stepTable[row][i];
    }
    set_sub_command(firstStep);
}

void FDCupd765::next_sub_command() { set_sub_command(static_cast<uint8_t>((stepIndex + 1) & 7)); }

void FDCupd765::set_sub_command(uint8_t step) {
    stepIndex = step & 7;
    currentStep = stepTable[0][stepIndex];
    subState = 0;
    byteCounter = 0;
}

void FDCupd765::reset(floppyDrive* driveA, floppyDrive* driveB, floppyDrive* driveC, floppyDrive* driveD,
                      bool fourUnits) {
    unhookDrives();
    floppyDrive* wiring[4] = {driveA, driveB, fourUnits ? driveC : driveA, fourUnits ? driveD : driveB};
    for (int i = 0; i < 4; ++i) units[i]->attachFD(wiring[i]);
    // Units 2 and 3 may alias A and B; the drive reports to its first unit.
    for (int i = 3; i >= 0; --i) {
        if (wiring[i]) wiring[i]->unitRecord = units[i];
    }
    dataIn = dataOut = 0;
    rawWord = 0;
    crc = 0xFFFF;
    crcRead = 0;
    resultCount = 0;
    for (uint8_t& b : resultBytes) b = 0;
    command = commandCode = commandByteIndex = 0;
    subState = 0;
    byteCounter = sectorBytesLeft = dtlSkip = 0;
    seekActive = false;
    C = H = R = N = EOT = GPL = DTL = STP = SC = D = 0;
    MT = MFM = SK = HD = US = HUT = SRT = HLT = 0;
    ND = 1;
    specified = false;
    resultC = resultH = resultR = resultN = 0;
    idC = idH = idR = idN = 0;
    sectorCounter = indexCount = 0;
    scanNotSatisfied = scanHit = false;
    st0 = st1 = st2 = st3 = 0;
    startDelay = 0;
    stepTimer = 0;
    senseCounter = 0;
    interruptUnit = 0;
    for (std::atomic<uint8_t>& led : t_led_disk) storeFlag(led, 0);
    loadStepPrograms();
    set_sub_command(0);
    currentDrive = units[0]->drive;
    if (currentDrive) currentDrive->change_SIDE1_SELECT(false);
    sense_drive_status();
    phase = 0;
    phaseHandler = &FDCupd765::phase_idle;
    mainStatus = 0x80;
}

void FDCupd765::enable() {
    bool rd = cpu->rd;
    bool wr = cpu->wr;
    if (rd == wr) return;
    bool dataRegister = cpu->addressBus & 1;
    if (rd) {
        if (!dataRegister) {
            cpu->dataBus = mainStatus;
            return;
        }
        if (!(mainStatus & 0x80)) {
            cpu->dataBus = 0;
            return;
        }
        switch (phase) {
            case 2:
                mainStatus &= 0x7F;
                cpu->dataBus = dataOut;
                break;
            case 3:
                if (resultCount == 0) {
                    go_idle();
                } else {
                    cpu->dataBus = resultBytes[--resultCount];
                    if (resultCount == 0) go_idle();
                }
                break;
            default:
                cpu->dataBus = st3;
                break;
        }
        return;
    }
    if (!dataRegister || !(mainStatus & 0x80)) return;
    writeDataRegister(cpu->dataBus);
}

void FDCupd765::writeDataRegister(uint8_t byte) {
    dataIn = byte;
    if (commandByteIndex) {
        storeParameter(byte);
        return;
    }
    if (mainStatus & 0x10) {
        if (phase == 2 && (mainStatus & 0x20)) {
            mainStatus &= 0x7F;  // the byte the execution asked for
        } else if (phase == 3 && (st1 & 0x10)) {
            go_idle();
        }
        return;
    }
    if (mainStatus & 0x40) return;
    commandCode = byte & 0x1F;
    MT = (byte >> 7) & 1;
    MFM = (byte >> 6) & 1;
    SK = (byte >> 5) & 1;
    if (!kCommandLength[commandCode]) {
        command = kFdcInvalid;
        st0 = 0x80;
        set_result();
        return;
    }
    mainStatus |= 0x10;
    commandByteIndex = 1;
    if (commandCode == kFdcSenseInterruptStatus) set_command();
}

void FDCupd765::assumeDiskRomSpecify() {
    if (specified) return;
    SRT = 0x0A;
    HUT = 0x01;
    HLT = 0x01;
    ND = 1;
    specified = true;
}

void FDCupd765::storeParameter(uint8_t byte) {
    uint8_t index = commandByteIndex;
    if (commandCode == kFdcSpecify) {
        if (index == 1) {
            SRT = byte >> 4;
            HUT = byte & 0x0F;
            commandByteIndex = 2;
        } else {
            HLT = byte >> 1;
            ND = 1;  // there is no DMA to hand the bytes to
            specified = true;
            commandByteIndex = 0;
            set_idle();
        }
        return;
    }
    if (index == 1) {
        HD = (byte >> 2) & 1;
        US = byte & 3;
        if (commandCode == kFdcSeek || commandCode == kFdcRecalibrate) HD = 0;
        select_fd_unit();
        if (commandCode == kFdcReadId) {
            resultC = C;
            resultH = H;
            resultR = R;
            resultN = N;
        }
        if (commandCode == kFdcRecalibrate) units[US]->ncn = 0;
    } else if (hasSectorParameters(commandCode)) {
        switch (index) {
            case 2: C = resultC = byte; break;
            case 3: H = resultH = byte; break;
            case 4: R = resultR = byte; break;
            case 5: N = resultN = byte; break;
            case 6: EOT = byte; break;
            case 7: GPL = byte; break;
            default:
                if (isScan()) STP = byte;
                else DTL = byte;
                break;
        }
    } else if (commandCode == kFdcFormatTrack) {
        switch (index) {
            case 2: N = byte; break;
            case 3: SC = byte; break;
            case 4: GPL = byte; break;
            default: D = byte; break;
        }
    } else if (commandCode == kFdcSeek) {
        units[US]->ncn = byte;
    }
    if (++commandByteIndex >= kCommandLength[commandCode]) set_command();
}

bool FDCupd765::isScan() const {
    uint8_t code = phase == 0 || phase == 1 ? commandCode : command;
    return code == kFdcScanEqual || code == kFdcScanLowOrEqual || code == kFdcScanHighOrEqual;
}

bool FDCupd765::isDataCommand(uint8_t code) const {
    return isReadLike(code) || isWrite(code);
}

void FDCupd765::set_command() {
    phase = 1;
    phaseHandler = &FDCupd765::phase_command;
    commandByteIndex = 0;
    command = commandCode;
    st1 = st2 = 0;
    mainStatus &= 0x1F;
    st0 = static_cast<uint8_t>(HD * 4 + US);
    senseCounter = 0;
    us* unit = units[US];
    if (isDataCommand(command)) {
        if (unit->noDrive) {
            st0 |= 0x40;
            set_result();
            return;
        }
        if (isWrite(command) && currentDrive->signal_WP()) {
            st0 |= 0x40;
            st1 |= 0x02;
            st3 |= 0x40;
            set_result();
            return;
        }
        if (HD != currentDrive->headSide) st0 |= 0x08;
        storeFlag(t_led_disk[US], 1);
    } else if (command == kFdcSeek || command == kFdcRecalibrate) {
        mainStatus |= static_cast<uint8_t>(1u << US);
    }
}

void FDCupd765::phase_command() {
    us* unit = units[US];
    switch (command) {
        case kFdcSenseDriveStatus:
            ++senseCounter;
            if (senseCounter == 2) sense_drive_status();
            if (senseCounter == 8) set_result();
            return;
        case kFdcSenseInterruptStatus:
            senseInterruptStatus();
            return;
        case kFdcSeek:
        case kFdcRecalibrate:
            if (unit->noDrive) {
                // Nothing will ever end this seek: do not leave the unit busy.
                mainStatus &= static_cast<uint8_t>(~(1u << US));
                set_idle();
                return;
            }
            if (!unit->recalibrating) {
                unit->recalibrating = command == kFdcRecalibrate;
                stepTimer = 0;
                unit->recalibrateStepsLeft = 77;
                unit->seeking = true;
                seekActive = true;
                unit->interruptPending = unit->seekEnd = false;
            }
            set_idle();
            return;
        default:
            break;
    }
    if (startDelay) {
        --startDelay;
        return;
    }
    indexCount = 0;
    if (command == kFdcFormatTrack) {
        loadProgram(4, 0);
        sectorCounter = 0;
    } else if (command == kFdcWriteData || command == kFdcWriteDeletedData) {
        loadProgram(3, 1);
    } else if (command == kFdcReadTrack) {
        loadProgram(1, 0);
        sectorCounter = 0;
    } else {
        loadProgram(isScan() ? 2 : 1, 3);
    }
    st1 = st2 = 0;
    sectorBytesLeft = 0;
    scanNotSatisfied = scanHit = false;
    startDelay = 64;
    st0 &= 0x07;
    set_execution();
}

void FDCupd765::set_execution() {
    phase = 2;
    phaseHandler = &FDCupd765::phase_execution;
    if (ND) mainStatus = static_cast<uint8_t>((mainStatus & 0x3F) | 0x20);
    else mainStatus &= 0x1F;
    if (currentDrive && currentDrive->ready) {
        st0 &= static_cast<uint8_t>(~0x08);
    } else {
        st0 = static_cast<uint8_t>((st0 & 0x7F) | 0x48);
        set_result();
    }
}

void FDCupd765::senseInterruptStatus() {
    st0 = 0x80;
    int found = -1;
    for (int i = 0; i < 4 && found < 0; ++i) {
        if (units[i]->interruptPending) found = i;
    }
    if (found < 0) {
        resultBytes[0] = 0x80;
        resultCount = 1;
        set_result();
        return;
    }
    us* unit = units[found];
    unit->interruptPending = false;
    interruptUnit = static_cast<uint8_t>(found);
    if (unit->noDrive) st0 = static_cast<uint8_t>(found + 0x10);
    else st0 = static_cast<uint8_t>(found + 4 * unit->drive->headSide);
    if (unit->readyChanged) {
        unit->readyChanged = false;
        st0 = static_cast<uint8_t>((st0 & 0xEF) | 0xC0);
        if (!unit->drive || !unit->drive->ready) st0 |= 0xC8;
    } else if (unit->seekEnd) {
        unit->seekEnd = false;
        st0 = static_cast<uint8_t>((st0 & 0xCF) | 0x20);
        if (unit->recalibrateStepsLeft == 0 && unit->drive && !unit->drive->trackZero) st0 |= 0x70;
        if (!unit->seeking) mainStatus &= static_cast<uint8_t>(~(1u << found));
    }
    if (st0 & 0x20) {
        resultBytes[1] = st0;
        resultBytes[0] = unit->pcn;
        resultCount = 2;
    } else {
        resultBytes[0] = st0;
        resultCount = 1;
    }
    set_result();
}

void FDCupd765::set_result() {
    phase = 3;
    phaseHandler = &FDCupd765::phase_result;
    mainStatus = static_cast<uint8_t>((mainStatus & 0x1F) | 0xC0);
    setHunting(false);
    if (currentDrive) currentDrive->writeGate = false;
    switch (command) {
        case kFdcSenseInterruptStatus:
            return;  // prepared by senseInterruptStatus
        case kFdcSenseDriveStatus:
            resultBytes[0] = st3;
            resultCount = 1;
            return;
        case kFdcInvalid:
        case kFdcSpecify:
        case kFdcSeek:
        case kFdcRecalibrate:
            resultBytes[0] = st0;
            resultCount = 1;
            return;
        default:
            break;
    }
    bool endOfCylinderRule = MFM && (command == kFdcReadTrack || command == kFdcWriteData || command == kFdcReadData ||
                                     command == kFdcWriteDeletedData || command == kFdcReadDeletedData);
    if (endOfCylinderRule) {
        // No terminal count exists: a command that ran to the end reports end of cylinder.
        bool endOfCylinderFlag = st1 == 0 || (command == kFdcReadTrack && st1 == 0x04);
        if (!(st0 & 0xF8)) {
            if (!(st2 & 0x40)) {
                st0 |= 0x40;
                if (st2 == 0 && endOfCylinderFlag) st1 |= 0x80;
            }
        } else if (st2 == 0 && !(st0 & 0x08) && endOfCylinderFlag) {
            st1 |= 0x80;
        }
    }
    if (scanNotSatisfied) st2 |= 0x04;
    else if (scanHit) st2 |= 0x08;
    resultBytes[6] = st0;
    resultBytes[5] = st1;
    resultBytes[4] = st2;
    resultBytes[3] = resultC;
    resultBytes[2] = resultH;
    resultBytes[1] = resultR;
    resultBytes[0] = resultN;
    resultCount = 7;
}

void FDCupd765::go_idle() {
    phase = 0;
    phaseHandler = &FDCupd765::phase_idle;
    commandByteIndex = 0;
    mainStatus &= 0x8F;
    if (units[US]->drive) storeFlag(t_led_disk[US], 0);
}

void FDCupd765::set_idle() {
    go_idle();
    mainStatus = static_cast<uint8_t>((mainStatus & 0x0F) | 0x80);
}

void FDCupd765::sense_drive_status() {
    st3 = static_cast<uint8_t>(US + HD * 4);
    us* unit = units[US];
    if (unit->drive) {
        floppyDrive* drive = unit->drive;
        st0 &= static_cast<uint8_t>(~0x10);
        if (drive->signal_WP()) st3 |= 0x40;
        // The write-protect and two-side signals share one line.
        bool shared = (unit->seeking && !unit->recalibrating) ? drive->signal_TS() : drive->signal_WP();
        if (shared) st3 |= 0x08;
        if (drive->ready) st3 |= 0x20;
        if (drive->trackZero) st3 |= 0x10;
    } else {
        st3 |= 0x80;
        st0 |= 0x10;
    }
}

void FDCupd765::select_fd_unit() {
    currentDrive = units[US]->drive;
    change_side();
}

void FDCupd765::change_side() {
    if (currentDrive) currentDrive->change_SIDE1_SELECT(HD != 0);
    sense_drive_status();
}

void FDCupd765::clockBusy() {
    if (seekActive) {
        seekActive = false;
        for (uint8_t i = 0; i < 4; ++i) {
            if (units[i]->seeking) seek(i);
        }
    }
    if (phase != 0 && !(seekActive && phase == 2)) (this->*phaseHandler)();
}

void FDCupd765::seek(uint8_t index) {
    us* unit = units[index];
    floppyDrive* drive = unit->drive;
    if (stepTimer) {
        --stepTimer;
        if (drive) drive->stepLine = false;
        seekActive = true;
        return;
    }
    // One step every (16 - SRT) x 2 ms, counting the microsecond of the step itself.
    stepTimer = static_cast<uint16_t>((16 - SRT) * 2000 - 1);
    if (drive) {
        drive->wake();
        drive->stepLine = true;
        drive->stepOutward = unit->ncn <= unit->pcn;
    }
    bool ended = false;
    if (!unit->recalibrating) {
        if (unit->pcn != unit->ncn) {
            if (unit->pcn < unit->ncn) ++unit->pcn;
            else --unit->pcn;
            seekActive = true;
        } else {
            ended = true;
        }
    } else if (!drive || drive->trackZero) {
        ended = true;
        unit->pcn = 0;
    } else if (unit->recalibrateStepsLeft == 0) {
        ended = true;
    } else {
        --unit->recalibrateStepsLeft;
        seekActive = true;
    }
    if (ended) {
        if (drive) drive->stepLine = false;
        unit->seeking = false;
        unit->recalibrating = false;
        if (!seekActive) unit->interruptPending = unit->seekEnd = true;
    }
}
