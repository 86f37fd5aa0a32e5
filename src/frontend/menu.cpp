#include "frontend/menu.h"

#include <SDL.h>
#include <imgui.h>
#include <strings.h>

#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "debug/debugger.h"
#include "disk/cpm_catalogue.h"
#include "frontend/disk_writeback.h"
#include "frontend/file_browser.h"
#include "frontend/icons.h"
#include "frontend/joystick.h"
#include "frontend/keymap.h"
#include "frontend/machine_status.h"
#include "frontend/media_loader.h"
#include "frontend/media_tape.h"
#include "frontend/quick_slots.h"
#include "frontend/rewind_control.h"
#include "frontend/sound_recording.h"
#include "frontend/ui_hooks.h"
#include "frontend/ui_surface.h"
#include "frontend/window.h"
#include "machine/base_path.h"
#include "machine/config.h"
#include "machine/cpc.h"
#include "machine/emulation_thread.h"
#include "machine/model.h"
#include "machine/shared_flag.h"
#include "machine/text_buffers.h"
#include "snapshot/sna_file.h"
#include "sound/audio_output.h"
#include "video/monitor.h"

namespace {

enum class Page { Main, DriveA, DriveB, Tape, Snapshot, Cartridge, Slots, Recent, Model, Language, Crtc, Memory, Browser };

struct Item {
    std::string label;
    std::function<void()> action;
    bool closes = true;  // the action ends the menu (a choice made), or the menu stays (a switch)
    bool enabled = true;
};

constexpr uint32_t kTypeAheadPauseMs = 1000;
constexpr int kPageSize = 10;
const uint16_t kMemorySizes[] = {64, 128, 320, 576, 4160};

struct MenuState {
    bool open = false;
    bool resumeOnClose = false;
    Page page = Page::Main;
    Page browserReturn = Page::Main;  // where ESC leaves the browser; Browser: the menu closes
    int selected[int(Page::Browser) + 1] = {};
    bool scrollToSelection = true;
    std::string typed;
    uint32_t typedAt = 0;
    FileBrowser browser;
    int browserUnit = 0;
    std::string previewPath;
    std::vector<std::string> preview;
    bool inFrame = false;           // ImGui is building the menu: actions wait for its end
    std::function<void()> pending;  // an action chosen by the mouse, run after the frame
    UiSurface surface;
};

MenuState& menu() {
    static MenuState state;
    return state;
}

UiHooks previousHooks;

const char* onOff(bool on) { return on ? "on" : "off"; }

void openBrowser(MediaClass kind, int unit, Page back) {
    MenuState& m = menu();
    m.browser.open(kind);
    SDL_Log("browser: listing %s", m.browser.folder().c_str());
    m.browserUnit = unit;
    m.browserReturn = back;
    m.page = Page::Browser;
    m.previewPath.clear();
    m.scrollToSelection = true;
}

void choosePage(Page page) {
    menu().page = page;
    menu().scrollToSelection = true;
}

// A blank data disk in a new numbered file beside the last loaded one, into the drive (as --new-disk does).
void newBlankDisk(int unit) {
    char name[kTextBufferSize];
    if (!save_find_enum(name, 'd', fullCurrentFilePath && *fullCurrentFilePath ? fullCurrentFilePath : getbasepath))
        return;
    if (createNewDisk(name)) load_file_snadsk(name, unit);
}

void loadChosenFile(const std::string& path, int unit) {
    noteRecentFile(path);
    copyToTextBuffer(currentFilePath, path.c_str());
    load_file_snadsk(currentFilePath, unit);
}

// Into a numbered WAV beside the loaded file, as screenshots and snapshots go.
void toggleSoundRecording() {
    if (wavRecordingActive()) {
        stopWavRecording();
        return;
    }
    char name[kTextBufferSize];
    if (save_find_enum(name, 'w', nullptr)) startWavRecording(name);
}

std::vector<Item> driveItems(int unit) {
    const bool loaded = statusDiskLoaded(unit);
    const char* name = unit ? fileName_dsk1_str : fileName_dsk0_str;
    return {
        {"Load...", [unit] { openBrowser(MediaClass::Disk, unit, unit ? Page::DriveB : Page::DriveA); }, false},
        {"Eject", [unit] { eject_dsk(unit, true); refreshImageDisk(unit); }, true, loaded},
        {"Flip side", [unit, name] { if (!loadFlag(flipSideInUse)) flipSide(static_cast<uint8_t>(unit), name); }, true,
         loaded},
        {std::string("Write protect: ") + onOff(statusDiskWriteProtected(unit)), [unit] { toggleWriteProtect(unit); },
         false, loaded},
        {"New blank disk", [unit] { newBlankDisk(unit); }},
    };
}

std::vector<Item> itemsOf(Page page) {
    switch (page) {
        case Page::Main: {
            const char* input = statusGunStickOn() ? "light gun" : statusJoystickOn() ? "joystick" : "none";
            const char* palette = statusMonitorPalette() == MonitorPalette::Colour  ? "colour"
                                  : statusMonitorPalette() == MonitorPalette::Green ? "green"
                                                                                   : "grey";
            const char* mode = digiBlaster ? "mono, Digiblaster" : CPC_audio_stereo ? "stereo" : "mono";
            return {
                {std::string("Drive A: ") + statusDiskFileName(0), [] { choosePage(Page::DriveA); }, false},
                {std::string("Drive B: ") + statusDiskFileName(1), [] { choosePage(Page::DriveB); }, false},
                {std::string("Tape: ") + (statusTapeLoaded() && fileName_cdt_str ? fileName_cdt_str : ""),
                 [] { choosePage(Page::Tape); }, false},
                {"Snapshot", [] { choosePage(Page::Snapshot); }, false},
                {"Cartridge", [] { choosePage(Page::Cartridge); }, false},
                {"Quick slots", [] { choosePage(Page::Slots); }, false},
                {"Go back 5 seconds", [] { goBackSeconds(5); }},
                {"Recent files", [] { choosePage(Page::Recent); }, false},
                {std::string("Model: ") + modelName(cpcType), [] { choosePage(Page::Model); }, false},
                {"Language", [] { choosePage(Page::Language); }, false, modelHasLanguages(cpcType)},
                {"CRTC type: " + std::to_string(crtcType), [] { choosePage(Page::Crtc); }, false},
                {"Memory", [] { choosePage(Page::Memory); }, false},
                {"Reset", [] { soft_reset(); }},
                {std::string("Monitor: ") + palette, [] { monitor_change_color(); }, false},
                {std::string("Scanlines: ") + onOff(statusScanlines()), [] { monitor_endisable_scanline(); }, false},
                {std::string("Sound: ") + onOff(CPC_audio_enable), [] { endisable_sound(); }, false},
                {std::string("Sound mode: ") + mode, [] { cycleCPCAudio(); }, false},
                {std::string("Joystick / light gun: ") + input, [] { cycleJoystick(); }, false},
                {std::string("Key mapping: ") + (keymapByCharacter ? "character" : "position"),
                 [] { setKeymapMode(keymapByCharacter ? "position" : "char"); }, false},
                {std::string("Record sound: ") + onOff(wavRecordingActive()), [] { toggleSoundRecording(); }},
                {"Full screen", [] { SDL_fullscreen(!fullscreen, false); }},
                {"Screenshot", [] { saveScreenRequest = true; }},
                {"Debugger", [] { uiHooks.showDebugger(); }},
                {"Quit", [] { storeFlag(mainLoopEnd, 1); }},
            };
        }
        case Page::DriveA: return driveItems(0);
        case Page::DriveB: return driveItems(1);
        case Page::Tape:
            return {
                {"Load...", [] { openBrowser(MediaClass::Tape, 0, Page::Tape); }, false},
                {"Eject", [] { eject_cdt(); }, true, statusTapeLoaded()},
                {statusTapePlaying() ? "Pause" : "Play", [] { toggleTapePlay(); }, true, statusTapeLoaded()},
                {"Rewind", [] { rewindTapeOneBlock(); }, false, statusTapeLoaded()},
            };
        case Page::Snapshot:
            return {
                {"Load...", [] { openBrowser(MediaClass::Snapshot, 0, Page::Snapshot); }, false},
                {"Save", [] { saveSnapshotRequest = true; }},
            };
        case Page::Cartridge:
            return {{"Load...", [] { openBrowser(MediaClass::Cartridge, 0, Page::Cartridge); }, false}};
        case Page::Slots: {
            std::vector<Item> items;
            for (int slot = 1; slot <= kQuickSlots; ++slot) {
                items.push_back({"Save slot " + std::to_string(slot), [slot] { saveQuickSlot(slot); }});
                items.push_back({"Load slot " + std::to_string(slot), [slot] { loadQuickSlot(slot); }});
            }
            return items;
        }
        case Page::Recent: {
            std::vector<Item> items;
            for (const std::string& file : recentFiles()) items.push_back({file, [file] { loadChosenFile(file, 0); }});
            if (items.empty()) items.push_back({"(none yet)", [] {}, false, false});
            return items;
        }
        case Page::Model: {
            std::vector<Item> items;
            for (uint8_t type = CPC464; type <= GX4000; ++type)
                items.push_back({modelName(type), [type] { selectCPCType(type); }});
            return items;
        }
        case Page::Language: {
            static const char* const kLanguages[] = {"English", "French", "Spanish", "Danish"};
            std::vector<Item> items;
            for (uint8_t lang = LangUK; lang <= LangDanish; ++lang)
                items.push_back({kLanguages[lang], [lang] { selectLanguage(lang); }});
            return items;
        }
        case Page::Crtc: {
            std::vector<Item> items;
            for (const char* type : {"0", "1", "2", "3", "4"}) {
                const bool fits = isPlusModel(cpcType) == (type[0] == '3');
                items.push_back({std::string("Type ") + type, [type] { applyCrtcTypeText(type); }, true, fits});
            }
            return items;
        }
        case Page::Memory: {
            std::vector<Item> items;
            for (uint16_t kb : kMemorySizes) {
                items.push_back({std::to_string(kb) + " KB", [kb] {
                                     withEmulationStopped([kb] {
                                         changeCPCMemory(kb);
                                         return 0;
                                     });
                                     soft_reset();
                                 }});
            }
            return items;
        }
        case Page::Browser: break;
    }
    return {};
}

const char* pageTitle(Page page) {
    static const char* const kTitles[] = {"Kestrix",   "Drive A",     "Drive B",      "Tape",  "Snapshot",
                                          "Cartridge", "Quick slots", "Recent files", "Model", "Language",
                                          "CRTC type", "Memory",      "Load"};
    static_assert(std::size(kTitles) == size_t(Page::Browser) + 1, "a title for every page");
    return kTitles[int(page)];
}

// What the browser shows of the selected file: a disk's catalogue, a snapshot's model.
void updatePreview() {
    MenuState& m = menu();
    const int index = m.browser.selected();
    const std::string path = m.browser.pathOf(index);
    if (path == m.previewPath) return;
    m.previewPath = path;
    m.preview.clear();
    if (path.empty() || m.browser.entries()[index].folder) return;
    if (!m.browser.entries()[index].readable) {
        m.preview.push_back("This file cannot be read.");
        return;
    }
    std::string logged;
    if (m.browser.kind() == MediaClass::Disk) {
        DiskCatalogue catalogue;
        if (!readCatalogueOfFile(path.c_str(), catalogue)) {
            m.preview.push_back("No CP/M catalogue.");
        } else {
            m.preview.push_back(std::string(catalogue.format) + " format, " +
                                std::to_string(catalogue.entries.size()) + " files");
            for (const CatalogueEntry& e : catalogue.entries) {
                char line[64];
                SDL_snprintf(line, sizeof line, "%-12s %4uK%s%s", e.name.c_str(), e.sizeK, e.system ? " sys" : "",
                             e.user ? (" user " + std::to_string(e.user)).c_str() : "");
                m.preview.push_back(line);
                logged += " " + e.name;
            }
        }
    } else if (m.browser.kind() == MediaClass::Snapshot) {
        const uint8_t model = snaFileModel(path.c_str());
        m.preview.push_back(model == NoModel ? "Not a snapshot." : std::string("Model: ") + modelName(model));
    }
    SDL_Log("browser: %s: %s%s%s", fileNamePart(path.c_str()), m.preview.empty() ? "" : m.preview[0].c_str(),
            logged.empty() ? "" : ":", logged.c_str());
}

int itemCount() {
    MenuState& m = menu();
    return m.page == Page::Browser ? static_cast<int>(m.browser.entries().size())
                                   : static_cast<int>(itemsOf(m.page).size());
}

int& selection() {
    static int browserSelection;
    MenuState& m = menu();
    if (m.page != Page::Browser) return m.selected[int(m.page)];
    browserSelection = m.browser.selected();
    return browserSelection;
}

void setSelection(int index) {
    MenuState& m = menu();
    const int count = itemCount();
    if (count <= 0) return;
    index = index < 0 ? 0 : index >= count ? count - 1 : index;
    if (m.page == Page::Browser) {
        m.browser.select(index);
    } else {
        m.selected[int(m.page)] = index;
    }
    m.scrollToSelection = true;
}

// A key's action runs at once, so that the keys after it in the same pass find its page; a click's waits
// for the end of the ImGui frame it was found in.
void perform(const std::function<void()>& action) {
    MenuState& m = menu();
    if (m.inFrame) {
        m.pending = action;
    } else {
        action();
    }
}

void activate(int index) {
    MenuState& m = menu();
    if (m.page == Page::Browser) {
        const std::string path = m.browser.activate(index);
        m.scrollToSelection = true;
        if (path.empty()) return;
        const int unit = m.browserUnit;
        closeMainMenu();
        perform([path, unit] { loadChosenFile(path, unit); });
        return;
    }
    std::vector<Item> items = itemsOf(m.page);
    if (index < 0 || index >= static_cast<int>(items.size()) || !items[index].enabled) return;
    if (items[index].closes) closeMainMenu();
    perform(items[index].action);
}

void back() {
    MenuState& m = menu();
    if (m.page == Page::Main || (m.page == Page::Browser && m.browserReturn == Page::Browser)) {
        closeMainMenu();
    } else {
        choosePage(m.page == Page::Browser ? m.browserReturn : Page::Main);
    }
}

void typeAhead(char key, uint32_t now) {
    MenuState& m = menu();
    if (m.page == Page::Browser) {
        m.browser.typeAhead(key, now);
        m.scrollToSelection = true;
        return;
    }
    if (now - m.typedAt > kTypeAheadPauseMs) m.typed.clear();
    m.typedAt = now;
    m.typed += key;
    std::vector<Item> items = itemsOf(m.page);
    for (size_t i = 0; i < items.size(); ++i) {
        if (strncasecmp(items[i].label.c_str(), m.typed.c_str(), m.typed.size()) == 0) {
            setSelection(static_cast<int>(i));
            return;
        }
    }
}

void menuKey(const SDL_KeyboardEvent& key) {
    const int current = selection();
    switch (key.keysym.sym) {
        case SDLK_UP: setSelection(current - 1); break;
        case SDLK_DOWN: setSelection(current + 1); break;
        case SDLK_PAGEUP: setSelection(current - kPageSize); break;
        case SDLK_PAGEDOWN: setSelection(current + kPageSize); break;
        case SDLK_HOME: setSelection(0); break;
        case SDLK_END: setSelection(itemCount() - 1); break;
        case SDLK_RETURN: case SDLK_KP_ENTER: case SDLK_RIGHT: activate(current); break;
        case SDLK_ESCAPE: case SDLK_LEFT: case SDLK_F1: back(); break;
        case SDLK_BACKSPACE:
            if (menu().page == Page::Browser && !menu().browser.entries().empty() &&
                menu().browser.entries()[0].name == "..") {
                activate(0);
            }
            break;
        default:
            if (key.keysym.sym > ' ' && key.keysym.sym < 127) typeAhead(static_cast<char>(key.keysym.sym), key.timestamp);
            break;
    }
}

Uint32 eventWindow(const SDL_Event& e) {
    switch (e.type) {
        case SDL_KEYDOWN: case SDL_KEYUP: return e.key.windowID;
        case SDL_TEXTINPUT: return e.text.windowID;
        case SDL_MOUSEMOTION: return e.motion.windowID;
        case SDL_MOUSEBUTTONDOWN: case SDL_MOUSEBUTTONUP: return e.button.windowID;
        case SDL_MOUSEWHEEL: return e.wheel.windowID;
        default: return 0;
    }
}

bool menuHandleEvent(const SDL_Event& e) {
    MenuState& m = menu();
    const bool mainWindow = mWindow && eventWindow(e) == mWindowID;
    if (!m.open) {
        const bool plainF1 = e.type == SDL_KEYDOWN && e.key.keysym.scancode == SDL_SCANCODE_F1 && !e.key.repeat &&
                             !(e.key.keysym.mod & (KMOD_CTRL | KMOD_SHIFT | KMOD_ALT | KMOD_GUI));
        if (mainWindow && plainF1) {
            openMainMenu();
            return true;
        }
        return previousHooks.handleEvent(e);
    }
    if (!mainWindow) return previousHooks.handleEvent(e);
    // While the menu is open the main window's input is the menu's alone.
    if (e.type == SDL_KEYDOWN) menuKey(e.key);
    if (e.type == SDL_MOUSEMOTION || e.type == SDL_MOUSEBUTTONDOWN || e.type == SDL_MOUSEBUTTONUP ||
        e.type == SDL_MOUSEWHEEL) {
        m.surface.handleEvent(e);
    }
    return e.type != SDL_WINDOWEVENT;
}

void drawList() {
    MenuState& m = menu();
    if (m.page == Page::Browser) {
        const std::vector<BrowserEntry>& entries = m.browser.entries();
        for (int i = 0; i < static_cast<int>(entries.size()); ++i) {
            const BrowserEntry& entry = entries[i];
            std::string label = entry.name + (entry.folder ? "/" : "") + (entry.readable ? "" : "  (cannot be read)");
            ImGui::PushID(i);
            if (!entry.readable) ImGui::PushStyleColor(ImGuiCol_Text, ImGui::GetStyleColorVec4(ImGuiCol_TextDisabled));
            if (ImGui::Selectable(label.c_str(), i == m.browser.selected(), ImGuiSelectableFlags_AllowDoubleClick)) {
                m.browser.select(i);
                if (ImGui::IsMouseDoubleClicked(ImGuiMouseButton_Left)) activate(i);
            }
            if (!entry.readable) ImGui::PopStyleColor();
            if (i == m.browser.selected() && m.scrollToSelection) ImGui::SetScrollHereY();
            ImGui::PopID();
        }
        return;
    }
    const std::vector<Item> items = itemsOf(m.page);
    const int selected = m.selected[int(m.page)];
    for (int i = 0; i < static_cast<int>(items.size()); ++i) {
        ImGui::PushID(i);
        ImGuiSelectableFlags flags = items[i].enabled ? 0 : ImGuiSelectableFlags_Disabled;
        if (ImGui::Selectable(items[i].label.c_str(), i == selected, flags)) {
            m.selected[int(m.page)] = i;
            activate(i);
        }
        if (i == selected && m.scrollToSelection) ImGui::SetScrollHereY();
        ImGui::PopID();
    }
}

void drawMenu() {
    MenuState& m = menu();
    int w = 0, h = 0;
    SDL_GetRendererOutputSize(mRenderer, &w, &h);
    const float width = m.page == Page::Browser ? 640.0f : 420.0f;
    ImGui::SetNextWindowPos(ImVec2(w * 0.5f, h * 0.5f), ImGuiCond_Always, ImVec2(0.5f, 0.5f));
    ImGui::SetNextWindowSize(ImVec2(width, 440.0f), ImGuiCond_Always);
    const Page page = m.page;
    std::string title = pageTitle(page);
    if (page == Page::Browser) title += " - " + m.browser.folder();
    title += "###kestrixmenu";
    ImGui::Begin(title.c_str(), nullptr,
                 ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoCollapse |
                     ImGuiWindowFlags_NoSavedSettings);
    // The keyboard's selection stands out; the pointer only lightens what it is over.
    ImGui::PushStyleColor(ImGuiCol_Header, ImGui::GetStyleColorVec4(ImGuiCol_HeaderActive));
    ImGui::PushStyleColor(ImGuiCol_HeaderHovered, ImVec4(1.0f, 1.0f, 1.0f, 0.12f));
    if (page == Page::Browser) {
        updatePreview();
        ImGui::BeginChild("files", ImVec2(width * 0.5f, -ImGui::GetFrameHeightWithSpacing()), true);
        drawList();
        ImGui::EndChild();
        ImGui::SameLine();
        ImGui::BeginChild("preview", ImVec2(0, -ImGui::GetFrameHeightWithSpacing()), true);
        for (const std::string& line : m.preview) ImGui::TextUnformatted(line.c_str());
        ImGui::EndChild();
        ImGui::TextDisabled("RETURN loads, ESC goes back, letters choose");
    } else {
        ImGui::BeginChild("entries", ImVec2(0, -ImGui::GetFrameHeightWithSpacing()), false);
        drawList();
        ImGui::EndChild();
        ImGui::TextDisabled(page == Page::Main ? "ESC closes the menu" : "ESC goes back");
    }
    if (page == m.page) m.scrollToSelection = false;
    ImGui::PopStyleColor(2);
    ImGui::End();
}

void menuDrawWindows() {
    MenuState& m = menu();
    if (m.open && mRenderer) {
        renderPictureAndStrip(false);
        SDL_SetRenderDrawBlendMode(mRenderer, SDL_BLENDMODE_BLEND);
        SDL_SetRenderDrawColor(mRenderer, 0, 0, 0, 150);
        SDL_RenderFillRect(mRenderer, &rectdest_xy);
        m.surface.beginFrame();
        m.inFrame = true;
        drawMenu();
        m.inFrame = false;
        m.surface.endFrame();
        SDL_RenderPresent(mRenderer);
        // The stopped screen would cover the menu.
        refreshScreen = false;
    }
    // Closed with the menu: full screen, for one, builds the window and its renderer anew.
    if (!m.open && m.surface.isOpen()) m.surface.close();
    if (m.pending) {
        std::function<void()> action = std::move(m.pending);
        m.pending = nullptr;
        action();
    }
    if (!m.open && m.resumeOnClose) {
        m.resumeOnClose = false;
        run();
    }
    previousHooks.drawWindows();
}

void menuShutdown() {
    menu().surface.close();
    previousHooks.shutdown();
}

}  // namespace

