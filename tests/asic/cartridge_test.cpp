// The CPR loader: bank numbering and filling, and hostile files.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "asic/cartridge.h"
#include "machine/file_reader.h"
#include "support/asic_test_support.h"

using namespace asic_test;

namespace {

class Cartridge : public PlusMachine {};

std::vector<uint8_t> filled(size_t size, uint8_t value) { return std::vector<uint8_t>(size, value); }

TEST_F(Cartridge, BanksAreNumberedInDecimalAndFilled) {
    std::vector<Chunk> chunks;
    // Banks go by their number, whatever order their chunks come in.
    for (int b = 7; b >= 0; --b) chunks.push_back({"cb0" + std::to_string(b), filled(16384, uint8_t(0x10 + b))});
    ASSERT_TRUE(loadCprBytes(buildCpr(chunks)));
    for (int b = 0; b < 8; ++b) EXPECT_EQ(mem->cbBank[b][16383], 0x10 + b);
    for (int b = 8; b < 32; ++b) {
        ASSERT_NE(mem->cbBank[b], nullptr) << b;
        EXPECT_EQ(std::tuple(mem->cbBank[b][0], mem->cbBank[b][16383]), std::tuple(0xFF, 0xFF)) << b;
    }
    EXPECT_EQ(std::tuple(mem->cbBank[32], mem->cartridgeBankCount), std::tuple(nullptr, 32));
    EXPECT_EQ(std::tuple(mem->lowerRom, mem->urom[0], mem->urom[7]),
              std::tuple(mem->cbBank[0], mem->cbBank[1], mem->cbBank[3]));

    // "cb10" is bank 10; a short chunk is zero-filled; a long one gives its
    // first 16384 bytes and the chunk after it is still read.
    std::vector<uint8_t> longChunk = filled(16384 + 100, 0x33);
    ASSERT_TRUE(loadCprBytes(buildCpr({{"cb00", filled(4000, 0xAB)}, {"cb10", longChunk}, {"cb12", filled(10, 0x44)}})));
    EXPECT_EQ(std::tuple(mem->cbBank[0][3999], mem->cbBank[0][4000], mem->cbBank[0][16383]), std::tuple(0xAB, 0, 0));
    EXPECT_EQ(mem->cbBank[1], nullptr) << "banks before the last one are not made up";
    EXPECT_EQ(std::tuple(mem->cbBank[10][16383], mem->cbBank[12][9], mem->cbBank[13][0]), std::tuple(0x33, 0x44, 0xFF));
}

TEST_F(Cartridge, RefusedFiles) {
    ASSERT_TRUE(loadCprBytes(buildCpr({{"cb00", filled(16, 0x77)}})));
    std::vector<uint8_t> notRiff = buildCpr({{"cb00", filled(16, 0x11)}});
    notRiff[0] = 'X';
    EXPECT_FALSE(loadCprBytes(notRiff));
    EXPECT_EQ(mem->cbBank[0][0], 0x77) << "a file that is not RIFF changes nothing";
    EXPECT_FALSE(loadCprBytes(buildCpr({{"cb01", filled(16, 0x11)}}))) << "no bank 0";
    EXPECT_STREQ(fileRefusal(), "no bank 0, the cartridge cannot start");
    EXPECT_EQ(mem->cbBank[0][0], 0x77) << "a refused file changes nothing";
}

TEST_F(Cartridge, HostileFilesEndCleanly) {
    const std::vector<uint8_t> valid =
        buildCpr({{"cb00", filled(40, 0x01)}, {"cb01", filled(30, 0x02)}, {"cb31", filled(20, 0x03)}});
    for (size_t cut = 0; cut < valid.size(); ++cut) {
        std::vector<uint8_t> truncated(valid.begin(), valid.begin() + static_cast<long>(cut));
        bool loaded = loadCprBytes(truncated);
        // A bank cut inside its data is refused; a file that ends between chunks is whole.
        bool cutBank = cut < 60 || (cut >= 68 && cut < 98) || cut >= 106;
        EXPECT_EQ(loaded, !cutBank) << "cut at " << cut;
    }
    for (uint32_t size : {0xFFFFu, 0xFFFFFFFFu}) {
        EXPECT_FALSE(loadCprBytes(buildCpr({{"cb00", filled(100, 0x09), size}}))) << size;
        EXPECT_STREQ(fileRefusal(), "bank 0 cut short: 100 of its 16384 bytes in the file");
    }
    std::vector<Chunk> many;
    for (int i = 0; i < 300; ++i) {
        char id[5];
        std::snprintf(id, sizeof id, "cb%02d", i % 100);
        many.push_back({id, filled(8, uint8_t(i))});
    }
    EXPECT_TRUE(loadCprBytes(buildCpr(many)));
    EXPECT_EQ(mem->cbBank[0][0], 200);
    EXPECT_EQ(mem->cbBank[99][0], 299 & 0xFF);
    EXPECT_EQ(mem->cartridgeBankCount, 100);
}

TEST_F(Cartridge, StandInFromThe6128Roms) {
    std::vector<uint8_t> os(16384, 0x0A), basic(16384, 0x0B), disk(16384, 0x0D);
    ASSERT_TRUE(buildStandInCartridge(os.data(), basic.data(), disk.data()));
    EXPECT_EQ(mem->lowerRom[0], 0x0A);
    EXPECT_EQ(mem->urom[0][0], 0x0B);
    EXPECT_EQ(mem->urom[7][0], 0x0D);
    EXPECT_EQ(mem->cbBank[2], nullptr);
    EXPECT_EQ(mem->cbBank[4][0], 0xFF);
    ASSERT_TRUE(buildStandInCartridge(os.data(), basic.data(), nullptr));
    EXPECT_EQ(mem->urom[7], mem->cbBank[1]) << "without the disk ROM slot 7 is BASIC";
    EXPECT_FALSE(buildStandInCartridge(nullptr, basic.data(), disk.data()));
}

}  // namespace
