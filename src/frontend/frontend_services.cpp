#include "frontend/monitor_session.h"
#include "frontend/frontend_services.h"

#include "frontend/autorun.h"
#include "frontend/disk_writeback.h"
#include "frontend/icons.h"
#include "frontend/joystick.h"
#include "frontend/keymap.h"
#include "frontend/media_loader.h"
#include "frontend/media_tape.h"
#include "frontend/osd.h"
#include "frontend/sound_recording.h"
#include "frontend/ui_hooks.h"
#include "frontend/window.h"
#include "machine/emulation_thread.h"
#include "machine/frontend_hooks.h"

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

void restorePictureModulation() {
    if (mTexture) SDL_SetTextureColorMod(mTexture, 255, 255, 255);
    endPauseScreen();
}

}  // namespace

void installFrontendServices() {
    frontendHooks.loadMediaFile = load_file_snadsk;
    frontendHooks.startTextAutorun = startTextAutorun;
    frontendHooks.startTapeAutorun = startTapeAutorun;
    frontendHooks.setFullscreen = setFullscreen;
    frontendHooks.setWindowX = setWindowX;
    frontendHooks.setWindowY = setWindowY;
    frontendHooks.setDiskWritePolicy = setDiskWritePolicy;
    frontendHooks.createNewDisk = createNewDisk;
    frontendHooks.writeBackDisks = writeBackAllDisks;
    frontendHooks.enableJoystick = enableJoystickOption;
    frontendHooks.enableGunStick = enableGunStickOption;
    frontendHooks.setKeymap = setKeymapMode;
    frontendHooks.startWavRecording = startWavRecording;
    frontendHooks.debuggerStopped = debuggerStoppedOnEmulationThread;
    frontendHooks.showDebuggerWindow = [] { return !headlessMode && uiHooks.showDebugger(); };
    frontendHooks.joystickCheckOnReset = joystickCheckOnReset;
    if (headlessMode) return;
    frontendHooks.redrawModelIcon = refreshImageCPC;
    frontendHooks.redrawCrtcIcon = refreshImageCrtc;
    frontendHooks.redrawLanguageIcon = refreshImageCPC;
    frontendHooks.redrawRunIcon = refreshImageRunStop;
    frontendHooks.redrawDiskIcons = redrawBothDisks;
    frontendHooks.redrawWriteProtectIcons = redrawBothPadlocks;
    frontendHooks.redrawMonitorIcons = refreshImageMonitor;
    frontendHooks.redrawSoundIcon = refreshImageMusic;
    frontendHooks.redrawSoundModeIcon = refreshImageStereo;
    frontendHooks.restorePictureModulation = restorePictureModulation;
    frontendHooks.showPauseScreen = refreshText;
    frontendHooks.releaseMouse = SDL_FreeMouseCursor;
    frontendHooks.showOSDText = osdSetText;
    frontendHooks.showTapeBlockText = textShowk7OSD;
    frontendHooks.redrawTapePlayIcon = refreshImageK7PP;
    frontendHooks.redrawTapeRewindIcon = refreshImageK7RE;
}
