// The uPD765's execution phase: the step programs that read, write and
// format the MFM stream one byte cell at a time.
#include "disk/fdc765.h"

void FDCupd765::phase_execution() {
    floppyDrive* drive = currentDrive;
    if (!drive || drive->bitCounter != 0) return;  // the steps run once per byte cell
    if (drive->indexPulse) {
        ++indexCount;
        if (indexCount == 1 || indexCount == 0) {
            if (stepIndex <= 3) st1 |= 0x81;  // provisional EN and MA
        } else {
            st0 &= 0x07;
            if (command == kFdcFormatTrack) {
                set_sub_command(1);
                set_result();
                return;
            }
            if (!isScan()) st0 |= 0x40;
            if (stepIndex <= 3) {
                set_sub_command(1);
                st1 |= 0x04;
                set_result();
                return;
            }
        }
    }
    rawWord = drive->currentWord;
    dataOut = mfmdecode[rawWord];
    (this->*currentStep)();
}

// Set on the record the drive reports to: with units aliased it is not units[US].
void FDCupd765::setHunting(bool on) {
    floppyDrive* drive = units[US]->drive;
    if (drive && drive->unitRecord) {
        if (on) drive->wake();
        drive->unitRecord->hunting = on;
    }
}

// Counts A1 sync words with their missing clock; true at the third in a row.
bool FDCupd765::syncFound() {
    if (rawWord != kMfmSyncA1) {
        byteCounter = 0;
        setHunting(true);
        return false;
    }
    if (byteCounter == 0) crc = 0xFFFF;
    crc = crcUpdate(crc, 0xA1);
    if (++byteCounter < 3) return false;
    byteCounter = 0;
    setHunting(false);
    return true;
}

void FDCupd765::writeToDisk(uint16_t word) {
    currentDrive->wake();
    currentDrive->writeGate = true;
    currentDrive->writeWord = word;
}

void FDCupd765::sub_command_wait_IndexHole() {
    if (indexCount) next_sub_command();
}

void FDCupd765::sub_command_wait_preIndexGap() { next_sub_command(); }

void FDCupd765::sub_command_wait_gap1() { next_sub_command(); }

void FDCupd765::sub_command_read_IDR() {
    switch (subState) {
        case 0:
            if (syncFound()) subState = 1;
            return;
        case 1:
            crc = crcUpdate(crc, dataOut);
            if (dataOut == 0xFE) {
                st1 &= static_cast<uint8_t>(~0x01);
                subState = 2;
            } else {
                subState = 0;
            }
            return;
        case 2: idC = resultC = dataOut; break;
        case 3: idH = resultH = dataOut; break;
        case 4: idR = resultR = dataOut; break;
        case 5:
            idN = resultN = dataOut;
            st1 &= static_cast<uint8_t>(~0x80);
            break;
        default:
            crcRead = static_cast<uint16_t>((crcRead << 8) | dataOut);
            if (++byteCounter == 2) {
                byteCounter = 0;
                idFieldRead();
            }
            return;
    }
    crc = crcUpdate(crc, dataOut);
    ++subState;
}

void FDCupd765::idFieldRead() {
    bool crcError = crc != crcRead;
    if (crcError) st1 |= 0x20;
    if (idC == 0xFF && C != 0xFF) st2 |= 0x02;
    if (command == kFdcReadId) {
        st1 &= static_cast<uint8_t>(~0x04);
        set_result();
        return;
    }
    if (command == kFdcReadTrack) {
        st2 |= 0x01;
        if (idR == R || R == 0xFF) {
            st1 &= static_cast<uint8_t>(~0x04);
            takeSector(N);
        } else {
            st1 |= 0x04;
            if (N != 0 || DTL == 0xFF) takeSector(N);
            else restartSearch();
        }
        return;
    }
    bool cylinderMatches = idC == C || C == 0xFF;
    if (cylinderMatches && idH == H && idR == R && idN == N) {
        st1 &= static_cast<uint8_t>(~0x04);
        st2 = static_cast<uint8_t>((st2 & 0xEE) | 0x01);  // provisional MD until the data mark shows
        takeSector(idN);
        return;
    }
    if (!cylinderMatches) {
        st1 |= 0x04;
        if (idC != 0xFF) st2 = static_cast<uint8_t>((st2 & 0xFD) | 0x10);
    } else {
        st2 &= static_cast<uint8_t>(~0x10);
        st1 |= 0x04;
    }
    // A bad CRC in an ID that is not taken says nothing about the sector wanted.
    if (crcError) st1 &= static_cast<uint8_t>(~0x20);
    restartSearch();
}

