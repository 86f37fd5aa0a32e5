// Input without a window: SDL's virtual joysticks under the dummy video
// driver, the light gun on a test picture, the virtual keyboard's clicks and the
// character keymap.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "frontend/frontend_services.h"
#include "frontend/frontend_test_helpers.h"
#include "frontend/joystick.h"
#include "frontend/keymap.h"
#include "frontend/main_loop.h"
#include "frontend/virtual_keyboard.h"
#include "frontend/window.h"
#include "machine/base_path.h"
#include "machine/config.h"
#include "machine/cpc.h"
#include "machine/emulation_thread.h"
#include "machine/frontend_hooks.h"
#include "machine/keyboard.h"
#include "machine/text_buffers.h"
#include "machine/timed_actions.h"
#include "support/machine_fixture.h"
#include "support/shared_files.h"
#include "video/monitor.h"

namespace {

using namespace frontend_test;

void pump() {
    SDL_Event e;
    while (SDL_PollEvent(&e)) dispatchEvent(e);
}

void advanceMs(int ms) {
    for (int i = 0; i < ms; ++i) advanceEmulatedTime(1000);
}

SDL_Event textEvent(const char* text) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    SDL_strlcpy(e.text.text, text, sizeof e.text.text);
    return e;
}

// Only the key objects and SDL's joystick layer with the dummy video driver;
// timers follow emulated time.
class Input : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO | SDL_INIT_JOYSTICK), 0) << SDL_GetError();
        SDL_JoystickEventState(SDL_ENABLE);
        allocateTextBuffers();
        beginCPC();
        cPCKeyBoard->reset();
        savedHeadless = headlessMode;
        headlessMode = true;
        clearTimedActions();
        shownTexts.clear();
        frontendHooks.showOSDText = captureShownText;
        mWindowID = 0;
        running = 1;  // no emulation thread: nothing to start
    }
    void TearDown() override {
        if (joystick) endisable_joystick();
        if (gunStick) endisable_gunstick();
        while (SDL_NumJoysticks() > 0) SDL_JoystickDetachVirtual(0);
        pump();
        setKeymapMode("position");
        clearTimedActions();
        headlessMode = savedHeadless;
        running = 0;
        frontendHooks = FrontendHooks{};
        endCPC();
        freeTextBuffers();
        SDL_Quit();
        unsetenv("SDL_VIDEODRIVER");
    }
    bool savedHeadless = false;
};

TEST_F(Input, VirtualJoysticksDriveLinesNineAndSixAndUnpluggingEndsTheOption) {
    ASSERT_GE(SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 3, 1), 0) << SDL_GetError();
    ASSERT_GE(SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 3, 1), 0) << SDL_GetError();
    pump();
    ASSERT_TRUE(joystick) << "a controller plugged in turns the option on";
    ASSERT_NE(CPC_joystick0, nullptr);
    ASSERT_NE(CPC_joystick1, nullptr);
    EXPECT_EQ(shownTexts.front(), "\366 Joystick added ! \367");
    EXPECT_EQ(cPCKeyBoard->hostKeyMap[SDL_SCANCODE_UP], 0x00) << "a controller leaves the cursor keys alone";

    // X axes of joysticks 0 and 1: -8192 is centred on joystick 0 and a full deflection on joystick 1.
    const std::tuple<int16_t, int16_t, const char*> axes[] = {
        {-8192, -8192, "62"}, {-8193, 8192, "63 92"}, {8192, 8191, ""}, {8193, 0, "93"}};
    for (const auto& [x0, x1, held] : axes) {
        SDL_JoystickSetVirtualAxis(CPC_joystick0, 0, x0);
        SDL_JoystickSetVirtualAxis(CPC_joystick1, 0, x1);
        pump();
        EXPECT_EQ(heldKeys(), held) << x0 << ", " << x1;
    }
    SDL_JoystickSetVirtualAxis(CPC_joystick0, 1, -20000);
    SDL_JoystickSetVirtualAxis(CPC_joystick1, 1, 20000);
    pump();
    EXPECT_EQ(heldKeys(), "61 90 93");
    EXPECT_EQ(std::vector<int>({CPC_joystick0_axe1, CPC_joystick1_axe1}), std::vector<int>({-20000, 20000}));

    // Buttons 0, 1, 2 are fire 2, fire 1, fire 3.
    SDL_JoystickSetVirtualButton(CPC_joystick0, 0, 1);
    SDL_JoystickSetVirtualButton(CPC_joystick1, 2, 1);
    pump();
    EXPECT_EQ(heldKeys(), "61 66 90 93 94");
    SDL_JoystickSetVirtualButton(CPC_joystick0, 0, 0);
    pump();
    EXPECT_EQ(heldKeys(), "61 66 90 93");

    SDL_JoystickSetVirtualAxis(CPC_joystick0, 0, 0);
    SDL_JoystickSetVirtualAxis(CPC_joystick0, 1, 0);
    pump();
    SDL_JoystickSetVirtualHat(CPC_joystick0, 0, SDL_HAT_RIGHTUP);
    pump();
    EXPECT_EQ(cPCKeyBoard->matrix[9] & 0x0F, 0x06) << "right-up presses up and right only";
    SDL_JoystickSetVirtualHat(CPC_joystick0, 0, SDL_HAT_CENTERED);
    pump();
    EXPECT_EQ(cPCKeyBoard->matrix[9] & 0x0F, 0x0F);

    SDL_JoystickDetachVirtual(0);
    pump();
    EXPECT_FALSE(joystick);
    EXPECT_EQ(CPC_joystick0, nullptr);
    EXPECT_EQ(CPC_joystick1, nullptr);
    EXPECT_EQ(shownTexts.back(), "\366 Joystick removed ! \367");
    EXPECT_EQ(cPCKeyBoard->matrix[6], 0xFF) << "closing a joystick lets its keys go";
    EXPECT_EQ(cPCKeyBoard->matrix[9], 0xFF);
}

