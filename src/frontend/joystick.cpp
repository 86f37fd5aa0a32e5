#include "frontend/joystick.h"

#include <atomic>

#include "frontend/icons.h"
#include "frontend/window.h"
#include "machine/emulation_thread.h"
#include "machine/frontend_hooks.h"
#include "machine/keyboard.h"
#include "machine/shared_flag.h"
#include "machine/timed_actions.h"
#include "video/monitor.h"

bool joystick = false;
SDL_Joystick* CPC_joystick0 = nullptr;
SDL_Joystick* CPC_joystick1 = nullptr;
int16_t CPC_joystick0_axe0 = 0, CPC_joystick0_axe1 = 0, CPC_joystick1_axe0 = 0, CPC_joystick1_axe1 = 0;
bool gunStick = false;
GunStickCursor gunStickCursor;
GunStickX gunstickX;
std::atomic<uint8_t> gunStickFire{0};

namespace {

// Key codes of one CPC joystick: up, down, left, right, fire 2, fire 1, fire 3.
struct JoystickKeys {
    uint8_t up, down, left, right, fire2, fire1, fire3;
};
constexpr JoystickKeys kJoystickKeys[2] = {{0x90, 0x91, 0x92, 0x93, 0x94, 0x95, 0x96},
                                           {0x60, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66}};

constexpr uint32_t kSensorFirstLookMs = 5;
constexpr uint32_t kSensorRetryMs = 1;
// The sensor answers light brighter than these packed aBGR values.
constexpr uint32_t kSensorAbove = 0xFF6B100Fu;
constexpr uint32_t kSensorNextRowAtLeast = 0xFF6B1010u;

// Each shot gets a number; a sensor timer of an older shot ends on its next tick.
std::atomic<uintptr_t> shotNumber{0};

void press(uint8_t code, bool down) {
    if (!cPCKeyBoard) return;
    down ? cPCKeyBoard->key_down(code) : cPCKeyBoard->key_up(code);
}

void releaseAll(int cpc) {
    const JoystickKeys& k = kJoystickKeys[cpc];
    for (uint8_t code : {k.fire3, k.fire1, k.fire2, k.right, k.left, k.down, k.up}) press(code, false);
}

// Which CPC joystick a controller is: 0, 1, or -1 for one we did not open.
int cpcJoystickOf(SDL_JoystickID controller) {
    if (CPC_joystick0 && SDL_JoystickInstanceID(CPC_joystick0) == controller) return 0;
    if (CPC_joystick1 && SDL_JoystickInstanceID(CPC_joystick1) == controller) return 1;
    return -1;
}

int controllerCount() {
    if (!SDL_WasInit(SDL_INIT_JOYSTICK)) return 0;
    int n = SDL_NumJoysticks();
    return n > 0 ? n : 0;
}

void openControllers() {
    const int count = controllerCount();
    if (count == 0) {
        close_joystick0();
        close_joystick1();
    } else {
        if (!CPC_joystick0) CPC_joystick0 = SDL_JoystickOpen(0);
        if (count > 1 && !CPC_joystick1) CPC_joystick1 = SDL_JoystickOpen(1);
    }
    if (cPCKeyBoard) cPCKeyBoard->mapJoystick(CPC_joystick0 == nullptr);
}

uint32_t releasePulse(uint32_t, void* code) {
    press(static_cast<uint8_t>(reinterpret_cast<uintptr_t>(code)), false);
    return 0;
}

bool sensorSeesLight() {
    constexpr uint32_t kLast = kFrameWidth * kFrameHeight;
    const uint32_t at = gunStickCursor.row + gunstickX.column;
    if (gunstickX.column >= kFrameWidth || at + 2 * kFrameWidth >= kLast) return false;
    return cpcscreenpixels[at] > kSensorAbove && cpcscreenpixels[at + 2 * kFrameWidth] >= kSensorNextRowAtLeast;
}

uint32_t sensorTimer(uint32_t, void* shot) {
    if (reinterpret_cast<uintptr_t>(shot) != shotNumber.load() || !loadFlag(gunStickFire)) {
        if (reinterpret_cast<uintptr_t>(shot) == shotNumber.load()) gunstickX.timer = 0;
        return 0;
    }
    if (!sensorSeesLight()) return kSensorRetryMs;
    storeFlag(gunStickFire, false);
    gunstickX.timer = 0;
    press(kGunTrigger, false);
    press(kGunSensor, true);
    scheduleTimedAction(static_cast<uint32_t>(fpsDisplay), releasePulse,
                        reinterpret_cast<void*>(static_cast<uintptr_t>(kGunSensor)));
    return 0;
}

// Frame-buffer coordinate of a click along one axis of the picture rectangles.
uint32_t aimAxis(int click, int srcStart, int srcSize, int dstStart, int dstSize, bool edgeTest) {
    if (dstSize <= 0) return 0;
    if (edgeTest && (click < dstStart || click >= dstStart + dstSize)) return 0;
    const int v = srcStart + (click - dstStart) * srcSize / dstSize;
    return v > 0 ? static_cast<uint32_t>(v) : 0;
}

}  // namespace

void close_joystick0() {
    releaseAll(0);
    if (CPC_joystick0) SDL_JoystickClose(CPC_joystick0);
    CPC_joystick0 = nullptr;
}

void close_joystick1() {
    releaseAll(1);
    if (CPC_joystick1) SDL_JoystickClose(CPC_joystick1);
    CPC_joystick1 = nullptr;
}