void FDCupd765::takeSector(uint8_t n) {
    uint32_t size = sectorSizeFromN(n);
    if (n == 0) {
        uint32_t stored = sectorSizeFromN(idN);
        sectorBytesLeft = DTL;
        dtlSkip = static_cast<uint16_t>(stored > DTL ? stored - DTL : 0);
    } else {
        sectorBytesLeft = static_cast<uint16_t>(size);
        dtlSkip = 0;
    }
    if (sectorBytesLeft == 0) sectorBytesLeft = 1;  // DTL 0: one byte, as a zero count cannot end
    next_sub_command();
}

void FDCupd765::restartSearch() {
    resultC = C;
    resultH = H;
    resultR = R;
    resultN = N;
    subState = 0;
    byteCounter = 0;
}

void FDCupd765::sub_command_read_gap2() {
    if (subState == 0) {
        if (syncFound()) subState = 1;
        return;
    }
    crc = crcUpdate(crc, dataOut);
    bool normal = dataOut == 0xFB;
    bool deleted = dataOut == 0xF8;
    if (!normal && !deleted) {
        st1 = static_cast<uint8_t>((st1 & 0xEE) | 0x01);
        // The data mark is missing: the sector cannot be read (MA with MD still set).
        st0 |= 0x40;
        set_result();
        return;
    }
    st1 &= 0xEE;
    st2 &= static_cast<uint8_t>(~0x01);
    if (isScan()) {
        if (deleted) {
            if (SK) {
                st2 &= 0xBE;
                set_sub_command(7);
                return;
            }
            st2 |= 0x40;
        }
        mainStatus |= 0x80;  // the CPU supplies the first byte to compare
    } else {
        bool unwanted = command != kFdcReadTrack &&
                        ((deleted && command == kFdcReadData) || (normal && command == kFdcReadDeletedData));
        if (unwanted) {
            if (SK) {
                st2 &= 0xBE;
                set_sub_command(7);
                return;
            }
            st2 = static_cast<uint8_t>((st2 & 0xBE) | 0x40);
        }
        mainStatus |= 0x40;
    }
    next_sub_command();
}

void FDCupd765::sub_command_read_user_data() {
    crc = crcUpdate(crc, dataOut);
    if (mainStatus & 0x80) st1 |= 0x10;  // the CPU missed the previous byte
    mainStatus |= 0x80;
    if (--sectorBytesLeft == 0) next_sub_command();
}

void FDCupd765::sub_command_scan_user_data() {
    crc = crcUpdate(crc, dataOut);
    uint8_t track = dataOut;
    uint8_t cpuByte = dataIn;
    if (track == cpuByte || cpuByte == 0xFF) {
        scanHit = true;
    } else if (command == kFdcScanEqual) {
        scanNotSatisfied = true;
    } else if (command == kFdcScanLowOrEqual) {
        if (cpuByte < track) scanNotSatisfied = true;
    } else if (track < cpuByte) {
        scanNotSatisfied = true;
    }
    if (mainStatus & 0x80) st1 |= 0x10;
    if (--sectorBytesLeft == 0) {
        mainStatus &= 0x7F;
        next_sub_command();
    } else {
        mainStatus |= 0x80;
    }
}

void FDCupd765::sub_command_read_CRC_data() {
    if (dtlSkip) {
        crc = crcUpdate(crc, dataOut);
        --dtlSkip;
        return;
    }
    crcRead = static_cast<uint16_t>((crcRead << 8) | dataOut);
    if (++byteCounter < 2) return;
    byteCounter = 0;
    if (crc != crcRead) {
        st1 |= 0x20;
        st2 |= 0x20;
        if (command != kFdcReadTrack) {
            set_result();
            return;
        }
    }
    next_sub_command();
}

void FDCupd765::endOfSector() {
    if (R < EOT) {
        indexCount = 0;
        bool scan = isScan();
        R = static_cast<uint8_t>(R + ((scan && STP != 1) ? 2 : 1));
        if (scan && !SK) {
            set_result();
            return;
        }
        restartSearch();
        set_sub_command(3);
        return;
    }
    if (!MT || HD == 0) {
        ++C;
        set_result();
        return;
    }
    HD = 0;
    change_side();
    indexCount = 0;
    restartSearch();
    set_sub_command(3);
}

void FDCupd765::sub_command_read_gap3() {
    if (command != kFdcReadTrack) {
        endOfSector();
        return;
    }
    ++sectorCounter;
    if (sectorCounter < EOT && EOT != 255) {
        ++R;
        restartSearch();
        set_sub_command(3);
        return;
    }
    if (HD == 0) {
        set_result();
        return;
    }
    HD = 0;
    change_side();
    sectorCounter = 0;
    restartSearch();
    set_sub_command(3);
}

