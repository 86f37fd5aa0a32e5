// Snapshots end to end, the way scripts use them: one headless run saves
// with --snapshot, the next loads it with -s and must show the same picture
// and memory; a real snapshot file; an SNR recording built here.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/sna_test_support.h"
#include "e2e/headless_run.h"

using namespace test_support;

namespace {

class SnapshotRoundTrip : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_SHARED_ROMS();
        ASSERT_TRUE(font.loadFromOsRom(sharedOsRom("6128")));
    }

    // Runs `frames` frames with `args` and saves the machine after the last one.
    std::string saveAfter(int frames, std::vector<std::string> args, RgbaImage* picture = nullptr) {
        const std::string sna = home.path() + "/saved" + std::to_string(++saves) + ".sna";
        const std::string png = sna + ".png";
        args.insert(args.begin(), {"--frames=" + std::to_string(frames), "--snapshot=" + sna, "--screenshot=" + png});
        HeadlessResult r = runKestrixHeadless(home.path(), args);
        EXPECT_EQ(r.exitCode, 0) << r.output;
        if (picture) {
            EXPECT_TRUE(loadPngImage(png, *picture)) << r.output;
        }
        return sna;
    }

    // The first whole picture after loading `sna` is the one it was saved with.
    void expectSamePictureAfterLoad(const std::string& sna, const RgbaImage& saved) {
        ScreenRun loaded = runToScreenshot(home, 2, {"-s", sna});
        ASSERT_TRUE(loaded.ok()) << loaded.pictureError << "\n" << loaded.process.output;
        EXPECT_EQ(differingPixels(saved, loaded.picture), 0) << "pixels differ after loading " << sna;
    }

    ScreenText screenAfter(int frames, const std::vector<std::string>& args) {
        ScreenRun run = runToScreenshot(home, frames, args);
        EXPECT_TRUE(run.ok()) << run.pictureError << "\n" << run.process.output;
        return readScreenText(run.picture, font);
    }

    TempKestrixHome home;
    RomFont font;
    int saves = 0;
};

TEST_F(SnapshotRoundTrip, BasicProgramModeAndHardwareColours18To31On6128) {
    // Firmware inks 0, 2..5, 9, 11, 12, 14, 18, 20..23 are hardware colours 18 to 31.
    const std::string typed =
        "10 REM KESTRIX\rMODE 0:INK 0,0:BORDER 14:INK 1,2:INK 2,3:INK 3,4:INK 4,5:INK 5,9:INK 6,11:INK 7,12:"
        "INK 8,14:INK 9,18:INK 10,20:INK 11,21:INK 12,22:INK 13,23:FOR I=1 TO 13:PEN I:PRINT CHR$(143);:NEXT:"
        "PEN 1:LIST";
    RgbaImage saved;
    const std::string sna = saveAfter(800, {"-a", typed}, &saved);
    const std::vector<uint8_t> file = fileBytes(sna);
    ASSERT_EQ(file.size(), 256u + 131072u);
    EXPECT_EQ(file[0x6D], 2);
    EXPECT_EQ(file[0x6B] | file[0x6C] << 8, 128);
    expectSamePictureAfterLoad(sna, saved);
    ScreenText listed = screenAfter(250, {"-s", sna, "-a", "CLS:LIST"});
    EXPECT_EQ(listed.mode(), 0) << listed.dump();
    EXPECT_TRUE(listed.contains("10 REM KESTRIX")) << listed.dump();
}

TEST_F(SnapshotRoundTrip, Cpc464With64KB) {
    RgbaImage saved;
    const std::string sna = saveAfter(500, {"-c", "464", "-a", "10 REM 464\rMODE 1:INK 1,24:BORDER 3:LIST"}, &saved);
    const std::vector<uint8_t> file = fileBytes(sna);
    ASSERT_EQ(file.size(), 256u + 65536u);
    EXPECT_EQ(file[0x6D], 0);
    expectSamePictureAfterLoad(sna, saved);
}

TEST_F(SnapshotRoundTrip, PlusAsicStateOn6128Plus) {
    // BASIC unlocks the ASIC, maps its page, sets a 4096-colour pen, the border
    // and a magnified sprite; the reloaded machine must show all of it again.
    const std::string typed =
        "10 FOR I=1 TO 17:READ A:OUT 48128,A:NEXT:OUT 32512,184:FOR I=0 TO 254:POKE 16384+I,5:NEXT\r"
        "20 POKE 25642,15:POKE 25643,6:POKE 25602,240:POKE 24576,120:POKE 24580,10\r"
        "30 DATA 255,0,255,119,179,81,168,212,98,57,156,70,43,21,138,205,238\rrun";
    RgbaImage saved;
    const std::string sna = saveAfter(1500, {"-c", "6128+", "-a", typed}, &saved);
    const std::vector<uint8_t> file = fileBytes(sna);
    ASSERT_EQ(file.size(), 256u + 131072u + 8u + 2296u);
    EXPECT_EQ(file[0x6D], 4);
    EXPECT_EQ(file[0xB6], 0) << "unlocked";
    EXPECT_EQ(std::string(file.begin() + 256 + 131072, file.begin() + 256 + 131072 + 4), "CPC+");
    expectSamePictureAfterLoad(sna, saved);
    // Saved again from the loaded machine: the same ASIC chunk.
    const std::vector<uint8_t> again = fileBytes(saveAfter(2, {"-s", sna}));
    ASSERT_EQ(again.size(), file.size());
    EXPECT_TRUE(std::equal(file.end() - 2296, file.end(), again.end() - 2296));
}

