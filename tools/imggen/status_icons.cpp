// The status strip icons. The strip is white and 34 rows high; icons are 32
// rows high and opaque, with white where the strip shows through. The fixed
// offsets the front-end uses are respected: the drive LED at (4, 21) across
// the drive icon, the side label at (12, 11), the padlock at (24, 0), the tape
// LED at (13, 14) in the cassette and the language flag in the bottom right
// 24 x 16 of the model icon.
#include <string>

#include "images.h"

namespace {

constexpr uint32_t kWhite = rgb(255, 255, 255);
constexpr uint32_t kButton = rgb(222, 226, 234);
constexpr uint32_t kButtonEdge = rgb(128, 136, 150);
constexpr uint32_t kDark = rgb(58, 62, 74);
constexpr uint32_t kRed = rgb(206, 40, 40);
constexpr uint32_t kGreen = rgb(36, 156, 64);
constexpr uint32_t kBlue = rgb(40, 84, 190);
constexpr uint32_t kYellow = rgb(236, 196, 40);
constexpr uint32_t kOrange = rgb(236, 140, 20);

Canvas button(int w, int h) {
    Canvas c(w, h, kWhite);
    c.fillRoundRect(0, 0, w, h, 3, kButtonEdge);
    c.fillRoundRect(1, 1, w - 2, h - 2, 3, kButton);
    return c;
}

void slash(Canvas& c) { c.thickLine(5, 5, c.width() - 8, c.height() - 8, 3, kRed); }

// ---- run state -------------------------------------------------------------

Canvas resetIcon() {
    Canvas c = button(32, 32);
    c.ring(16, 17, 10, 3, kRed);
    c.fillRect(13, 3, 6, 10, kButton);
    c.fillRect(15, 4, 3, 12, kRed);
    return c;
}

Canvas playIcon() {
    Canvas c = button(32, 32);
    c.fillTriangle(11, 8, 11, 24, 24, 16, kGreen);
    return c;
}

Canvas playFastIcon() {
    Canvas c = button(32, 32);
    c.fillTriangle(6, 9, 6, 23, 16, 16, kOrange);
    c.fillTriangle(16, 9, 16, 23, 26, 16, kOrange);
    return c;
}

Canvas stopIcon() {
    Canvas c = button(32, 32);
    c.fillRect(10, 10, 12, 12, kRed);
    return c;
}

// ---- drives ----------------------------------------------------------------

constexpr int kDriveW = 36;
constexpr int kDriveH = 32;

// The drive front; rows 21..23 from column 4 to 31 are the LED slot.
Canvas driveBody(uint32_t body) {
    Canvas c(kDriveW, kDriveH, kWhite);
    c.fillRoundRect(0, 1, kDriveW, kDriveH - 2, 2, body);
    c.fillRect(3, 20, kDriveW - 6, 5, rgb(30, 30, 36));
    c.fillRect(4, 21, kDriveW - 8, 3, kWhite);
    return c;
}

Canvas driveIcon(char letter, bool present) {
    Canvas c = driveBody(present ? kDark : rgb(168, 170, 176));
    c.text(3, 3, std::string(1, letter), kWhite);
    c.fillRect(12, 12, 20, 4, rgb(30, 30, 36));  // empty disk slot
    if (!present) {
        c.thickLine(2, 2, kDriveW - 4, kDriveH - 4, 2, kRed);
        c.thickLine(kDriveW - 4, 2, 2, kDriveH - 4, 2, kRed);
    }
    return c;
}

// A drive with a 3-inch disk standing out of its slot.
Canvas driveLoadedIcon(uint32_t diskColour) {
    Canvas c = driveBody(kDark);
    c.fillRoundRect(4, 0, 18, 16, 1, diskColour);
    c.fillRect(8, 2, 10, 6, rgb(230, 230, 230));  // label
    c.fillRect(9, 10, 8, 5, rgb(40, 40, 40));     // shutter
    return c;
}

Canvas sideLabel(char side) {
    Canvas c(12, 9, kYellow);
    c.frameRect(0, 0, 12, 9, rgb(40, 40, 40));
    c.text(3, 1, std::string(1, side), rgb(20, 20, 20));
    return c;
}

Canvas padlock(bool closed) {
    Canvas c(12, 11, kWhite);
    uint32_t shackle = rgb(110, 110, 120);
    int shift = closed ? 0 : 3;
    c.fillRect(3 + shift, 0, 6, 2, shackle);
    c.fillRect(2 + shift, 1, 2, closed ? 5 : 3, shackle);
    c.fillRect(8 + shift, 1, 2, 5, shackle);
    c.fillRect(1, 5, 10, 6, closed ? rgb(214, 170, 36) : rgb(120, 190, 90));
    c.fillRect(5, 7, 2, 3, rgb(40, 40, 40));
    return c;
}

// ---- tape ------------------------------------------------------------------

Canvas cassetteIcon() {
    Canvas c(40, 32, kWhite);
    c.fillRoundRect(0, 4, 40, 24, 2, kDark);
    c.fillRect(3, 6, 34, 17, rgb(232, 222, 190));
    c.fillRect(7, 11, 26, 9, rgb(40, 40, 44));
    c.fillCircle(15, 16, 4, rgb(200, 200, 206));
    c.fillCircle(25, 16, 4, rgb(200, 200, 206));
    c.fillRect(13, 14, 4, 5, kWhite);  // LED, white when off
    c.fillRect(12, 24, 16, 4, rgb(90, 94, 104));
    return c;
}

Canvas tapeButton(int kind) {
    Canvas c = button(16, 32);
    uint32_t ink = rgb(40, 40, 48);
    if (kind == 0) {  // pause
        c.fillRect(4, 10, 3, 12, ink);
        c.fillRect(9, 10, 3, 12, ink);
    } else if (kind == 1) {  // play
        c.fillTriangle(4, 9, 4, 23, 12, 16, kGreen);
    } else {  // rewind
        c.fillTriangle(8, 10, 8, 22, 2, 16, ink);
        c.fillTriangle(14, 10, 14, 22, 8, 16, ink);
    }
    return c;
}

// ---- monitor ---------------------------------------------------------------

Canvas monitorFrame() {
    Canvas c(32, 32, kWhite);
    c.fillRoundRect(2, 2, 28, 23, 2, kDark);
    c.fillRect(12, 25, 8, 3, kDark);
    c.fillRect(7, 28, 18, 3, kDark);
    return c;
}

Canvas monitorIcon(int kind) {
    Canvas c = monitorFrame();
    const uint32_t colour[4] = {rgb(220, 40, 40), rgb(40, 190, 60), rgb(50, 80, 230), rgb(240, 220, 40)};
    const uint32_t green[4] = {rgb(10, 60, 10), rgb(30, 120, 30), rgb(60, 190, 60), rgb(120, 250, 120)};
    const uint32_t gray[4] = {rgb(40, 40, 40), rgb(100, 100, 100), rgb(160, 160, 160), rgb(225, 225, 225)};
    const uint32_t* bars = kind == 0 ? colour : kind == 1 ? green : gray;
    for (int i = 0; i < 4; ++i) c.fillRect(5 + i * 6, 5, 6, 17, bars[i]);
    return c;
}

Canvas scanlineIcon(bool scanlines) {
    Canvas c = monitorFrame();
    c.fillRect(5, 5, 22, 17, rgb(60, 90, 220));
    if (scanlines)
        for (int y = 6; y < 22; y += 2) c.fillRect(5, y, 22, 1, rgb(10, 14, 40));
    return c;
}

Canvas fullscreenIcon() {
    Canvas c = button(32, 32);
    uint32_t ink = rgb(40, 40, 48);
    c.fillRect(6, 6, 8, 2, ink);  c.fillRect(6, 6, 2, 8, ink);
    c.fillRect(18, 6, 8, 2, ink); c.fillRect(24, 6, 2, 8, ink);
    c.fillRect(6, 24, 8, 2, ink); c.fillRect(6, 18, 2, 8, ink);
    c.fillRect(18, 24, 8, 2, ink); c.fillRect(24, 18, 2, 8, ink);
    c.thickLine(9, 9, 13, 13, 2, ink);
    c.thickLine(21, 9, 17, 13, 2, ink);
    c.thickLine(9, 21, 13, 17, 2, ink);
    c.thickLine(21, 21, 17, 17, 2, ink);
    return c;
}

// ---- sound -----------------------------------------------------------------

Canvas musicIcon(bool on) {
    Canvas c = button(32, 32);
    uint32_t ink = on ? kBlue : rgb(120, 124, 136);
    c.fillCircle(11, 22, 4, ink);
    c.fillRect(14, 7, 2, 15, ink);
    c.thickLine(15, 7, 22, 12, 2, ink);
    c.fillCircle(21, 20, 4, ink);
    c.fillRect(24, 9, 2, 11, ink);
    c.thickLine(15, 7, 24, 9, 2, ink);
    if (!on) slash(c);
    return c;
}

void speaker(Canvas& c, int x, int y, bool facingRight, uint32_t ink) {
    if (facingRight) {
        c.fillRect(x, y + 4, 4, 6, ink);
        c.fillTriangle(x + 3, y + 4, x + 3, y + 9, x + 8, y - 1, ink);
        c.fillTriangle(x + 3, y + 9, x + 8, y + 14, x + 8, y - 1, ink);
    } else {
        c.fillRect(x + 5, y + 4, 4, 6, ink);
        c.fillTriangle(x + 5, y + 4, x + 5, y + 9, x, y - 1, ink);
        c.fillTriangle(x + 5, y + 9, x, y + 14, x, y - 1, ink);
    }
}

Canvas soundModeIcon(int kind) {
    Canvas c = button(32, 32);
    uint32_t ink = rgb(40, 40, 48);
    if (kind == 0) {  // stereo
        speaker(c, 3, 9, true, ink);
        speaker(c, 20, 9, false, ink);
    } else if (kind == 1) {  // mono
        c.ring(13, 16, 8, 2, ink);
        c.ring(13, 16, 13, 2, ink);
        c.fillRect(2, 2, 16, 28, kButton);
        speaker(c, 7, 9, true, ink);
    } else {  // mono with the printer-port sampler
        speaker(c, 3, 9, true, ink);
        c.fillRect(15, 8, 14, 16, kDark);
        for (int i = 0; i < 3; ++i) {
            c.fillRect(17 + i * 4, 5, 2, 3, ink);
            c.fillRect(17 + i * 4, 24, 2, 3, ink);
        }
        c.text(16, 12, "DB", kYellow);
    }
    return c;
}

// ---- input -----------------------------------------------------------------

Canvas joystickIcon(bool on) {
    Canvas c = button(32, 32);
    c.fillRoundRect(6, 21, 20, 8, 3, kDark);
    c.thickLine(15, 21, 13, 9, 3, rgb(90, 94, 104));
    c.fillCircle(13, 8, 4, on ? kRed : rgb(160, 100, 100));
    c.fillRect(21, 19, 4, 2, kRed);
    if (!on) slash(c);
    return c;
}

Canvas gunIcon() {
    Canvas c = button(32, 32);
    c.fillRect(4, 9, 23, 6, kDark);
    c.fillRect(24, 7, 2, 2, kDark);
    c.fillTriangle(6, 14, 13, 14, 8, 26, kDark);
    c.fillRect(7, 20, 5, 7, kDark);
    c.ring(14, 17, 3, 1, kDark);
    return c;
}

// ---- captures --------------------------------------------------------------

Canvas screenshotIcon() {
    Canvas c = button(32, 32);
    c.fillRect(10, 7, 8, 4, kDark);
    c.fillRoundRect(4, 10, 24, 16, 2, kDark);
    c.ring(16, 18, 6, 2, rgb(200, 204, 214));
    c.fillCircle(16, 18, 3, rgb(80, 120, 200));
    c.fillRect(23, 12, 3, 2, kYellow);
    return c;
}

Canvas snapshotIcon() {
    Canvas c = button(32, 32);
    c.fillRect(5, 9, 22, 15, kDark);
    for (int i = 0; i < 5; ++i) {
        c.fillRect(7 + i * 4, 5, 2, 4, rgb(150, 150, 160));
        c.fillRect(7 + i * 4, 24, 2, 4, rgb(150, 150, 160));
    }
    c.text(8, 13, "SNA", kWhite);
    return c;
}

// ---- machine ---------------------------------------------------------------

constexpr int kModelW = 56;
constexpr int kModelH = 32;

void stripes(Canvas& c, int x, int y, int w) {
    c.fillRect(x, y, w, 2, kRed);
    c.fillRect(x, y + 3, w, 2, kGreen);
    c.fillRect(x, y + 6, w, 2, kBlue);
}

Canvas modelIcon(const std::string& top, const std::string& name, uint32_t body, uint32_t ink) {
    Canvas c(kModelW, kModelH, kWhite);
    c.fillRoundRect(0, 0, kModelW, kModelH, 3, body);
    c.text(3, 1, top, ink);
    c.text(3, 9, name, ink);
    stripes(c, 3, 20, 26);
    c.fillRect(kModelW - 24, 16, 24, 16, rgb(200, 200, 200));  // where the flag goes
    return c;
}

Canvas windowIcon() {
    Canvas c(kModelW, kModelH, kWhite);
    c.fillRoundRect(0, 0, kModelW, kModelH, 4, rgb(24, 40, 110));
    c.text(7, 6, "Kestrix", kYellow);
    stripes(c, 7, 18, 42);
    return c;
}

Canvas flagIcon(int kind) {
    Canvas c(24, 16, kWhite);
    switch (kind) {
        case 0: {  // United Kingdom
            c.fillRect(0, 0, 24, 16, rgb(20, 40, 130));
            c.thickLine(0, 0, 22, 14, 3, kWhite);
            c.thickLine(22, 0, 0, 14, 3, kWhite);
            c.line(0, 0, 23, 15, kRed);
            c.line(23, 0, 0, 15, kRed);
            c.fillRect(9, 0, 6, 16, kWhite);
            c.fillRect(0, 5, 24, 6, kWhite);
            c.fillRect(10, 0, 4, 16, kRed);
            c.fillRect(0, 6, 24, 4, kRed);
            break;
        }
        case 1:  // France
            c.fillRect(0, 0, 8, 16, rgb(20, 50, 160));
            c.fillRect(16, 0, 8, 16, kRed);
            break;
        case 2:  // Spain
            c.fillRect(0, 0, 24, 16, rgb(190, 20, 30));
            c.fillRect(0, 4, 24, 8, rgb(250, 200, 0));
            break;
        default:  // Denmark
            c.fillRect(0, 0, 24, 16, rgb(200, 16, 46));
            c.fillRect(7, 0, 3, 16, kWhite);
            c.fillRect(0, 6, 24, 3, kWhite);
            break;
    }
    c.frameRect(0, 0, 24, 16, rgb(90, 90, 90));
    return c;
}

Canvas crtcIcon(int type) {
    Canvas c = button(32, 32);
    c.fillRect(4, 7, 24, 18, kDark);
    for (int i = 0; i < 5; ++i) {
        c.fillRect(6 + i * 5, 3, 2, 4, rgb(150, 150, 160));
        c.fillRect(6 + i * 5, 25, 2, 4, rgb(150, 150, 160));
    }
    c.text(5, 8, "CRTC", kWhite);
    std::string digit(1, static_cast<char>('0' + type));
    c.text(13, 16, digit, kYellow);
    c.text(14, 16, digit, kYellow);
    return c;
}

Canvas keyboardIcon() {
    Canvas c(40, 32, kWhite);
    c.fillRoundRect(0, 7, 40, 19, 2, kDark);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 8; ++col) c.fillRect(3 + col * 4 + (row & 1) * 2, 10 + row * 4, 3, 3, rgb(220, 220, 226));
    c.fillRect(10, 22, 18, 2, rgb(220, 220, 226));
    return c;
}

}  // namespace

