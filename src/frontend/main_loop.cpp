#include "frontend/monitor_session.h"
#include "frontend/main_loop.h"

#include "frontend/autorun.h"
#include "frontend/csl_runner.h"
#include "frontend/disk_writeback.h"
#include "frontend/icons.h"
#include "frontend/joystick.h"
#include "frontend/keymap.h"
#include "frontend/machine_status.h"
#include "frontend/media_loader.h"
#include "frontend/media_snapshot.h"
#include "frontend/media_tape.h"
#include "frontend/osd.h"
#include "frontend/quick_slots.h"
#include "frontend/rewind_control.h"
#include "frontend/screenshot.h"
#include "frontend/ui_hooks.h"
#include "frontend/virtual_keyboard.h"
#include "frontend/window.h"
#include "machine/cpc.h"
#include "machine/emulation_thread.h"
#include "machine/frontend_hooks.h"
#include "machine/keyboard.h"
#include "machine/shared_flag.h"
#include "machine/text_buffers.h"
#include "machine/timed_actions.h"
#include "sound/audio_output.h"
#include "tape/tape_drive.h"
#include "video/monitor.h"

int mouseX = 0;
int button_x = 0;
int button_y = 0;
bool mainWindow_drop_mfile = false;

namespace {

constexpr int kFreeRunSkippedPasses = 10;
constexpr uint8_t kNoKey = 0xFF;
constexpr uint32_t kHomeTapePlayDelayMs = 512;

// The modifiers held when each function key went down.
uint16_t modifiersAtPress[SDL_NUM_SCANCODES] = {};

// A slot key's own text (Alt+digit gives some on some hosts) is not typed into the machine.
bool slotKeyText = false;

// Ctrl+1..9 saves slot N, Left Alt+1..9 loads it: the main-row digits, whose CONTROL and COPY combinations CPC
// programs hardly use (the keypad stays the CPC's function keys). True when the key was one.
bool quickSlotKey(const SDL_KeyboardEvent& key) {
    const SDL_Scancode code = key.keysym.scancode;
    if (code < SDL_SCANCODE_1 || code > SDL_SCANCODE_9) return false;
    const bool ctrl = key.keysym.mod & KMOD_CTRL;
    const bool alt = key.keysym.mod & KMOD_LALT;
    if (ctrl == alt) return false;
    if (!key.repeat) {
        const int slot = 1 + (code - SDL_SCANCODE_1);
        if (ctrl) {
            saveQuickSlot(slot);
        } else {
            loadQuickSlot(slot);
        }
    }
    slotKeyText = true;
    return true;
}

// SDL frames each drop with SDL_DROPBEGIN and SDL_DROPCOMPLETE (from 2.0.5 on);
// without the frame a drop cannot tell its second file from the next drop.
bool dropFramed = false;

Uint32 windowIdOf(const SDL_Event& e) {
    switch (e.type) {
        case SDL_WINDOWEVENT: return e.window.windowID;
        case SDL_KEYDOWN: case SDL_KEYUP: return e.key.windowID;
        case SDL_MOUSEMOTION: return e.motion.windowID;
        case SDL_MOUSEBUTTONDOWN: case SDL_MOUSEBUTTONUP: return e.button.windowID;
        default: return 0;
    }
}

bool carriesWindow(Uint32 type) {
    switch (type) {
        case SDL_WINDOWEVENT: case SDL_KEYDOWN: case SDL_KEYUP: case SDL_MOUSEMOTION: case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            return true;
        default:
            return false;
    }
}

// On another display (or a display whose mode changed) full screen takes the
// new mode, stretched or not as it was; a window only when both sides of the
// mode differ from the display it was on.
void handleWindowMoved() {
    SDL_DisplayMode mode;
    int display = SDL_GetWindowDisplayIndex(mWindow);
    if (display < 0 || SDL_GetCurrentDisplayMode(display, &mode) != 0) {
        refreshImageAll();
        return;
    }
    const bool otherSize = fullscreen ? display != mWindowDisplayID || mode.w != current.w || mode.h != current.h
                                      : mode.w != mWDRect.w && mode.h != mWDRect.h;
    if (otherSize) {
        SDL_fullscreen(fullscreen, maximize);
    } else {
        refreshImageAll();
    }
}

void leftButtonInMainWindow(int x, int y) {
    if (y <= kStripTop - 1) {
        SDL_SetWindowGrab(mWindow, SDL_TRUE);
        if (SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE) {
            if (!statusGunStickOn()) SDL_ShowCursor(SDL_DISABLE);
            if (!running) runstop();
        }
    } else if (!fullscreen) {
        checkClickButton();
    }
    gunStickClick(x, y);
}

void rightButtonInMainWindow(int x, int y) {
    if (fullscreen) return;
    for (int unit = 0; unit < 2; ++unit) {
        if (clickInside(statusImages[unit ? imgDisk1 : imgDisk0].rect, x, y) && t_eject_disk[unit]) save_dsk(unit);
    }
    if (clickInside(statusImages[imgReset].rect, x, y)) {
        startCPC();
        soft_reset();
    }
    if (clickInside(statusImages[imgKeyboard].rect, x, y) && kWindow) SDL_HideWindow(kWindow);
}

void mainWindowEvent(const SDL_Event& e) {
    switch (e.type) {
        case SDL_WINDOWEVENT:
            switch (e.window.event) {
                case SDL_WINDOWEVENT_CLOSE: storeFlag(mainLoopEnd, 1); break;
                case SDL_WINDOWEVENT_EXPOSED:
                case SDL_WINDOWEVENT_RESTORED:
                    if (!fullscreen) refreshImageAll();
                    break;
                case SDL_WINDOWEVENT_MOVED: handleWindowMoved(); break;
                case SDL_WINDOWEVENT_FOCUS_LOST: rewindHold(false); break;
#if SDL_VERSION_ATLEAST(2, 0, 18)
                case SDL_WINDOWEVENT_DISPLAY_CHANGED: handleWindowMoved(); break;
#endif
                default: break;
            }
            break;
        case SDL_KEYDOWN: {
            SDL_Scancode key = e.key.keysym.scancode;
            // Pause/Break, which no CPC key is mapped to, stops the machine into an attached monitor.
            if (key == SDL_SCANCODE_PAUSE && monitorAttached()) {
                if (!e.key.repeat) breakIntoMonitor();
                break;
            }
            slotKeyText = false;
            if (quickSlotKey(e.key)) break;
            // Page Up, which no CPC key is mapped to, goes back in time while held.
            if (key == SDL_SCANCODE_PAGEUP) {
                rewindHold(true);
                break;
            }
            if (!hostKeyEvent(e.key) && key < SDL_NUM_SCANCODES && !e.key.repeat) {
                modifiersAtPress[key] = e.key.keysym.mod;
            }
            break;
        }
        case SDL_KEYUP: {
            SDL_Scancode key = e.key.keysym.scancode;
            if (key == SDL_SCANCODE_PAGEUP) {
                rewindHold(false);
                break;
            }
            if (!hostKeyEvent(e.key) && key < SDL_NUM_SCANCODES) {
                // Ctrl+F9 means a reset whichever of the two keys is let go first.
                handleFunctionKey(key, static_cast<uint16_t>(e.key.keysym.mod | modifiersAtPress[key]));
                modifiersAtPress[key] = 0;
            }
            break;
        }
        case SDL_MOUSEMOTION: mouseX = e.motion.x; break;
        case SDL_MOUSEBUTTONDOWN:
            button_x = e.button.x;
            button_y = e.button.y;
            mouseX = e.button.x;
            if (e.button.button == SDL_BUTTON_LEFT) leftButtonInMainWindow(e.button.x, e.button.y);
            if (e.button.button == SDL_BUTTON_MIDDLE && running) pauseRun();
            if (e.button.button == SDL_BUTTON_RIGHT) rightButtonInMainWindow(e.button.x, e.button.y);
            break;
        case SDL_MOUSEBUTTONUP:
            if (e.button.button == SDL_BUTTON_LEFT && gunStick) gunStickRelease();
            break;
        default: break;
    }
}

void keyboardWindowEvent(const SDL_Event& e) {
    if (e.type == SDL_MOUSEBUTTONDOWN) virtualKeyboardClick(e.button.button, e.button.x, e.button.y);
    if (e.type != SDL_WINDOWEVENT) return;
    switch (e.window.event) {
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_RESTORED:
            presentKeyboardWindow();
            break;
        case SDL_WINDOWEVENT_CLOSE:
            if (kWindow) SDL_HideWindow(kWindow);
            break;
        default: break;
    }
}

void handleDroppedFile(char* file) {
    if (mainWindow_drop_mfile) {
        textShowOSD("\366 Warning, Multiple files drop not allowed ! \367");
    } else {
        if (dropFramed) mainWindow_drop_mfile = true;
        SDL_SetWindowFocus(mWindow);
        if (currentFilePath && file) {
            copyToTextBuffer(currentFilePath, file);
            // The right half of the picture is drive B.
            load_file_snadsk(currentFilePath, mouseX >= rectdest_xy.x + rectdest_xy.w / 2 ? 1 : 0);
        }
    }
    SDL_free(file);
}

void pace() {
    double now = SDL_GetTicks();
    if (!running) {
        SDL_Delay(static_cast<Uint32>(fpsDisplay));
        frameLimit = SDL_GetTicks();
        return;
    }
    if (frameLimit > now) SDL_Delay(static_cast<Uint32>(frameLimit - now));
    frameLimit += fpsDisplay;
    // After a stall, start the schedule again: a picture is worth presenting once.
    if (frameLimit < now - 4 * fpsDisplay) frameLimit = now + fpsDisplay;
}

}  // namespace

