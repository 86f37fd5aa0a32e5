#include "frontend/icons.h"

#include <strings.h>

#include <cstring>

#include "disk/fdc765.h"
#include "frontend/joystick.h"
#include "frontend/machine_status.h"
#include "frontend/main_loop.h"
#include "frontend/media_loader.h"
#include "frontend/media_tape.h"
#include "frontend/osd.h"
#include "frontend/ui_hooks.h"
#include "frontend/window.h"
#include "machine/cpc.h"
#include "machine/emulation_thread.h"
#include "machine/frontend_hooks.h"
#include "machine/model.h"
#include "machine/shared_flag.h"
#include "sound/audio_output.h"
#include "tape/tape_drive.h"
#include "video/monitor.h"

StatusImage statusImages[imgCount];
SDL_Rect ledDisk0Rect = {0, 0, 0, 0};
SDL_Rect ledDisk1Rect = {0, 0, 0, 0};
SDL_Rect ledK7Rect = {0, 0, 0, 0};

namespace {

const char* const kImageNames[imgCount] = {
    "Charset",
    "reset",
    "playfast", "play", "stop",
    "disk0", "side_a", "side_b", "disk_eject", "disk_eject_original", "disk0_no",
    "disk1", "side_a", "side_b", "disk1_no",
    "padlock_close", "padlock_open", "padlock_close", "padlock_open",
    "minis_k70", "k7_pause", "k7_play", "k7_rewind",
    "color", "gray", "green",
    "lines", "scanlines",
    "fullscreen",
    "music", "music_no",
    "stereo", "mono", "Digiblaster",
    "GunStick", "joystick", "joystick_no",
    "screenshot", "snapshot",
    "Lumarch",
    "464", "664", "6128", "464+", "6128+", "GX4000",
    "flag_da", "flag_f", "flag_s", "flag_uk",
    "crtc_4", "crtc_3", "crtc_2", "crtc_1", "crtc_0",
    "keyboard",
    "k464fr", "k6128_fr", "k464uk", "k664uk", "k6128_uk",
};

constexpr int kStripRow = 548;
constexpr int kIconRow = 549;
constexpr int kFlagRow = 564;
constexpr int kFlagWidth = 24;
constexpr int kStripFillHeight = 92;

const SDL_Rect& rectOf(StatusImageId id) { return statusImages[id].rect; }

void load(StatusImageId id, int x, int y, SDL_Renderer* renderer = mRenderer) {
    SDL_readFileBMP(renderer, kImageNames[id], &statusImages[id].texture, &statusImages[id].rect, x, y);
}

// The x of an image placed after `id`, with four pixels between them.
int after(StatusImageId id) { return rectOf(id).x + rectOf(id).w + 4; }

bool drawingAllowed() { return mRenderer && !fullscreen; }

// Draws an image at its own place, or at `x`, `y` with its own size.
void drawImage(StatusImageId id, const SDL_Point* at = nullptr) {
    if (!drawingAllowed()) return;
    refreshScreen = true;
    SDL_Texture* texture = statusImages[id].texture;
    if (!texture) return;
    SDL_Rect target = rectOf(id);
    if (at) {
        target.x = at->x;
        target.y = at->y;
    }
    beginStatusDrawing();
    SDL_RenderCopy(mRenderer, texture, nullptr, &target);
    endStatusDrawing();
}

void fillStripRect(const SDL_Rect& r, Uint8 red, Uint8 green, Uint8 blue) {
    beginStatusDrawing();
    SDL_SetRenderDrawColor(mRenderer, red, green, blue, 255);
    SDL_RenderFillRect(mRenderer, &r);
    endStatusDrawing();
}

bool containsNoCase(const char* text, const char* part) {
    size_t n = std::strlen(part);
    for (const char* p = text; *p; ++p) {
        if (strncasecmp(p, part, n) == 0) return true;
    }
    return false;
}

SDL_Point placeOfDrive(int unit) {
    const SDL_Rect& r = rectOf(unit ? imgDisk1 : imgDisk0);
    return {r.x, r.y};
}

}  // namespace

StatusImageId modelImageFor(int type) {
    switch (type) {
        case CPC464: return img464;
        case CPC664: return img664;
        case CPC464Plus: return img464Plus;
        case CPC6128Plus: return img6128Plus;
        case GX4000: return imgGX4000;
        default: return img6128;
    }
}

StatusImageId flagImageFor(int lang) {
    switch (lang) {
        case LangFrench: return imgFlagF;
        case LangSpanish: return imgFlagS;
        case LangDanish: return imgFlagDa;
        default: return imgFlagUk;
    }
}

