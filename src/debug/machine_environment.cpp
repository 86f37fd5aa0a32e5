#include "debug/machine_environment.h"

#include <cctype>
#include <cstdio>

#include "asic/asic.h"
#include "debug/expression.h"
#include "debug/memory_view.h"
#include "debug/symbol_table.h"
#include "machine/cpu.h"
#include "machine/memory.h"
#include "machine/model.h"
#include "video/crtc6845.h"
#include "video/gate_array.h"
#include "video/gate_array_bus.h"

namespace {

gaCPC* clockChip() { return isPlusModel(cpcType) ? as : ga; }

const uint8_t* blockAt(uint16_t address) {
    if (isPlusModel(cpcType)) return as ? as->readBlock(address >> 14) : nullptr;
    return ga ? ga->readBlock(address >> 14) : nullptr;
}

bool fetchBegun() { return cpu->phase == Z80CPU::PhFetchT2 && cpu->prefix == Z80CPU::PrefixNone; }

// One entry per name; `bits` 1 for a flag or state bit, 0 for a chip counter
// (read-only).
struct Register {
    const char* name;
    uint8_t bits;
    uint32_t (*get)();
    void (*set)(uint32_t);
};

uint32_t pcNow() { return debugger.currentPc(); }
void setPcNow(uint32_t v) {
    if (fetchBegun()) {
        cpu->addressBus = uint16_t(v);
        cpu->PC = uint16_t(v + 1);
    } else {
        cpu->PC = uint16_t(v);
    }
}

template <uint8_t Mask>
uint32_t flag() {
    return (cpu->getF() & Mask) ? 1 : 0;
}
template <uint8_t Mask>
void setFlag(uint32_t v) {
    cpu->regF() = uint8_t(v ? cpu->getF() | Mask : cpu->getF() & ~Mask);
}

const Register kRegisters[] = {
    {"PC", 16, pcNow, setPcNow},
    {"SP", 16, [] { return uint32_t(cpu->getSP()); }, [](uint32_t v) { cpu->setSP(uint16_t(v)); }},
    {"AF", 16, [] { return uint32_t(cpu->getAF()); }, [](uint32_t v) { cpu->setAF(uint16_t(v)); }},
    {"BC", 16, [] { return uint32_t(cpu->getBC()); }, [](uint32_t v) { cpu->setBC(uint16_t(v)); }},
    {"DE", 16, [] { return uint32_t(cpu->getDE()); }, [](uint32_t v) { cpu->setDE(uint16_t(v)); }},
    {"HL", 16, [] { return uint32_t(cpu->getHL()); }, [](uint32_t v) { cpu->setHL(uint16_t(v)); }},
    {"IX", 16, [] { return uint32_t(cpu->getIX()); }, [](uint32_t v) { cpu->setIX(uint16_t(v)); }},
    {"IY", 16, [] { return uint32_t(cpu->getIY()); }, [](uint32_t v) { cpu->setIY(uint16_t(v)); }},
    {"AF'", 16, [] { return uint32_t(cpu->getAltAF()); },
     [](uint32_t v) {
         cpu->afSwapped = !cpu->afSwapped;
         cpu->setAF(uint16_t(v));
         cpu->afSwapped = !cpu->afSwapped;
     }},
    {"BC'", 16, [] { return uint32_t(cpu->getAltBC()); },
     [](uint32_t v) {
         cpu->exxSwapped = !cpu->exxSwapped;
         cpu->setBC(uint16_t(v));
         cpu->exxSwapped = !cpu->exxSwapped;
     }},
    {"DE'", 16, [] { return uint32_t(cpu->getAltDE()); },
     [](uint32_t v) {
         cpu->exxSwapped = !cpu->exxSwapped;
         cpu->setDE(uint16_t(v));
         cpu->exxSwapped = !cpu->exxSwapped;
     }},
    {"HL'", 16, [] { return uint32_t(cpu->getAltHL()); },
     [](uint32_t v) {
         cpu->exxSwapped = !cpu->exxSwapped;
         cpu->setHL(uint16_t(v));
         cpu->exxSwapped = !cpu->exxSwapped;
     }},
    {"WZ", 16, [] { return uint32_t(cpu->getWZ()); }, [](uint32_t v) { cpu->setWZ(uint16_t(v)); }},
    {"A", 8, [] { return uint32_t(cpu->getA()); }, [](uint32_t v) { cpu->setA(uint8_t(v)); }},
    {"F", 8, [] { return uint32_t(cpu->getF()); }, [](uint32_t v) { cpu->regF() = uint8_t(v); }},
    {"B", 8, [] { return uint32_t(cpu->regB()); }, [](uint32_t v) { cpu->regB() = uint8_t(v); }},
    {"C", 8, [] { return uint32_t(cpu->regC()); }, [](uint32_t v) { cpu->regC() = uint8_t(v); }},
    {"D", 8, [] { return uint32_t(cpu->regD()); }, [](uint32_t v) { cpu->regD() = uint8_t(v); }},
    {"E", 8, [] { return uint32_t(cpu->regE()); }, [](uint32_t v) { cpu->regE() = uint8_t(v); }},
    {"H", 8, [] { return uint32_t(cpu->regH()); }, [](uint32_t v) { cpu->regH() = uint8_t(v); }},
    {"L", 8, [] { return uint32_t(cpu->regL()); }, [](uint32_t v) { cpu->regL() = uint8_t(v); }},
    {"IXH", 8, [] { return uint32_t(cpu->IXh); }, [](uint32_t v) { cpu->IXh = uint8_t(v); }},
    {"IXL", 8, [] { return uint32_t(cpu->IXl); }, [](uint32_t v) { cpu->IXl = uint8_t(v); }},
    {"IYH", 8, [] { return uint32_t(cpu->IYh); }, [](uint32_t v) { cpu->IYh = uint8_t(v); }},
    {"IYL", 8, [] { return uint32_t(cpu->IYl); }, [](uint32_t v) { cpu->IYl = uint8_t(v); }},
    {"I", 8, [] { return uint32_t(cpu->I); }, [](uint32_t v) { cpu->I = uint8_t(v); }},
    {"R", 8, [] { return uint32_t(cpu->R); }, [](uint32_t v) { cpu->R = uint8_t(v); }},
    {"IFF1", 1, [] { return uint32_t(cpu->iff1); }, [](uint32_t v) { cpu->iff1 = v != 0; }},
    {"IFF2", 1, [] { return uint32_t(cpu->iff2); }, [](uint32_t v) { cpu->iff2 = v != 0; }},
    {"IM", 2, [] { return uint32_t(cpu->interruptMode); }, [](uint32_t v) { cpu->interruptMode = uint8_t(v); }},
    {"HALT", 1, [] { return uint32_t(cpu->halt); }, [](uint32_t v) { cpu->halt = v != 0; }},
    // Flags by letter; C is the register, so the carry is CF (or CY).
    {"SF", 1, flag<Z80CPU::FlagS>, setFlag<Z80CPU::FlagS>},
    {"ZF", 1, flag<Z80CPU::FlagZ>, setFlag<Z80CPU::FlagZ>},
    {"Z", 1, flag<Z80CPU::FlagZ>, setFlag<Z80CPU::FlagZ>},
    {"HF", 1, flag<Z80CPU::FlagH>, setFlag<Z80CPU::FlagH>},
    {"PF", 1, flag<Z80CPU::FlagPV>, setFlag<Z80CPU::FlagPV>},
    {"VF", 1, flag<Z80CPU::FlagPV>, setFlag<Z80CPU::FlagPV>},
    {"NF", 1, flag<Z80CPU::FlagN>, setFlag<Z80CPU::FlagN>},
    {"CF", 1, flag<Z80CPU::FlagC>, setFlag<Z80CPU::FlagC>},
    {"CY", 1, flag<Z80CPU::FlagC>, setFlag<Z80CPU::FlagC>},
    {"NZ", 0, [] { return flag<Z80CPU::FlagZ>() ^ 1; }, nullptr},
    {"NC", 0, [] { return flag<Z80CPU::FlagC>() ^ 1; }, nullptr},
    {"PO", 0, [] { return flag<Z80CPU::FlagPV>() ^ 1; }, nullptr},
    {"PE", 0, flag<Z80CPU::FlagPV>, nullptr},
    {"P", 0, [] { return flag<Z80CPU::FlagS>() ^ 1; }, nullptr},
    {"M", 0, flag<Z80CPU::FlagS>, nullptr},
    // The CRTC's and the gate array's counters.
    {"C0", 0, [] { return uint32_t(crtc->C0); }, nullptr},
    {"C4", 0, [] { return uint32_t(crtc->C4); }, nullptr},
    {"VCC", 0, [] { return uint32_t(crtc->C4); }, nullptr},
    {"C9", 0, [] { return uint32_t(crtc->C9); }, nullptr},
    {"RC", 0, [] { return uint32_t(crtc->C9); }, nullptr},
    {"C5", 0, [] { return uint32_t(crtc->C5); }, nullptr},
    {"MA", 0, [] { return uint32_t(crtc->MA); }, nullptr},
    {"RA", 0, [] { return uint32_t(crtc->RA); }, nullptr},
    {"HSYNC", 0, [] { return uint32_t(crtc->hsync); }, nullptr},
    {"VSYNC", 0, [] { return uint32_t(crtc->vsync); }, nullptr},
    {"GAINT", 0, [] { return uint32_t(clockChip()->intCounter); }, nullptr},
    {"MODE", 0, [] { return uint32_t(clockChip()->mode); }, nullptr},
};
constexpr int kRegisterCount = int(sizeof kRegisters / sizeof kRegisters[0]);

bool sameName(std::string_view a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != b[i]) return false;
    return i == a.size() && !b[i];
}

