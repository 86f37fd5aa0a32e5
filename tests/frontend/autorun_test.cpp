// Autorun typing on emulated time: storage of the text, the key sequence with
// SHIFT, timing, an untypable character and a second start taking over.
#include "frontend/autorun.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "frontend/frontend_test_helpers.h"
#include "machine/cpc.h"
#include "machine/emulation_thread.h"
#include "machine/keyboard.h"
#include "machine/text_buffers.h"
#include "machine/timed_actions.h"

namespace {

using frontend_test::allKeysUp;

struct Press {
    uint32_t atMs;  // since the start of the test
    uint8_t code;
    bool shift;
    uint32_t releasedMs = 0;
};

class Autorun : public ::testing::Test {
protected:
    void SetUp() override {
        allocateTextBuffers();
        beginCPC();
        cPCKeyBoard->reset();
        savedHeadless = headlessMode;
        headlessMode = true;
        clearTimedActions();
        autorunCancel();
        startUs = emulatedTimeMicroseconds();
    }
    void TearDown() override {
        autorunCancel();
        clearTimedActions();
        headlessMode = savedHeadless;
        endCPC();
    }

    uint32_t nowMs() const { return static_cast<uint32_t>((emulatedTimeMicroseconds() - startUs) / 1000); }

    // Runs emulated time in 1 ms steps and records every key that goes down.
    std::vector<Press> record(uint32_t ms) {
        std::vector<Press> presses;
        uint8_t before[16];
        std::memcpy(before, cPCKeyBoard->matrix, 16);
        for (uint32_t i = 0; i < ms; ++i) {
            advanceEmulatedTime(1000);
            const uint8_t* now = cPCKeyBoard->matrix;
            const bool shift = !(now[2] & 0x20);
            for (int line = 0; line < 16; ++line) {
                const uint8_t pressed = before[line] & ~now[line];
                const uint8_t released = now[line] & ~before[line];
                for (int bit = 0; bit < 8; ++bit) {
                    const uint8_t code = static_cast<uint8_t>(line * 16 + bit);
                    if ((pressed >> bit & 1) && code != kCpcKeyShift) presses.push_back({nowMs(), code, shift});
                    if (released >> bit & 1) {
                        for (Press& p : presses)
                            if (p.code == code && !p.releasedMs) p.releasedMs = nowMs();
                    }
                }
            }
            std::memcpy(before, now, 16);
        }
        return presses;
    }

    bool savedHeadless = false;
    uint64_t startUs = 0;
};

// The presses as "code" each, or with `times` "code pressed-released" and S for SHIFT held.
std::string typed(const std::vector<Press>& presses, bool times = false) {
    std::string out;
    for (const Press& p : presses) {
        char one[48];
        std::snprintf(one, sizeof one, times ? "%s%02X %u-%u" : "%s%02X", p.shift ? "S" : "", p.code, p.atMs,
                      p.releasedMs);
        out += (out.empty() ? "" : ", ") + std::string(one);
    }
    return out;
}

TEST_F(Autorun, TextIsStoredReversedBehindReturn) {
    setAutorunText("run\"x");
    EXPECT_EQ(autorun_dsk_str[0], 0x0D);
    EXPECT_STREQ(autorun_dsk_str + 1, "x\"nur");
    EXPECT_EQ(autorun_dsk_str_idx, 5);
    EXPECT_TRUE(autorunInProgress()) << "pending until typed";

    const std::string longText(600, 'k');
    sendAutorunText(longText.c_str());
    EXPECT_EQ(autorun_dsk_str_idx, kAutorunMaxChars);
    EXPECT_EQ(std::strlen(autorun_dsk_str), kAutorunMaxChars + 1u);
}

TEST_F(Autorun, TypesEachKeyForOnePeriodAfterTheDelay) {
    setAutorunText("aB1");
    autorun_dsk(kAutorunOptionDelayMs, kAutorunKeyPeriodMs);
    EXPECT_EQ(typed(record(1999)), "");
    EXPECT_TRUE(autorunInProgress());

    // a, B with SHIFT, 1 on the keypad, then RETURN (keypad ENTER), each held 30 ms.
    EXPECT_EQ(typed(record(500), true), "85 2000-2030, S66 2060-2090, 15 2120-2150, 06 2180-2210");
    EXPECT_TRUE(allKeysUp());
    EXPECT_FALSE(autorunInProgress());
    EXPECT_EQ(autorun_dsk_key[0], 0);
}

TEST_F(Autorun, UntypableCharacterEndsTyping) {
    setAutorunText("a~b");
    autorun_dsk(0, 30);
    EXPECT_EQ(typed(record(1000)), "85");
    EXPECT_TRUE(allKeysUp());
    EXPECT_FALSE(autorunInProgress()) << "the rest is dropped, so later autoruns are not blocked";

    setAutorunText("c");
    autorun_dsk(0, 30);
    EXPECT_EQ(typed(record(200)), "76, 06");
}

TEST_F(Autorun, SecondStartTakesOver) {
    setAutorunText("abc");
    autorun_dsk(0, 30);
    record(40);  // 'a' typed, 'b' pending
    setAutorunText("z");
    autorun_dsk(10, 30);
    EXPECT_EQ(typed(record(500)), "87, 06") << "only the new text is typed";
    EXPECT_TRUE(allKeysUp());
}

TEST_F(Autorun, StartWhileAKeyIsHeldReleasesIt) {
    setAutorunText("x");
    autorun_dsk(0, 30);
    advanceEmulatedTime(1000);
    ASSERT_EQ(cPCKeyBoard->matrix[7], 0x7F);
    setAutorunText("");
    autorun_dsk(100, 30);
    EXPECT_TRUE(allKeysUp());
    EXPECT_EQ(typed(record(300)), "06") << "an empty text types RETURN alone";
}

}  // namespace
