// The virtual keyboard window's pictures. Every key is drawn exactly over the
// rectangle where a click presses it, so what the user sees is what is hit;
// where two rectangles of a row overlap, the later key wins, as for clicks.
#include <map>
#include <string>
#include <vector>

#include "font_glyphs.h"
#include "images.h"

namespace {

constexpr int kWidth = 750;
constexpr int kHeight = 296;

struct KeyArea {
    int x0, x1, y0, y1;  // inclusive
    uint8_t code;
};

constexpr int kK1a = 623, kK1b = 652, kK2a = 665, kK2b = 694, kK3a = 707, kK3b = 736;

const std::vector<KeyArea>& keyAreas() {
    static const std::vector<KeyArea> areas = {
        // y 85..115
        {9, 38, 85, 115, 0x82}, {47, 76, 85, 115, 0x80}, {87, 116, 85, 115, 0x81}, {126, 155, 85, 115, 0x71},
        {165, 194, 85, 115, 0x70}, {204, 233, 85, 115, 0x61}, {243, 272, 85, 115, 0x60}, {282, 311, 85, 115, 0x51},
        {321, 350, 85, 115, 0x50}, {360, 389, 85, 115, 0x41}, {399, 428, 85, 115, 0x40}, {438, 467, 85, 115, 0x31},
        {476, 505, 85, 115, 0x30}, {517, 546, 85, 115, 0x20}, {554, 604, 85, 115, 0x97},
        {kK1a, kK1b, 85, 115, 0x12}, {kK2a, kK2b, 85, 115, 0x13}, {kK3a, kK3b, 85, 115, 0x03},
        // y 126..155
        {8, 54, 126, 155, 0x84}, {65, 94, 126, 155, 0x83}, {104, 133, 126, 155, 0x73}, {143, 172, 126, 155, 0x72},
        {182, 211, 126, 155, 0x62}, {221, 250, 126, 155, 0x63}, {260, 289, 126, 155, 0x53}, {299, 328, 126, 155, 0x52},
        {338, 367, 126, 155, 0x43}, {377, 406, 126, 155, 0x42}, {416, 445, 126, 155, 0x33}, {476, 505, 126, 155, 0x32},
        {517, 546, 126, 155, 0x21}, {554, 604, 126, 155, 0x22},
        {kK1a, kK1b, 126, 155, 0x24}, {kK2a, kK2b, 126, 155, 0x14}, {kK3a, kK3b, 126, 155, 0x04},
        // y 156..165
        {545, 604, 156, 165, 0x22},
        // y 166..195
        {8, 64, 166, 195, 0x86}, {75, 104, 166, 195, 0x85}, {114, 143, 166, 195, 0x74}, {143, 172, 166, 195, 0x75},
        {192, 221, 166, 195, 0x65}, {231, 260, 166, 195, 0x64}, {270, 299, 166, 195, 0x54}, {309, 338, 166, 195, 0x55},
        {348, 377, 166, 195, 0x45}, {387, 416, 166, 195, 0x44}, {426, 455, 166, 195, 0x35}, {465, 494, 166, 195, 0x34},
        {504, 533, 166, 195, 0x23}, {545, 604, 166, 195, 0x22},
        {kK1a, kK1b, 166, 195, 0x15}, {kK2a, kK2b, 166, 195, 0x16}, {kK3a, kK3b, 166, 195, 0x05},
        // y 206..235
        {8, 84, 206, 235, 0x25}, {96, 125, 206, 235, 0x87}, {135, 164, 206, 235, 0x77}, {174, 203, 206, 235, 0x76},
        {213, 242, 206, 235, 0x67}, {252, 281, 206, 235, 0x66}, {291, 320, 206, 235, 0x56}, {330, 359, 206, 235, 0x46},
        {369, 398, 206, 235, 0x47}, {408, 437, 206, 235, 0x37}, {447, 476, 206, 235, 0x36}, {486, 515, 206, 235, 0x26},
        {526, 604, 206, 235, 0x25},
        {kK1a, kK1b, 206, 235, 0x17}, {kK2a, kK2b, 206, 235, 0x00}, {kK3a, kK3b, 206, 235, 0x07},
        // y 245..274
        {8, 84, 245, 274, 0x27}, {96, 153, 245, 274, 0x11}, {161, 478, 245, 274, 0x57}, {486, 604, 245, 274, 0x06},
        {kK1a, kK1b, 245, 274, 0x10}, {kK2a, kK2b, 245, 274, 0x02}, {kK3a, kK3b, 245, 274, 0x01},
    };
    return areas;
}

// The area whose right-button click lets every latched key go.
constexpr KeyArea kReleaseArea = {534, 610, 26, 55, 0xFF};

struct Label {
    std::string top, bottom;  // bottom empty: a single centred label
};

enum class Arrow { None, Up, Down, Left, Right };

Arrow arrowOf(uint8_t code) {
    switch (code) {
        case 0x00: return Arrow::Up;
        case 0x02: return Arrow::Down;
        case 0x10: return Arrow::Left;
        case 0x01: return Arrow::Right;
        default: return Arrow::None;
    }
}

std::map<uint8_t, Label> ukLabels() {
    const std::string at(1, kLabelAt), bs(1, kLabelBackslash), bo(1, kLabelBraceOpen), bar(1, kLabelBar),
        bc(1, kLabelBraceClose), pound(1, kLabelPound);
    std::map<uint8_t, Label> m = {
        {0x82, {"ESC", ""}}, {0x80, {"!", "1"}}, {0x81, {"\"", "2"}}, {0x71, {"#", "3"}}, {0x70, {"$", "4"}},
        {0x61, {"%", "5"}}, {0x60, {"&", "6"}}, {0x51, {"'", "7"}}, {0x50, {"(", "8"}}, {0x41, {")", "9"}},
        {0x40, {"_", "0"}}, {0x31, {"=", "-"}}, {0x30, {pound, "^"}}, {0x20, {"CLR", ""}}, {0x97, {"DEL", ""}},
        {0x84, {"TAB", ""}}, {0x32, {bar, at}}, {0x21, {bo, "["}}, {0x22, {"RETURN", ""}},
        {0x86, {"CAPS", "LOCK"}}, {0x35, {"*", ":"}}, {0x34, {"+", ";"}}, {0x23, {bc, "]"}},
        {0x25, {"SHIFT", ""}}, {0x47, {"<", ","}}, {0x37, {">", "."}}, {0x36, {"?", "/"}}, {0x26, {"`", bs}},
        {0x27, {"CONTROL", ""}}, {0x11, {"COPY", ""}}, {0x57, {"", ""}}, {0x06, {"ENTER", ""}},
        {0x12, {"f7", ""}}, {0x13, {"f8", ""}}, {0x03, {"f9", ""}}, {0x24, {"f4", ""}}, {0x14, {"f5", ""}},
        {0x04, {"f6", ""}}, {0x15, {"f1", ""}}, {0x16, {"f2", ""}}, {0x05, {"f3", ""}}, {0x17, {"f0", ""}},
        {0x07, {"f.", ""}},
    };
    const std::pair<uint8_t, char> letters[] = {
        {0x83, 'Q'}, {0x73, 'W'}, {0x72, 'E'}, {0x62, 'R'}, {0x63, 'T'}, {0x53, 'Y'}, {0x52, 'U'}, {0x43, 'I'},
        {0x42, 'O'}, {0x33, 'P'}, {0x85, 'A'}, {0x74, 'S'}, {0x75, 'D'}, {0x65, 'F'}, {0x64, 'G'}, {0x54, 'H'},
        {0x55, 'J'}, {0x45, 'K'}, {0x44, 'L'}, {0x87, 'Z'}, {0x77, 'X'}, {0x76, 'C'}, {0x67, 'V'}, {0x66, 'B'},
        {0x56, 'N'}, {0x46, 'M'},
    };
    for (auto [code, letter] : letters) m[code] = {std::string(1, letter), ""};
    return m;
}

// The French machines: AZERTY letters, digits on the shifted level.
std::map<uint8_t, Label> frLabels() {
    std::map<uint8_t, Label> m = ukLabels();
    const std::string agrave(1, '\x40'), ccedil(1, '\x5C'), eacute(1, '\x7B'), ugrave(1, '\x7C'),
        egrave(1, '\x7D'), pound(1, kLabelPound), at(1, kLabelAt);
    m[0x80] = {"1", "&"};    m[0x81] = {"2", eacute}; m[0x71] = {"3", "\""};   m[0x70] = {"4", "'"};
    m[0x61] = {"5", "("};    m[0x60] = {"6", "]"};    m[0x51] = {"7", egrave}; m[0x50] = {"8", "!"};
    m[0x41] = {"9", ccedil}; m[0x40] = {"0", agrave}; m[0x31] = {"[", ")"};    m[0x30] = {"_", "-"};
    m[0x83] = {"A", ""};     m[0x73] = {"Z", ""};     m[0x32] = {"*", "^"};    m[0x21] = {pound, "$"};
    m[0x85] = {"Q", ""};     m[0x35] = {"M", ""};     m[0x34] = {"%", ugrave}; m[0x23] = {"#", at};
    m[0x87] = {"W", ""};     m[0x46] = {"?", ","};    m[0x47] = {".", ";"};    m[0x37] = {"/", ":"};
    m[0x36] = {"+", "="};    m[0x26] = {">", "<"};
    return m;
}

bool isKeypad(const KeyArea& k) { return k.x0 >= kK1a; }

bool isSpecial(uint8_t code) {
    switch (code) {
        case 0x82: case 0x20: case 0x97: case 0x84: case 0x22: case 0x86: case 0x25: case 0x27: case 0x11:
        case 0x06:
            return true;
        default:
            return false;
    }
}

struct Scheme {
    uint32_t body, key, keyInk, keypad, keypadInk, special, specialInk, edge, title;
};

void drawArrow(Canvas& c, Arrow a, int cx, int cy, uint32_t ink) {
    switch (a) {
        case Arrow::Up: c.fillTriangle(cx - 6, cy + 4, cx + 6, cy + 4, cx, cy - 5, ink); break;
        case Arrow::Down: c.fillTriangle(cx - 6, cy - 4, cx + 6, cy - 4, cx, cy + 5, ink); break;
        case Arrow::Left: c.fillTriangle(cx + 4, cy - 6, cx + 4, cy + 6, cx - 5, cy, ink); break;
        case Arrow::Right: c.fillTriangle(cx - 4, cy - 6, cx - 4, cy + 6, cx + 5, cy, ink); break;
        case Arrow::None: break;
    }
}

Canvas keyboardPicture(const std::string& model, const Scheme& s, const std::map<uint8_t, Label>& labels) {
    Canvas c(kWidth, kHeight, s.body);
    c.frameRect(0, 0, kWidth, kHeight, s.edge);

    // Which key owns each pixel, painted in table order so later keys win.
    const auto& areas = keyAreas();
    std::vector<int> owner(static_cast<size_t>(kWidth) * kHeight, -1);
    auto ownerAt = [&](int x, int y) {
        return (x < 0 || y < 0 || x >= kWidth || y >= kHeight) ? -1 : owner[static_cast<size_t>(y) * kWidth + x];
    };
    // The three rectangles of the RETURN key make one shape.
    std::vector<int> shape(areas.size());
    int returnShape = -1;
    for (size_t i = 0; i < areas.size(); ++i) {
        shape[i] = static_cast<int>(i);
        if (areas[i].code == 0x22) {
            if (returnShape < 0) returnShape = static_cast<int>(i);
            shape[i] = returnShape;
        }
        for (int y = areas[i].y0; y <= areas[i].y1; ++y)
            for (int x = areas[i].x0; x <= areas[i].x1; ++x) owner[static_cast<size_t>(y) * kWidth + x] = shape[i];
    }
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            int k = ownerAt(x, y);
            if (k < 0) continue;
            const KeyArea& key = areas[static_cast<size_t>(k)];
            uint32_t fill = isKeypad(key) ? s.keypad : isSpecial(key.code) ? s.special : s.key;
            bool edge = ownerAt(x - 1, y) != k || ownerAt(x + 1, y) != k || ownerAt(x, y - 1) != k || ownerAt(x, y + 1) != k;
            c.pixel(x, y, edge ? s.edge : fill);
        }