TEST_F(Input, WithoutAControllerTheCursorKeysAreJoystickZeroUntilTheOptionEnds) {
    installFrontendServices();
    char program[] = "kestrix", option[] = "-j";
    char* argv[] = {program, option, nullptr};
    ASSERT_TRUE(parseCommandLine(2, argv));
    ASSERT_TRUE(joystick);
    dispatchEvent(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_UP));
    dispatchEvent(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_LCTRL));
    EXPECT_EQ(heldKeys(), "90 94");
    // Turning it off lets go of what the emulation held and gives the keys back.
    cycleJoystick();
    EXPECT_TRUE(gunStick);
    EXPECT_FALSE(joystick);
    EXPECT_FALSE(keyDown(0x90));
    dispatchEvent(keyEvent(SDL_KEYUP, SDL_SCANCODE_UP));
    dispatchEvent(keyEvent(SDL_KEYUP, SDL_SCANCODE_LCTRL));
    framesEmulated += 3;
    dispatchEvent(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_UP));
    EXPECT_TRUE(keyDown(0x00));
    EXPECT_EQ(cPCKeyBoard->matrix[9], 0xFF);
    cycleJoystick();
    EXPECT_FALSE(gunStick);
    EXPECT_FALSE(joystick);
    // A soft reset with no controller ends the option.
    endisable_joystick();
    joystickCheckOnReset();
    EXPECT_FALSE(joystick);
    EXPECT_EQ(cPCKeyBoard->hostKeyMap[SDL_SCANCODE_UP], 0x00);
}

TEST_F(Input, ConfigurationFileAndCommandLineTurnTheInputOptionsOn) {
    TempKestrixHome home(false);
    setenv("KESTRIX_HOME", home.path().c_str(), 1);
    initBasePath();
    installFrontendServices();
    home.writeFile("Kestrix.ini", "joystick=yes\ngunstick=yess\nkeymap=char\n");
    parseMainConfigFile();
    EXPECT_TRUE(joystick);
    EXPECT_FALSE(gunStick) << "only y or yes turns the gun on";
    EXPECT_TRUE(keymapByCharacter);
    home.writeFile("Kestrix.ini", "gunstick=Yes\n");
    parseMainConfigFile();
    EXPECT_TRUE(gunStick);
    char program[] = "kestrix", j[] = "-j", g[] = "-g", keymap[] = "--keymap=position";
    char* argv[] = {program, j, g, keymap, nullptr};
    ASSERT_TRUE(parseCommandLine(4, argv));
    EXPECT_TRUE(joystick) << "-j after the file's setting keeps the joysticks on";
    EXPECT_TRUE(gunStick);
    EXPECT_FALSE(keymapByCharacter);
    freeBasePath();
    unsetenv("KESTRIX_HOME");
}

TEST_F(Input, LightGunPulsesTheSensorOnLightAndHoldsFireOnDark) {
    for (uint32_t& p : cpcscreenpixels) p = 0xFF000000u;
    // A white square at frame-buffer columns 100..199, rows 100..199.
    for (int y = 100; y < 200; ++y)
        for (int x = 100; x < 200; ++x) cpcscreenpixels[y * kFrameWidth + x] = 0xFFFFFFFFu;
    rect_xy = {56, 12, kPictureWidth, kPictureHeight};
    rectdest_xy = {0, 0, kPictureWidth, kPictureHeight};
    gunStickClick(100, 120);
    EXPECT_FALSE(keyDown(kGunTrigger)) << "the gun is off";
    endisable_gunstick();

    gunStickClick(100, 119);  // y rounds up to 120: row 132, column 156
    EXPECT_EQ(std::vector<size_t>({gunstickX.column, gunStickCursor.row}),
              std::vector<size_t>({156u, 132u * kFrameWidth}));
    EXPECT_EQ(heldKeys(), "94") << "the trigger, at once";
    advanceMs(4);
    EXPECT_EQ(heldKeys(), "94") << "and no light yet";
    advanceMs(1);
    EXPECT_EQ(heldKeys(), "91") << "the sensor answered: fire released";
    EXPECT_FALSE(gunStickFire);
    advanceMs(static_cast<int>(fpsDisplay));
    EXPECT_FALSE(keyDown(kGunSensor)) << "the pulse lasts one display period";
    gunStickRelease();

    gunStickClick(600, 400);  // black
    advanceMs(100);
    EXPECT_EQ(heldKeys(), "94");
    gunStickRelease();
    EXPECT_FALSE(keyDown(kGunTrigger));
    for (uint32_t& p : cpcscreenpixels) p = 0xFFFFFFFFu;
    advanceMs(20);
    EXPECT_FALSE(keyDown(kGunSensor)) << "light after the trigger was let go is no hit";

    gunStickClick(100, kStripTop + 5);
    EXPECT_FALSE(keyDown(kGunTrigger)) << "the strip is no target";
}

