#include "machine/memory.h"

#include <cstring>

#include "machine/file_reader.h"

uint16_t memory::bankCountFor(uint16_t kb) {
    if (kb <= 64) return 4;
    if (kb <= 128) return 8;
    if (kb <= 320) return 20;
    if (kb <= 576) return 36;
    if (kb <= 1088) return 68;
    if (kb <= 2112) return 132;
    return 260;
}

memory::~memory() {
    if (banks) {
        for (int i = 0; i < bankCount; ++i) delete[] banks[i];
        delete[] banks;
    }
    delete[] lowerRomData;
    for (int i = 0; i < 256; ++i) {
        if (uromOwned[i]) delete[] urom[i];
        delete[] cbBank[i];
    }
}

void memory::init(uint16_t kb) {
    uint16_t count = bankCountFor(kb);
    if (count == bankCount) return;
    auto** table = new uint8_t*[count];
    for (int i = 0; i < count; ++i) {
        table[i] = (i < bankCount) ? banks[i] : new uint8_t[kBankSize];
    }
    for (int i = count; i < bankCount; ++i) {
        // A page still mapped to a freed bank would dangle: fall back to base RAM.
        for (auto& p : page) {
            if (p == banks[i]) p = table[0];
        }
        delete[] banks[i];
    }
    delete[] banks;
    banks = table;
    bankCount = count;
    ramOver64 = count > 4;
    ramOver128 = count > 8;
}

void memory::reset() {
    int clear = bankCount == 4 ? 4 : 8;
    for (int i = 0; i < clear && i < bankCount; ++i) std::memset(banks[i], 0, kBankSize);
    updateRamConfiguration(127, 0);
    uromSelected = 0;
}

uint8_t* memory::bankAt(int index) const {
    if (index >= bankCount) index &= ramOver64 ? 7 : 3;
    if (index >= bankCount) return nullptr;
    return banks ? banks[index] : nullptr;
}

void memory::updateRamConfiguration(uint8_t portHigh, uint8_t value) {
    ramConfig = value;
    const int base = 32 * (7 - (portHigh & 7)) + 4 * ((value >> 3) & 7);
    auto exp = [&](int k) { return bankAt(base + k); };
    uint8_t* mapped[4] = {};
    switch (value & 7) {
        case 0: mapped[0] = bankAt(0); mapped[1] = bankAt(1); mapped[2] = bankAt(2); mapped[3] = bankAt(3); break;
        case 1: mapped[0] = bankAt(0); mapped[1] = bankAt(1); mapped[2] = bankAt(2); mapped[3] = exp(7); break;
        case 2: mapped[0] = exp(4); mapped[1] = exp(5); mapped[2] = exp(6); mapped[3] = exp(7); break;
        case 3: mapped[0] = bankAt(0); mapped[1] = bankAt(3); mapped[2] = bankAt(2); mapped[3] = exp(7); break;
        default:
            mapped[0] = bankAt(0);
            mapped[2] = bankAt(2);
            mapped[3] = bankAt(3);
            if (bankCount == 8) {
                // A plain 128 KB machine has one expansion block, whatever bits 5..3 say.
                int index = (value & 7) + 32 * (7 - (portHigh & 7));
                if (index >= 8) index &= 7;
                mapped[1] = bankAt(index);
            } else {
                mapped[1] = exp(value & 7);
            }
            break;
    }
    for (int i = 0; i < 4; ++i) {
        if (mapped[i]) page[i] = mapped[i];
    }
}

void memory::selectExpBank(uint8_t pageIndex, uint16_t bank) {
    if (pageIndex > 3) return;
    if (bank >= bankCount) bank &= ramOver64 ? 7 : 3;
    if (bank < bankCount && banks && banks[bank]) page[pageIndex] = banks[bank];
}

void memory::initLromData() {
    if (!lowerRomData) lowerRomData = new uint8_t[kBankSize]();
}

void memory::deleteLromData() {
    if (lowerRom == lowerRomData) lowerRom = nullptr;
    delete[] lowerRomData;
    lowerRomData = nullptr;
}

void memory::init_urom(uint8_t slot) {
    if (uromOwned[slot]) return;
    // A slot that borrows a cartridge bank gets a block of its own: a ROM
    // read into it must never overwrite the cartridge.
    urom[slot] = new uint8_t[kBankSize]();
    uromOwned[slot] = true;
}

void memory::delete_urom(uint8_t slot) {
    if (uromOwned[slot]) delete[] urom[slot];
    urom[slot] = nullptr;
    uromOwned[slot] = false;
}

bool memory::ownsUrom(uint8_t slot) const { return uromOwned[slot]; }

void memory::initCbBank(uint8_t n) {
    if (!cbBank[n]) cbBank[n] = new uint8_t[kBankSize]();
}

void memory::deleteCbBank(uint8_t n) {
    uint8_t* block = cbBank[n];
    if (!block) return;
    // Nothing may keep pointing at a freed cartridge bank.
    for (int i = 0; i < 256; ++i) {
        if (!uromOwned[i] && urom[i] == block) urom[i] = nullptr;
    }
    if (lowerRom == block) lowerRom = nullptr;
    delete[] block;
    cbBank[n] = nullptr;
}

void memory::init_cburom() {
    if (cbBank[1]) {
        for (int slot = 0; slot < 128; ++slot) {
            if (urom[slot]) continue;
            if (slot == 7) {
                urom[slot] = cbBank[3] ? cbBank[3] : cbBank[1];
            } else {
                urom[slot] = cbBank[1];
            }
            uromOwned[slot] = false;
        }
    }
    uromSelected = 0;
}

void memory::delete_cburom() {
    for (int slot = 0; slot < 128; ++slot) {
        if (uromOwned[slot] || !urom[slot]) continue;
        bool fromCartridge = urom[slot] == cbBank[1] || (slot == 7 && urom[slot] == cbBank[3]);
        if (fromCartridge) urom[slot] = nullptr;
    }
}

bool SDL_readFileLrom(const char* path) {
    mem->initLromData();
    return SDL_ReadFile(path, mem->lowerRomData, memory::kBankSize) == 1;
}

bool readFileUrom(const char* path, uint8_t slot) {
    mem->init_urom(slot);
    return SDL_ReadFile(path, mem->urom[slot], memory::kBankSize) == 1;
}
