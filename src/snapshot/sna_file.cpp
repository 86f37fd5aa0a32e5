#include "snapshot/sna_file.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <strings.h>

#include "asic/asic.h"
#include "asic/asic_snapshot.h"
#include "disk/fdc765.h"
#include "machine/base_path.h"
#include "machine/byte_order.h"
#include "machine/cpc.h"
#include "machine/file_reader.h"
#include "machine/keyboard.h"
#include "machine/memory.h"
#include "machine/model.h"
#include "machine/ppi8255.h"
#include "machine/safe_file.h"
#include "machine/text_buffers.h"
#include "snapshot/snr_replay.h"
#include "sound/ay8910.h"
#include "video/crtc6845.h"
#include "video/monitor.h"

char CPRAFileName[512] = {};
char DSCAFileName[512] = {};
char DSCBFileName[512] = {};

namespace {

constexpr size_t kBank = memory::kBankSize;
constexpr size_t kSnrKeyboardLines = 10;
constexpr size_t kSnrSkipped = 72;
constexpr size_t kSnrvLength = 5;  // two words and a byte
constexpr unsigned kMaxBankGroup = 0x40;


// Bank group of a memory chunk identifier: MEM0..MEM8, MX09..MX40 (hex); -1 otherwise.
int memoryChunkGroup(const uint8_t* id) {
    if (std::memcmp(id, "MEM", 3) == 0) return id[3] >= '0' && id[3] <= '8' ? id[3] - '0' : -1;
    if (id[0] != 'M' || id[1] != 'X') return -1;
    int value = 0;
    for (int i = 2; i < 4; ++i) {
        int c = id[i];
        int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10
                  : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (digit < 0) return -1;
        value = value * 16 + digit;
    }
    return value >= 9 && value <= static_cast<int>(kMaxBankGroup) ? value : -1;
}

// 64 KB of a memory chunk: raw when exactly that long, else run-length coded
// (E5h count value; E5h 00 is one E5h). Never writes past the 64 KB.
void decodeMemoryChunk(const uint8_t* in, size_t length, uint8_t* out, const char* name) {
    if (length == kSnaBankGroupSize) {
        std::memcpy(out, in, kSnaBankGroupSize);
        return;
    }
    size_t o = 0, i = 0;
    while (o < kSnaBankGroupSize && i < length) {
        uint8_t b = in[i++];
        if (b != 0xE5) {
            out[o++] = b;
            continue;
        }
        uint8_t count = i < length ? in[i++] : 0;
        if (count == 0) {
            out[o++] = 0xE5;
            continue;
        }
        uint8_t value = i < length ? in[i++] : 0;
        size_t n = std::min<size_t>(count, kSnaBankGroupSize - o);
        std::memset(out + o, value, n);
        o += n;
    }
    if (o < kSnaBankGroupSize) SDL_Log("SNA: %s memory chunk ends after %zu bytes, the rest is zero", name, o);
}

// A recorded file name: bounded by the name buffers (with the base path it
// may get); empty or longer names are skipped.
void recordName(std::string& target, const uint8_t* data, size_t length, const char* name) {
    size_t n = 0;
    while (n < length && data[n]) ++n;
    size_t base = getbasepath ? std::strlen(getbasepath) : 0;
    if (n == 0 || n + base >= kTextBufferSize) {
        SDL_Log("SNA: %s recorded file name of %zu bytes skipped", name, n);
        return;
    }
    target.assign(reinterpret_cast<const char*>(data), n);
}

bool endsWithCpr(const std::string& s) { return s.size() >= 4 && strcasecmp(s.c_str() + s.size() - 4, ".cpr") == 0; }

// The chip that holds the gate array's registers: the ASIC on the Plus models.
gaCPC* gaChip() { return isPlusModel(cpcType) ? static_cast<gaCPC*>(as) : ga; }

void stepMicrosecond() {
    if (isPlusModel(cpcType)) {
        as->clockMicrosecond();
    } else {
        ga->clockMicrosecond();
    }
}

bool refuse(const char* name, const char* why) {
    SDL_Log("SNA/SNR: %s %s !", name, why);
    return false;
}

// Chunks from `pos` to the end of the file; after a memory dump they are optional.
bool parseChunks(const uint8_t* data, size_t size, size_t pos, SnaImage& image, const char* name) {
    unsigned memoryChunks = 0;
    int highestGroup = -1;
    while (pos + 8 <= size) {
        const uint8_t* id = data + pos;
        const size_t left = size - pos - 8;
        const uint32_t length = readLe32(data + pos + 4);
        const uint8_t* body = data + pos + 8;
        const int group = memoryChunkGroup(id);
        const bool known = group >= 0 || std::memcmp(id, "CPC+", 4) == 0 || std::memcmp(id, "DSCA", 4) == 0 ||
                           std::memcmp(id, "DSCB", 4) == 0 || std::memcmp(id, "ROMS", 4) == 0 ||
                           std::memcmp(id, "SNR ", 4) == 0 || std::memcmp(id, "SNRV", 4) == 0;
        if (!known) {
            // Unknown identifiers are stepped over four bytes at a time.
            pos += 4;
            continue;
        }
        if (std::memcmp(id, "SNR ", 4) == 0) {
            // The keyboard, then the recorded stream to the end of the file.
            if (left < kSnrKeyboardLines + kSnrSkipped) return refuse(name, "SNR chunk is truncated");
            image.hasSnr = true;
            std::memcpy(image.snrKeyboard, body, kSnrKeyboardLines);
            const uint8_t* stream = body + kSnrKeyboardLines + kSnrSkipped;
            image.snrStream.assign(stream, data + size);
            break;
        }
        if (std::memcmp(id, "SNRV", 4) == 0) {
            pos += 8 + kSnrvLength;
            continue;
        }
        if (length > left) {
            SDL_Log("SNA/SNR: %s chunk %.4s claims %u bytes, %zu left in the file !", name,
                    reinterpret_cast<const char*>(id), length, left);
            return false;
        }
        if (group >= 0) {
            size_t end = (static_cast<size_t>(group) + 1) * kSnaBankGroupSize;
            if (image.ram.size() < end) image.ram.resize(end, 0);
            decodeMemoryChunk(body, length, image.ram.data() + group * kSnaBankGroupSize, name);
            ++memoryChunks;
            highestGroup = std::max(highestGroup, group);
        } else if (std::memcmp(id, "CPC+", 4) == 0) {
            image.plusChunk.assign(body, body + length);
        } else if (std::memcmp(id, "ROMS", 4) == 0) {
            for (size_t i = 1; i < length;) {
                size_t n = 0;
                while (i + n < length && body[i + n]) ++n;
                std::string rom;
                if (n) recordName(rom, body + i, n, name);
                if (endsWithCpr(rom)) image.cartridge = rom;
                i += n + 1;
            }
        } else {
            recordName(id[3] == 'A' ? image.diskA : image.diskB, body, length, name);
        }
        pos += 8 + length;
    }
    if (image.ramKB) return true;  // the dump decided the memory
    if (!memoryChunks) return refuse(name, "holds no memory");
    // Each chunk adds 64 KB; a chunk for a higher group makes room for it.
    unsigned groups = std::max(memoryChunks, static_cast<unsigned>(highestGroup) + 1);
    image.ramKB = static_cast<uint16_t>(groups * 64);
    return true;
}

uint16_t ramSizeFromFlags(uint8_t flags) {
    if (!(flags & 0x80)) return 0;
    if (flags & 2) return (flags & 8) ? 4160 : (flags & 4) ? 576 : 320;
    return (flags & 1) ? 128 : 0;
}

void applyRegisters(const uint8_t* h) {
    cpu->reset();  // clears the exchange flags: the storage is written directly
    cpu->F = h[0x11]; cpu->A = h[0x12]; cpu->C = h[0x13]; cpu->B = h[0x14];
    cpu->E = h[0x15]; cpu->D = h[0x16]; cpu->L = h[0x17]; cpu->H = h[0x18];
    cpu->R = h[0x19];
    cpu->I = h[0x1A];
    cpu->iff1 = h[0x1B] != 0;
    cpu->iff2 = h[0x1C] != 0;
    cpu->setIX(static_cast<uint16_t>(h[0x1D] | h[0x1E] << 8));
    cpu->setIY(static_cast<uint16_t>(h[0x1F] | h[0x20] << 8));
    cpu->setSP(static_cast<uint16_t>(h[0x21] | h[0x22] << 8));
    cpu->PC = static_cast<uint16_t>(h[0x23] | h[0x24] << 8);
    cpu->interruptMode = h[0x25] > 2 ? 0 : h[0x25];
    cpu->F_ = h[0x26]; cpu->A_ = h[0x27]; cpu->C_ = h[0x28]; cpu->B_ = h[0x29];
    cpu->E_ = h[0x2A]; cpu->D_ = h[0x2B]; cpu->L_ = h[0x2C]; cpu->H_ = h[0x2D];
    // The first fetch's T1 falls in the microsecond before, as in a running machine.
    cpu->clock();
}

void applyGateArray(const uint8_t* h) {
    // On the Plus these registers belong to the ASIC, which keeps them itself.
    gaChip()->penSelect = h[kSnaPenSelect] & 31;
    if (gaChip()->penSelect > 16) gaChip()->penSelect = 16;
    for (uint8_t pen = 0; pen < 17; ++pen) gaChip()->setPenHardwareColour(pen, h[kSnaPens + pen]);
    gaChip()->borderColor = gaChip()->pens[16];
    gaChip()->modeRomReg = h[kSnaModeRom] & 15;
    gaChip()->mode = gaChip()->modeRomReg & 3;
}

void applyCrtcRegisters(const uint8_t* h) {
    crtc->selectedReg = h[kSnaCrtcSelect] & 31;
    for (uint8_t r = 0; r < 16; ++r) crtc->storeRegister(r, h[kSnaCrtcRegs + r]);
    crtc->R16 = h[kSnaCrtcRegs + 16];
    crtc->R17 = h[kSnaCrtcRegs + 17];
    crtc->MAstart = static_cast<uint16_t>((crtc->R12 << 8) | crtc->R13);
}

void applyPpi(const uint8_t* h) {
    ppi->portA = h[kSnaPpi];
    ppi->portB = h[kSnaPpi + 1];
    ppi->portC = h[kSnaPpi + 2];
    ppi->control = h[kSnaPpi + 3];
    const uint8_t control = ppi->control;
    if (!(control & kPpiPortAInput)) {
        ay->dataBus = ppi->portA;
        ay->write();
    }
    if (!(control & kPpiPortBInput)) {
        ppi->portBInputs = static_cast<uint8_t>((ppi->portBInputs & ~0x20) | (ppi->portB & 0x20));
    }
    if (!(control & kPpiPortCLowInput)) cPCKeyBoard->select_line(ppi->portC & 15);
    if (!(control & kPpiPortCHighInput)) ppi->applyPortCOutputs();
}

void applyAy(const uint8_t* h) {
    for (uint8_t r = 0; r < 16; ++r) {
        if (r == 7) ay->regs[7] = static_cast<uint8_t>(~h[kSnaAyRegs + 7]);  // always applied
        ay->writeRegister(r, h[kSnaAyRegs + r]);
    }
    ay->selectedReg = h[kSnaAySelect] & 15;
}

uint8_t crtcTypeFor(uint8_t byte) {
    if (isPlusModel(cpcType)) return 3;
    if (byte > 4) {
        SDL_Log("SNA: CRTC type %u unknown, type 0 taken", byte);
        return 0;
    }
    return byte == 3 ? 4 : byte;  // type 3 exists only on the Plus
}

void applyFloppy(const uint8_t* h) {
    if (!fdc) return;
    const bool motor = h[kSnaFloppyMotor] & 1;
    for (int unit = 0; unit < 4; ++unit) {
        us* record = fdc->units[unit];
        floppyDrive* drive = record ? record->drive : nullptr;
        if (!drive) continue;
        const uint8_t track = std::min(h[kSnaFloppyTracks + unit], drive->lastCylinder);
        record->pcn = track;
        drive->cylinder = track;
        drive->trackZero = track == 0;
        drive->start_motor(motor);
        drive->change_SIDE1_SELECT(false);
        drive->change_track();
    }
}

void applyVersion3(const uint8_t* h) {
    crtcType = crtcTypeFor(h[kSnaCrtcType]);
    changeCrtcType();
    crtc->C0 = h[kSnaCrtcC0];
    crtc->C4 = h[kSnaCrtcC4] & 0x7F;
    crtc->C9 = h[kSnaCrtcC9] & 0x1F;
    crtc->C5 = h[kSnaCrtcC5] & 0x1F;
    crtc->C3l = h[kSnaCrtcC3l] & 15;
    crtc->C3h = h[kSnaCrtcC3h] & 15;
    const uint8_t sync = h[kSnaSyncFlags];
    crtc->inAdjust = sync & 0x80;
    crtc->hsync = sync & 2;
    crtc->vsync = sync & 1;
    crtc->quietChars = 0;
    gaChip()->hsyncOut = crtc->hsync;
    gaChip()->vsyncOut = crtc->vsync;
    gaChip()->crtcHsyncLast = crtc->hsync;
    gaChip()->crtcVsyncLast = crtc->vsync;
    gaChip()->blank = gaChip()->hsyncOut || gaChip()->vsyncOut;
    // One encoding both ways: the byte is 2 minus the delay.
    const uint8_t delayByte = h[kSnaVsyncDelay];
    gaChip()->vsyncIntDelay = delayByte <= 2 ? static_cast<uint8_t>(2 - delayByte) : 0;
    gaChip()->intCounter = h[kSnaIntCounter] & 63;
    cpu->intLine = h[kSnaIntPending] == 1;
    if (isPlusModel(cpcType)) asicSnapshotReadB5B6(h[kSnaPlusIntStatus], h[kSnaPlusLock]);
}

void applyMemory(const SnaImage& image) {
    if (!image.ramKB) return;  // a file without memory leaves it alone
    uint16_t kb = image.ramKB;
    // A 64 KB image on a model with 128 KB keeps its second 64 KB.
    if (kb <= 64 && (cpcType == CPC6128 || cpcType == CPC6128Plus)) kb = 128;
    mem->init(kb);
    for (int i = 0; i < mem->bankCount; ++i) std::memset(mem->banks[i], 0, kBank);
    const size_t bytes = std::min(image.ram.size(), static_cast<size_t>(mem->bankCount) * kBank);
    for (size_t offset = 0; offset < bytes; offset += kBank) {
        std::memcpy(mem->banks[offset / kBank], image.ram.data() + offset, std::min(kBank, bytes - offset));
    }
}

// Kestrix's own block in the header bytes other programs leave alone (B8-DF):
// the beam and counter state the format does not carry, so that a snapshot of
// ours shows its picture again from the first frame. Read only behind its marker.
constexpr size_t kOwnMarker = 0xB8;
constexpr size_t kOwnState = 0xC0;
constexpr char kOwnMarkerText[8] = {'K', 'e', 's', 't', 'r', 'i', 'x', '1'};


void saveOwnState(uint8_t* h) {
    std::memcpy(h + kOwnMarker, kOwnMarkerText, sizeof kOwnMarkerText);
    uint8_t* p = h + kOwnState;
    writeLe32(p, cpcscreenpixels_xy);
    writeLe32(p + 4, cpcscreenpixels_xy_hsync);
    writeLe16(p + 8, monitor_nb_lines);
    writeLe16(p + 10, std::min<uint32_t>(monitor_vsync_ctr, 0xFFFF));
    p[12] = monitor_hsync_ctr;
    p[13] = static_cast<uint8_t>((gaChip()->beamInRetrace() ? 1 : 0) | (gaChip()->blank ? 2 : 0));
    writeLe16(p + 14, crtc->MA);
    writeLe16(p + 16, crtc->MAstart);
    writeLe16(p + 18, crtc->MAnext);
    p[20] = crtc->RA;
    p[21] = static_cast<uint8_t>((crtc->hdisp ? 1 : 0) | (crtc->vdisp ? 2 : 0) | (crtc->dispen ? 4 : 0) |
                                 (crtc->adjustEnd ? 8 : 0) | (crtc->lastLine ? 16 : 0) |
                                 (crtc->halfLinePassed ? 32 : 0));
    p[22] = crtc->skewCounter;
    p[23] = gaChip()->hsyncCounter;
    writeLe16(p + 24, gaChip()->shiftA);
    writeLe16(p + 26, gaChip()->shiftB);
    p[28] = static_cast<uint8_t>((cpu->eiPending ? 1 : 0) | (cpu->halt ? 2 : 0));
}

void applyOwnState(const uint8_t* h) {
    if (std::memcmp(h + kOwnMarker, kOwnMarkerText, sizeof kOwnMarkerText) != 0) return;
    const uint8_t* p = h + kOwnState;
    const uint32_t xy = readLe32(p);
    const uint32_t xyHsync = readLe32(p + 4);
    // The beam may run past the buffer (nothing is drawn there) but its row end stays one row ahead.
    if (xyHsync % kFrameWidth == 0 && xyHsync > xy && xyHsync - xy <= static_cast<uint32_t>(kFrameWidth)) {
        cpcscreenpixels_xy = xy;
        setBeamRowEnd(xyHsync);
    }
    monitor_nb_lines = readLe16(p + 8);
    monitor_vsync_ctr = readLe16(p + 10);
    monitor_hsync_ctr = p[12];
    if (p[13] & 1) {
        gaChip()->change_monitor_pixels();
    } else {
        gaChip()->change_monitor_update();
    }
    gaChip()->blank = p[13] & 2;
    crtc->MA = readLe16(p + 14) & 0x3FFF;
    crtc->MAstart = readLe16(p + 16) & 0x3FFF;
    crtc->MAnext = readLe16(p + 18) & 0x3FFF;
    crtc->RA = p[20] & 0x1F;
    crtc->hdisp = p[21] & 1;
    crtc->vdisp = p[21] & 2;
    crtc->dispen = p[21] & 4;
    crtc->adjustEnd = p[21] & 8;
    crtc->lastLine = p[21] & 16;
    crtc->halfLinePassed = p[21] & 32;
    crtc->skewCounter = p[22] & 3;
    crtc->quietChars = 0;
    gaChip()->hsyncCounter = std::min<uint8_t>(p[23], 13);
    gaChip()->shiftA = readLe16(p + 24);
    gaChip()->shiftB = readLe16(p + 26);
    cpu->eiPending = p[28] & 1;
    cpu->halt = p[28] & 2;
}

uint8_t ramFlagsByte() {
    switch (mem->bankCount) {
        case 4: return 0;
        case 8: return 129;
        case 36: return 134;
        default: return mem->bankCount >= 20 ? 8 : 128;
    }
}

// A pen's own colour (a Plus palette-page colour, black after reset) has no
// hardware colour number: 18 stands in for it.
uint8_t hardwareColourOf(const gaCPC& chip, int pen) {
    const uint8_t colour = chip.penHardwareColour[pen];
    return colour == gaCPC::kPenNotHardwareColour ? 18 : colour;
}

// Between two instructions a microsecond ends with the next opcode fetch's
// first T-state done (the gate array's WAIT aligns every fetch that way), or,
// before the machine ever ran, with that T-state still to come.
bool betweenInstructions() {
    if (cpu->executing || cpu->prefix) return false;
    return cpu->phase == Z80CPU::PhFetchT1 || cpu->phase == Z80CPU::PhFetchT2;
}

// The address of the next instruction, whichever of the two states above.
uint16_t nextInstructionAddress() {
    return cpu->phase == Z80CPU::PhFetchT2 ? static_cast<uint16_t>(cpu->PC - 1) : cpu->PC;
}

// Runs the machine to the end of the instruction under way (a few microseconds).
void settleAtInstructionBoundary() {
    for (int i = 0; i < 256 && !betweenInstructions(); ++i) stepMicrosecond();
    if (!betweenInstructions()) SDL_Log("SNA: no instruction boundary found, the snapshot is taken mid-instruction");
}

}  // namespace