void endisable_joystick() {
    joystick = !joystick;
    if (joystick) {
        openControllers();
    } else {
        // Keys held through the emulation would otherwise never be let go.
        releaseAll(0);
        if (CPC_joystick0) {
            close_joystick0();
        } else if (cPCKeyBoard) {
            cPCKeyBoard->mapJoystick(false);
        }
        close_joystick1();
    }
    refreshImageJoystick();
}

void endisable_gunstick() {
    gunStick = !gunStick;
    if (gunStick) {
        if (!gunStickCursor.cursor) gunStickCursor.cursor = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_CROSSHAIR);
        if (gunStickCursor.cursor) SDL_SetCursor(gunStickCursor.cursor);
    } else {
        shotNumber.fetch_add(1);
        storeFlag(gunStickFire, false);
        press(kGunTrigger, false);
        if (gunStickCursor.cursor) {
            SDL_SetCursor(SDL_GetDefaultCursor());
            SDL_FreeCursor(gunStickCursor.cursor);
        }
        gunStickCursor.cursor = nullptr;
        if (mWindow) SDL_SetWindowGrab(mWindow, SDL_FALSE);
    }
    SDL_ShowCursor(SDL_ENABLE);
    refreshImageJoystick();
}

void cycleJoystick() {
    if (gunStick) {
        endisable_gunstick();
        if (joystick) endisable_joystick();
    } else if (joystick) {
        endisable_gunstick();
        endisable_joystick();
    } else {
        endisable_joystick();
    }
}

void enableJoystickOption() {
    if (!joystick) endisable_joystick();
}

void enableGunStickOption() {
    if (!gunStick) endisable_gunstick();
}

void joystickCheckOnReset() {
    if (CPC_joystick0 || CPC_joystick1) return;
    joystick = true;
    endisable_joystick();
}

void joystickButton(SDL_JoystickID controller, uint8_t button, bool pressed) {
    const int cpc = cpcJoystickOf(controller);
    if (cpc < 0 || button > 2) return;
    const JoystickKeys& k = kJoystickKeys[cpc];
    const uint8_t codes[3] = {k.fire2, k.fire1, k.fire3};
    press(codes[button], pressed);
}

void joystickHatMotion(SDL_JoystickID controller, uint8_t, uint8_t value) {
    const int cpc = cpcJoystickOf(controller);
    if (cpc < 0) return;
    const JoystickKeys& k = kJoystickKeys[cpc];
    press(k.up, value & SDL_HAT_UP);
    press(k.right, value & SDL_HAT_RIGHT);
    press(k.down, value & SDL_HAT_DOWN);
    press(k.left, value & SDL_HAT_LEFT);
}

void joystickAxisMotion(SDL_JoystickID controller, uint8_t axis, int16_t value) {
    const int cpc = cpcJoystickOf(controller);
    if (cpc < 0 || axis > 1) return;
    int16_t* stored[2][2] = {{&CPC_joystick0_axe0, &CPC_joystick0_axe1}, {&CPC_joystick1_axe0, &CPC_joystick1_axe1}};
    *stored[cpc][axis] = value;
    const JoystickKeys& k = kJoystickKeys[cpc];
    const uint8_t low = axis ? k.up : k.left, high = axis ? k.down : k.right;
    // Joystick 0 counts -8192 as centred, joystick 1 as a full deflection.
    const int limit = cpc == 0 ? 8192 : 8191;
    press(low, value < -limit);
    press(high, value > limit);
}

bool joystickEvent(const SDL_Event& e) {
    switch (e.type) {
        case SDL_JOYAXISMOTION: joystickAxisMotion(e.jaxis.which, e.jaxis.axis, e.jaxis.value); return true;
        case SDL_JOYHATMOTION: joystickHatMotion(e.jhat.which, e.jhat.hat, e.jhat.value); return true;
        case SDL_JOYBUTTONDOWN:
        case SDL_JOYBUTTONUP:
            joystickButton(e.jbutton.which, e.jbutton.button, e.type == SDL_JOYBUTTONDOWN);
            return true;
        case SDL_JOYDEVICEADDED:
            // With the option already on, a controller plugged in later takes over from the keyboard.
            if (!joystick) {
                endisable_joystick();
            } else {
                openControllers();
            }
            textShowOSD("\366 Joystick added ! \367");
            return true;
        case SDL_JOYDEVICEREMOVED:
            if (joystick) endisable_joystick();
            textShowOSD("\366 Joystick removed ! \367");
            return true;
        default: return false;
    }
}

void gunStickShoot(uint32_t column, uint32_t row) {
    gunstickX.column = column;
    gunStickCursor.row = row * kFrameWidth;
    const uintptr_t shot = shotNumber.fetch_add(1) + 1;
    gunstickX.timer = shot;
    press(kGunTrigger, true);
    storeFlag(gunStickFire, true);
    scheduleTimedAction(kSensorFirstLookMs, sensorTimer, reinterpret_cast<void*>(shot));
}

void gunStickClick(int x, int y) {
    if (!gunStick) return;
    if (!fullscreen && y > kStripTop - 1) return;
    if (!running) runstop();
    y = (y + 1) & ~1;
    const bool edgeTest = fullscreen && !maximize;
    gunStickShoot(aimAxis(x, rect_xy.x, rect_xy.w, rectdest_xy.x, rectdest_xy.w, edgeTest),
                  aimAxis(y, rect_xy.y, rect_xy.h, rectdest_xy.y, rectdest_xy.h, edgeTest));
}

void gunStickRelease() {
    press(kGunTrigger, false);
    // A miss stops looking: light under the aim later on is no hit.
    storeFlag(gunStickFire, false);
}