void installMainMenu() {
    previousHooks = uiHooks;
    uiHooks.handleEvent = menuHandleEvent;
    uiHooks.drawWindows = menuDrawWindows;
    uiHooks.shutdown = menuShutdown;
    uiHooks.openFileBrowser = openMainMenuBrowser;
}

bool mainMenuOpen() { return menu().open; }

void openMainMenu() {
    MenuState& m = menu();
    if (!m.open) {
        if (!m.surface.open(mWindow, mRenderer)) {
            SDL_Log("menu: cannot be drawn in this window");
            return;
        }
        m.open = true;
        // A machine held by the debugger stays held: the menu does not let it go.
        m.resumeOnClose = running && !debugger.stopped();
        if (running) stopRun();
        SDL_Log("menu: open at frame %u", framesEmulated.load());
    }
    choosePage(Page::Main);
}

void openMainMenuBrowser(MediaClass kind, int unit) {
    openMainMenu();
    if (menu().open) openBrowser(kind, unit, Page::Browser);
}

void closeMainMenu() {
    MenuState& m = menu();
    if (!m.open) return;
    m.open = false;
    // Not under a frame being built: the window may go (full screen) before the next pass.
    if (!m.inFrame) m.surface.close();
    SDL_Log("menu: closed at frame %u", framesEmulated.load());
    refreshScreen = true;
}