void clearSnapshotNames() {
    CPRAFileName[0] = 0;
    DSCAFileName[0] = 0;
    DSCBFileName[0] = 0;
}

uint8_t snaModelFor(uint8_t typeByte) {
    if (typeByte > 6) SDL_Log("SNA: machine type %u unknown, CPC 6128 taken", typeByte);
    return modelFromSnapshotMachineType(typeByte);
}

bool parseSNA(const uint8_t* data, size_t size, SnaImage& image, const char* name) {
    image = SnaImage();
    if (!name) name = "";
    const bool sna = size >= 8 && std::memcmp(data, "MV - SNA", 8) == 0;
    const bool snr = size >= 8 && std::memcmp(data, "RW - SNR", 8) == 0;
    if (!sna && !snr) return refuse(name, "snapshot format invalid");
    if (size < kSnaHeaderSize) return refuse(name, "is shorter than a snapshot header");
    std::memcpy(image.header, data, kSnaHeaderSize);
    image.version = data[kSnaVersion];
    const uint16_t dumpKB = static_cast<uint16_t>(data[kSnaDumpSize] | data[kSnaDumpSize + 1] << 8);
    if (dumpKB) {
        const size_t dumpBytes = static_cast<size_t>(dumpKB) * 1024;
        if (dumpBytes > size - kSnaHeaderSize) {
            SDL_Log("SNA/SNR: %s memory dump of %u KB but %zu bytes in the file !", name, dumpKB, size - kSnaHeaderSize);
            return false;
        }
        uint16_t flagsKB = image.version == 3 ? ramSizeFromFlags(data[kSnaRamFlags]) : 0;
        image.ramKB = flagsKB ? flagsKB : dumpKB;
        const size_t ramBytes = static_cast<size_t>(memory::bankCountFor(image.ramKB)) * kBank;
        image.ram.assign(data + kSnaHeaderSize, data + kSnaHeaderSize + std::min(dumpBytes, ramBytes));
        return image.version != 3 || parseChunks(data, size, kSnaHeaderSize + dumpBytes, image, name);
    }
    if (image.version != 3) return true;  // no memory at all
    image.chunked = true;
    return parseChunks(data, size, kSnaHeaderSize, image, name);
}

