// SDL set-up, the main window and the virtual keyboard window, their
// renderers and textures, image loading, full screen and window placement.
#pragma once
#include <SDL.h>

extern const char* KestrixVersionText;

extern SDL_Window* mWindow;
extern SDL_Window* kWindow;  // the virtual keyboard window
extern SDL_Renderer* mRenderer;
extern SDL_Renderer* kRenderer;
extern SDL_Texture* mTexture;  // the picture, streamed from the frame buffer
// Everything drawn in the main window besides the picture (the status strip),
// kept in a texture because a renderer's back buffer does not survive a present.
extern SDL_Texture* mStatusLayer;
extern Uint32 mWindowID;
extern int mWindowDisplayID;
extern SDL_Rect mWDRect;        // bounds of the display that holds the main window
extern SDL_DisplayMode current;  // that display's current mode
extern int mWindowOldX;
extern int mWindowOldY;
extern bool fullscreen;
extern bool maximize;  // full screen stretched over the whole display
extern SDL_Rect rect_xy;      // picture source rectangle in the frame buffer
extern SDL_Rect rectdest_xy;  // where the picture goes in the window

constexpr int kPictureWidth = 768;
constexpr int kPictureHeight = 548;
constexpr int kMainWindowHeight = 582;
constexpr int kStripTop = 548;
constexpr int kStripHeight = kMainWindowHeight - kStripTop;
constexpr int kKeyboardWindowWidth = 750;
constexpr int kKeyboardWindowHeight = 296;

// Opens SDL, the windows, renderers and textures and loads the images; false
// on failure. Called again after every full-screen switch.
bool SDL_begin();
// Headless: only what the machine needs (timers and events), no window.
bool SDL_beginHeadless();
void SDL_end();
void SDL_fullscreen(bool on, bool stretched);
void SDL_setWindowXY();
// Loads IMG/<name>.bmp into a texture of `renderer` at (x, y) and draws it
// there once; false (texture null, logged) when the file cannot be read.
bool SDL_readFileBMP(SDL_Renderer* renderer, const char* name, SDL_Texture** texture, SDL_Rect* rect, int x, int y);
void SDL_PrintError(const char* text);
void SDL_FreeMouseCursor();
// Raises the window on SDL 2.0.5 and later.
void SDL_SetWindowFocus(SDL_Window* window);
bool sdlRaisesWindows(const SDL_version& version);

// The picture rectangle of full screen on a W x H display: stretched, or
// scaled by whole factors (768 wide per step, 540 rows per step of 548).
SDL_Rect fullscreenPictureRect(int displayW, int displayH, bool stretched);
// Where the window goes for a remembered position: there when it lies on the
// display, else centred for a picture of w x h.
SDL_Point windowPlacement(const SDL_Rect& display, int w, int h, int oldX, int oldY);

// Points the main renderer at the status layer (or back at the window).
void beginStatusDrawing();
void endStatusDrawing();
// Set by whatever changes the window besides the picture (the strip, a new
// texture, the paused screen); cleared when a running frame is presented.
extern bool windowNeedsPresent;
// Uploads a newly finished picture's changed rows; true when the texture changed.
bool uploadPicture();
// Draws the picture (uploading the frame buffer first when `upload`) and, in
// the window, the status strip: the whole main window but the on-screen text.
void renderPictureAndStrip(bool upload);
