// The status strip under the picture: its images, what each icon shows, the
// activity LEDs and what a left click on an icon does.
#pragma once
#include <SDL.h>

struct StatusImage {
    SDL_Texture* texture = nullptr;
    SDL_Rect rect = {0, 0, 0, 0};
};

// Every image of IMG/, by role. Drive B reuses the drive A images of a loaded
// disk at its own place.
enum StatusImageId {
    imgCharset,
    imgReset,
    imgPlayFast, imgPlay, imgStop,
    imgDisk0, imgSideA0, imgSideB0, imgDiskEject, imgDiskEjectOriginal, imgDisk0No,
    imgDisk1, imgSideA1, imgSideB1, imgDisk1No,
    imgPadlockClose0, imgPadlockOpen0, imgPadlockClose1, imgPadlockOpen1,
    imgK7, imgK7Pause, imgK7Play, imgK7Rewind,
    imgColor, imgGray, imgGreen,
    imgLines, imgScanlines,
    imgFullscreen,
    imgMusic, imgMusicNo,
    imgStereo, imgMono, imgDigiblaster,
    imgGunStick, imgJoystick, imgJoystickNo,
    imgScreenshot, imgSnapshot,
    imgLumarch,
    img464, img664, img6128, img464Plus, img6128Plus, imgGX4000,
    imgFlagDa, imgFlagF, imgFlagS, imgFlagUk,
    imgCrtc4, imgCrtc3, imgCrtc2, imgCrtc1, imgCrtc0,
    imgKeyboard,
    imgK464fr, imgK6128fr, imgK464uk, imgK664uk, imgK6128uk,
    imgCount
};

extern StatusImage statusImages[imgCount];
// Activity LED rectangles of drive A, drive B and the tape deck.
extern SDL_Rect ledDisk0Rect, ledDisk1Rect, ledK7Rect;

// Loads "Charset" and, with `withStrip`, every other image in layout order,
// each placed after the ones before it. The keyboard pictures are loaded once.
void loadStatusImages(bool withStrip);
// Drops the main renderer's images (its destruction frees them).
void forgetStatusImages(bool keyboardPicturesToo = false);
void computeIndicatorRects();

void refreshImageRunStop();
void refreshImageDisk(int unit);
void refreshImageFS(int unit);  // the side label of a double-sided disk
void refreshImageWP(int unit);
void refreshImageK7PP();
void refreshImageK7RE();
void refreshImageMonitor();
void refreshImageMusic();
void refreshImageStereo();
void refreshImageJoystick();
void refreshImageCPC();
void refreshImageCrtc();
void refreshImageAll();
// Draws the current keyboard picture into the keyboard window and presents it.
void presentKeyboardWindow();

// What the icons do, for the menu too: the padlock, the side label, the
// tape's play and rewind (back to the start of the block before the one the
// deck is at, or of the tape).
void toggleWriteProtect(int unit);
void turnDiskOver(int unit);
void toggleTapePlay();
void rewindTapeOneBlock();
// The left click at (button_x, button_y) on the strip.
void checkClickButton();
// True when (x, y) lies strictly inside `r`.
bool clickInside(const SDL_Rect& r, int x, int y);
// The image the model icon and the keyboard window show for a model.
StatusImageId modelImageFor(int type);
StatusImageId flagImageFor(int lang);
StatusImageId keyboardPictureFor(int type);

void redrawBothDisks();
void redrawBothPadlocks();