bool readSNA(SnaImage& image, const char* name) {
    if (!cPCFile) return refuse(name ? name : "", "cannot be read");
    if (cPCFileLength > static_cast<int64_t>(kSnaMaxFileSize)) return refuse(name ? name : "", "is too large");
    std::vector<uint8_t> data(static_cast<size_t>(std::max<int64_t>(cPCFileLength, 0)));
    SDL_RewindFile(0);
    int64_t got = readBlock(data.data(), static_cast<int64_t>(data.size()));
    data.resize(static_cast<size_t>(std::max<int64_t>(got, 0)));
    return parseSNA(data.data(), data.size(), image, name);
}

uint8_t snaFileModel(const char* path) {
    SnaImage image;
    SDL_OpenFile(path);
    const bool parsed = readSNA(image, path);
    SDL_CloseFile();
    return parsed ? snaModelFor(image.header[kSnaMachineType]) : static_cast<uint8_t>(NoModel);
}

void applySNA(const SnaImage& image) {
    const uint8_t* h = image.header;
    if (image.chunked) stopSNR();
    applyRegisters(h);
    applyGateArray(h);
    applyCrtcRegisters(h);
    mem->uromSelected = mem->urom[h[kSnaUpperRom]] ? h[kSnaUpperRom] : 0;
    applyPpi(h);
    applyAy(h);
    if (fdc) fdc->assumeDiskRomSpecify();
    if (image.version == 3) {
        applyFloppy(h);
        applyVersion3(h);
        applyOwnState(h);
    } else {
        crtc->setType(0);  // older files: type 0 routines, the chosen type stays
    }
    if (isPlusModel(cpcType) && !image.plusChunk.empty() &&
        !asicSnapshotChunkRead(image.plusChunk.data(), image.plusChunk.size())) {
        SDL_Log("SNA: CPC+ chunk of %zu bytes is too short, the ASIC keeps its state", image.plusChunk.size());
    }
    if (isPlusModel(cpcType)) asicSnapshotKeepPortColours(h + kSnaPens);
    applyMemory(image);
    mem->updateRamConfiguration(0x7F, h[kSnaRamConfig]);
    clearSnapshotNames();
    copyToTextBuffer(CPRAFileName, image.cartridge.c_str());
    copyToTextBuffer(DSCAFileName, image.diskA.c_str());
    copyToTextBuffer(DSCBFileName, image.diskB.c_str());
    if (image.hasSnr) startSNR(image.snrKeyboard, image.snrStream.data(), image.snrStream.size());
}

