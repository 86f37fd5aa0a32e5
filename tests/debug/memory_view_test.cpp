// The debugger's memory spaces: each one round-trips a whole bank into the
// machine's own storage, the processor's view follows the ROM overlays and
// the ASIC page, and a refused access changes nothing.
#include "debug/memory_view.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/asic_test_support.h"
#include "support/machine_fixture.h"

using test_support::ioCycle;

namespace {

struct Space {
    const char* name;
    MemorySpace space;
    int index;
    uint32_t start;
    const uint8_t* (*storage)();  // where the machine keeps those 16 KB
};

// Pokes a pattern over 16 KB, checks the machine's storage holds it, and that peeks give it back.
void roundTrip(const Space& s, uint8_t seed) {
    SCOPED_TRACE(s.name);
    std::string error;
    for (uint32_t i = 0; i < 0x4000; ++i) {
        ASSERT_TRUE(pokeMemory(s.space, s.index, s.start + i, static_cast<uint8_t>(i * 7 + seed), error)) << error;
    }
    std::vector<uint8_t> expected(0x4000), peeked(0x4000);
    for (uint32_t i = 0; i < 0x4000; ++i) {
        expected[i] = static_cast<uint8_t>(i * 7 + seed);
        ASSERT_TRUE(peekMemory(s.space, s.index, s.start + i, peeked[i], error)) << error;
    }
    EXPECT_EQ(peeked, expected);
    EXPECT_EQ(std::memcmp(s.storage(), expected.data(), expected.size()), 0);
}

// Everything a refused access could touch.
std::vector<uint8_t> wholeMachineMemory() {
    std::vector<uint8_t> all;
    auto add = [&](const uint8_t* block) {
        if (block) all.insert(all.end(), block, block + 0x4000);
    };
    for (int b = 0; b < mem->bankCount; ++b) add(mem->banks[b]);
    for (const uint8_t* rom : mem->urom) add(rom);
    for (const uint8_t* bank : mem->cbBank) add(bank);
    add(mem->lowerRom);
    return all;
}

struct Refusal {
    MemorySpace space;
    int index;
    uint32_t address;
    const char* error;
};

void expectRefused(const std::vector<Refusal>& refusals) {
    const std::vector<uint8_t> before = wholeMachineMemory();
    for (const Refusal& r : refusals) {
        std::string error;
        uint8_t value = 0x5A;
        EXPECT_FALSE(pokeMemory(r.space, r.index, r.address, 0xA5, error));
        EXPECT_EQ(error, r.error);
        error.clear();
        EXPECT_FALSE(peekMemory(r.space, r.index, r.address, value, error));
        EXPECT_EQ(error, r.error);
        EXPECT_EQ(value, 0x5A) << r.error;
    }
    EXPECT_TRUE(wholeMachineMemory() == before);
}

class Memory6128 : public test_support::BuiltMachine {};

TEST_F(Memory6128, EverySpaceRoundTripsAndBadIndexesChangeNothing) {
    const Space spaces[] = {
        {"RAM bank 6", MemorySpace::RamBank, 6, 0, [] { return static_cast<const uint8_t*>(mem->banks[6]); }},
        {"AMSDOS slot", MemorySpace::RomSlot, 7, 0, [] { return static_cast<const uint8_t*>(mem->urom[7]); }},
        {"lower ROM", MemorySpace::LowerRom, 0, 0, [] { return static_cast<const uint8_t*>(mem->lowerRom); }},
        {"processor &8000", MemorySpace::Cpu, 0, 0x8000, [] { return static_cast<const uint8_t*>(mem->banks[2]); }},
    };
    for (const Space& s : spaces) roundTrip(s, 3);

    expectRefused({
        {MemorySpace::RamBank, 8, 0, "no RAM bank 8 on this model"},
        {MemorySpace::RamBank, -1, 0, "no RAM bank -1 on this model"},
        {MemorySpace::RamBank, 0, 0x4000, "address out of range"},
        {MemorySpace::RomSlot, 5, 0, "no ROM in slot 5"},
        {MemorySpace::RomSlot, 256, 0, "no ROM in slot 256"},
        {MemorySpace::CartridgeBank, 0, 0, "no cartridge on this model"},
        {MemorySpace::AsicPage, 0, 0x4000, "no ASIC on this model"},
        {MemorySpace::Cpu, 0, 0x10000, "address out of range"},
    });
}

TEST_F(Memory6128, ProcessorReadsTheRomsWhereMappedAndWritesTheRamUnder) {
    std::string error;
    uint8_t value = 0;
    // After reset both ROMs are in: reads see them, writes go to RAM.
    ASSERT_TRUE(pokeMemory(MemorySpace::Cpu, 0, 0x0005, static_cast<uint8_t>(~mem->lowerRom[5]), error));
    ASSERT_TRUE(pokeMemory(MemorySpace::Cpu, 0, 0xC010, static_cast<uint8_t>(~mem->urom[0][0x10]), error));
    ASSERT_TRUE(peekMemory(MemorySpace::Cpu, 0, 0x0005, value, error));
    EXPECT_EQ(value, mem->lowerRom[5]);
    ASSERT_TRUE(peekMemory(MemorySpace::Cpu, 0, 0xC010, value, error));
    EXPECT_EQ(value, mem->urom[0][0x10]);
    EXPECT_EQ(mem->banks[0][5], static_cast<uint8_t>(~mem->lowerRom[5]));

    ioCycle(0x7F00, 0x8C);  // both ROMs out
    ASSERT_TRUE(peekMemory(MemorySpace::Cpu, 0, 0x0005, value, error));
    EXPECT_EQ(value, static_cast<uint8_t>(~mem->lowerRom[5]));
    ASSERT_TRUE(peekMemory(MemorySpace::Cpu, 0, 0xC010, value, error));
    EXPECT_EQ(value, static_cast<uint8_t>(~mem->urom[0][0x10]));

    ioCycle(0x7F00, 0xC2);  // banks 4-7 in the processor's view
    ASSERT_TRUE(pokeMemory(MemorySpace::Cpu, 0, 0x4321, 0x99, error));
    EXPECT_EQ(mem->banks[5][0x0321], 0x99);
}

class MemoryPlus : public test_support::Machine {
protected:
    MemoryPlus() : Machine({.sharedRoms = true, .model = CPC6128Plus}) {}
};

TEST_F(MemoryPlus, CartridgeAndPageRoundTripAndTheProcessorWritesTheAsic) {
    const Space spaces[] = {
        {"cartridge bank 1", MemorySpace::CartridgeBank, 1, 0,
         [] { return static_cast<const uint8_t*>(mem->cbBank[1]); }},
        {"RAM bank 7", MemorySpace::RamBank, 7, 0, [] { return static_cast<const uint8_t*>(mem->banks[7]); }},
    };
    for (const Space& s : spaces) roundTrip(s, 11);

    std::string error;
    uint8_t value = 0;
    // The OS is bank 0, in at &0000 after reset.
    ASSERT_TRUE(pokeMemory(MemorySpace::CartridgeBank, 0, 0x0100, 0x3C, error));
    ASSERT_TRUE(peekMemory(MemorySpace::Cpu, 0, 0x0100, value, error));
    EXPECT_EQ(value, 0x3C);

    // The page, mapped or not: sprite pixels keep four bits, PRI reads back as written.
    ASSERT_TRUE(pokeMemory(MemorySpace::AsicPage, 0, 0x4000, 0xFA, error));
    ASSERT_TRUE(peekMemory(MemorySpace::AsicPage, 0, 0x4000, value, error));
    EXPECT_EQ(value, 0x0A);
    ASSERT_TRUE(pokeMemory(MemorySpace::AsicPage, 0, 0x6800, 0x20, error));
    EXPECT_EQ(as->pri, 0x20);
    ASSERT_TRUE(peekMemory(MemorySpace::AsicPage, 0, 0x6800, value, error));
    EXPECT_EQ(value, 0x20);

    // Not mapped: the processor's &6800 is RAM.
    ASSERT_TRUE(pokeMemory(MemorySpace::Cpu, 0, 0x6800, 0x77, error));
    EXPECT_EQ(as->pri, 0x20);
    EXPECT_EQ(mem->banks[1][0x2800], 0x77);

    // Mapped (unlocked, RMR2 &38): the same write reaches the register, not the RAM.
    constexpr uint8_t kUnlock[17] = {0xFF, 0x00, 0xFF, 0x77, 0xB3, 0x51, 0xA8, 0xD4, 0x62,
                                     0x39, 0x9C, 0x46, 0x2B, 0x15, 0x8A, 0xCD, 0xEE};
    for (uint8_t b : kUnlock) asic_test::asicIo(0xBC00, b);
    asic_test::asicIo(0x7F00, 0xB8);
    ASSERT_TRUE(as->pageMapped());
    ASSERT_TRUE(pokeMemory(MemorySpace::Cpu, 0, 0x6800, 0x42, error));
    EXPECT_EQ(as->pri, 0x42);
    EXPECT_EQ(mem->banks[1][0x2800], 0x77);
    ASSERT_TRUE(pokeMemory(MemorySpace::Cpu, 0, 0x4001, 0x1F, error));
    ASSERT_TRUE(peekMemory(MemorySpace::Cpu, 0, 0x4001, value, error));
    EXPECT_EQ(value, 0x0F);

    expectRefused({
        {MemorySpace::CartridgeBank, 200, 0, "no cartridge bank 200"},
        {MemorySpace::AsicPage, 0, 0x8000, "address out of range"},
        {MemorySpace::AsicPage, 0, 0x3FFF, "address out of range"},
        {MemorySpace::CartridgeBank, 0, 0x4000, "address out of range"},
    });
}

}  // namespace
