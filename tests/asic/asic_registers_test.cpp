// The ASIC's unlock sequence, register page, I/O differences, memory map and
// interrupt acknowledge, driven through its pins without a processor program.
#include <gtest/gtest.h>

#include <tuple>

#include "support/asic_test_support.h"

using namespace asic_test;

namespace {

constexpr uint8_t kSequence[17] = {0xFF, 0x00, 0xFF, 0x77, 0xB3, 0x51, 0xA8, 0xD4, 0x62,
                                   0x39, 0x9C, 0x46, 0x2B, 0x15, 0x8A, 0xCD, 0xEE};

void select(uint8_t b) { asicIo(0xBC00, b); }

void sendSequence(int count, uint8_t replaceLastWith = 0, bool replace = false) {
    for (int i = 0; i < count; ++i) select(replace && i == count - 1 ? replaceLastWith : kSequence[i]);
}

class Asic : public PlusMachine {};

TEST_F(Asic, UnlockSequenceAndItsEdges) {
    sendSequence(16);
    EXPECT_FALSE(as->unlocked) << "the fourteenth match alone does not unlock";
    select(0x42);  // the byte after the fourteenth match, whatever it is
    EXPECT_TRUE(as->unlocked);

    // A wrong byte at the fourteenth position relocks.
    sendSequence(16, 0x00, true);
    EXPECT_FALSE(as->unlocked);

    // A wrong byte earlier only breaks the sequence; it does not relock.
    sendSequence(17);
    ASSERT_TRUE(as->unlocked);
    sendSequence(8, 0x12, true);
    EXPECT_TRUE(as->unlocked);
    EXPECT_FALSE(as->unlockInSequence);

    // Without the arming non-zero byte the zero starts nothing.
    as->reset();
    for (int i = 1; i < 17; ++i) select(kSequence[i]);
    EXPECT_FALSE(as->unlocked);
}

TEST_F(Asic, FunctionTenIsRmr2OnlyWhenUnlocked) {
    asicIo(0x7F00, 0xA0);
    EXPECT_EQ(std::tuple(as->modeRomReg, as->rmr2), std::tuple(0x00, 0)) << "locked: a mode and ROM write";
    asicIo(0x7F00, 0x8D);
    EXPECT_EQ(as->modeRomReg, 0x0D);
    sendSequence(17);
    asicIo(0x7F00, 0xA0);
    EXPECT_EQ(std::tuple(as->rmr2, as->modeRomReg), std::tuple(0x20, 0x0D)) << "RMR2 leaves the mode and ROM register";
    sendSequence(16, 0x01, true);  // relocked: RMR2 stays in force
    EXPECT_FALSE(as->unlocked);
    EXPECT_EQ(as->rmr2, 0x20);
}

TEST_F(Asic, RegisterPageReadsAndWrites) {
    as->mWrite(0x2400, 0x0F);
    EXPECT_EQ(as->mRead(0x2400, 0x99), 0x0F);
    EXPECT_EQ(as->pens[0], 0xFFFF0000u) << "red 0, blue full, green 0";
    as->mWrite(0x2401, 0xF8);
    EXPECT_EQ(as->mRead(0x2401, 0x99), 0x08);
    EXPECT_EQ(as->pens[0], 0xFFFF8800u);
    as->mWrite(0x2420, 0xA5);  // entry 16 is the border
    EXPECT_EQ(as->borderColor, 0xFF5500AAu);

    as->mWrite(0x0123, 0xF7);
    EXPECT_EQ(as->mRead(0x0123, 0), 0x07) << "sprite pixels keep four bits";
    as->mWrite(0x2009, 0x07);
    EXPECT_EQ(as->mRead(0x2009, 0), 0xFF) << "X high 3 reads FFh";
    as->mWrite(0x200B, 0x03);
    EXPECT_EQ(as->mRead(0x200B, 0), 0xFF);
    as->mWrite(0x2008, 0x34);
    as->mWrite(0x200C, 0x1E);
    EXPECT_EQ(as->asicPage[0x200C], 0x0E);
    EXPECT_EQ(as->mRead(0x200C, 0), 0x34) << "magnification reads the byte four lower";

    for (uint16_t a = 0x2800; a <= 0x2805; ++a) EXPECT_EQ(as->mRead(a, 0x5C), 0x5C) << "data bus at " << a;
    as->mWrite(0x2805, 0x51);
    EXPECT_EQ(as->ivr, 0x51);
    as->mWrite(0x2C0F, 0x05);
    for (uint16_t a = 0x2C00; a <= 0x2C0F; ++a) EXPECT_EQ(as->mRead(a, 0x5C), 0x05) << "DCSR at " << a;
    EXPECT_EQ(as->mRead(0x2808, 0), 63) << "no joystick";
    EXPECT_EQ(as->mRead(0x280D, 0xAA), 0);
    as->analogJoystick[0] = true;
    as->analogAxis[0][1] = -32768;
    EXPECT_EQ(std::tuple(as->mRead(0x2808, 0), as->mRead(0x2809, 0)), std::tuple(31, 62));
    EXPECT_EQ(as->mRead(0x3000, 0x77), 0x77) << "unused addresses answer with the data bus";
}

TEST_F(Asic, ColourWritesFillThePalettePage) {
    asicIo(0x7F00, 0x01);  // pen 1
    asicIo(0x7F00, 0x4C);  // hardware colour 12, bright red
    EXPECT_EQ(std::tuple(as->asicPage[0x2402], as->asicPage[0x2403]), std::tuple(0xF0, 0x00));
    asicIo(0x7F00, 0x10);  // border, by an IN this time
    asicIo(0x7F00, 0x44, false);  // colour 4, blue
    EXPECT_EQ(std::tuple(as->asicPage[0x2420], as->asicPage[0x2421]), std::tuple(0x06, 0x00));
}

TEST_F(Asic, MemoryMapFollowsRmr2AndTheCartridgeBanks) {
    std::vector<Chunk> banks;
    for (int b = 1; b < 4; ++b) banks.push_back({"cb0" + std::to_string(b), std::vector<uint8_t>(16, uint8_t(0xB0 + b))});
    insert(cartridgeWith(std::vector<uint8_t>(16, 0xB0), banks));
    mem->banks[1][0] = 0x11;
    mem->banks[2][0] = 0x22;
    // Upper ROM 0 is bank 1.
    EXPECT_EQ(std::tuple(as->readMemory(0x0000), as->readMemory(0xC000)), std::tuple(0xB0, 0xB1));
    sendSequence(17);

    asicIo(0x7F00, 0xAA);  // bank 2 at &4000
    EXPECT_EQ(std::tuple(as->readMemory(0x4000), as->readMemory(0x0000)), std::tuple(0xB2, 0x00)) << "RAM under &0000";
    asicIo(0x7F00, 0xB3);  // bank 3 at &8000
    EXPECT_EQ(std::tuple(as->readMemory(0x8000), as->readMemory(0x4000)), std::tuple(0xB3, 0x11));
    asicIo(0x7F00, 0xA7);  // bank 7 is FFh-filled, bank 0 at &0000
    EXPECT_EQ(as->readMemory(0x0000), 0xFF);
    asicIo(0x7F00, 0xB8);  // page mapped, bank 0
    EXPECT_EQ(as->readMemory(0x0000), 0xB0);
    cpu->addressBus = 0x6400;
    cpu->dataBus = 0x3C;
    cpu->mreq = true;
    cpu->wr = true;
    as->serviceMemory();
    cpu->mreq = cpu->wr = false;
    EXPECT_EQ(std::tuple(as->asicPage[0x2400], mem->banks[1][0x2400]), std::tuple(0x3C, 0)) << "the page, not RAM";
    asicIo(0x7F00, 0x84);  // lower ROM off
    EXPECT_EQ(as->readMemory(0x0000), 0x00);

    asicIo(0xDF00, 0x83);  // cartridge bank 3 as upper ROM
    asicIo(0x7F00, 0x80);
    EXPECT_EQ(as->readMemory(0xC000), 0xB3);
    asicIo(0xDF00, 0xA9);  // bank 9 exists (filled): selected
    EXPECT_EQ(mem->uromSelected, 0xA9);
    asicIo(0xDF00, 0x05);  // slot 5 holds bank 1 through the cartridge mapping
    EXPECT_EQ(as->readMemory(0xC000), 0xB1);
}

// The vector an interrupt acknowledge (M1 with IORQ) puts on the data bus.
uint8_t acknowledge() {
    cpu->m1 = cpu->iorq = true;
    as->serviceIoEdge();
    const uint8_t vector = cpu->dataBus;
    cpu->m1 = cpu->iorq = false;
    as->serviceIoEdge();
    return vector;
}

TEST_F(Asic, InterruptAcknowledgeAndVector) {
    as->ivr = 0x50;
    as->raiseVideoInterrupt();
    as->intCounter = 40;
    EXPECT_EQ(acknowledge(), 0x56);
    EXPECT_FALSE(cpu->intLine);
    EXPECT_FALSE(as->videoIntPending);
    EXPECT_EQ(as->intCounter, 8) << "bit 5 cleared";
    EXPECT_EQ(as->dcsr & 0x80, 0x80);

    // A DMA interrupt acknowledged with IVR bit 0 clear: flags cleared, its own vector.
    as->dcsr = 0x20;
    EXPECT_EQ(acknowledge(), 0x52);
    EXPECT_EQ(as->dcsr, 0x00);
    // With IVR bit 0 set the flag stays until written back.
    as->ivr = 0x51;
    as->dcsr = 0x40;
    EXPECT_EQ(acknowledge(), 0x54);
    EXPECT_EQ(as->dcsr, 0x40);
    as->mWrite(0x2C0F, 0x40);
    EXPECT_EQ(as->dcsr, 0x00);

    // A mode write with bit 4 drops a pending video interrupt.
    as->raiseVideoInterrupt();
    asicIo(0x7F00, 0x90);
    EXPECT_FALSE(as->videoIntPending);
    EXPECT_FALSE(cpu->intLine);
}

}  // namespace
