#include "frontend/debugger_panes.h"

#include <imgui.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <vector>

#include "debug/chip_report.h"
#include "debug/debugger.h"
#include "debug/disassembler.h"
#include "debug/expression.h"
#include "debug/machine_environment.h"
#include "debug/memory_view.h"
#include "debug/monitor.h"
#include "debug/number_text.h"
#include "debug/symbol_table.h"
#include "frontend/monitor_session.h"
#include "machine/emulation_thread.h"

namespace {

constexpr ImGuiWindowFlags kPaneFlags = ImGuiWindowFlags_NoCollapse;
constexpr size_t kConsoleLines = 40;

std::deque<std::string> console;
// Bumped by every command, so that what the panes keep is worked out again.
unsigned commandCount = 0;

bool allHex(const char* text) {
    if (!*text) return false;
    for (const char* c = text; *c; ++c)
        if (!std::isxdigit(static_cast<unsigned char>(*c))) return false;
    return true;
}

// A typed value as a monitor word: bare hex digits are hex, anything else
// (&, #, 0x, a register, a label) goes as it is.
std::string valueWord(const char* text) { return allHex(text) ? std::string("&") + text : std::string(text); }

void pane(const char* title, float x, float y, float w, float h) {
    ImGui::SetNextWindowPos(ImVec2(x, y), ImGuiCond_FirstUseEver);
    ImGui::SetNextWindowSize(ImVec2(w, h), ImGuiCond_FirstUseEver);
    ImGui::Begin(title, nullptr, kPaneFlags);
}

void runningNote() { ImGui::TextDisabled("running - stop to look"); }

uint8_t readNow(uint16_t address) { return processorView(address); }

// The edit field being typed into, which keeps what is typed.
ImGuiID editing = 0;

// An edit field that shows `value` until it is clicked, then what is typed;
// true when RETURN ends the edit (`buffer` holds it).
template <size_t N>
bool editField(const char* id, const std::string& value, std::array<char, N>& buffer, float width,
               ImGuiInputTextFlags flags = 0) {
    const ImGuiID self = ImGui::GetID(id);
    if (editing != self) std::snprintf(buffer.data(), N, "%s", value.c_str());
    ImGui::SetNextItemWidth(width);
    const bool entered = ImGui::InputText(id, buffer.data(), N, flags | ImGuiInputTextFlags_EnterReturnsTrue |
                                                                   ImGuiInputTextFlags_AutoSelectAll);
    if (ImGui::IsItemActive()) editing = self;
    else if (editing == self) editing = 0;
    return entered;
}

// "key=value" lines as pairs.
std::vector<std::pair<std::string, std::string>> keyValues(const std::vector<std::string>& lines) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const std::string& line : lines) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos) out.emplace_back(line, "");
        else out.emplace_back(line.substr(0, eq), line.substr(eq + 1));
    }
    return out;
}

}  // namespace

void debuggerIssue(const std::string& command) {
    ++commandCount;
    console.push_back("> " + command);
    for (const std::string& line : runWindowMonitorCommand(command).lines) console.push_back(line);
    while (console.size() > kConsoleLines) console.pop_front();
    requestDebuggerRedraw();
}

void drawControlPane(bool live) {
    pane("Run", 0, 0, 1024, 118);
    static const struct {
        const char* label;
        const char* command;
        const char* key;
    } kButtons[] = {{"Run", "continue", "F5"},   {"Stop", "break", "Shift+F5"}, {"Step", "step", "F11"},
                    {"Over", "next", "F10"},     {"Out", "finish", "Shift+F11"}, {"Line", "line", "F6"},
                    {"Frame", "frame", "F7"},    {"Micro", "micro", "F8"}};
    for (const auto& b : kButtons) {
        if (&b != kButtons) ImGui::SameLine();
        if (ImGui::Button(b.label)) debuggerIssue(b.command);
        if (ImGui::IsItemHovered()) ImGui::SetTooltip("%s (%s)", b.command, b.key);
    }
    ImGui::SameLine();
    if (live && debugger.stopped()) ImGui::TextUnformatted(stopLine(debugger.lastStop()).c_str());
    else if (live) ImGui::TextUnformatted("paused");
    else ImGui::Text("running, frame %u", framesEmulated.load(std::memory_order_relaxed));

    static std::array<char, 160> command{};
    ImGui::SetNextItemWidth(-1);
    if (ImGui::InputTextWithHint("##command", "monitor command (help lists them)", command.data(), command.size(),
                                 ImGuiInputTextFlags_EnterReturnsTrue)) {
        if (command[0]) debuggerIssue(command.data());
        command[0] = 0;
        ImGui::SetKeyboardFocusHere(-1);
    }
    ImGui::BeginChild("console");
    for (const std::string& line : console) ImGui::TextUnformatted(line.c_str());
    if (ImGui::GetScrollY() >= ImGui::GetScrollMaxY()) ImGui::SetScrollHereY(1.0f);
    ImGui::EndChild();
    ImGui::End();
}

