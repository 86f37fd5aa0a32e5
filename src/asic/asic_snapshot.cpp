#include "asic/asic_snapshot.h"

#include <cstring>

#include "asic/asic.h"
#include "machine/model.h"
#include "video/monitor.h"

namespace {

constexpr uint16_t kSpriteAttributes = 0x2000, kPalette = 0x2400, kRegisters = 0x2800, kAnalogue = 0x2808,
                   kDma = 0x2C00, kDcsr = 0x2C0F;

struct Writer {
    uint8_t* out;
    size_t at = 0;
    void u8(uint8_t v) { out[at++] = v; }
    void u16(uint16_t v) {
        u8(static_cast<uint8_t>(v));
        u8(static_cast<uint8_t>(v >> 8));
    }
};

struct Reader {
    const uint8_t* in;
    size_t at = 0;
    uint8_t u8() { return in[at++]; }
    uint16_t u16() {
        uint16_t lo = u8();
        return static_cast<uint16_t>(lo | u8() << 8);
    }
};

// Offset in the chunk of the unlock flag: the last two bytes.
constexpr size_t kUnlockFlagAt = kAsicSnapshotChunkSize - 2;

}  // namespace

size_t asicSnapshotChunkWrite(uint8_t* buffer) {
    Writer w{buffer};
    const uint8_t* page = as->asicPage;
    for (int i = 0; i < 0x1000; i += 2) w.u8(static_cast<uint8_t>((page[i] & 15) << 4 | (page[i + 1] & 15)));
    for (int sprite = 0; sprite < 16; ++sprite) {
        for (int k = 0; k < 8; ++k) w.u8(k < 5 ? page[kSpriteAttributes + 8 * sprite + k] : 0);
    }
    for (int i = 0; i < 64; ++i) w.u8(page[kPalette + i]);
    w.u8(as->pri);
    w.u8(as->splt);
    w.u8(static_cast<uint8_t>(as->ssa >> 8));
    w.u8(static_cast<uint8_t>(as->ssa));
    w.u8(as->sscr);
    w.u8(as->ivr);
    // RMR2 when one is in force (bit 5 set), else the mode and ROM register.
    w.u8(as->rmr2 && as->unlocked ? static_cast<uint8_t>(0x80 | as->rmr2) : as->modeRomReg & 0x0F);
    w.u8(0);
    for (uint16_t a = kAnalogue; a < kAnalogue + 8; ++a) w.u8(as->mRead(a, 0xFF));
    for (const auto& channel : as->dmaChannels) {
        w.u16(channel.address);
        w.u8(channel.prescaler);
        w.u8(0);
    }
    w.u8(0);
    w.u8(0);
    w.u8(0);
    w.u8(as->dcsr & 7);
    for (const auto& channel : as->dmaChannels) {
        w.u16(channel.repeatCount);
        w.u16(channel.loopAddress);
        w.u16(channel.pauseCount);
        w.u8(channel.prescalerCounter);
    }
    w.u8(0);
    w.u8(as->unlocked ? 1 : 0);
    w.u8(as->unlockInSequence ? static_cast<uint8_t>(2 + as->unlockPosition) : as->unlockArmed ? 1 : 0);
    return w.at;
}

bool asicSnapshotChunkRead(const uint8_t* data, size_t size) {
    if (!data || size < kAsicSnapshotChunkSize) return false;
    Reader r{data};
    // The unlock state decides how the ROM-mapping byte reads, so it comes first.
    as->unlocked = data[kUnlockFlagAt] != 0;
    const uint8_t position = data[kUnlockFlagAt + 1];
    as->unlockInSequence = position >= 2 && position <= 16;
    as->unlockArmed = position >= 1 && position <= 16;
    as->unlockPosition = as->unlockInSequence ? static_cast<uint8_t>(position - 2) : 0;

    for (uint16_t a = 0; a < 0x1000; a += 2) {
        const uint8_t pixels = r.u8();
        as->mWrite(a, pixels >> 4);
        as->mWrite(static_cast<uint16_t>(a + 1), pixels & 15);
    }
    for (int sprite = 0; sprite < 16; ++sprite) {
        for (int k = 0; k < 8; ++k) {
            const uint8_t v = r.u8();
            if (k < 5) as->mWrite(static_cast<uint16_t>(kSpriteAttributes + 8 * sprite + k), v);
        }
    }
    for (uint16_t i = 0; i < 64; ++i) as->mWrite(static_cast<uint16_t>(kPalette + i), r.u8());
    for (uint16_t i = 0; i < 6; ++i) as->mWrite(static_cast<uint16_t>(kRegisters + i), r.u8());
    const uint8_t mapping = r.u8();
    if (as->unlocked && (mapping & 0x20)) {
        as->writeRmr2(mapping);
    } else {
        as->writeModeRom(mapping);
    }
    r.u8();
    for (uint16_t i = 0; i < 8; ++i) as->mWrite(static_cast<uint16_t>(kAnalogue + i), r.u8());
    for (uint16_t i = 0; i < 12; ++i) as->mWrite(static_cast<uint16_t>(kDma + i), r.u8());
    r.at += 3;
    as->mWrite(kDcsr, r.u8());
    for (auto& channel : as->dmaChannels) {
        channel.repeatCount = r.u16();
        channel.loopAddress = r.u16();
        channel.pauseCount = r.u16();
        channel.prescalerCounter = r.u8();
    }
    return true;
}

void asicSnapshotKeepPortColours(const uint8_t* hardwareColours) {
    for (uint8_t pen = 0; pen < 17; ++pen) {
        const uint8_t colour = hardwareColours[pen] & 31;
        const uint8_t* rbg = as->plusColorOf[colour];
        const uint8_t* entry = as->asicPage + kPalette + 2 * pen;
        if (entry[0] != (rbg[0] << 4 | rbg[1]) || (entry[1] & 15) != rbg[2]) continue;
        as->setPenHardwareColour(pen, colour);
        if (pen == 16) as->borderColor = as->pens[16];
    }
}

uint8_t asicSnapshotB5() { return static_cast<uint8_t>((as->videoIntPending ? 0x80 : 0) | (as->dcsr & 0x7F)); }

uint8_t asicSnapshotB6() { return as->unlocked ? 0 : 1; }

void asicSnapshotReadB5B6(uint8_t b5, uint8_t b6) {
    as->videoIntPending = (b5 & 0x80) != 0;
    as->dcsr = static_cast<uint8_t>((as->dcsr & 0x8F) | (b5 & 0x70));
    as->unlocked = b6 == 0;
}

uint8_t snapshotMachineTypeByte(uint8_t model) {
    switch (model) {
        case CPC464Plus: return 5;
        case CPC6128Plus: return 4;
        case GX4000: return 6;
        default: return model <= CPC6128 ? model : 2;
    }
}

uint8_t modelFromSnapshotMachineType(uint8_t byte) {
    switch (byte) {
        case 0: return CPC464;
        case 1: return CPC664;
        case 4: return CPC6128Plus;
        case 5: return CPC464Plus;
        case 6: return GX4000;
        default: return CPC6128;
    }
}