uint8_t hostKeyToCpcKey(SDL_Scancode key) { return cPCKeyBoard ? cPCKeyBoard->mapDomKeyToCpcKey(key) : kNoKey; }

void handleFunctionKey(SDL_Scancode key, uint16_t modifiers) {
    const bool shift = modifiers & KMOD_SHIFT;
    const bool ctrl = modifiers & KMOD_CTRL;
    switch (key) {
        case SDL_SCANCODE_F1:
        case SDL_SCANCODE_F2: {
            const int unit = key == SDL_SCANCODE_F1 ? 0 : 1;
            const char* name = unit ? fileName_dsk1_str : fileName_dsk0_str;
            if (ctrl) showDskNameOSD(unit, name);
            if (shift && !loadFlag(flipSideInUse)) flipSide(static_cast<uint8_t>(unit), name);
            break;
        }
        case SDL_SCANCODE_F3:
            if (ctrl) textShowOSD("%s", fileName_cdt_str ? fileName_cdt_str : "");
            if (shift) flipTapeSide();
            break;
        case SDL_SCANCODE_F4:
            if (shift) {
                monitor_endisable_scanline();
            } else {
                cycleCrtcType();
            }
            break;
        case SDL_SCANCODE_F5:
            if (shift) {
                cycleCPCAudio();
            } else {
                endisable_sound();
            }
            break;
        case SDL_SCANCODE_F6: saveSnapshotRequest = true; break;
        case SDL_SCANCODE_F7: saveScreenRequest = true; break;
        case SDL_SCANCODE_F8: pauseRun(); break;
        case SDL_SCANCODE_F9:
            if (ctrl) soft_reset();
            break;
        case SDL_SCANCODE_F10:
            if (loadFlag(freeRunEnable)) {
                if (running) stopRun();
                run();
            } else {
                storeFlag(freeRunEnable, 1);
                freeRun();
            }
            break;
        case SDL_SCANCODE_F11: SDL_fullscreen(!fullscreen, shift); break;
        case SDL_SCANCODE_F12:
            if (shift) {
                uiHooks.showDebugger();
            } else {
                cycleJoystick();
            }
            break;
        case SDL_SCANCODE_INSERT:
            if (shift) {
                pasteClipboard();
            } else {
                autorun_cat();
            }
            break;
        case SDL_SCANCODE_HOME:
            if (!autorunInProgress()) autorun_cdt(kHomeTapePlayDelayMs);
            break;
        default: break;
    }
}

