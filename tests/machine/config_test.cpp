#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <tuple>
#include <vector>

#include "machine/config.h"
#include "machine/emulation_thread.h"
#include "machine/frontend_hooks.h"
#include "machine/text_buffers.h"
#include "support/machine_fixture.h"

namespace {

class Config : public test_support::BuiltMachine {
protected:
    std::string rom;

    void SetUp() override {
        BuiltMachine::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        running = 0;
        CPC_audio_volume = 1.0f;
        rom = home.write("test.rom", std::vector<uint8_t>(16384, 0x5A));
    }
    bool parseArgs(std::vector<std::string> args) {
        args.insert(args.begin(), "kestrix");
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        return parseCommandLine(static_cast<int>(args.size()), argv.data());
    }
};

TEST_F(Config, SlotNumberAppliesToTheNextRomOnly) {
    home.writeFile("Kestrix.ini", "nrom=5\nurom=" + rom + "\nurom=" + rom + "\n");
    mem->delete_urom(5);
    uint8_t basic = mem->urom[0][0];
    parseMainConfigFile();
    ASSERT_NE(mem->urom[5], nullptr);
    EXPECT_EQ(mem->urom[5][0], 0x5A);
    EXPECT_EQ(mem->urom[0][0], 0x5A) << "the second urom line goes to slot 0";
    EXPECT_NE(basic, 0x5A);
}

TEST_F(Config, VolumeAndBlankLines) {
    home.writeFile("Kestrix.ini", "volsound=200\n\n   volsound=64\r\nvolsound=-3\nvolsound=\n");
    parseMainConfigFile();
    EXPECT_FLOAT_EQ(CPC_audio_volume, 0.5f);
    EXPECT_TRUE(parseArgs({"-v", "128"}));
    EXPECT_FLOAT_EQ(CPC_audio_volume, 1.0f);
    EXPECT_TRUE(parseArgs({"--volsound=300"}));
    EXPECT_FLOAT_EQ(CPC_audio_volume, 1.0f);
}

TEST_F(Config, SpacesAroundTheEqualsSignSpoilTheValue) {
    home.writeFile("Kestrix.ini", "; comment\n[section]\n  mem=576\ncpc = 6128\n");
    parseMainConfigFile();
    EXPECT_EQ(cpcType, CPC6128) << "'cpc ' is not the key cpc";
    home.writeFile("Kestrix.ini", "mem=576\n");
    parseMainConfigFile();
    EXPECT_EQ(mem->bankCount, 36);
}

TEST_F(Config, CommandLineOptionsApplyInOrder) {
    EXPECT_TRUE(parseArgs({"-c", "464", "--mem=128", "-u", "3", "-r", rom, "--crtc=2"}));
    EXPECT_EQ(std::tuple(cpcType, mem->bankCount, crtcType), std::tuple(CPC464, 8, 2));
    ASSERT_NE(mem->urom[3], nullptr);
    EXPECT_EQ(mem->urom[3][100], 0x5A);
    EXPECT_TRUE(parseArgs({"-l", rom}));
    EXPECT_EQ(mem->lowerRom[0], 0x5A) << "a new OS takes effect at once";
}

TEST_F(Config, IniCrtcKeepsAPlusOnTypeThree) {
    home.writeFile("Kestrix.ini", "cpc=6128+\ncrtc=1\n");
    parseMainConfigFile();
    EXPECT_EQ(cpcType, CPC6128Plus);
    EXPECT_EQ(crtcType, 3);
    EXPECT_EQ(crtc->type, 3);
    home.writeFile("Kestrix.ini", "cpc=6128\ncrtc=2\n");
    parseMainConfigFile();
    EXPECT_EQ(crtcType, 2);
}

// What a setting may change, looked at before and after each frame.
struct MachineLook {
    uint8_t** banks;
    uint16_t bankCount;
    const uint8_t* rom7;
    uint8_t rom7First;
    const uint8_t* os;
    uint8_t osFirst;
    bool operator==(const MachineLook&) const = default;
};
MachineLook lookAtMachine() {
    const uint8_t* rom7 = mem->urom[7];
    const uint8_t* os = mem->lowerRomData;
    return {mem->banks, mem->bankCount, rom7, rom7 ? rom7[0] : uint8_t(0), os, os ? os[0] : uint8_t(0)};
}
MachineLook atFrameStart;
std::atomic<int> changesDuringFrames{0};
void compareAcrossFrame(FramePoint point) {
    if (point == FramePoint::frameStart) {
        atFrameStart = lookAtMachine();
    } else if (point == FramePoint::frameEnd && !(lookAtMachine() == atFrameStart)) {
        ++changesDuringFrames;
    }
}

class ConfigWhileRunning : public Config {
protected:
    void SetUp() override {
        Config::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        changesDuringFrames = 0;
        frameProbe = compareAcrossFrame;
        thread = test_support::startEmulationThread();
        ASSERT_NE(thread, nullptr);
    }
    void TearDown() override {
        test_support::endEmulationThread(thread);
        frameProbe = nullptr;
        Config::TearDown();
    }
};

TEST_F(ConfigWhileRunning, SettingsChangeTheMachineOnlyBetweenFrames) {
    const std::string otherRom = home.write("other.rom", std::vector<uint8_t>(16384, 0xA5));
    for (int i = 0; i < 24 && !changesDuringFrames; ++i) {
        const std::string& file = i % 2 ? rom : otherRom;
        const char* kb = i % 2 ? "576" : "128";
        run();
        freeRunEnable = 1;
        ASSERT_TRUE(test_support::waitForFrames(1));
        std::vector<std::string> args = {"-m", kb, "-u", "7", "-r", file, "-l", file};
        // A model change restarts the emulation on its own before the other settings.
        if (i % 4 == 3) args.insert(args.begin(), {"-c", "6128"});
        EXPECT_TRUE(parseArgs(args));
        EXPECT_EQ(running, 1) << "a running emulation runs on";
        freeRunEnable = 1;
        ASSERT_TRUE(test_support::waitForFrames(1));
        home.writeFile("Kestrix.ini", std::string(i % 4 == 1 ? "cpc=6128\n" : "") + "mem=" + (i % 2 ? "128" : "576") +
                                          "\nnrom=7\nurom=" + (i % 2 ? otherRom : rom) + "\nlrom=" + file + "\n");
        parseMainConfigFile();
        EXPECT_EQ(running, 1);
        EXPECT_EQ(mem->urom[7][0], static_cast<uint8_t>(i % 2 ? 0xA5 : 0x5A));
    }
    stopRun();
    EXPECT_EQ(changesDuringFrames, 0);
}

// Names the configuration hands to the media loader.
std::vector<std::string> mediaNamed;
bool recordMedia(const char* path, int) {
    mediaNamed.push_back(path);
    return true;
}

class HostileConfig : public Config {
protected:
    void SetUp() override {
        Config::SetUp();
        allocateTextBuffers();
        mediaNamed.clear();
        frontendHooks.loadMediaFile = recordMedia;
        namedFileFailures = 0;
    }
    void TearDown() override {
        frontendHooks.loadMediaFile = FrontendHooks{}.loadMediaFile;
        Config::TearDown();
    }
};

TEST_F(HostileConfig, KeysAreWholeWordsAndValuesStartAfterTheFirstEquals) {
    home.writeFile("Kestrix.ini", "cpcx=464\nmemory=128\ndsk0=a=b.dsk\ncdt=\xC3\xA9t\xE9.cdt\n");
    parseMainConfigFile();
    EXPECT_EQ(cpcType, CPC6128) << "cpcx is not cpc";
    EXPECT_EQ(mem->bankCount, 8) << "memory is not mem";
    ASSERT_EQ(mediaNamed.size(), 2u);
    EXPECT_EQ(mediaNamed[0], "a=b.dsk");
    EXPECT_EQ(mediaNamed[1], "\xC3\xA9t\xC2\xE9.cdt") << "valid UTF-8 is kept, a Latin-1 byte converted";
}

TEST_F(HostileConfig, OutOfRangeNumbersAndLongNamesAreRefused) {
    ASSERT_NE(mem->urom[0], nullptr);
    uint8_t basic = mem->urom[0][0];
    EXPECT_TRUE(parseArgs({"-u", "256", "-r", rom}));
    EXPECT_EQ(mem->urom[0][0], basic) << "slot 256 does not wrap onto BASIC";
    for (const char* bad : {"65536", "abc", "-1"}) {
        EXPECT_TRUE(parseArgs({"-m", bad}));
        EXPECT_EQ(mem->bankCount, 8) << bad;
    }
    home.writeFile("Kestrix.ini", "volsound=200\nnrom=300\nmem=99999\n");
    parseMainConfigFile();
    EXPECT_EQ(mem->bankCount, 8);
    EXPECT_FLOAT_EQ(CPC_audio_volume, 1.0f);

    namedFileFailures = 0;
    std::string longName(600, 'a');
    EXPECT_TRUE(parseArgs({"-0", longName + ".dsk"}));
    home.writeFile("Kestrix.ini", "dsk1=" + std::string(520, 'b') + ".dsk\n");
    parseMainConfigFile();
    EXPECT_TRUE(mediaNamed.empty()) << "a cut name could be another file";
    EXPECT_EQ(namedFileFailures, 2);
}

TEST_F(HostileConfig, ShortOrDirectoryRomFilesAreTold) {
    const std::string shortRom = home.write("short.rom", std::vector<uint8_t>(1000, 'x'));
    uint8_t before = mem->lowerRom[0];
    EXPECT_TRUE(parseArgs({"-l", shortRom, "-r", home.path()}));
    EXPECT_EQ(mem->lowerRom[0], before);
    EXPECT_EQ(namedFileFailures, 2);
    home.writeFile("Kestrix.ini", "lrom=" + shortRom + "\nurom=" + home.path() + "\n");
    parseMainConfigFile();
    EXPECT_EQ(namedFileFailures, 4);
}

}  // namespace