    for (size_t i = 0; i < areas.size(); ++i) {
        const KeyArea& key = areas[i];
        if (shape[i] != static_cast<int>(i)) continue;  // the RETURN key is labelled once
        uint32_t ink = isKeypad(key) ? s.keypadInk : isSpecial(key.code) ? s.specialInk : s.keyInk;
        int w = key.x1 - key.x0 + 1, h = key.y1 - key.y0 + 1;
        Arrow arrow = arrowOf(key.code);
        if (arrow != Arrow::None) {
            drawArrow(c, arrow, key.x0 + w / 2, key.y0 + h / 2, ink);
            continue;
        }
        auto it = labels.find(key.code);
        if (it == labels.end()) continue;
        const Label& label = it->second;
        if (label.bottom.empty()) {
            c.textCentred(key.x0, key.y0, w, h, label.top, ink);
        } else {
            c.textCentred(key.x0, key.y0 + 2, w, h / 2, label.top, ink);
            c.textCentred(key.x0, key.y0 + h / 2 - 1, w, h / 2, label.bottom, ink);
        }
    }

    // Title, colour stripes and the release button.
    c.text(12, 24, model, s.title, 2);
    int stripeX = 12 + Canvas::textWidth(model, 2) + 16;
    c.fillRect(stripeX, 26, 160, 3, rgb(206, 40, 40));
    c.fillRect(stripeX, 31, 160, 3, rgb(36, 156, 64));
    c.fillRect(stripeX, 36, 160, 3, rgb(40, 84, 190));
    const KeyArea& r = kReleaseArea;
    c.fillRoundRect(r.x0, r.y0, r.x1 - r.x0 + 1, r.y1 - r.y0 + 1, 3, s.edge);
    c.fillRoundRect(r.x0 + 1, r.y0 + 1, r.x1 - r.x0 - 1, r.y1 - r.y0 - 1, 3, rgb(190, 52, 52));
    c.textCentred(r.x0, r.y0, r.x1 - r.x0 + 1, r.y1 - r.y0 + 1, "RELEASE", rgb(255, 255, 255));
    c.textCentred(kK1a, 60, kK3b - kK1a + 1, 20, "right click: latch", s.title);
    return c;
}

