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

// Mode 0 two-wide pixels from interleaved bits, mode 1 four, mode 2 eight,
// mode 3 only four pens at mode 0 width.
TEST_F(GateArrayPixels, PenOfEachPixelPerMode) {
    const struct {
        int mode;
        uint8_t byte;
        Pens pens;
    } cases[] = {
        {0, 0x80, {1, 1, 1, 1, 0, 0, 0, 0}},
        {0, 0x08 | 0x04, {2, 2, 2, 2, 2, 2, 2, 2}},  // bit 3 is pen bit 1 on the left, bit 2 on the right
        {0, 0x20 | 0x01, {4, 4, 4, 4, 8, 8, 8, 8}},
        {0, 0xFF, {15, 15, 15, 15, 15, 15, 15, 15}},
        {1, 0x88 | 0x01, {3, 3, 0, 0, 0, 0, 2, 2}},
        {1, 0x40, {0, 0, 1, 1, 0, 0, 0, 0}},
        {2, 0x81, {1, 0, 0, 0, 0, 0, 0, 1}},
        {2, 0x5A, {0, 1, 0, 1, 1, 0, 1, 0}},
        {3, 0xFF, {3, 3, 3, 3, 3, 3, 3, 3}},
        {3, 0x80 | 0x04, {1, 1, 1, 1, 2, 2, 2, 2}},
        {3, 0x33, {0, 0, 0, 0, 0, 0, 0, 0}},  // the low pixels of each nibble are not shown
    };
    for (const auto& c : cases) {
        void (gaCPC::*const half[4])(uint8_t) = {&gaCPC::half_mode0, &gaCPC::half_mode1, &gaCPC::half_mode2,
                                                 &gaCPC::half_mode3};
        (g.get()->*half[c.mode])(c.byte);
        EXPECT_EQ(pensShown(), c.pens) << "mode " << c.mode << " byte " << std::hex << int(c.byte);
    }
}

}  // namespace
