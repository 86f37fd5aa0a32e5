#include "frontend/missing_rom_window.h"

#include <algorithm>

#include "frontend/window.h"
#include "imggen/font_glyphs.h"
#include "machine/base_path.h"
#include "machine/cpc.h"
#include "machine/emulation_thread.h"
#include "machine/model.h"
#include "machine/shared_flag.h"
#include "machine/text_buffers.h"

const char* const kMissingRomWindowTitle = "Kestrix: ROM images not found";

namespace {

// One character is 8 x 16 pixels: each font row drawn twice.
constexpr int kCellWidth = 8;
constexpr int kCellHeight = 16;
constexpr int kMargin = 16;
constexpr size_t kColumns = (kPictureWidth - 2 * kMargin) / kCellWidth;
constexpr Uint32 kPaper = 0xFF000080u;  // the CPC's own blue and yellow
constexpr Uint32 kInk = 0xFFFFFF00u;

// Long lines (a deep folder) go on over the next lines, indented.
void addWrapped(std::vector<std::string>& lines, const std::string& text) {
    const size_t indent = std::min<size_t>(text.find_first_not_of(' '), 8) + 2;
    size_t at = std::min(text.size(), kColumns);
    lines.push_back(text.substr(0, at));
    while (at < text.size()) {
        const size_t n = std::min(text.size() - at, kColumns - indent);
        lines.push_back(std::string(indent, ' ') + text.substr(at, n));
        at += n;
    }
}

// The ASCII forms the font keeps elsewhere (their places hold accented letters).
uint8_t fontCode(char c) {
    switch (c) {
        case '@': return static_cast<uint8_t>(kLabelAt);
        case '\\': return static_cast<uint8_t>(kLabelBackslash);
        case '{': return static_cast<uint8_t>(kLabelBraceOpen);
        case '|': return static_cast<uint8_t>(kLabelBar);
        case '}': return static_cast<uint8_t>(kLabelBraceClose);
        default: return static_cast<uint8_t>(c);
    }
}

void drawText(SDL_Surface* surface, const std::vector<std::string>& lines) {
    auto* pixels = static_cast<Uint32*>(surface->pixels);
    const int stride = surface->pitch / 4;
    for (size_t row = 0; row < lines.size(); ++row) {
        const int top = kMargin + static_cast<int>(row) * kCellHeight;
        if (top + kCellHeight > surface->h) break;
        for (size_t col = 0; col < lines[row].size() && col < kColumns; ++col) {
            const GlyphRows glyph = fontGlyph(fontCode(lines[row][col]));
            const int left = kMargin + static_cast<int>(col) * kCellWidth;
            for (int y = 0; y < kCellHeight; ++y)
                for (int x = 0; x < kCellWidth; ++x)
                    if (glyph.rows[y / 2] & (0x80 >> x)) pixels[(top + y) * stride + left + x] = kInk;
        }
    }
}

void present(SDL_Texture* texture) {
    SDL_RenderSetViewport(mRenderer, nullptr);
    SDL_SetRenderTarget(mRenderer, nullptr);
    SDL_RenderCopy(mRenderer, texture, nullptr, nullptr);
    SDL_RenderPresent(mRenderer);
}

}  // namespace

std::vector<std::string> missingRomText() {
    char folder[kTextBufferSize];
    buildBasePath(folder, "ROM", "");
    std::vector<const char*> files;
    if (const char* os = osRomFileName(cpcType, cpcLang)) {
        files.push_back(os);
        files.push_back(basicRomFileName(cpcType, cpcLang));
        if (cpcType != CPC464) files.push_back("AMSDOS.ROM");
    } else if (const char* cartridge = cartridgeFileName(cpcType, cpcLang)) {
        files.push_back(cartridge);
    }
    std::vector<std::string> lines;
    lines.push_back(std::string(KestrixVersionText) + " cannot start the machine: its ROM images are missing.");
    lines.push_back("");
    lines.push_back("It looked in the folder");
    addWrapped(lines, std::string("  ") + folder);
    lines.push_back("for these files, 16384 bytes each:");
    for (const char* file : files) {
        char path[kTextBufferSize];
        buildBasePath(path, "ROM", file);
        addWrapped(lines, std::string(isRegularFile(path) ? "  found    " : "  missing  ") + file);
    }
    lines.push_back("");
    lines.push_back("Put the files in that folder, or set KESTRIX_HOME to a folder whose ROM");
    lines.push_back("folder holds them, and start Kestrix again. README.md names the files of");
    lines.push_back("every model and language.");
    lines.push_back("");
    lines.push_back("Close this window or press a key to quit.");
    return lines;
}

void showMissingRomWindow() {
    if (!mWindow || !mRenderer) return;
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, kPictureWidth, kMainWindowHeight, 32,
                                                          SDL_PIXELFORMAT_ARGB8888);
    if (!surface) return;
    SDL_FillRect(surface, nullptr, kPaper);
    drawText(surface, missingRomText());
    SDL_Texture* texture = SDL_CreateTextureFromSurface(mRenderer, surface);
    SDL_FreeSurface(surface);
    if (!texture) return;

    if (kWindow) SDL_HideWindow(kWindow);
    SDL_SetWindowTitle(mWindow, kMissingRomWindowTitle);
    SDL_ShowWindow(mWindow);
    SDL_RaiseWindow(mWindow);
    present(texture);
    // mainLoopEnd is set by SIGINT and SIGTERM.
    while (!loadFlag(mainLoopEnd)) {
        SDL_Event e;
        if (!SDL_WaitEventTimeout(&e, 100)) continue;
        if (e.type == SDL_QUIT) break;
        if (e.type == SDL_KEYDOWN && !e.key.repeat) break;
        if (e.type == SDL_WINDOWEVENT && e.window.windowID == SDL_GetWindowID(mWindow)) {
            if (e.window.event == SDL_WINDOWEVENT_CLOSE) break;
            if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SHOWN) present(texture);
        }
        if (e.type == SDL_DROPFILE || e.type == SDL_DROPTEXT) SDL_free(e.drop.file);
    }
    SDL_DestroyTexture(texture);
}
