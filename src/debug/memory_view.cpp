#include "debug/memory_view.h"

#include "asic/asic.h"
#include "machine/cpu.h"
#include "machine/memory.h"
#include "machine/model.h"
#include "video/gate_array.h"
#include "video/gate_array_bus.h"

namespace {

constexpr uint32_t kBankEnd = memory::kBankSize;
constexpr uint32_t kPageStart = 0x4000, kPageEnd = 0x8000;

bool fail(std::string& error, std::string text) {
    error = std::move(text);
    return false;
}

bool plus() { return isPlusModel(cpcType) && as; }

// The 16 KB block a banked space names, or null with the error set.
uint8_t* blockOf(MemorySpace space, int index, uint32_t address, std::string& error) {
    const std::string n = std::to_string(index);
    uint8_t* block = nullptr;
    switch (space) {
        case MemorySpace::RamBank:
            if (index < 0 || index >= mem->bankCount || !mem->banks) {
                fail(error, "no RAM bank " + n + " on this model");
                return nullptr;
            }
            block = mem->banks[index];
            break;
        case MemorySpace::RomSlot:
            if (index < 0 || index > 255 || !mem->urom[index]) {
                fail(error, "no ROM in slot " + n);
                return nullptr;
            }
            block = mem->urom[index];
            break;
        case MemorySpace::CartridgeBank:
            if (!plus()) {
                fail(error, "no cartridge on this model");
                return nullptr;
            }
            if (index < 0 || index > 255 || !mem->cbBank[index]) {
                fail(error, "no cartridge bank " + n);
                return nullptr;
            }
            block = mem->cbBank[index];
            break;
        case MemorySpace::LowerRom:
            if (!mem->lowerRom) {
                fail(error, "no lower ROM");
                return nullptr;
            }
            block = mem->lowerRom;
            break;
        default: fail(error, "not a banked space"); return nullptr;
    }
    if (!block) {
        fail(error, "no memory there");
        return nullptr;
    }
    if (address >= kBankEnd) {
        fail(error, "address out of range");
        return nullptr;
    }
    return block;
}

bool pageReady(uint32_t address, std::string& error) {
    if (!plus() || !as->asicPage) return fail(error, "no ASIC on this model");
    if (address < kPageStart || address >= kPageEnd) return fail(error, "address out of range");
    return true;
}

}  // namespace

bool peekMemory(MemorySpace space, int index, uint32_t address, uint8_t& value, std::string& error) {
    if (!mem || !cpu || !ga) return fail(error, "no machine");
    switch (space) {
        case MemorySpace::Cpu:
            if (address > 0xFFFF) return fail(error, "address out of range");
            value = plus() ? as->readMemory(static_cast<uint16_t>(address))
                           : ga->readMemory(static_cast<uint16_t>(address));
            return true;
        case MemorySpace::AsicPage: {
            if (!pageReady(address, error)) return false;
            // Write-only registers read back as last written, from the page image.
            const uint16_t offset = static_cast<uint16_t>(address - kPageStart);
            value = as->mRead(offset, as->asicPage[offset]);
            return true;
        }
        default: {
            const uint8_t* block = blockOf(space, index, address, error);
            if (!block) return false;
            value = block[address];
            return true;
        }
    }
}

bool pokeMemory(MemorySpace space, int index, uint32_t address, uint8_t value, std::string& error) {
    if (!mem || !cpu || !ga) return fail(error, "no machine");
    switch (space) {
        case MemorySpace::Cpu: {
            if (address > 0xFFFF) return fail(error, "address out of range");
            const uint16_t at = static_cast<uint16_t>(address);
            if (!plus()) {
                mem->mWrite(at, value);  // what the gate array does with a processor write
                return true;
            }
            // The ASIC takes the byte from the data bus, as in the processor's write cycle.
            const uint8_t bus = cpu->dataBus;
            cpu->dataBus = value;
            as->writeMemory(at);
            cpu->dataBus = bus;
            return true;
        }
        case MemorySpace::AsicPage:
            if (!pageReady(address, error)) return false;
            as->mWrite(static_cast<uint16_t>(address - kPageStart), value);
            return true;
        default: {
            uint8_t* block = blockOf(space, index, address, error);
            if (!block) return false;
            block[address] = value;
            return true;
        }
    }
}
