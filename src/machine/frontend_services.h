// Services of the front-end that the configuration calls (media loading,
// autorun, window placement). The core runs without them: tests and tools
// that link only the core leave them empty and those settings do nothing.
#pragma once
#include <cstdint>

struct FrontendServices {
    bool (*loadMediaFile)(const char* path, int unit) = nullptr;  // chosen by extension
    void (*startTextAutorun)(const char* text) = nullptr;         // types text after the start-up delay
    void (*startTapeAutorun)() = nullptr;                         // play and RUN" after the start-up delay
    void (*setFullscreen)() = nullptr;
    void (*setWindowX)(int x) = nullptr;
    void (*setWindowY)(int y) = nullptr;
    bool (*setDiskWritePolicy)(const char* text) = nullptr;  // "back", "copy" or "off"
    bool (*createNewDisk)(const char* path) = nullptr;        // a blank disk file; false if it exists
    void (*writeBackDisks)() = nullptr;                       // changed disks are saved before they go away
    void (*enableJoystick)() = nullptr;
    void (*enableGunStick)() = nullptr;
    bool (*setKeymap)(const char* mode) = nullptr;  // "char" or "position"
};

extern FrontendServices frontendServices;