int registerIndex(std::string_view name) {
    for (int i = 0; i < kRegisterCount; ++i)
        if (sameName(name, kRegisters[i].name)) return i;
    return -1;
}

// Ids below kRegisterCount are registers; above, labels by index.
class MachineEnvironment : public ExpressionEnvironment {
public:
    int idOf(std::string_view name) const override {
        const int reg = registerIndex(name);
        if (reg >= 0) return reg;
        const auto value = debugSymbols().valueOf(name);
        if (!value) return -1;
        return kRegisterCount + *value;
    }
    uint32_t valueOf(int id) const override {
        if (id < kRegisterCount) return kRegisters[id].get();
        return uint32_t(id - kRegisterCount);
    }
    uint8_t peek(uint16_t address) const override { return processorView(address); }
};

}  // namespace

uint8_t processorView(uint16_t address) {
    uint8_t value = 0xFF;
    std::string error;
    peekMemory(MemorySpace::Cpu, 0, address, value, error);
    return value;
}

bool mappingMatches(MappingKind kind, int index, uint16_t address) {
    if (kind == MappingKind::Any) return true;
    const uint8_t* block = blockAt(address);
    if (!block || !mem) return false;
    switch (kind) {
        case MappingKind::LowerRom: return block == mem->lowerRom;
        case MappingKind::Ram: return block == mem->page[address >> 14];
        case MappingKind::UpperRom:
            if (index >= 0) return index < 256 && block == mem->urom[index] && block != mem->lowerRom;
            for (int i = 0; i < 256; ++i)
                if (mem->urom[i] == block) return true;
            return false;
        case MappingKind::CartridgeBank:
            if (index >= 0) return index < 256 && block == mem->cbBank[index];
            for (int i = 0; i < 256; ++i)
                if (mem->cbBank[i] == block) return true;
            return false;
        default: return true;
    }
}