StatusImageId keyboardPictureFor(int type) {
    switch (type) {
        case CPC464: case CPC464Plus: return imgK464uk;
        case CPC664: return imgK664uk;
        default: return imgK6128uk;
    }
}

void loadStatusImages(bool withStrip) {
    load(imgCharset, 0, 0);
    if (!withStrip) return;

    load(imgReset, 0, kStripRow);
    int x = after(imgReset);
    load(imgPlayFast, x, kStripRow);
    load(imgPlay, x, kStripRow);
    load(imgStop, x, kStripRow);

    load(imgDisk0, after(imgStop), kIconRow);
    const SDL_Rect d0 = rectOf(imgDisk0);
    load(imgSideA0, d0.x + 12, d0.y + 11);
    load(imgSideB0, d0.x + 12, d0.y + 11);
    load(imgDiskEject, d0.x, d0.y);
    load(imgDiskEjectOriginal, d0.x, d0.y);
    load(imgDisk0No, d0.x, d0.y);
    load(imgDisk1, after(imgDisk0), kIconRow);
    const SDL_Rect d1 = rectOf(imgDisk1);
    load(imgSideA1, d1.x + 12, d1.y + 11);
    load(imgSideB1, d1.x + 12, d1.y + 11);
    load(imgDisk1No, d1.x, d1.y);
    load(imgPadlockClose0, d0.x + 24, d0.y);
    load(imgPadlockOpen0, d0.x + 24, d0.y);
    load(imgPadlockClose1, d1.x + 24, d1.y);
    load(imgPadlockOpen1, d1.x + 24, d1.y);

    load(imgK7, after(imgDisk1), kIconRow);
    const SDL_Rect k7 = rectOf(imgK7);
    load(imgK7Pause, k7.x + k7.w, kIconRow);
    load(imgK7Play, k7.x + k7.w, kIconRow);
    const SDL_Rect play = rectOf(imgK7Play);
    load(imgK7Rewind, play.x + play.w, play.y);

    x = after(imgK7Rewind);
    load(imgColor, x, kIconRow);
    load(imgGray, x, kIconRow);
    load(imgGreen, x, kIconRow);
    x = after(imgColor);
    load(imgLines, x, kIconRow);
    load(imgScanlines, x, kIconRow);
    load(imgFullscreen, after(imgLines), kIconRow);
    x = after(imgFullscreen);
    load(imgMusic, x, kIconRow);
    load(imgMusicNo, x, kIconRow);
    x = after(imgMusic);
    load(imgStereo, x, kIconRow);
    load(imgMono, x, kIconRow);
    load(imgDigiblaster, x, kIconRow);
    x = after(imgStereo);
    load(imgGunStick, x, kIconRow);
    load(imgJoystick, x, kIconRow);
    load(imgJoystickNo, x, kIconRow);
    load(imgScreenshot, after(imgJoystick), kIconRow);
    load(imgSnapshot, after(imgScreenshot), kIconRow);

    load(imgLumarch, after(imgSnapshot), kStripRow);
    const SDL_Rect model = rectOf(imgLumarch);
    for (int id = img464; id <= imgGX4000; ++id) load(static_cast<StatusImageId>(id), model.x, model.y);
    for (int id = imgFlagDa; id <= imgFlagUk; ++id)
        load(static_cast<StatusImageId>(id), model.x + model.w - kFlagWidth, kFlagRow);
    x = after(imgLumarch);
    for (int id = imgCrtc4; id <= imgCrtc0; ++id) load(static_cast<StatusImageId>(id), x, kIconRow);
    load(imgKeyboard, after(imgCrtc0), kIconRow);

    if (kRenderer && !statusImages[imgK6128uk].texture) {
        for (int id = imgK464fr; id <= imgK6128uk; ++id) load(static_cast<StatusImageId>(id), 0, 0, kRenderer);
    }
}

void forgetStatusImages(bool keyboardPicturesToo) {
    for (int id = 0; id < imgCount; ++id) {
        bool keyboardPicture = id >= imgK464fr && id <= imgK6128uk;
        if (!keyboardPicture || keyboardPicturesToo) statusImages[id].texture = nullptr;
    }
}

void computeIndicatorRects() {
    const SDL_Rect d0 = rectOf(imgDisk0), d1 = rectOf(imgDisk1), k7 = rectOf(imgK7);
    ledDisk0Rect = {d0.x + 4, d0.y + 21, d0.w - 8, 3};
    ledDisk1Rect = {d1.x + 4, d1.y + 21, d1.w - 8, 3};
    ledK7Rect = {k7.x + 13, k7.y + 14, 4, 5};
    if (fullscreen) {
        ledDisk0Rect.y = ledDisk1Rect.y = current.h - 32;
        ledK7Rect.y = current.h - 39;
    }
}