const Scheme k464Scheme = {rgb(66, 68, 76),   rgb(196, 198, 204), rgb(30, 30, 36),   rgb(80, 120, 196), rgb(255, 255, 255),
                           rgb(96, 160, 104), rgb(255, 255, 255), rgb(16, 16, 20),  rgb(236, 236, 240)};
const Scheme k664Scheme = {rgb(176, 178, 186), rgb(64, 82, 140),  rgb(255, 255, 255), rgb(120, 124, 136), rgb(255, 255, 255),
                           rgb(214, 214, 220), rgb(30, 30, 36),   rgb(40, 42, 50),    rgb(30, 30, 36)};
const Scheme k6128Scheme = {rgb(36, 36, 40),    rgb(22, 22, 24),   rgb(240, 240, 240), rgb(104, 104, 112), rgb(255, 255, 255),
                            rgb(70, 72, 80),    rgb(240, 240, 240), rgb(120, 120, 128), rgb(236, 236, 240)};

}  // namespace

std::vector<NamedImage> makeKeyboardPictures() {
    std::vector<NamedImage> out;
    out.push_back({"k464uk", keyboardPicture("CPC 464", k464Scheme, ukLabels()), false});
    out.push_back({"k464fr", keyboardPicture("CPC 464", k464Scheme, frLabels()), false});
    out.push_back({"k664uk", keyboardPicture("CPC 664", k664Scheme, ukLabels()), false});
    out.push_back({"k6128_uk", keyboardPicture("CPC 6128", k6128Scheme, ukLabels()), false});
    out.push_back({"k6128_fr", keyboardPicture("CPC 6128", k6128Scheme, frLabels()), false});
    return out;
}