void dispatchEvent(const SDL_Event& event) {
    // The UI windows (and a menu over the picture) see their input first.
    if (event.type != SDL_QUIT && uiHooks.handleEvent(event)) return;
    switch (event.type) {
        case SDL_QUIT: storeFlag(mainLoopEnd, 1); return;
        case SDL_DROPBEGIN:
            mainWindow_drop_mfile = false;
            dropFramed = true;
            return;
        case SDL_DROPCOMPLETE:
            mainWindow_drop_mfile = false;
            dropFramed = false;
            return;
        case SDL_DROPFILE: handleDroppedFile(event.drop.file); return;
        case SDL_DROPTEXT: SDL_free(event.drop.file); return;
        case SDL_TEXTINPUT:
            if (slotKeyText) {
                slotKeyText = false;
                return;
            }
            if (event.text.windowID == mWindowID) hostTextInput(event.text.text);
            return;
        default: break;
    }
    if (joystickEvent(event)) return;
    if (!carriesWindow(event.type)) return;
    const Uint32 window = windowIdOf(event);
    if (window == mWindowID) {
        mainWindowEvent(event);
    } else if (kWindow && window == SDL_GetWindowID(kWindow)) {
        keyboardWindowEvent(event);
    }
}

void presentRunningFrame() {
    if (!mRenderer) return;
    updateIndicators();
    const bool pictureChanged = uploadPicture();
    // An unchanged window stays on screen as it is (redrawn once a second all the same).
    static Uint32 presentedAt = 0;
    const Uint32 now = SDL_GetTicks();
    if (!pictureChanged && !windowNeedsPresent && !refreshScreen && textDisplayTime <= 0 && !fullscreen &&
        !saveScreenRequest && !saveSnapshotRequest && now - presentedAt < 1000) {
        return;
    }
    presentedAt = now;
    windowNeedsPresent = false;
    renderPictureAndStrip(false);
    // Screenshots and snapshots are taken here, after the frame they show and
    // before the on-screen text is drawn over it.
    if (saveScreenRequest) {
        saveScreenRequest = false;
        save_scr();
    }
    if (saveSnapshotRequest) {
        saveSnapshotRequest = false;
        save_sna();
    }
    uiHooks.drawOverMainWindow();
    drawOSD();
    refreshScreen = false;
    SDL_RenderPresent(mRenderer);
}

void runMainLoop() {
    SDL_Event event;
    while (!loadFlag(mainLoopEnd)) {
        while (SDL_PollEvent(&event)) dispatchEvent(event);
        applyHostKeyQueue();
        pasteStep();
        runMainThreadActions();
        rewindTurn();
        writeBackStillDisks();
        cslTurn();
        windowMonitorTurn();
        tapeDeliverFrontEndNotices();
        uiHooks.drawWindows();
        if (loadFlag(mainLoopEnd)) break;
        if (frameskip > 0) {
            --frameskip;
        } else {
            if (loadFlag(freeRunEnable) || loadFlag(tapeTurboActive)) frameskip = kFreeRunSkippedPasses;
            if (running) {
                presentRunningFrame();
            } else if (refreshScreen) {
                refreshScreen = false;
                presentStoppedScreen();
            } else {
                SDL_Delay(static_cast<Uint32>(fpsDisplay));
                frameLimit = SDL_GetTicks();
                continue;
            }
        }
        pace();
    }
}
