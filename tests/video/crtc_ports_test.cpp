// CRTC port side: register select, write masks and side effects, reads per type.
#include "video/crtc_test_util.h"

#include <string>
#include <tuple>

using namespace crtctest;

namespace {

TEST(CrtcPorts, SelectTakesFiveBitsWhateverTheDirection) {
    crtc6845 c = booted(0);
    out(c, kSelectPort, 0xEC);
    EXPECT_EQ(c.selectedReg, 12);
    cpu->addressBus = kSelectPort;
    cpu->dataBus = 5;
    cpu->rd = true;
    c.crtc_enable();  // an IN from &BCxx selects too
    cpu->rd = false;
    EXPECT_EQ(c.selectedReg, 5);
}

TEST(CrtcPorts, WriteMasksAndIgnoredRegisters) {
    crtc6845 c = booted(0);
    const uint8_t expected[16] = {0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0x1F, 0x7F, 0x7F,
                                  0xFF, 0x1F, 0x7F, 0x1F, 0x3F, 0xFF, 0x3F, 0xFF};
    for (uint8_t r = 0; r < 16; ++r)
        if (r != 8) writeReg(c, r, 0xFF);
    writeReg(c, 8, 0xFF);  // last: interlace would bend the R9 write
    const uint8_t stored[16] = {c.R0, c.R1, c.R2, c.R3, c.R4, c.R5, c.R6, c.R7,
                                c.R8, c.R9, c.R10, c.R11, c.R12, c.R13, c.R14, c.R15};
    for (int r = 0; r < 16; ++r) EXPECT_EQ(stored[r], expected[r]) << "R" << r;
    c.R16 = 0x12;
    writeReg(c, 16, 0x77);
    writeReg(c, 31, 0x77);
    EXPECT_EQ(c.R16, 0x12);
}

TEST(CrtcPorts, R8DecodesInterlaceAndSkew) {
    crtc6845 c = booted(0);
    writeReg(c, 8, 0x23);
    EXPECT_EQ(std::tie(c.interlace, c.interlaceVideo, c.skew), std::make_tuple(true, 1, 2));
    writeReg(c, 8, 0x02);  // video bit without interlace means nothing
    EXPECT_EQ(std::tie(c.interlace, c.interlaceVideo, c.skew), std::make_tuple(false, 0, 0));
}

// R0 and R3 decode; R12..R15 read back on 0, 3, 4, only R14 and R15 on 1
// and 2, others read 0; the light pen registers clear when read on 0, 3, 4.
TEST(CrtcPorts, DecodeAndReadBackPerType) {
    for (uint8_t type = 0; type <= 4; ++type) {
        SCOPED_TRACE("type " + std::to_string(type));
        crtc6845 c = booted(type);
        EXPECT_EQ(std::make_tuple(c.R0half, c.hsyncWidth, c.vsyncWidth),
                  std::make_tuple(type == 2 ? 31 : 32, 14, (type == 1 || type == 2) ? 0 : 8));

        writeReg(c, 13, 0x44);
        writeReg(c, 14, 0x15);
        writeReg(c, 15, 0x66);
        bool startReadable = type == 0 || type >= 3;
        const int r12 = readReg(c, 12), r13 = readReg(c, 13), r14 = readReg(c, 14), r15 = readReg(c, 15);
        EXPECT_EQ(std::make_tuple(r12, r13, r14, r15),
                  std::make_tuple(startReadable ? 0x30 : 0, startReadable ? 0x44 : 0, 0x15, 0x66));
        for (uint8_t r : {0, 1, 4, 9, 11, 18, 31}) EXPECT_EQ(readReg(c, r), 0) << "R" << int(r);

        while (c.MA != 0x3123) c.crtc_clock();
        c.LighPenStrobe();
        EXPECT_TRUE(c.lpenStrobe);
        EXPECT_EQ(readReg(c, 16), 0x31);
        EXPECT_EQ(readReg(c, 17), 0x23);
        EXPECT_EQ(readReg(c, 16), (type == 1 || type == 2) ? 0x31 : 0);
        EXPECT_EQ(c.lpenStrobe, type == 2) << "the strobe flag clears on every type but 2";
    }
}

TEST(CrtcPorts, StatusPortOnlyOnTypes1_3_4) {
    for (uint8_t type : {0, 2}) {
        crtc6845 c = booted(type);
        EXPECT_EQ(in(c, kStatusPort), kBusSentinel) << "type " << int(type);
    }
    crtc6845 c = booted(1);
    runToFrameStart(c);
    c.crtc_clock();
    EXPECT_EQ(in(c, kStatusPort), 0x00);  // vertical display on: bit 5 clear
    c.LighPenStrobe();
    EXPECT_EQ(in(c, kStatusPort), 0x40);
    while (c.C4 != 30) c.crtc_clock();  // below the display: vertical blanking
    EXPECT_EQ(in(c, kStatusPort), 0x60);
}

TEST(CrtcPorts, Types3And4MirrorRegistersAndStatusOnTheStatusPort) {
    for (uint8_t type : {3, 4}) {
        crtc6845 c = booted(type);
        writeReg(c, 15, 0x5A);
        out(c, kSelectPort, 7);  // 7 & 7 -> R15
        EXPECT_EQ(in(c, kStatusPort), 0x5A);
        out(c, kSelectPort, 12);  // 12 & 7 = 4 -> R12
        EXPECT_EQ(in(c, kStatusPort), 0x30);
        c.R16 = 0x21;
        c.lpenStrobe = true;
        out(c, kSelectPort, 8);  // 8 & 7 = 0 -> R16, cleared by the read
        const int first = in(c, kStatusPort), second = in(c, kStatusPort);
        EXPECT_EQ(std::make_tuple(first, second, c.lpenStrobe), std::make_tuple(0x21, 0, false));
        // Status 1 at the last character of a line.
        while (c.C0 != 63) c.crtc_clock();
        out(c, kSelectPort, 2);
        // The last character, and not at R2, R1 or the half line.
        EXPECT_EQ(in(c, kStatusPort) & 0x0F, 0x0F) << "type " << int(type);
        c.crtc_clock();
        EXPECT_EQ(in(c, kStatusPort) & 0x01, 0) << "type " << int(type);
        while (c.C0 != 32) c.crtc_clock();
        EXPECT_EQ(in(c, kStatusPort) & 0x02, 0) << "type " << int(type);
    }
}

TEST(CrtcPorts, Status2FlagsTheRaster) {
    crtc6845 c = booted(4);
    runToFrameStart(c);
    c.crtc_clock();
    out(c, kSelectPort, 3);
    EXPECT_EQ(in(c, kStatusPort), 0xA0);  // raster 0, not the last
    while (c.C9 != 7) c.crtc_clock();
    EXPECT_EQ(in(c, kStatusPort), 0x00);
}

TEST(CrtcPorts, Type1R9WriteOnTheLastCharacterEndsTheRow) {
    crtc6845 c = booted(1);
    runToFrameStart(c);
    c.crtc_clock();
    while (c.C9 != 7 || c.C0 != 63) c.crtc_clock();
    uint8_t row = c.C4;
    writeReg(c, 9, 7);
    EXPECT_EQ(std::make_tuple(c.C4, c.C9), std::make_tuple(row + 1, 0));
}

TEST(CrtcPorts, InterlacedR9WriteRestartsTheRaster) {
    crtc6845 c = booted(0);
    writeReg(c, 8, 0x03);
    while (c.C9 != 0 || c.C0 != 5) c.crtc_clock();
    writeReg(c, 9, 7);  // odd value on raster 0: made even by the video bit
    EXPECT_EQ(std::make_tuple(c.R9, c.C9), std::make_tuple(6, 0));
    crtc6845 plain = booted(0);
    while (plain.C9 != 3) plain.crtc_clock();
    writeReg(plain, 9, 7);  // without interlace the counter is left alone
    EXPECT_EQ(plain.C9, 3);
}

std::vector<uint8_t> selectBytes;

TEST(CrtcPorts, Type3FeedsSelectWritesToTheAsic) {
    for (uint8_t type = 0; type <= 4; ++type) {
        crtc6845 c = booted(type);
        selectBytes.clear();
        c.plusSelectWrite = [](uint8_t d) { selectBytes.push_back(d); };
        out(c, kSelectPort, 0xFF);
        out(c, kSelectPort, 0x00);
        writeReg(c, 1, 40);
        EXPECT_EQ(selectBytes, (type == 3 ? std::vector<uint8_t>{0xFF, 0x00, 0x01} : std::vector<uint8_t>{}))
            << "type " << int(type);
    }
}

}  // namespace