void FDCupd765::sub_command_write_Gap2() {
    if (!syncFound()) return;
    uint8_t mark = command == kFdcWriteDeletedData ? 0xF8 : 0xFB;
    writeToDisk(mark == 0xF8 ? kMfmDeletedMark : kMfmDataMark);
    crc = crcUpdate(crc, mark);
    st1 &= 0xEE;
    st2 &= static_cast<uint8_t>(~0x01);
    mainStatus |= 0x80;  // the CPU supplies the first byte
    next_sub_command();
}

void FDCupd765::sub_command_write_user_data() {
    if (mainStatus & 0x80) st1 |= 0x10;  // not supplied in time: the previous byte again
    writeToDisk(mfmencode[dataIn]);
    crc = crcUpdate(crc, dataIn);
    if (--sectorBytesLeft == 0) {
        mainStatus &= 0x7F;
        next_sub_command();
    } else {
        mainStatus |= 0x80;
    }
}

void FDCupd765::sub_command_write_CRC_data() {
    if (byteCounter == 0) {
        writeToDisk(mfmencode[crc >> 8]);
        byteCounter = 1;
        return;
    }
    writeToDisk(mfmencode[crc & 0xFF]);
    next_sub_command();
}

void FDCupd765::sub_command_write_gap3() {
    currentDrive->writeGate = false;
    endOfSector();
}

void FDCupd765::sub_command_format_preIndexGap() {
    if (byteCounter == 0) {
        // The provisional flags of an ID search mean nothing to a format.
        st1 &= static_cast<uint8_t>(~0x81);
        uint32_t length = (sectorSizeFromN(N) + 62 + GPL) * SC + 146;
        if (length < kFormatMinTrackLength) length = kFormatMinTrackLength;
        if (length > kFormatMaxTrackLength) length = kFormatMaxTrackLength;
        currentDrive->replace_track(length, mfmencode[D]);
    }
    uint16_t i = byteCounter++;
    if (i < 80) writeToDisk(kMfmGap4E);
    else if (i < 92) writeToDisk(kMfmZero);
    else if (i < 95) writeToDisk(kMfmIndexSyncC2);
    else {
        writeToDisk(kMfmIndexMark);
        next_sub_command();
    }
}

void FDCupd765::sub_command_format_gap1() {
    writeToDisk(kMfmGap4E);
    if (++byteCounter == 50) next_sub_command();
}

void FDCupd765::sub_command_format_IDR() {
    uint16_t i = byteCounter++;
    if (i < 12) {
        writeToDisk(kMfmZero);
    } else if (i < 15) {
        if (i == 12) crc = 0xFFFF;
        crc = crcUpdate(crc, 0xA1);
        writeToDisk(kMfmSyncA1);
    } else if (i == 15) {
        crc = crcUpdate(crc, 0xFE);
        writeToDisk(kMfmIdMark);
        mainStatus |= 0x80;  // C wanted
    } else if (i < 20) {
        if (mainStatus & 0x80) st1 |= 0x10;
        uint8_t byte = dataIn;
        switch (i) {
            case 16: resultC = byte; break;
            case 17: resultH = byte; break;
            case 18: resultR = byte; break;
            default: resultN = byte; break;
        }
        crc = crcUpdate(crc, byte);
        writeToDisk(mfmencode[byte]);
        if (i < 19) mainStatus |= 0x80;
    } else if (i == 20) {
        writeToDisk(mfmencode[crc >> 8]);
    } else {
        writeToDisk(mfmencode[crc & 0xFF]);
        resultC = static_cast<uint8_t>(currentDrive->currentTrackIndex());
        resultH = static_cast<uint8_t>(HD * 4 + US);
        resultR = EOT & 0x0F;
        next_sub_command();
    }
}

void FDCupd765::sub_command_format_Gap2() {
    uint16_t i = byteCounter++;
    if (i < 22) {
        writeToDisk(kMfmGap4E);
    } else if (i < 34) {
        writeToDisk(kMfmZero);
    } else if (i < 37) {
        if (i == 34) crc = 0xFFFF;
        crc = crcUpdate(crc, 0xA1);
        writeToDisk(kMfmSyncA1);
    } else {
        crc = crcUpdate(crc, 0xFB);
        writeToDisk(kMfmDataMark);
        sectorBytesLeft = static_cast<uint16_t>(sectorSizeFromN(N));
        next_sub_command();
    }
}

void FDCupd765::sub_command_format_user_data() {
    writeToDisk(mfmencode[D]);
    crc = crcUpdate(crc, D);
    if (--sectorBytesLeft == 0) next_sub_command();
}

void FDCupd765::sub_command_format_gap3() {
    if (byteCounter < GPL) {
        writeToDisk(kMfmGap4E);
        if (++byteCounter < GPL) return;
    }
    ++R;
    ++sectorCounter;
    if (sectorCounter < SC) {
        indexCount = 0;
        set_sub_command(3);
        return;
    }
    currentDrive->writeGate = false;
    set_result();
}