void refreshImageRunStop() {
    drawImage(running ? (loadFlag(freeRunEnable) ? imgPlayFast : imgPlay) : imgStop);
}

void refreshImageDisk(int unit) {
    if (!drawingAllowed()) return;
    SDL_Point at = placeOfDrive(unit);
    StatusImageId id;
    if (!fdc) {
        id = unit ? imgDisk1No : imgDisk0No;
    } else if (!statusDiskLoaded(unit)) {
        id = unit ? imgDisk1 : imgDisk0;
    } else {
        const char* name = statusDiskFileName(unit);
        bool original = std::strstr(name, "Original") || containsNoCase(name, ".ipf") || containsNoCase(name, ".raw");
        id = original ? imgDiskEjectOriginal : imgDiskEject;
    }
    drawImage(id, &at);
    if (fdc) {
        refreshImageFS(unit);
        refreshImageWP(unit);
    }
    refreshLedOSD(unit ? t_led_disk1 : t_led_disk0, unit ? ledDisk1Rect : ledDisk0Rect);
}

void refreshImageFS(int unit) {
    if (!statusDiskLoaded(unit) || !statusDiskDoubleSided(unit)) return;
    bool sideB = statusDiskSide(unit) == 1;
    drawImage(unit ? (sideB ? imgSideB1 : imgSideA1) : (sideB ? imgSideB0 : imgSideA0));
}

void refreshImageWP(int unit) {
    bool locked = statusDiskWriteProtected(unit);
    drawImage(unit ? (locked ? imgPadlockClose1 : imgPadlockOpen1) : (locked ? imgPadlockClose0 : imgPadlockOpen0));
}

void refreshImageK7PP() { drawImage(statusTapePlaying() ? imgK7Pause : imgK7Play); }

void refreshImageK7RE() { drawImage(imgK7Rewind); }

void refreshImageMonitor() {
    switch (statusMonitorPalette()) {
        case MonitorPalette::Colour: drawImage(imgColor); break;
        case MonitorPalette::Green: drawImage(imgGreen); break;
        case MonitorPalette::Gray: drawImage(imgGray); break;
    }
    drawImage(statusScanlines() ? imgScanlines : imgLines);
}

void refreshImageMusic() { drawImage(CPC_audio_enable ? imgMusic : imgMusicNo); }

void refreshImageStereo() { drawImage(CPC_audio_stereo ? imgStereo : digiBlaster ? imgDigiblaster : imgMono); }

void refreshImageJoystick() {
    if (!drawingAllowed()) return;
    fillStripRect(rectOf(imgJoystick), 255, 255, 255);
    drawImage(statusGunStickOn() ? imgGunStick : statusJoystickOn() ? imgJoystick : imgJoystickNo);
}

void refreshImageCPC() {
    if (!drawingAllowed()) return;
    drawImage(modelImageFor(cpcType));
    drawImage(flagImageFor(cpcLang));
    presentKeyboardWindow();
}

void refreshImageCrtc() {
    static const StatusImageId kByType[5] = {imgCrtc0, imgCrtc1, imgCrtc2, imgCrtc3, imgCrtc4};
    drawImage(kByType[crtcType <= 4 ? crtcType : 0]);
}

void presentKeyboardWindow() {
    if (!kRenderer || fullscreen) return;
    SDL_SetRenderDrawColor(kRenderer, 255, 255, 255, 255);
    SDL_RenderClear(kRenderer);
    SDL_Texture* picture = statusImages[keyboardPictureFor(cpcType)].texture;
    if (picture) SDL_RenderCopy(kRenderer, picture, nullptr, &statusImages[keyboardPictureFor(cpcType)].rect);
    SDL_RenderPresent(kRenderer);
}

void refreshImageAll() {
    if (!mRenderer) return;
    refreshScreen = true;
    if (fullscreen) {
        SDL_SetRenderDrawColor(mRenderer, 0, 0, 0, 255);
        SDL_RenderClear(mRenderer);
        if (statusGunStickOn()) SDL_ShowCursor(SDL_ENABLE);
        return;
    }
    fillStripRect({0, kStripRow, kPictureWidth, kStripFillHeight}, 255, 255, 255);
    SDL_ShowCursor(SDL_ENABLE);
    drawImage(imgReset);
    refreshImageRunStop();
    redrawBothDisks();
    drawImage(imgK7);
    refreshImageK7PP();
    refreshImageK7RE();
    refreshLedOSD(t_led_k7last, ledK7Rect);
    refreshImageMonitor();
    drawImage(imgFullscreen);
    refreshImageMusic();
    refreshImageStereo();
    refreshImageJoystick();
    drawImage(imgScreenshot);
    drawImage(imgSnapshot);
    refreshImageCPC();
    refreshImageCrtc();
    drawImage(imgKeyboard);
    if (!running) refreshText(kPauseScreenText);
}

