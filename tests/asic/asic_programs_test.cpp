// Test cartridges run by the processor: the register page and RMR2 seen by a
// program, the IM 2 vector, and CRTC detection on every CRTC type.
#include <gtest/gtest.h>

#include <cstring>

#include "support/asic_test_support.h"

using namespace asic_test;

namespace {

class AsicPrograms : public PlusMachine {
protected:
    void SetUp() override {
        SKIP_WITHOUT_ASIC_PROGRAMS();
        PlusMachine::SetUp();
    }
};

TEST_F(AsicPrograms, RegisterPageAndRmr2FromAProgram) {
    std::vector<uint8_t> code = program("asic_page");
    ASSERT_FALSE(code.empty());
    std::vector<uint8_t> marker(16, 0x00);
    marker[0] = 0xB2;
    insert(cartridgeWith(code, {{"cb01", std::vector<uint8_t>(16, 0xB1)}, {"cb02", marker}}));
    frames(3);
    ASSERT_EQ(ram(0x8004), 0x55) << "the program did not finish";
    EXPECT_EQ(ram(0x8000), 0x0F) << "palette byte read back";
    EXPECT_EQ(ram(0x8001), 0x68) << "&6800 answers with the data bus (the address's high byte)";
    EXPECT_EQ(ram(0x8002), 0x05) << "&6C05 reads DCSR";
    EXPECT_EQ(ram(0x8003), 0xB2) << "bank 2 at &4000";
    EXPECT_EQ(as->pens[0], 0xFFFF0000u) << "pen 0: red 0, green 0, blue full";
    EXPECT_TRUE(as->unlocked);
}

TEST_F(AsicPrograms, InterruptVectorWithIvrBitZeroClearAndSet) {
    std::vector<uint8_t> code = program("asic_vector");
    ASSERT_FALSE(code.empty());
    insert(cartridgeWith(code));
    frames(10);
    EXPECT_EQ(ram(0x8004), 0x55) << "both vectors seen twice";
    EXPECT_GE(ram(0x8000), 2);
    EXPECT_GE(ram(0x8002), 2);
    EXPECT_EQ(ram(0x8001), 0) << "no interrupt took another vector";
}

// The detection program on a 6128 with each CPC CRTC, from RAM with no ROMs.
using CrtcDetection = test_support::BareMachine;

TEST_F(CrtcDetection, EveryTypeIsFoundByItsStatusPort) {
    SKIP_WITHOUT_ASIC_PROGRAMS();
    std::vector<uint8_t> code = program("crtc_detect");
    ASSERT_FALSE(code.empty());
    for (uint8_t type : {0, 1, 2, 4}) {
        takeDown();
        build();
        crtcType = type;
        crtc->reset();
        crtc->setType(type);
        mem->lowerRom = nullptr;
        std::memcpy(mem->banks[0], code.data(), code.size());
        for (int i = 0; i < 3; ++i) ga->clock();
        EXPECT_EQ(ram(0x8000), type) << "type " << int(type);
    }
}

TEST_F(AsicPrograms, CrtcDetectionFindsType3OnThePlus) {
    std::vector<uint8_t> code = program("crtc_detect");
    insert(cartridgeWith(code));
    frames(3);
    EXPECT_EQ(ram(0x8000), 3);
}

}  // namespace