void drawDisassemblyPane(bool live) {
    pane("Disassembly", 0, 118, 430, 392);
    static bool followPc = true;
    static uint16_t viewAddress = 0;
    static std::array<char, 32> go{};
    ImGui::Checkbox("follow PC", &followPc);
    ImGui::SameLine();
    if (live && editField("go to", followPc ? std::string() : hex4(viewAddress), go, 120)) {
        uint32_t v = 0;
        std::string error;
        Expression e;
        if (Expression::compile(valueWord(go.data()), machineEnvironment(), e, error)) {
            v = e.evaluate(machineEnvironment());
            viewAddress = uint16_t(v);
            followPc = false;
        }
    }
    if (!live) {
        runningNote();
        ImGui::End();
        return;
    }
    const uint16_t pc = debugger.currentPc();
    // The look-back disassembles many starts: worked out once per stop.
    static uint16_t cachedPc = 0;
    static unsigned cachedCount = ~0u;
    static uint16_t cachedStart = 0;
    if (cachedPc != pc || cachedCount != commandCount) {
        cachedPc = pc;
        cachedCount = commandCount;
        cachedStart = disassemblyStartBefore(pc, 6, readNow);
    }
    uint16_t address = followPc ? cachedStart : viewAddress;
    ImGui::BeginChild("listing");
    ImDrawList* draw = ImGui::GetWindowDrawList();
    const float lineHeight = ImGui::GetTextLineHeight();
    for (int row = 0; row < 40; ++row) {
        if (const std::string* label = debugSymbols().nameAt(address)) ImGui::TextDisabled("%s:", label->c_str());
        const DisassembledInstruction d = disassemble(address, readNow, &debugSymbols(), HexStyle::Ampersand);
        std::string bytes;
        for (int i = 0; i < d.length; ++i) bytes += hex2(d.bytes[i]) + " ";
        bytes.resize(12, ' ');
        const std::string text = std::string(address == pc ? "> " : "  ") + "  " + hex4(address) + "  " + bytes + d.text;
        ImGui::PushID(row);
        const ImVec2 corner = ImGui::GetCursorScreenPos();
        if (ImGui::Selectable(text.c_str(), address == pc)) debuggerIssue("toggle &" + hex4(address));
        if (ImGui::IsItemHovered() && ImGui::IsMouseClicked(ImGuiMouseButton_Right))
            debuggerIssue("until &" + hex4(address));
        if (ImGui::IsItemHovered()) ImGui::SetTooltip("click: break point here, right click: run until here");
        if (debugger.executeAt(address)) {
            draw->AddCircleFilled(ImVec2(corner.x + lineHeight * 1.4f, corner.y + lineHeight / 2), lineHeight / 3,
                                  IM_COL32(230, 40, 40, 255));
        }
        ImGui::PopID();
        address = uint16_t(address + d.length);
    }
    ImGui::EndChild();
    ImGui::End();
}