TEST_F(Input, VirtualKeyboardClicksTypeLatchAndRelease) {
    const struct {
        const char* what;
        int x, y;
        bool right;
        int key;
    } keys[] = {{"Q", 80, 140, false, 0x83},
                {"D wins over S", 143, 180, false, 0x75},
                {"RETURN's lower part", 570, 160, false, 0x22},
                {"f3, right button", 740, 180, true, 0x05},
                {"f3 is for the right button only", 740, 180, false, 255},
                {"SPACE", 300, 260, false, 0x57},
                {"between rows", 300, 120, false, 255}};
    for (const auto& k : keys) EXPECT_EQ(virtualKeyAt(k.x, k.y, k.right), k.key) << k.what;

    virtualKeyboardClick(SDL_BUTTON_LEFT, 80, 140);
    advanceMs(49);
    EXPECT_EQ(heldKeys(), "83");
    advanceMs(1);
    EXPECT_EQ(heldKeys(), "");

    virtualKeyboardClick(SDL_BUTTON_RIGHT, 40, 220);  // SHIFT latched
    virtualKeyboardClick(SDL_BUTTON_LEFT, 90, 180);   // A
    virtualKeyboardClick(SDL_BUTTON_LEFT, 80, 140);   // Q within 50 ms
    EXPECT_EQ(heldKeys(), "25 83 85");
    advanceMs(50);
    EXPECT_EQ(heldKeys(), "25") << "each click lets go of its own key";
    virtualKeyboardClick(SDL_BUTTON_RIGHT, 740, 180);
    EXPECT_EQ(heldKeys(), "05 25");
    EXPECT_EQ(mapkey_id, 2);
    virtualKeyboardClick(SDL_BUTTON_LEFT, 570, 40);  // the release area is for the right button
    EXPECT_EQ(heldKeys(), "05 25");
    virtualKeyboardClick(SDL_BUTTON_RIGHT, 570, 40);
    EXPECT_EQ(mapkey_id, 0);
    EXPECT_EQ(heldKeys(), "");
}

TEST_F(Input, CharacterModeTypesWhatTheHostShowsAndPasteKeepsTypableText) {
    ASSERT_TRUE(setKeymapMode("char"));
    auto settle = [] {
        for (int i = 0; i < 12; ++i) {
            framesEmulated += 1;
            applyHostKeyQueue();
        }
    };
    // Shift+; gives ':' on the host: an unshifted key on the CPC.
    dispatchEvent(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_LSHIFT, KMOD_LSHIFT));
    dispatchEvent(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_SEMICOLON, KMOD_LSHIFT));
    dispatchEvent(textEvent(":"));
    settle();
    EXPECT_EQ(heldKeys(), "35");
    dispatchEvent(keyEvent(SDL_KEYUP, SDL_SCANCODE_SEMICOLON, KMOD_LSHIFT));
    settle();
    EXPECT_EQ(heldKeys(), "25") << "the host still holds Shift";
    dispatchEvent(keyEvent(SDL_KEYUP, SDL_SCANCODE_LSHIFT));
    settle();
    // '=' unshifted on the host is SHIFT and - on the CPC; "1" is the main row.
    dispatchEvent(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_EQUALS));
    dispatchEvent(textEvent("="));
    settle();
    EXPECT_EQ(heldKeys(), "25 31");
    dispatchEvent(keyEvent(SDL_KEYUP, SDL_SCANCODE_EQUALS));
    dispatchEvent(keyEvent(SDL_KEYDOWN, SDL_SCANCODE_1));
    dispatchEvent(textEvent("1"));
    settle();
    EXPECT_EQ(heldKeys(), "80");
    dispatchEvent(keyEvent(SDL_KEYUP, SDL_SCANCODE_1));
    settle();
    EXPECT_EQ(heldKeys(), "");
    EXPECT_FALSE(setKeymapMode("qwerty"));
    EXPECT_TRUE(keymapByCharacter);

    EXPECT_EQ(pasteFilter("10 PRINT \"\xC3\xA9t\xC3\xA9\"\r\n\n\t\r\n20 GOTO 10~"), "10 PRINT \"t\"\n20 GOTO 10\n");
}

}  // namespace
