// RAM banks with the four-page mapping, the lower ROM, 256 upper-ROM slots and
// the banks of a Plus cartridge. Address decoding is the gate array's or the
// ASIC's; this class only keeps the pages ready for them.
#pragma once
#include <cstdint>

class memory {
public:
    static constexpr int kBankSize = 16384;

    uint8_t** banks = nullptr;
    uint8_t* lowerRom = nullptr;
    uint8_t* lowerRomData = nullptr;
    uint8_t* urom[256] = {};
    uint8_t* cbBank[256] = {};
    uint8_t uromSelected = 0;
    uint8_t* page[4] = {};
    uint8_t ramConfig = 0;
    bool ramOver64 = false;
    bool ramOver128 = false;
    uint16_t bankCount = 0;
    uint8_t cartridgeBankCount = 0;

    memory() = default;
    ~memory();
    memory(const memory&) = delete;
    memory& operator=(const memory&) = delete;

    void init(uint16_t kb);
    void reset();
    void updateRamConfiguration(uint8_t portHigh, uint8_t value);
    void selectExpBank(uint8_t pageIndex, uint16_t bank);
    uint8_t mRead(uint16_t address) const { return page[address >> 14][address & 0x3FFF]; }
    void mWrite(uint16_t address, uint8_t value) { page[address >> 14][address & 0x3FFF] = value; }

    void initLromData();
    void deleteLromData();
    // Gives the slot a block of its own, also when it borrows a cartridge bank.
    void init_urom(uint8_t slot);
    void delete_urom(uint8_t slot);
    void initCbBank(uint8_t n);
    void deleteCbBank(uint8_t n);
    void init_cburom();
    void delete_cburom();

    // True when an upper-ROM slot points at a block this object allocated for
    // it (cartridge banks mapped into slots are borrowed, not owned).
    bool ownsUrom(uint8_t slot) const;

    static uint16_t bankCountFor(uint16_t kb);

private:
    bool uromOwned[256] = {};
    uint8_t* bankAt(int index) const;
};

// Reads an OS ROM image into the lower-ROM buffer: true when the file held at
// least 16384 bytes.
bool SDL_readFileLrom(const char* path);
// Reads a ROM image into upper-ROM slot `slot`, creating the slot.
bool readFileUrom(const char* path, uint8_t slot);

// The machine's memory (built by beginCPC).
extern memory* mem;