void drawRegisterPane(bool live) {
    pane("Registers", 430, 118, 250, 392);
    if (!live) {
        runningNote();
        ImGui::End();
        return;
    }
    const std::vector<std::string> lines = registerLines();
    if (ImGui::Button("Copy")) {
        std::string text;
        for (const std::string& line : lines) text += line + "\n";
        ImGui::SetClipboardText(text.c_str());
    }
    static std::map<std::string, std::array<char, 16>> edits;
    int column = 0;
    // The halves of the pairs are left to the pairs.
    static const std::string kHalves = " A F B C D E H L IXH IXL IYH IYL ";
    for (const auto& [name, value] : keyValues(lines)) {
        if (kHalves.find(" " + name + " ") != std::string::npos) continue;
        if (column++ % 2) ImGui::SameLine(125);
        ImGui::Text("%-4s", name.c_str());
        ImGui::SameLine();
        const std::string id = "##" + name;
        std::array<char, 16>& buffer = edits[name];
        const bool hex = value.size() == 2 || value.size() == 4;
        if (editField(id.c_str(), value, buffer, 60, hex ? ImGuiInputTextFlags_CharsHexadecimal : 0) && buffer[0])
            debuggerIssue("set " + name + " " + (hex ? valueWord(buffer.data()) : std::string(buffer.data())));
    }
    uint32_t f = 0;
    readRegister("F", f);
    ImGui::Separator();
    static const char kFlags[] = "SZ5H3PNC";
    for (int bit = 7; bit >= 0; --bit) {
        bool set = (f >> bit) & 1;
        const char name[2] = {kFlags[7 - bit], 0};
        // Two rows of four.
        if (const int column = (7 - bit) % 4) ImGui::SameLine(float(8 + column * 55));
        if (ImGui::Checkbox(name, &set)) debuggerIssue("set F &" + hex2(f ^ (1u << bit)));
    }
    ImGui::End();
}

void drawStackPane(bool live) {
    pane("Stack", 680, 118, 344, 150);
    if (!live) {
        runningNote();
        ImGui::End();
        return;
    }
    uint32_t sp = 0;
    readRegister("SP", sp);
    for (int i = 0; i < 12; ++i) {
        const uint16_t at = uint16_t(sp + 2 * i);
        const uint16_t word = uint16_t(processorView(at) | processorView(uint16_t(at + 1)) << 8);
        const std::string* label = debugSymbols().nameAt(word);
        ImGui::Text("SP+%-2d %s: %s %s", 2 * i, hex4(at).c_str(), hex4(word).c_str(), label ? label->c_str() : "");
    }
    ImGui::End();
}

void drawBreakPointPane(bool live) {
    pane("Break points", 680, 268, 344, 242);
    if (!live) {
        runningNote();
        ImGui::End();
        return;
    }
    static std::array<char, 64> target{};
    ImGui::SetNextItemWidth(110);
    ImGui::InputTextWithHint("##target", "address", target.data(), target.size());
    static const struct {
        const char* label;
        const char* command;
    } kKinds[] = {{"exec", "break "}, {"read", "watch r "}, {"write", "watch w "}, {"access", "watch rw "}};
    for (const auto& k : kKinds) {
        ImGui::SameLine();
        if (ImGui::SmallButton(k.label) && target[0]) debuggerIssue(k.command + valueWord(target.data()));
    }
    // The monitor's own description of each, in the engine's order.
    const std::vector<std::string> described = runMonitorCommand("list").lines;
    const std::vector<BreakPoint>& points = debugger.breakPoints();
    static std::map<int, std::array<char, 128>> conditions;
    for (size_t i = 0; i < points.size() && i < described.size(); ++i) {
        const BreakPoint& p = points[i];
        const std::string number = std::to_string(p.number);
        ImGui::PushID(p.number);
        bool enabled = p.enabled;
        if (ImGui::Checkbox("##on", &enabled)) debuggerIssue((enabled ? "enable " : "disable ") + number);
        ImGui::SameLine();
        if (ImGui::SmallButton("del")) debuggerIssue("delete " + number);
        ImGui::SameLine();
        ImGui::TextUnformatted(described[i].c_str());
        ImGui::Indent(54);
        if (editField("if", p.conditionText, conditions[p.number], 200))
            debuggerIssue("if " + number + " " + conditions[p.number].data());
        ImGui::Unindent(54);
        ImGui::PopID();
    }
    ImGui::End();
}