const ExpressionEnvironment& machineEnvironment() {
    static const MachineEnvironment environment;
    return environment;
}

SymbolTable& debugSymbols() {
    static SymbolTable symbols;
    return symbols;
}

bool readRegister(std::string_view name, uint32_t& value) {
    const int i = registerIndex(name);
    if (i < 0 || !cpu) return false;
    value = kRegisters[i].get();
    return true;
}

bool writeRegister(std::string_view name, uint32_t value, std::string& error) {
    const int i = registerIndex(name);
    if (i < 0) {
        error = "unknown register '" + std::string(name) + "'";
        return false;
    }
    const Register& reg = kRegisters[i];
    if (!reg.set) {
        error = std::string(reg.name) + " is read-only";
        return false;
    }
    const uint32_t limit = reg.bits == 16 ? 0xFFFF : reg.bits == 8 ? 0xFF : reg.bits == 2 ? 2 : 1;
    if (value > limit) {
        error = "value out of range for " + std::string(reg.name);
        return false;
    }
    reg.set(value);
    return true;
}

std::vector<std::string> registerLines() {
    std::vector<std::string> lines;
    char text[32];
    // The processor's own, up to the flags by letter.
    for (int i = 0; i < kRegisterCount && !sameName("SF", kRegisters[i].name); ++i) {
        const Register& reg = kRegisters[i];
        if (reg.bits == 16) std::snprintf(text, sizeof text, "%s=%04X", reg.name, reg.get());
        else if (reg.bits == 8) std::snprintf(text, sizeof text, "%s=%02X", reg.name, reg.get());
        else std::snprintf(text, sizeof text, "%s=%u", reg.name, reg.get());
        lines.emplace_back(text);
    }
    return lines;
}
