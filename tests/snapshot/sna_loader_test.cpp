// The SNA loader and writer in-process: built version-1 and version-3 files,
// a save/load/save round trip, registers across exchanges, hostile files and
// the SNR replay's records.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "frontend/media_snapshot.h"
#include "machine/cpc.h"
#include "machine/cpu.h"
#include "machine/emulation_thread.h"
#include "machine/frontend_hooks.h"
#include "machine/keyboard.h"
#include "machine/memory.h"
#include "machine/model.h"
#include "machine/text_buffers.h"
#include "support/sna_test_support.h"
#include "snapshot/sna_file.h"
#include "snapshot/snr_replay.h"
#include "support/machine_fixture.h"
#include "video/crtc6845.h"
#include "video/gate_array.h"
#include "video/monitor.h"

using namespace sna_test;

namespace {

std::vector<std::string> shown;
void captureOsd(const char* text) { shown.push_back(text); }

class SnaLoader : public test_support::BuiltMachine {
protected:
    void SetUp() override {
        BuiltMachine::SetUp();
        if (IsSkipped()) return;
        allocateTextBuffers();
        shown.clear();
        frontendHooks.showOSDText = captureOsd;
    }
    void TearDown() override {
        t_color = true;
        t_colorG = false;
        monitor_color();
        frontendHooks.showOSDText = FrontendHooks{}.showOSDText;
        freeTextBuffers();
        BuiltMachine::TearDown();
    }
    bool load(const std::vector<uint8_t>& file) {
        SnaImage image;
        if (!parseSNA(file.data(), file.size(), image, "test")) return false;
        applySNA(image);
        return true;
    }
    std::vector<uint8_t> save() {
        uint8_t* image = fileSaveSNA();
        std::vector<uint8_t> out(image, image + snaSaveSize());
        delete[] image;
        return out;
    }
    uint8_t bank(int n, int offset) { return mem->banks[n][offset]; }
};

TEST_F(SnaLoader, Version3ChunksRestore128KBAndSkipWhatTheyDoNotUse) {
    std::vector<uint8_t> file = header(3, 0, 2);
    std::vector<uint8_t> raw(65536);
    for (size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<uint8_t>(i * 7);
    chunk(file, "MEM0", raw);
    // A chunk of another program is stepped over four bytes at a time, a "CPC+"
    // chunk by its length (the MEM2 inside it is data).
    chunk(file, "ABCD", {'W', 'X', 'Y', 'Z'});
    std::vector<uint8_t> plus(100, 0);
    std::memcpy(plus.data() + 20, "MEM2\x00\x00\x01\x00", 8);
    chunk(file, "CPC+", plus);
    chunk(file, "DSCA", {'G', 'a', 'm', 'e', '.', 'd', 's', 'k'});
    // Run-length coded: E5 00 is one E5h, E5 n v is n times v, to 64 KB exactly.
    std::vector<uint8_t> coded = {0xE5, 0x00, 0x41, 0xE5, 0x10, 0xAA};
    for (int run = 0; run < 256; ++run) coded.insert(coded.end(), {0xE5, 0xFF, 0x33});
    coded.insert(coded.end(), {0xE5, 0xEE, 0x33});
    chunk(file, "MEM1", coded);
    chunk(file, "SNRV", {1, 2, 3, 4, 5});

    mem->init(64);
    ASSERT_TRUE(load(file));
    ASSERT_EQ(mem->bankCount, 8);
    for (int i : {0, 1, 16383, 16384, 65535}) EXPECT_EQ(bank(i / 16384, i % 16384), raw[i]) << i;
    EXPECT_EQ(std::make_tuple(bank(4, 0), bank(4, 1), bank(4, 2), bank(4, 17), bank(4, 18), bank(7, 16383)),
              std::make_tuple(0xE5, 0x41, 0xAA, 0xAA, 0x33, 0x33));
    EXPECT_STREQ(DSCAFileName, "Game.dsk");

    // A count running past 64 KB stops at its end.
    std::vector<uint8_t> over = header(3, 0, 2);
    chunk(over, "MEM0", {0x12, 0xE5, 0xFF, 0x77, 0xE5, 0xFF, 0x77});
    for (int run = 0; run < 300; ++run) over.insert(over.end(), {0xE5, 0xFF, 0x99});
    over[256 + 4] = static_cast<uint8_t>(over.size() - 264);
    over[256 + 5] = static_cast<uint8_t>((over.size() - 264) >> 8);
    ASSERT_TRUE(load(over));
    EXPECT_EQ(std::make_tuple(bank(0, 0), bank(3, 16383)), std::make_tuple(0x12, 0x99));
}

TEST_F(SnaLoader, Version1On6128Keeps128KBAndTakesType0Routines) {
    crtcType = 2;
    changeCrtcType();
    std::vector<uint8_t> file = header(1, 64, 0);
    file[0x23] = 0x34;  // PC
    file[0x24] = 0x12;
    file[0x2F + 16] = 0x14;  // border: hardware colour 20
    file.resize(256 + 65536, 0x5A);
    ASSERT_TRUE(load(file));
    // Type 0 routines but the chosen type stays; the first fetch is under way.
    EXPECT_EQ(std::make_tuple(mem->bankCount, crtc->type, crtcType, cpu->PC, bank(3, 100), ga->borderColor),
              std::make_tuple(8, 0, 2, 0x1235, 0x5A, monitor_aBGR[20]));
}

TEST_F(SnaLoader, SaveLoadSaveIsByteIdentical) {
    for (int i = 0; i < 150; ++i) runOneFrame();
    // Hardware colours 18 to 31, the VSYNC delay and a RAM configuration to keep.
    for (uint8_t pen = 0; pen < 17; ++pen) ga->setPenHardwareColour(pen, static_cast<uint8_t>(18 + pen % 14));
    ga->vsyncIntDelay = 1;
    std::vector<uint8_t> first = save();
    EXPECT_EQ(std::make_tuple(first[0x6D], first[0x9A], first[0xB2]), std::make_tuple(2, 129, 1));
    for (int pen = 0; pen < 17; ++pen) EXPECT_EQ(first[0x2F + pen], 18 + pen % 14) << pen;
    ASSERT_TRUE(load(first));
    EXPECT_EQ(ga->vsyncIntDelay, 1);
    std::vector<uint8_t> second = save();
    ASSERT_EQ(first.size(), second.size());
    for (size_t i = 0; i < first.size(); ++i) ASSERT_EQ(first[i], second[i]) << "offset " << std::hex << i;
}

TEST_F(SnaLoader, InksSavedOnAGrayOrGreenMonitorComeBackInColour) {
    // Gray and green share values between hardware colours (2 and 17 are both
    // C0 C0 C0 in gray): the file must still name each pen's own colour.
    for (int round = 0; round < 2; ++round) {
        for (uint8_t pen = 0; pen < 17; ++pen) {
            test_support::ioCycle(0x7F00, pen == 16 ? 0x10 : pen);
            test_support::ioCycle(0x7F00, static_cast<uint8_t>(0x40 | ((pen + 15 * round) & 31)));
        }
        t_color = false;
        t_colorG = round == 1;
        monitor_color();
        std::vector<uint8_t> file = save();
        for (int pen = 0; pen < 17; ++pen) EXPECT_EQ(file[0x2F + pen], (pen + 15 * round) & 31) << "pen " << pen;
        ASSERT_TRUE(load(file));
        t_color = true;
        monitor_color();
        for (int pen = 0; pen < 17; ++pen) {
            EXPECT_EQ(ga->pens[pen], kMonitorPalettes[0][(pen + 15 * round) & 31]) << "pen " << pen;
        }
        EXPECT_EQ(ga->borderColor, ga->pens[16]);
    }
}

// DI; BC, DE, HL, A = 1111, 2222, 3333, 44; EXX; 5555, 6666, 7777; EX AF,AF';
// A = 88; then forever EXX, EX AF,AF', EX DE,HL.
const std::vector<uint8_t> kExchanges = {0xF3, 0x01, 0x11, 0x11, 0x11, 0x22, 0x22, 0x21, 0x33, 0x33, 0x3E, 0x44,
                                         0xD9, 0x01, 0x55, 0x55, 0x11, 0x66, 0x66, 0x21, 0x77, 0x77, 0x08, 0x3E,
                                         0x88, 0xD9, 0x08, 0xEB, 0x18, 0xFB};

struct View {
    uint16_t af, bc, de, hl, af2, bc2, de2, hl2, pc;
    bool operator==(const View&) const = default;
};
View view() {
    return {cpu->getAF(), cpu->getBC(), cpu->getDE(), cpu->getHL(), cpu->getAltAF(),
            cpu->getAltBC(), cpu->getAltDE(), cpu->getAltHL(), 0};
}

TEST_F(SnaLoader, RegistersSeenBetweenExchangesComeBack) {
    cpu->reset();
    for (size_t i = 0; i < kExchanges.size(); ++i) mem->mWrite(static_cast<uint16_t>(0x4000 + i), kExchanges[i]);
    cpu->PC = 0x4000;
    int swappedSaves = 0;
    for (int n = 1; n <= 60; ++n) {
        for (int i = 0; i < n; ++i) ga->clockMicrosecond();
        std::vector<uint8_t> image = save();
        View before = view();
        before.pc = static_cast<uint16_t>(image[0x23] | image[0x24] << 8);
        if (cpu->exxSwapped && cpu->afSwapped && cpu->deHlSwapped) ++swappedSaves;
        ASSERT_TRUE(load(image));
        View after = view();
        after.pc = static_cast<uint16_t>(cpu->PC - 1);
        ASSERT_TRUE(before == after) << "save " << n;
        EXPECT_FALSE(cpu->exxSwapped || cpu->afSwapped || cpu->deHlSwapped);
    }
    EXPECT_GT(swappedSaves, 0) << "no save fell where all three exchanges were in force";
}

TEST_F(SnaLoader, HostileFilesAreRefusedAndLeaveTheMachineAsItWas) {
    for (int i = 0; i < 50; ++i) runOneFrame();
    std::vector<uint8_t> real = save();
    std::vector<uint8_t> chunked = snrFromSnapshot(real, {5, 1, 0x2F, 3, 127, 0, 0, 1});
    chunk(chunked, "DSCB", {'x'});  // after the SNR chunk: part of the stream
    const std::vector<uint8_t> ram0(mem->banks[0], mem->banks[0] + 16384);
    const uint16_t pc = cpu->PC;

    SnaImage image;
    for (const auto* file : {&real, &chunked}) {
        for (size_t size = 0; size < file->size(); size += 16) {
            bool ok = parseSNA(file->data(), size, image, "truncated");
            if (file == &real) {
                EXPECT_FALSE(ok) << size;
            }
        }
    }
    std::vector<uint8_t> endless = header(3, 0, 2);
    chunk(endless, "MEM0", {1, 2, 3}, 0xFFFFFFFF);
    EXPECT_FALSE(parseSNA(endless.data(), endless.size(), image, "endless"));
    for (const char* id : {"DSCA", "ROMS", "CPC+", "MEM1", "MX09"}) {
        std::vector<uint8_t> f = header(3, 0, 2);
        chunk(f, "MEM0", std::vector<uint8_t>(65536, 1));
        chunk(f, id, {1, 2, 3, 4}, 0xFFFFFFFF);
        EXPECT_FALSE(parseSNA(f.data(), f.size(), image, id)) << id;
    }
    std::vector<uint8_t> hugeDump = header(3, 4096, 2);
    hugeDump.resize(300, 0);
    EXPECT_FALSE(parseSNA(hugeDump.data(), hugeDump.size(), image, "huge"));
    std::vector<uint8_t> longName = header(3, 0, 2);
    chunk(longName, "MEM0", std::vector<uint8_t>(65536, 1));
    chunk(longName, "DSCA", std::vector<uint8_t>(600, 'a'));
    ASSERT_TRUE(parseSNA(longName.data(), longName.size(), image, "long name"));
    EXPECT_TRUE(image.diskA.empty()) << "a name longer than the buffers is skipped";

    // Through the front-end: the refused file leaves the machine as it was.
    const std::string path = home.path() + "/bad.sna";
    home.writeFile("bad.sna", text(hugeDump));
    EXPECT_FALSE(load_snapshot_file(path.c_str()));
    EXPECT_EQ(snaFileModel(path.c_str()), NoModel);
    std::vector<uint8_t> plus = real;
    plus[kSnaMachineType] = 4;
    home.writeFile("plus.sna", text(plus));
    EXPECT_EQ(snaFileModel(home.file("plus.sna").c_str()), CPC6128Plus) << "the model a file would start";
    EXPECT_EQ(cpu->PC, pc);
    EXPECT_TRUE(std::equal(ram0.begin(), ram0.end(), mem->banks[0]));

    // A replay of noise never reads outside its buffer.
    std::mt19937 random(11);
    std::vector<uint8_t> noise(4096);
    for (auto& b : noise) b = static_cast<uint8_t>(random());
    uint8_t keys[10] = {};
    startSNR(keys, noise.data(), noise.size());
    for (int i = 0; i < 100000 && SNRPlaying; ++i) playSNR();
}

TEST_F(SnaLoader, SnrRecordsToggleKeysRepeatWaitAndEndOnce) {
    // First delay 2; press key 2Fh (line 5 bit 7), wait 5; non-key event E3 with
    // four operands, wait 1; repeat (release), wait 00 00 01 = 256; press again, end.
    const std::vector<uint8_t> stream = {2, 0x01, 0x2F, 5, 0x01, 0xE3, 1, 2, 3, 4, 1,
                                         0x7F, 0, 0x00, 0x01, 0x01, 0x2F};
    uint8_t lines[10];
    std::memset(lines, 0xFF, sizeof lines);
    lines[8] = 0xFE;  // "1" held from the start
    startSNR(lines, stream.data(), stream.size());
    EXPECT_EQ(cPCKeyBoard->matrix[8], 0xFE);
    auto pressed = [] { return !(cPCKeyBoard->matrix[5] & 0x80); };
    auto frames = [](int n) {
        for (int i = 0; i < n; ++i) playSNR();
    };
    frames(2);
    EXPECT_FALSE(pressed());
    frames(1);
    EXPECT_TRUE(pressed()) << "after the first delay + 1 frames";
    frames(4);
    EXPECT_TRUE(pressed());
    frames(1);  // the event record
    frames(1);  // the repeat releases
    EXPECT_FALSE(pressed());
    frames(255);
    EXPECT_EQ(std::make_tuple(pressed(), SNRPlaying), std::make_tuple(false, true));
    frames(1);
    EXPECT_EQ(std::make_tuple(pressed(), SNRPlaying), std::make_tuple(true, false));
    frames(50);
    EXPECT_TRUE(pressed()) << "the keyboard keeps its state after the end";
    EXPECT_EQ(std::count(shown.begin(), shown.end(), std::string("End of SNR Replay !")), 1);
}

}  // namespace