void drawMemoryPane(bool live) {
    pane("Memory", 0, 510, 560, 258);
    static int kind = 0;
    static int index = 0;
    static uint32_t start = 0;
    static std::array<char, 48> follow{};
    static const char* const kKinds[] = {"processor", "RAM bank", "ROM slot", "cartridge bank", "ASIC page", "lower ROM"};
    static const MemorySpace kSpaces[] = {MemorySpace::Cpu,       MemorySpace::RamBank,  MemorySpace::RomSlot,
                                          MemorySpace::CartridgeBank, MemorySpace::AsicPage, MemorySpace::LowerRom};
    static const char* const kWords[] = {"", "ram", "rom", "cart", "asic", "lower"};
    ImGui::SetNextItemWidth(130);
    ImGui::Combo("##space", &kind, kKinds, IM_ARRAYSIZE(kKinds));
    if (kind >= 1 && kind <= 3) {
        ImGui::SameLine();
        ImGui::SetNextItemWidth(80);
        ImGui::InputInt("##index", &index);
        if (index < 0) index = 0;
        if (index > 255) index = 255;
    }
    ImGui::SameLine();
    ImGui::SetNextItemWidth(160);
    ImGui::InputTextWithHint("##follow", "follow (HL, &C000...)", follow.data(), follow.size());
    if (!live) {
        runningNote();
        ImGui::End();
        return;
    }
    const MemorySpace space = kSpaces[kind];
    const bool low = space != MemorySpace::Cpu && space != MemorySpace::AsicPage;
    const uint32_t first = space == MemorySpace::AsicPage ? 0x4000 : 0;
    const uint32_t size = space == MemorySpace::Cpu ? 0x10000 : 0x4000;
    if (follow[0]) {
        Expression e;
        std::string error;
        if (Expression::compile(valueWord(follow.data()), machineEnvironment(), e, error))
            start = e.evaluate(machineEnvironment()) & ~15u;
    }
    if (ImGui::IsWindowHovered(ImGuiHoveredFlags_ChildWindows)) start -= uint32_t(int(ImGui::GetIO().MouseWheel) * 16);
    start = first + (start - first) % size;
    std::string spaceWord = kWords[kind];
    if (low && space != MemorySpace::LowerRom) spaceWord.append(" ").append(std::to_string(index));
    static uint32_t editAt = ~0u;
    static bool editChar = false;
    static bool editFocus = false;
    static bool editActive = false;  // the field has been typed into since the edit began
    static std::array<char, 4> edit{};
    ImGui::BeginChild("bytes");
    // Whole rows of text, and a click placed on a byte by its position.
    const float charW = ImGui::CalcTextSize("0").x, rowH = ImGui::GetTextLineHeightWithSpacing();
    const ImVec2 origin = ImGui::GetCursorScreenPos();
    constexpr int kRows = 12, kHexAt = 6, kCharsAt = kHexAt + 16 * 3 + 1;
    for (int row = 0; row < kRows; ++row) {
        const uint32_t rowStart = first + (start - first + uint32_t(row) * 16) % size;
        std::string line = hex4(rowStart) + "  ", chars;
        for (uint32_t column = 0; column < 16; ++column) {
            uint8_t value = 0;
            std::string error;
            if (peekMemory(space, index, first + (rowStart - first + column) % size, value, error)) {
                line += hex2(value) + " ";
                chars += value >= 32 && value < 127 ? char(value) : '.';
            } else {
                line += "-- ";
                chars += ' ';
            }
        }
        ImGui::TextUnformatted((line + " " + chars).c_str());
    }
    if (ImGui::IsWindowHovered() && ImGui::IsMouseClicked(ImGuiMouseButton_Left)) {
        const ImVec2 mouse = ImGui::GetIO().MousePos;
        const int row = int((mouse.y - origin.y) / rowH), at = int((mouse.x - origin.x) / charW);
        int column = -1;
        if (at >= kHexAt && at < kHexAt + 16 * 3 && (at - kHexAt) % 3 < 2) column = (at - kHexAt) / 3;
        if (at >= kCharsAt && at < kCharsAt + 16) column = at - kCharsAt;
        if (row >= 0 && row < kRows && column >= 0) {
            editAt = first + (start - first + uint32_t(row * 16 + column)) % size;
            editChar = at >= kCharsAt;
            editFocus = true;
            editActive = false;
            edit[0] = 0;
        }
    }
    const uint32_t offset = (editAt - first - (start - first)) % size;
    if (editAt != ~0u && offset < uint32_t(kRows * 16)) {
        // The field over the byte (or character) being changed.
        const int row = int(offset / 16), column = int(offset % 16);
        const int at = editChar ? kCharsAt + column : kHexAt + 3 * column;
        ImGui::SetCursorScreenPos(ImVec2(origin.x + at * charW - 2, origin.y + row * rowH - 2));
        ImGui::SetNextItemWidth(charW * (editChar ? 1 : 2) + 6);
        ImGui::PushStyleVar(ImGuiStyleVar_FramePadding, ImVec2(2, 2));
        if (editFocus) ImGui::SetKeyboardFocusHere();
        editFocus = false;
        if (ImGui::InputText("##edit", edit.data(), editChar ? 2 : 3,
                             ImGuiInputTextFlags_EnterReturnsTrue | (editChar ? 0 : ImGuiInputTextFlags_CharsHexadecimal))) {
            if (edit[0]) {
                const uint32_t typed = editChar ? uint8_t(edit[0]) : uint32_t(std::strtoul(edit.data(), nullptr, 16));
                debuggerIssue("poke &" + hex4(editAt) + " &" + hex2(typed) + " " + spaceWord);
            }
            // RETURN goes on to the next byte.
            editAt = first + (editAt - first + 1) % size;
            editFocus = true;
            editActive = false;
            edit[0] = 0;
        } else if (ImGui::IsItemActive()) {
            editActive = true;
        } else if (editActive) {
            editAt = ~0u;  // ESC or a click elsewhere
        }
        ImGui::PopStyleVar();
    }
    ImGui::EndChild();
    ImGui::End();
}