TEST_F(SnapshotRoundTrip, Cpc464PlusComesBackAsItWasSaved) {
    RgbaImage saved;
    const std::string sna =
        saveAfter(500, {"-c", "464+", "-a", "10 REM 464 PLUS\rMODE 0:INK 1,17:INK 2,2:BORDER 24:LIST"}, &saved);
    const std::vector<uint8_t> file = fileBytes(sna);
    ASSERT_EQ(file.size(), 256u + 65536u + 8u + 2296u);
    EXPECT_EQ(file[0x6D], 5);
    expectSamePictureAfterLoad(sna, saved);
    // Saved again before a single frame ran: the same file, memory and all.
    const std::vector<uint8_t> again = fileBytes(saveAfter(0, {"-s", sna}));
    EXPECT_TRUE(again == file) << "the reloaded 464+ differs";
}

TEST_F(SnapshotRoundTrip, ExpansionBanksOf576KB) {
    // Autorun typing merges a key typed twice in a row, hence the decimal numbers.
    const std::string sna = saveAfter(
        600, {"-m", "576", "-a", "OUT 32512,204:POKE 16384,123:OUT 32512,252:POKE 16384,45:OUT 32512,192"});
    const std::vector<uint8_t> file = fileBytes(sna);
    ASSERT_EQ(file.size(), 256u + 36u * 16384u);
    EXPECT_EQ(file[0x9A], 134);
    EXPECT_EQ(file[256 + 8 * 16384], 123) << "bank 8";
    EXPECT_EQ(file[256 + 32 * 16384], 45) << "bank 32";
    // Loaded into a default 6128 and saved again: the same 576 KB, banks 8 to 35 untouched.
    const std::vector<uint8_t> again = fileBytes(saveAfter(2, {"-s", sna}));
    ASSERT_EQ(again.size(), file.size());
    EXPECT_TRUE(std::equal(file.begin() + 256 + 8 * 16384, file.end(), again.begin() + 256 + 8 * 16384));
}

TEST_F(SnapshotRoundTrip, SnrRecordingTypesIntoBasicFrameExactly) {
    const std::string ready = saveAfter(300, {});
    // "print 42" and RETURN: each key pressed for 3 frames (a key record) and
    // released by a repeat record; a 256-frame pause (0 00 01) after the "t".
    // Key codes are line * 8 + bit.
    const uint8_t keys[] = {27, 50, 35, 46, 51, 47, 56, 65, 18};
    std::vector<uint8_t> stream = {10};
    for (uint8_t k : keys) {
        stream.insert(stream.end(), {1, k, 3, 127});
        if (k == 51) {
            stream.insert(stream.end(), {0, 0x00, 0x01});
        } else {
            stream.push_back(3);
        }
    }
    stream.pop_back();  // the last release ends the recording
    const std::string snr = home.path() + "/typed.snr";
    home.writeFile("typed.snr", sna_test::text(sna_test::snrFromSnapshot(fileBytes(ready), stream)));

    // Replay runs once per picture: the last record falls in frame 11 + 9 * 3 + 7 * 3 + 256.
    const int lastFrame = 11 + 27 + 21 + 256;
    ScreenRun before = runToScreenshot(home, lastFrame - 1, {"-s", snr});
    EXPECT_EQ(before.process.output.find("End of SNR Replay !"), std::string::npos) << before.process.output;
    ScreenRun done = runToScreenshot(home, lastFrame + 60, {"-s", snr});
    ASSERT_TRUE(done.ok()) << done.pictureError << "\n" << done.process.output;
    const std::string& log = done.process.output;
    const size_t end = log.find("End of SNR Replay !");
    ASSERT_NE(end, std::string::npos) << log;
    EXPECT_EQ(log.find("End of SNR Replay !", end + 1), std::string::npos) << "shown once";
    ScreenText text = readScreenText(done.picture, font);
    TextPosition typed = text.find("print 42");
    ASSERT_TRUE(typed.found()) << text.dump();
    EXPECT_EQ(text.slice(typed.row + 1, typed.column, 4), " 42 ") << text.dump();
    ScreenRun exact = runToScreenshot(home, lastFrame, {"--snr=" + snr});
    EXPECT_NE(exact.process.output.find("End of SNR Replay !"), std::string::npos) << "the last record in frame " << lastFrame;
}

}  // namespace