bool fileSNA(const char* path) {
    SnaImage image;
    if (!readSNA(image, path)) return false;
    applySNA(image);
    return true;
}

size_t snaSaveSize() {
    const size_t plusChunk = isPlusModel(cpcType) ? 8 + kAsicSnapshotChunkSize : 0;
    return kSnaHeaderSize + static_cast<size_t>(mem->bankCount) * kBank + plusChunk;
}

bool snaBoundaryNow() { return betweenInstructions(); }

uint8_t* fileSaveSNA() {
    settleAtInstructionBoundary();
    auto* out = new uint8_t[snaSaveSize()];
    writeSNAInto(out);
    return out;
}

void writeSNAInto(uint8_t* out) {
    std::memset(out, 0, snaSaveSize());
    uint8_t* h = out;
    std::memcpy(h, "MV - SNA", 8);
    h[kSnaVersion] = 3;
    const uint16_t af = cpu->getAF(), bc = cpu->getBC(), de = cpu->getDE(), hl = cpu->getHL();
    const uint16_t regs[] = {af, bc, de, hl};
    for (int i = 0; i < 4; ++i) {
        h[0x11 + 2 * i] = static_cast<uint8_t>(regs[i]);
        h[0x12 + 2 * i] = static_cast<uint8_t>(regs[i] >> 8);
    }
    h[0x19] = cpu->R;
    h[0x1A] = cpu->I;
    h[0x1B] = cpu->iff1;
    h[0x1C] = cpu->iff2;
    const uint16_t words[] = {cpu->getIX(), cpu->getIY(), cpu->getSP(), nextInstructionAddress()};
    for (int i = 0; i < 4; ++i) {
        h[0x1D + 2 * i] = static_cast<uint8_t>(words[i]);
        h[0x1E + 2 * i] = static_cast<uint8_t>(words[i] >> 8);
    }
    h[0x25] = cpu->interruptMode;
    const uint16_t alts[] = {cpu->getAltAF(), cpu->getAltBC(), cpu->getAltDE(), cpu->getAltHL()};
    for (int i = 0; i < 4; ++i) {
        h[0x26 + 2 * i] = static_cast<uint8_t>(alts[i]);
        h[0x27 + 2 * i] = static_cast<uint8_t>(alts[i] >> 8);
    }
    // On the Plus the ASIC fills in its own pens and registers once it keeps them.
    h[kSnaPenSelect] = gaChip()->penSelect;
    for (int pen = 0; pen < 17; ++pen) {
        h[kSnaPens + pen] = hardwareColourOf(*gaChip(), pen);
    }
    h[kSnaModeRom] = gaChip()->modeRomReg;
    h[kSnaRamConfig] = mem->ramConfig;
    h[kSnaCrtcSelect] = crtc->selectedReg;
    const uint8_t crtcRegs[18] = {crtc->R0, crtc->R1, crtc->R2, crtc->R3, crtc->R4, crtc->R5,
                                  crtc->R6, crtc->R7, crtc->R8, crtc->R9, crtc->R10, crtc->R11,
                                  crtc->R12, crtc->R13, crtc->R14, crtc->R15, crtc->R16, crtc->R17};
    std::memcpy(h + kSnaCrtcRegs, crtcRegs, sizeof crtcRegs);
    h[kSnaUpperRom] = mem->uromSelected;
    h[kSnaPpi] = ppi->portA;
    h[kSnaPpi + 1] = ppi->portB;
    h[kSnaPpi + 2] = ppi->portC;
    h[kSnaPpi + 3] = ppi->control;
    h[kSnaAySelect] = ay->selectedReg;
    std::memcpy(h + kSnaAyRegs, ay->regs, 16);
    const uint16_t dumpKB = static_cast<uint16_t>(16 * mem->bankCount);
    h[kSnaDumpSize] = static_cast<uint8_t>(dumpKB);
    h[kSnaDumpSize + 1] = static_cast<uint8_t>(dumpKB >> 8);
    h[kSnaMachineType] = snapshotMachineTypeByte(cpcType);
    h[kSnaRamFlags] = ramFlagsByte();
    if (fdc) {
        h[kSnaFloppyMotor] = fd0 && fd0->motorOn ? 1 : 0;
        for (int unit = 0; unit < 4; ++unit) h[kSnaFloppyTracks + unit] = fdc->units[unit] ? fdc->units[unit]->pcn : 0;
    }
    h[kSnaCrtcType] = crtcType;
    h[kSnaCrtcC0] = crtc->C0;
    h[kSnaCrtcC4] = crtc->C4;
    h[kSnaCrtcC9] = crtc->C9;
    h[kSnaCrtcC5] = crtc->C5;
    h[kSnaCrtcC3l] = crtc->C3l;
    h[kSnaCrtcC3h] = crtc->C3h;
    h[kSnaSyncFlags] = static_cast<uint8_t>((crtc->inAdjust ? 0x80 : 0) | (crtc->hsync ? 2 : 0) | (crtc->vsync ? 1 : 0));
    h[kSnaVsyncDelay] = static_cast<uint8_t>(2 - std::min<uint8_t>(gaChip()->vsyncIntDelay, 2));
    h[kSnaIntCounter] = gaChip()->intCounter;
    h[kSnaIntPending] = cpu->intLine ? 1 : 0;
    const bool plus = isPlusModel(cpcType);
    h[kSnaPlusIntStatus] = plus ? asicSnapshotB5() : 0;
    h[kSnaPlusLock] = plus ? asicSnapshotB6() : 0;
    h[kSnaPlusMarker] = plus ? 1 : 0;
    saveOwnState(h);
    uint8_t* dump = out + kSnaHeaderSize;
    for (int i = 0; i < mem->bankCount; ++i) std::memcpy(dump + i * kBank, mem->banks[i], kBank);
    if (plus) {
        // The ASIC's state follows the dump as a "CPC+" chunk.
        uint8_t* chunk = dump + static_cast<size_t>(mem->bankCount) * kBank;
        std::memcpy(chunk, "CPC+", 4);
        writeLe32(chunk + 4, kAsicSnapshotChunkSize);
        asicSnapshotChunkWrite(chunk + 8);
    }
}

bool writeSNAFile(const char* path, std::string* error) {
    std::string why;
    bool ok = false;
    if (!path || !*path) {
        why = "no file name";
    } else {
        uint8_t* image = fileSaveSNA();
        const std::vector<uint8_t> bytes(image, image + snaSaveSize());
        delete[] image;
        ok = writeFileSafely(path, bytes, true, why);
    }
    if (!ok) SDL_Log("Error writing snapshot file %s: %s", path ? path : "", why.c_str());
    if (error) *error = why;
    return ok;
}
