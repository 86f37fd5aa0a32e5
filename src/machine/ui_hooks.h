// What the machine asks of the front-end. The core runs without a window (in
// tests and in headless mode); the front-end fills these in when it has one.
#pragma once

struct UiHooks {
    void (*redrawModelIcon)() = nullptr;
    void (*redrawCrtcIcon)() = nullptr;
    void (*redrawLanguageIcon)() = nullptr;
    void (*redrawRunIcon)() = nullptr;          // play, playfast or stop, from the run state
    void (*redrawDiskIcons)() = nullptr;
    void (*redrawWriteProtectIcons)() = nullptr;
    void (*restorePictureModulation)() = nullptr;  // undoes the pause screen's dimming
    void (*showPauseScreen)(const char* text) = nullptr;
    void (*releaseMouse)() = nullptr;
    void (*joystickCheckOnReset)() = nullptr;
    void (*showOSDText)(const char* text) = nullptr;
    void (*redrawMonitorIcons)() = nullptr;     // scanline and monitor-colour icons (not in full screen)
    void (*redrawSoundIcon)() = nullptr;        // sound on or off
    void (*redrawSoundModeIcon)() = nullptr;    // stereo, mono or Digiblaster
};

extern UiHooks uiHooks;

template <typename... Args>
inline void uiCall(void (*hook)(Args...), Args... args) {
    if (hook) hook(args...);
}

// The user-visible message channel: logged always, drawn by the front-end.
void textShowOSD(const char* format, ...);