bool clickInside(const SDL_Rect& r, int x, int y) { return x > r.x && x < r.x + r.w && y > r.y && y < r.y + r.h; }

// The rewind icon: back to the start of the block before the one the deck
// is at, naming it, or to the beginning of the tape.
void rewindTapeOneBlock() {
    if (!tape) return;
    if (tape->playKey) {
        tape->playPause(false);
        refreshImageK7PP();
    }
    // The deck moves the pulse position and the block number while frames run.
    withEmulationStopped([] {
        // The deck is in block k7IndexNextBlock - 1, the one it passed last.
        if (k7IndexNextBlock > 1 && tapeIndex && tapeIndex->entries && k7IndexNextBlock - 2 < tapeIndex->cdtNbBlock) {
            const uint32_t previous = k7IndexNextBlock - 2;
            tape->rewind(tapeIndex->entries[previous].pulseIndex);
            textShowk7OSD(previous);
        } else {
            tape->rewind(0);
        }
        return 0;
    });
}

void toggleWriteProtect(int unit) {
    floppyDrive* drive = unit ? fd1 : fd0;
    if (!drive) return;
    drive->writeProtected = !drive->writeProtected;
    refreshImageWP(unit);
}

void turnDiskOver(int unit) {
    floppyDrive* drive = unit ? fd1 : fd0;
    if (!drive) return;
    // The drive reads and writes the track buffers the flip swaps.
    withEmulationStopped([drive] {
        drive->flip_side();
        return 0;
    });
    refreshImageFS(unit);
}

void toggleTapePlay() {
    if (!tape) return;
    tape->playPause(!tape->playKey);
    refreshImageK7PP();
}

void checkClickButton() {
    const int x = button_x, y = button_y;
    auto hit = [x, y](StatusImageId id) { return clickInside(rectOf(id), x, y); };
    for (int unit = 0; unit < 2; ++unit) {
        floppyDrive* drive = unit ? fd1 : fd0;
        bool padlock = hit(unit ? imgPadlockOpen1 : imgPadlockOpen0);
        bool side = !padlock && statusDiskDoubleSided(unit) && hit(unit ? imgSideA1 : imgSideA0);
        if (padlock && drive) toggleWriteProtect(unit);
        if (side && drive) turnDiskOver(unit);
        if (!padlock && !side && hit(unit ? imgDisk1 : imgDisk0)) {
            if (t_eject_disk[unit]) {
                eject_dsk(unit, true);
                refreshImageDisk(unit);
            } else {
                uiHooks.openFileBrowser(MediaClass::Disk, unit);
            }
        }
    }
    if (hit(imgK7)) {
        if (t_loadeject_cdt) {
            eject_cdt();
            refreshLedOSD(false, ledK7Rect);
        } else {
            uiHooks.openFileBrowser(MediaClass::Tape, 0);
        }
    }
    if (hit(imgK7Play)) toggleTapePlay();
    if (hit(imgK7Rewind)) rewindTapeOneBlock();
    if (hit(imgMusic)) endisable_sound();
    if (hit(imgStereo)) cycleCPCAudio();
    if (hit(imgScreenshot)) saveScreenRequest = true;
    if (hit(imgSnapshot)) saveSnapshotRequest = true;
    if (hit(imgColor)) monitor_change_color();
    if (hit(imgLines)) monitor_endisable_scanline();
    if (hit(imgFullscreen)) SDL_fullscreen(true, false);
    if (hit(imgLumarch)) {
        if (hit(flagImageFor(cpcLang))) {
            cycleLanguage();
        } else {
            cycleCPCType();
        }
    }
    if (hit(imgReset)) soft_reset();
    if (hit(imgPlay)) pauseRun();
    if (hit(imgCrtc0)) cycleCrtcType();
    if (hit(imgJoystick)) cycleJoystick();
    if (hit(imgKeyboard)) {
        if (kWindow) SDL_ShowWindow(kWindow);
        refreshImageCPC();
    }
}

void redrawBothDisks() {
    refreshImageDisk(0);
    refreshImageDisk(1);
}

void redrawBothPadlocks() {
    refreshImageWP(0);
    refreshImageWP(1);
}
