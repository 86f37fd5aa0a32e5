#include <gtest/gtest.h>

#include <tuple>
#include <utility>
#include <vector>

#include "support/machine_fixture.h"

namespace {

// Tags every bank with its index so a page shows which bank it maps.
void tagBanks(memory& m) {
    for (int i = 0; i < m.bankCount; ++i) m.banks[i][0] = static_cast<uint8_t>(i);
}

int bankOf(const memory& m, int page) {
    for (int i = 0; i < m.bankCount; ++i) {
        if (m.page[page] == m.banks[i]) return i;
    }
    return -1;
}

std::vector<int> pages(const memory& m) { return {bankOf(m, 0), bankOf(m, 1), bankOf(m, 2), bankOf(m, 3)}; }

TEST(MemoryMap, RamSizesRoundUp) {
    struct Case {
        uint16_t kb, banks;
        bool over64, over128;
    } cases[] = {{0, 4, false, false},    {64, 4, false, false},   {65, 8, true, false},
                 {128, 8, true, false},   {129, 20, true, true},   {320, 20, true, true},
                 {576, 36, true, true},   {1088, 68, true, true},  {2112, 132, true, true},
                 {2113, 260, true, true}, {65535, 260, true, true}};
    for (const auto& c : cases) {
        memory m;
        m.init(c.kb);
        EXPECT_EQ(std::tuple(m.bankCount, m.ramOver64, m.ramOver128), std::tuple(c.banks, c.over64, c.over128)) << c.kb;
    }
}

TEST(MemoryMap, ResizeKeepsBanksAndFreesSurplus) {
    memory m;
    m.init(128);
    m.updateRamConfiguration(0x7F, 0);
    tagBanks(m);
    m.banks[2][100] = 0x42;
    m.updateRamConfiguration(0x7F, 0xC4);
    m.init(64);
    EXPECT_EQ(m.bankCount, 4);
    EXPECT_EQ(m.banks[2][100], 0x42);
    EXPECT_GE(bankOf(m, 1), 0) << "no page may point at a freed bank";
    m.init(128);
    EXPECT_EQ(m.bankCount, 8);
    EXPECT_NE(m.banks[4], nullptr);
}

TEST(MemoryMap, Configurations128K) {
    memory m;
    m.init(128);
    m.reset();
    // Bits 5..3 are ignored by configurations 4..7 on a 128 KB machine (FCh),
    // but an odd block wraps expansion banks onto the base 64 KB for 1..3 (CAh).
    const std::pair<uint8_t, std::vector<int>> configurations[] = {
        {0xC4, {0, 4, 2, 3}}, {0xC5, {0, 5, 2, 3}}, {0xC6, {0, 6, 2, 3}}, {0xC7, {0, 7, 2, 3}},
        {0xC2, {4, 5, 6, 7}}, {0xC1, {0, 1, 2, 7}}, {0xC3, {0, 3, 2, 7}}, {0xC0, {0, 1, 2, 3}},
        {0xFC, {0, 4, 2, 3}}, {0xCA, {0, 1, 2, 3}}};
    for (const auto& [value, expected] : configurations) {
        m.updateRamConfiguration(0x7F, value);
        EXPECT_EQ(pages(m), expected) << std::hex << int(value);
    }
}

TEST(MemoryMap, Configurations576K) {
    memory m;
    m.init(576);
    m.reset();
    m.updateRamConfiguration(0x7F, 0xCC);
    EXPECT_EQ(bankOf(m, 1), 8);
    m.updateRamConfiguration(0x7E, 0xC4);
    EXPECT_EQ(bankOf(m, 1), 4) << "bank 36 is beyond 36 banks and wraps with mask 7";
    m.updateRamConfiguration(0x7F, 0xFA);  // block 7 of group 0: banks 32..35
    EXPECT_EQ(pages(m), (std::vector<int>{32, 33, 34, 35}));
}

TEST(MemoryMap, ResetClearsOnlyTheFirst128K) {
    memory m;
    m.init(320);
    for (int i = 0; i < m.bankCount; ++i) m.banks[i][5] = 0x77;
    m.updateRamConfiguration(0x7F, 0xC2);
    m.uromSelected = 9;
    m.reset();
    EXPECT_EQ(std::tuple(m.banks[7][5], m.banks[8][5], m.ramConfig, m.uromSelected), std::tuple(0, 0x77, 0, 0));
    EXPECT_EQ(pages(m), (std::vector<int>{0, 1, 2, 3}));
}

TEST(MemoryMap, DirectBankSelectWraps) {
    memory m;
    m.init(128);
    m.reset();
    m.selectExpBank(1, 6);
    EXPECT_EQ(bankOf(m, 1), 6);
    m.selectExpBank(1, 13);
    EXPECT_EQ(bankOf(m, 1), 5);
    m.mWrite(0x4001, 0x5A);
    EXPECT_EQ(std::tuple(m.banks[5][1], m.mRead(0x4001)), std::tuple(0x5A, 0x5A));
}

TEST(MemoryMap, CartridgeBanksInUpperRomSlots) {
    memory m;
    m.init(128);
    m.initCbBank(1);
    m.initCbBank(3);
    m.init_urom(0);
    m.init_cburom();
    EXPECT_FALSE(m.ownsUrom(5));
    EXPECT_EQ(m.urom[5], m.cbBank[1]);
    EXPECT_EQ(m.urom[7], m.cbBank[3]);
    EXPECT_TRUE(m.ownsUrom(0));
    EXPECT_EQ(m.urom[128], nullptr);
    m.delete_cburom();
    EXPECT_EQ(m.urom[5], nullptr);
    EXPECT_EQ(m.urom[7], nullptr);
    EXPECT_NE(m.urom[0], nullptr);
    EXPECT_NE(m.cbBank[1], nullptr) << "removing the mapping frees nothing";
    // Freeing a bank that slots still point at must not leave them dangling.
    m.init_cburom();
    m.deleteCbBank(1);
    EXPECT_EQ(m.urom[5], nullptr);
}

TEST(MemoryMap, AnExpansionRomNeverWritesTheCartridgeBankItsSlotBorrows) {
    memory m;
    m.init(128);
    m.initCbBank(1);
    m.cbBank[1][0] = 0xB1;
    m.init_cburom();
    ASSERT_EQ(m.urom[3], m.cbBank[1]);
    m.init_urom(3);
    ASSERT_NE(m.urom[3], m.cbBank[1]);
    EXPECT_TRUE(m.ownsUrom(3));
    m.urom[3][0] = 0x3E;
    EXPECT_EQ(m.cbBank[1][0], 0xB1);
    EXPECT_EQ(m.urom[5], m.cbBank[1]) << "the other slots keep the cartridge";
    m.delete_cburom();
    EXPECT_EQ(m.urom[3][0], 0x3E) << "the expansion ROM outlives the cartridge mapping";
}

class RomLoading : public test_support::BareMachine {
protected:
    std::string path;
    void writeRom(size_t size) {
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i / 16384 + 1 + (i & 0x70));
        path = home.write("test.rom", bytes);
    }
};

TEST_F(RomLoading, SixteenKilobytesFromTheStart) {
    writeRom(16383);
    EXPECT_FALSE(readFileUrom(path.c_str(), 3));
    EXPECT_FALSE(SDL_readFileLrom(path.c_str()));

    writeRom(16384);
    EXPECT_TRUE(readFileUrom(path.c_str(), 3));
    EXPECT_EQ(mem->urom[3][0], 1);
    EXPECT_TRUE(SDL_readFileLrom(path.c_str()));
    EXPECT_EQ(mem->lowerRomData[16383], static_cast<uint8_t>(1 + 0x70));

    writeRom(32768);
    EXPECT_TRUE(readFileUrom(path.c_str(), 4));
    EXPECT_EQ(mem->urom[4][0], 1) << "only the first 16 KB of a longer file";
    EXPECT_EQ(mem->urom[4][16383], static_cast<uint8_t>(1 + 0x70));
}

}  // namespace