std::vector<NamedImage> makeStatusIcons() {
    std::vector<NamedImage> out;
    auto add = [&out](const char* name, Canvas c) { out.push_back({name, std::move(c), false}); };
    add("reset", resetIcon());
    add("playfast", playFastIcon());
    add("play", playIcon());
    add("stop", stopIcon());
    add("disk0", driveIcon('A', true));
    add("disk1", driveIcon('B', true));
    add("disk0_no", driveIcon('A', false));
    add("disk1_no", driveIcon('B', false));
    add("disk_eject", driveLoadedIcon(rgb(70, 120, 220)));
    add("disk_eject_original", driveLoadedIcon(rgb(226, 176, 30)));
    add("side_a", sideLabel('A'));
    add("side_b", sideLabel('B'));
    add("padlock_close", padlock(true));
    add("padlock_open", padlock(false));
    add("minis_k70", cassetteIcon());
    add("k7_pause", tapeButton(0));
    add("k7_play", tapeButton(1));
    add("k7_rewind", tapeButton(2));
    add("color", monitorIcon(0));
    add("green", monitorIcon(1));
    add("gray", monitorIcon(2));
    add("lines", scanlineIcon(false));
    add("scanlines", scanlineIcon(true));
    add("fullscreen", fullscreenIcon());
    add("music", musicIcon(true));
    add("music_no", musicIcon(false));
    add("stereo", soundModeIcon(0));
    add("mono", soundModeIcon(1));
    add("Digiblaster", soundModeIcon(2));
    add("GunStick", gunIcon());
    add("joystick", joystickIcon(true));
    add("joystick_no", joystickIcon(false));
    add("screenshot", screenshotIcon());
    add("snapshot", snapshotIcon());
    add("Lumarch", windowIcon());
    add("464", modelIcon("CPC", "464", rgb(64, 66, 74), kWhite));
    add("664", modelIcon("CPC", "664", rgb(70, 90, 150), kWhite));
    add("6128", modelIcon("CPC", "6128", rgb(34, 34, 38), kWhite));
    add("464+", modelIcon("CPC", "464+", rgb(214, 216, 222), rgb(30, 30, 36)));
    add("6128+", modelIcon("CPC", "6128+", rgb(214, 216, 222), rgb(30, 30, 36)));
    add("GX4000", modelIcon("CONSOLE", "GX4000", rgb(60, 60, 90), kYellow));
    add("flag_uk", flagIcon(0));
    add("flag_f", flagIcon(1));
    add("flag_s", flagIcon(2));
    add("flag_da", flagIcon(3));
    for (int type = 0; type <= 4; ++type) add(("crtc_" + std::to_string(type)).c_str(), crtcIcon(type));
    add("keyboard", keyboardIcon());
    return out;
}