namespace {

SDL_Texture* spriteTextures[16] = {};

void drawReport(const std::vector<std::string>& lines) {
    if (!ImGui::BeginTable("report", 2, ImGuiTableFlags_SizingStretchSame)) return;
    for (const std::string& line : lines) {
        ImGui::TableNextColumn();
        ImGui::TextUnformatted(line.c_str());
    }
    ImGui::EndTable();
}

void drawSprites(SDL_Renderer* renderer) {
    uint32_t pixels[256];
    ImDrawList* draw = ImGui::GetWindowDrawList();
    for (int n = 0; n < 16; ++n) {
        if (!asicSpritePicture(n, pixels)) return;
        SDL_Texture*& texture = spriteTextures[n];
        if (!texture) {
            texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ABGR8888, SDL_TEXTUREACCESS_STREAMING, 16, 16);
            if (!texture) return;
            SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
            SDL_SetTextureScaleMode(texture, SDL_ScaleModeNearest);
        }
        SDL_UpdateTexture(texture, nullptr, pixels, 16 * 4);
        if (n % 8) ImGui::SameLine();
        // A grey square under the transparent pen.
        const ImVec2 corner = ImGui::GetCursorScreenPos();
        draw->AddRectFilled(corner, ImVec2(corner.x + 48, corner.y + 48), IM_COL32(80, 80, 80, 255));
        ImGui::Image(static_cast<ImTextureID>(texture), ImVec2(48, 48));
        if (ImGui::IsItemHovered()) ImGui::SetTooltip("sprite %d", n);
    }
}

void drawAyLevels() {
    for (const auto& [key, value] : keyValues(reportAy())) {
        if (key.size() != 7 || key.compare(1, 6, ".level") != 0) continue;
        const int level = std::atoi(value.c_str());
        ImGui::Text("%c", key[0]);
        ImGui::SameLine();
        char overlay[8];
        std::snprintf(overlay, sizeof overlay, "%d", level);
        ImGui::ProgressBar(float(level) / 15.0f, ImVec2(-1, 0), overlay);
    }
}

}  // namespace

void drawChipPane(bool live, SDL_Renderer* renderer) {
    pane("Chips", 560, 510, 464, 258);
    if (!live) {
        runningNote();
        ImGui::End();
        return;
    }
    if (ImGui::BeginTabBar("chips")) {
        if (ImGui::BeginTabItem("CRTC")) {
            drawReport(reportCrtc());
            ImGui::EndTabItem();
        }
        if (ImGui::BeginTabItem("Gate array")) {
            drawReport(reportGateArray());
            ImGui::EndTabItem();
        }
        if (ImGui::BeginTabItem("ASIC")) {
            drawSprites(renderer);
            drawReport(reportAsic());
            ImGui::EndTabItem();
        }
        if (ImGui::BeginTabItem("AY")) {
            drawAyLevels();
            drawReport(reportAy());
            ImGui::EndTabItem();
        }
        if (ImGui::BeginTabItem("PPI")) {
            drawReport(reportPpi());
            ImGui::EndTabItem();
        }
        if (ImGui::BeginTabItem("FDC")) {
            drawReport(reportFdc());
            ImGui::EndTabItem();
        }
        if (ImGui::BeginTabItem("Tape")) {
            drawReport(reportTape());
            ImGui::EndTabItem();
        }
        ImGui::EndTabBar();
    }
    ImGui::End();
}

void forgetPaneTextures() {
    for (SDL_Texture*& texture : spriteTextures) {
        if (texture) SDL_DestroyTexture(texture);
        texture = nullptr;
    }
}
