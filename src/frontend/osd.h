// Text over the picture: the fading one-line message, the centred text of the
// pause screen, and the activity LEDs of the drives and the tape deck.
#pragma once
#include <SDL.h>
#include <cstdint>

extern int textDisplayTime;   // presenting passes the message has left
extern int textDisplayAlpha;  // its current opacity
extern int textDisplayAlphaDec;
extern int textDisplayAlphaDecReinit;
extern bool t_led_disk0;  // LED states last drawn
extern bool t_led_disk1;
extern bool t_led_k7last;

extern const char* const kPauseScreenText;

// Takes a formatted message as the one to show (the textShowOSD channel).
void osdSetText(const char* text);
// Shows the current message again from full opacity.
void textShowOSDInit();
// One presenting pass of the message's fade; true when it is to be drawn.
bool osdAdvance();
// Advances the message and draws it 32 rows above the bottom of the picture.
void drawOSD();
// Shows `text` as the message and presents the window at once, for a wait on the main thread.
void presentMessageNow(const char* text);

// Font glyph (0..255) for a byte of text, or -1 for bytes that are skipped.
int osdGlyphFor(uint8_t byte);
struct TextLayout {
    int x = 0, y = 0;  // where the first character goes
    int count = 0;     // characters drawn
};
// Where SDL_drawText puts `text` in the picture rectangle `picture`.
TextLayout layoutText(const char* text, int x, int y, int size, const SDL_Rect& picture);
// Text in the font at size x size pixels per character; x or y -1 centres.
void SDL_drawText(const char* text, int x, int y, int size);

// While stopped: the dimmed picture with `text` centred over it, presented at
// once. The text stays until the emulation runs again.
void refreshText(const char* text);
void endPauseScreen();
bool pauseScreenShown();
// Presents the main window while stopped (picture, strip, pause text).
void presentStoppedScreen();

void refreshLedOSD(bool on, const SDL_Rect& rect);
// Redraws the LEDs whose state changed since they were last drawn.
void updateIndicators();
void drawIndicatorsInFullscreen();
void showDskNameOSD(int unit, const char* name);
// "A:-" / "B:-", the side of a double-sided disk, the drive's track and the
// controller's sector number.
void showDskTrackOSD(int unit);
// The number and description of the tape block at `entry` of the tape index.
void textShowk7OSD(uint32_t entry);
const char* tapeBlockDescription(uint8_t kind);
