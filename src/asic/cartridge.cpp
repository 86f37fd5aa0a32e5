#include "asic/cartridge.h"

#include <SDL.h>
#include <cstring>

#include "machine/base_path.h"
#include "machine/cpc.h"
#include "machine/file_reader.h"
#include "machine/frontend_hooks.h"
#include "machine/memory.h"
#include "machine/model.h"
#include "machine/text_buffers.h"

namespace {

constexpr int kLastBank = 31;
constexpr uint32_t kBankSize = memory::kBankSize;

// Releases the cartridge's upper-ROM mapping and every cartridge bank.
void dropCartridge() {
    mem->delete_cburom();
    for (int bank = 0; bank < 256; ++bank) mem->deleteCbBank(static_cast<uint8_t>(bank));
}

// After the banks are in: the missing banks up to 31 read FFh, bank 0 is the
// lower ROM and the banks are mapped into the upper-ROM slots.
bool finishCartridge(int lastBank) {
    if (lastBank >= 0 && lastBank < kLastBank) {
        for (int bank = lastBank + 1; bank <= kLastBank; ++bank) {
            mem->initCbBank(static_cast<uint8_t>(bank));
            std::memset(mem->cbBank[bank], 0xFF, kBankSize);
        }
        mem->cartridgeBankCount = kLastBank + 1;
    } else {
        mem->cartridgeBankCount = static_cast<uint8_t>(lastBank + 1);
    }
    if (!mem->cbBank[0]) return false;
    mem->lowerRom = mem->cbBank[0];
    if (mem->urom[0] != mem->cbBank[1]) mem->delete_urom(0);
    if (mem->urom[7] != mem->cbBank[1] && mem->urom[7] != mem->cbBank[3]) mem->delete_urom(7);
    mem->init_cburom();
    return true;
}

bool isDigit(uint8_t c) { return c >= '0' && c <= '9'; }

}  // namespace

bool fileCPR() {
    if (!headerIdCheck("RIFF")) return refuseFile("fileCPR", "not a RIFF file");
    SDL_ForwadFile(4);
    // Every bank is found and checked before the machine's cartridge is dropped;
    // banks go by their number, whatever order their chunks come in.
    struct Chunk {
        int64_t offset = -1;
        uint32_t size = 0;
    } banks[100];
    int lastBank = -1;
    // Each identifier needs four bytes: one that runs past the end ends the file.
    while (filepos_idx + 4 <= cPCFileLength) {
        uint8_t id[4];
        for (auto& c : id) c = readU8();
        if (id[0] != 'c' || id[1] != 'b') continue;  // "AMS!" and other identifiers are skipped
        if (filepos_idx + 4 > cPCFileLength) break;
        const uint32_t size = readU16lh();  // the upper half of the size is not used
        SDL_ForwadFile(2);
        if (isDigit(id[2]) && isDigit(id[3])) {
            const int bank = 10 * (id[2] - '0') + (id[3] - '0');
            const uint32_t wanted = size < kBankSize ? size : kBankSize;
            if (!fileHasBytes(wanted))
                return refuseFile("fileCPR", "bank %d cut short: %lld of its %u bytes in the file", bank,
                                  static_cast<long long>(fileBytesLeft()), static_cast<unsigned>(wanted));
            banks[bank] = {filepos_idx, wanted};
            if (bank > lastBank) lastBank = bank;
        }
        // A chunk longer than a bank: its surplus is skipped by its size, not read as identifiers.
        SDL_ForwadFile(size);
    }
    if (lastBank < 0) return refuseFile("fileCPR", "no cartridge banks");
    if (banks[0].offset < 0) return refuseFile("fileCPR", "no bank 0, the cartridge cannot start");
    dropCartridge();
    for (int bank = 0; bank <= lastBank; ++bank) {
        if (banks[bank].offset < 0) continue;
        mem->initCbBank(static_cast<uint8_t>(bank));
        std::memset(mem->cbBank[bank], 0, kBankSize);
        SDL_RewindFile(banks[bank].offset);
        readBlock(mem->cbBank[bank], banks[bank].size);
    }
    finishCartridge(lastBank);
    SDL_Log("fileCPR: %d cartridge banks", mem->cartridgeBankCount);
    return true;
}

bool buildStandInCartridge(const uint8_t* os, const uint8_t* basic, const uint8_t* disk) {
    if (!os || !basic) return false;
    dropCartridge();
    const uint8_t* banks[4] = {os, basic, nullptr, disk};
    for (int bank = 0; bank < 4; ++bank) {
        if (!banks[bank]) continue;
        mem->initCbBank(static_cast<uint8_t>(bank));
        std::memcpy(mem->cbBank[bank], banks[bank], kBankSize);
    }
    return finishCartridge(3);
}

bool loadStandInCartridge(const char* missingPath) {
    static uint8_t roms[3][kBankSize];
    const char* names[3] = {osRomFileName(CPC6128, cpcLang), basicRomFileName(CPC6128, cpcLang), "AMSDOS.ROM"};
    bool present[3];
    char path[kTextBufferSize];
    for (int i = 0; i < 3; ++i) {
        buildBasePath(path, "ROM", names[i]);
        present[i] = SDL_ReadFile(path, roms[i], kBankSize) == 1;
    }
    // Only the 6128+ has a disk interface: on the others the disk ROM would wait
    // for a controller that is not there.
    const bool withDisk = present[2] && cpcType == CPC6128Plus;
    if (!buildStandInCartridge(present[0] ? roms[0] : nullptr, present[1] ? roms[1] : nullptr,
                               withDisk ? roms[2] : nullptr)) {
        SDL_Log("loadStandInCartridge: no 6128 ROMs either for a stand-in of %s", missingPath);
        return false;
    }
    SDL_Log("loadStandInCartridge: %s is missing; a stand-in cartridge built from the 6128 ROMs is used",
            missingPath);
    textShowOSD("\366 No system cartridge: 6128 ROMs stand in \367");
    return true;
}
