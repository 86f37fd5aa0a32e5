// Game controllers as CPC joysticks (joystick 0 on matrix line 9, joystick 1
// sharing line 6), the cursor keys as joystick 0 when no controller is there,
// and the mouse as a light gun whose sensor looks at the emulated picture.
#pragma once
#include <SDL.h>

#include <atomic>
#include <cstdint>

extern bool joystick;  // the joystick option
extern SDL_Joystick* CPC_joystick0;
extern SDL_Joystick* CPC_joystick1;
// Last x and y axis values of each controller, for the Plus's analogue inputs.
extern int16_t CPC_joystick0_axe0, CPC_joystick0_axe1, CPC_joystick1_axe0, CPC_joystick1_axe1;

extern bool gunStick;  // the light gun option
struct GunStickCursor {
    SDL_Cursor* cursor = nullptr;  // the crosshair while the gun is on
    uint32_t row = 0;              // aimed row's offset in the frame buffer (row * 832)
};
struct GunStickX {
    uint32_t column = 0;   // aimed column in the frame buffer
    uintptr_t timer = 0;   // the running sensor timer's number, 0 when none
};
extern GunStickCursor gunStickCursor;
extern GunStickX gunstickX;
extern std::atomic<uint8_t> gunStickFire;  // trigger pulled, sensor not yet answered

constexpr uint8_t kGunTrigger = 0x94;  // joystick 0 fire 2
constexpr uint8_t kGunSensor = 0x91;   // joystick 0 down

void endisable_joystick();
void endisable_gunstick();
// none -> joystick -> light gun -> none (F12 and the input icon).
void cycleJoystick();
// Turns the option on when it is off (command line and configuration).
void enableJoystickOption();
void enableGunStickOption();
void close_joystick0();
void close_joystick1();
// A soft reset with no controller open ends the joystick option.
void joystickCheckOnReset();

// Joystick events; false for any other event.
bool joystickEvent(const SDL_Event& event);
void joystickButton(SDL_JoystickID controller, uint8_t button, bool pressed);
void joystickHatMotion(SDL_JoystickID controller, uint8_t hat, uint8_t value);
void joystickAxisMotion(SDL_JoystickID controller, uint8_t axis, int16_t value);

// Left button at (x, y) in the main window: the trigger, when the gun is on.
void gunStickClick(int x, int y);
// Left button released.
void gunStickRelease();
// The trigger aimed at a frame-buffer position (what a click comes to).
void gunStickShoot(uint32_t column, uint32_t row);
