// The gate array's serialiser: which pen each pixel of a video byte shows in
// each mode, as the eight colours of a half character.
#include <gtest/gtest.h>

#include <array>
#include <memory>

#include "video/gate_array.h"

namespace {

class GateArrayPixels : public ::testing::Test {
protected:
    void SetUp() override {
        for (uint32_t p = 0; p < 17; ++p) g->pens[p] = 0xFF000000u | p;
    }
    // The pen number behind each of the eight colours.
    std::array<uint32_t, 8> pensShown() const {
        std::array<uint32_t, 8> shown{};
        for (int i = 0; i < 8; ++i) shown[i] = g->derived.halfColours[i] & 0xFF;
        return shown;
    }
    std::unique_ptr<gaCPC> g = std::make_unique<gaCPC>();
};

using Pens = std::array<uint32_t, 8>;

TEST_F(GateArrayPixels, Mode0TwoWidePixelsFromInterleavedBits) {
    g->half_mode0(0x80);
    EXPECT_EQ(pensShown(), (Pens{1, 1, 1, 1, 0, 0, 0, 0}));
    g->half_mode0(0x08 | 0x04);  // bit 3 is pen bit 1 on the left, bit 2 on the right
    EXPECT_EQ(pensShown(), (Pens{2, 2, 2, 2, 2, 2, 2, 2}));
    g->half_mode0(0x20 | 0x01);
    EXPECT_EQ(pensShown(), (Pens{4, 4, 4, 4, 8, 8, 8, 8}));
    g->half_mode0(0xFF);
    EXPECT_EQ(pensShown(), (Pens{15, 15, 15, 15, 15, 15, 15, 15}));
}

TEST_F(GateArrayPixels, Mode1FourPixels) {
    g->half_mode1(0x88 | 0x01);
    EXPECT_EQ(pensShown(), (Pens{3, 3, 0, 0, 0, 0, 2, 2}));
    g->half_mode1(0x40);
    EXPECT_EQ(pensShown(), (Pens{0, 0, 1, 1, 0, 0, 0, 0}));
}

TEST_F(GateArrayPixels, Mode2EightPixels) {
    g->half_mode2(0x81);
    EXPECT_EQ(pensShown(), (Pens{1, 0, 0, 0, 0, 0, 0, 1}));
    g->half_mode2(0x5A);
    EXPECT_EQ(pensShown(), (Pens{0, 1, 0, 1, 1, 0, 1, 0}));
}

TEST_F(GateArrayPixels, Mode3ShowsOnlyFourPensAtMode0Width) {
    g->half_mode3(0xFF);
    EXPECT_EQ(pensShown(), (Pens{3, 3, 3, 3, 3, 3, 3, 3}));
    g->half_mode3(0x80 | 0x04);
    EXPECT_EQ(pensShown(), (Pens{1, 1, 1, 1, 2, 2, 2, 2}));
    g->half_mode3(0x33);  // the low pixels of each nibble are not shown
    EXPECT_EQ(pensShown(), (Pens{0, 0, 0, 0, 0, 0, 0, 0}));
}

}  // namespace
