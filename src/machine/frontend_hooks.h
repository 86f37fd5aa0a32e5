// What the machine asks of the front-end: redraws, messages, media loading,
// autorun and window placement. The core runs without a front-end (tests,
// tools, headless runs): every hook starts as one that does nothing, and
// installFrontendServices() (frontend/frontend_services.h) fills them in.
#pragma once
#include <cstdint>

struct FrontendHooks {
    // Redraws and the picture, with a window only.
    void (*redrawModelIcon)() = [] {};
    void (*redrawCrtcIcon)() = [] {};
    void (*redrawLanguageIcon)() = [] {};
    void (*redrawRunIcon)() = [] {};  // play, playfast or stop, from the run state
    void (*redrawDiskIcons)() = [] {};
    void (*redrawWriteProtectIcons)() = [] {};
    void (*redrawMonitorIcons)() = [] {};   // scanline and monitor-colour icons (not in full screen)
    void (*redrawSoundIcon)() = [] {};      // sound on or off
    void (*redrawSoundModeIcon)() = [] {};  // stereo, mono or Digiblaster
    void (*restorePictureModulation)() = [] {};  // undoes the pause screen's dimming
    void (*showPauseScreen)(const char* text) = [](const char*) {};
    void (*releaseMouse)() = [] {};
    void (*showOSDText)(const char* text) = [](const char*) {};
    // The deck's notices, delivered on the main thread (tapeDeliverFrontEndNotices).
    void (*showTapeBlockText)(uint32_t entry) = [](uint32_t) {};  // the tape reached this index entry
    void (*redrawTapePlayIcon)() = [] {};    // play key changed
    void (*redrawTapeRewindIcon)() = [] {};  // position changed by a rewind

    // Services the configuration and the reset call.
    void (*joystickCheckOnReset)() = [] {};
    bool (*loadMediaFile)(const char* path, int unit) = [](const char*, int) { return true; };  // by extension
    void (*startTextAutorun)(const char* text) = [](const char*) {};  // types text after the start-up delay
    void (*startTapeAutorun)() = [] {};                               // play and RUN" after the start-up delay
    void (*setFullscreen)() = [] {};
    void (*setWindowX)(int x) = [](int) {};
    void (*setWindowY)(int y) = [](int) {};
    bool (*setDiskWritePolicy)(const char* text) = [](const char*) { return true; };  // "back", "copy" or "off"
    bool (*createNewDisk)(const char* path) = [](const char*) { return false; };  // a blank disk; false if it exists
    void (*writeBackDisks)() = [] {};  // changed disks are saved before they go away
    void (*enableJoystick)() = [] {};
    void (*enableGunStick)() = [] {};
    bool (*setKeymap)(const char* mode) = [](const char*) { return true; };  // "char" or "position"
    bool (*startWavRecording)(const char* path) = [](const char*) { return false; };  // false when it cannot
    // The debugger stopped the machine (called on the emulation thread, once a stop).
    void (*debuggerStopped)() = [] {};
    // Shows the debugger window (main thread); false without a window.
    bool (*showDebuggerWindow)() = [] { return false; };
};

extern FrontendHooks frontendHooks;

// The user-visible message channel: logged always, drawn by the front-end.
void textShowOSD(const char* format, ...);
