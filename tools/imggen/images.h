// Every image the emulator loads from IMG/, drawn from scratch.
#pragma once
#include <string>
#include <vector>

#include "canvas.h"

struct NamedImage {
    std::string name;  // file name without ".bmp"
    Canvas image;
    bool withAlpha = false;
};

// "Charset": 16 x 16 glyphs of 8 x 8 pixels, white with a dark shadow on a
// transparent background.
NamedImage makeCharset();
// The icons of the status strip (32 to 34 rows high) and the window icon.
std::vector<NamedImage> makeStatusIcons();
// The 750 x 296 pictures of the virtual keyboard window.
std::vector<NamedImage> makeKeyboardPictures();
