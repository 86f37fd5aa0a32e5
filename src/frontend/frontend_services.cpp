#include "frontend/frontend_services.h"

#include "frontend/autorun.h"
#include "frontend/disk_writeback.h"
#include "frontend/joystick.h"
#include "frontend/keymap.h"
#include "frontend/media_loader.h"
#include "frontend/media_tape.h"
#include "frontend/window.h"
#include "machine/frontend_services.h"
#include "machine/ui_hooks.h"

namespace {

constexpr uint32_t kTapeAutorunOptionDelayMs = 2000;

void startTextAutorun(const char* text) {
    setAutorunText(text);
    autorun_dsk(kAutorunOptionDelayMs, kAutorunKeyPeriodMs);
}

void startTapeAutorun() {
    if (!autorunInProgress() && !autorunTapeInProgress()) autorun_cdt(kTapeAutorunOptionDelayMs);
}

void setFullscreen() { SDL_fullscreen(true, false); }

void setWindowX(int x) {
    mWindowOldX = x;
    SDL_setWindowXY();
}

void setWindowY(int y) {
    mWindowOldY = y;
    SDL_setWindowXY();
}

}  // namespace

void installFrontendServices() {
    frontendServices.loadMediaFile = load_file_snadsk;
    frontendServices.startTextAutorun = startTextAutorun;
    frontendServices.startTapeAutorun = startTapeAutorun;
    frontendServices.setFullscreen = setFullscreen;
    frontendServices.setWindowX = setWindowX;
    frontendServices.setWindowY = setWindowY;
    frontendServices.setDiskWritePolicy = setDiskWritePolicy;
    frontendServices.createNewDisk = createNewDisk;
    frontendServices.writeBackDisks = writeBackAllDisks;
    frontendServices.enableJoystick = enableJoystickOption;
    frontendServices.enableGunStick = enableGunStickOption;
    frontendServices.setKeymap = setKeymapMode;
    uiHooks.joystickCheckOnReset = joystickCheckOnReset;
}
