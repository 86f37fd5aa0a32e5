#include "machine/config.h"

#include <SDL.h>
#include <getopt.h>
#include <algorithm>
#include <iterator>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>
#include <cstring>
#include <strings.h>

#include "machine/archive_reader.h"
#include "machine/base_path.h"
#include "machine/cpc.h"
#include "machine/emulation_thread.h"
#include "machine/file_reader.h"
#include "machine/frontend_hooks.h"
#include "machine/keyboard.h"
#include "machine/media_kind.h"
#include "machine/memory.h"
#include "machine/model.h"
#include "machine/safe_file.h"
#include "machine/shared_flag.h"
#include "machine/text_buffers.h"
#include "sound/audio_output.h"
#include "video/monitor.h"

int namedFileFailures = 0;
bool commandLineHelp = false;
std::string cslScriptOption;
bool ssmOption = false;

namespace {

constexpr int64_t kMaxConfigFileSize = 16384;
int nextUromSlot = 0;  // -1 after a refused slot number: the next ROM is not loaded
int badValues = 0;

const char* const kUsageLines[] = {
    "  FILE - a disk (into drive A), tape, snapshot, cartridge, or a zip or gz holding one, loaded by its kind",
    "  -h, --help - see this text ;-)",
    "  -f, --fullscreen",
    "  -w, --windowx - set horizontal x position of principal window",
    "  -z, --windowy - set vertical y position of principal window",
    "  -n, --nosound - disable sound",
    "  -d, --digiblaster - enable digiblaster",
    "  -v, --volsound - volume of the sound (0 (nosound) -> 128 (max volume))",
    "  -j, --joystick - enable joystick",
    "  -x, --scanlines - enable CTM monitor scanlines",
    "  -c, --cpc=464, 664, 6128, 464+, 6128+ or gx4000",
    "  -t, --crtc=0,1,2 or 4",
    "  -m, --mem=memory to allocate in Kilo Bytes",
    "  -0, --dsk0=dsk, hfe, raw or ipf fileName to load in floppy drive unit 0",
    "  -1, --dsk1=dsk, hfe, raw or ipf fileName to load in floppy drive unit 1",
    "  -k, --tape=cdt, csw or wave file to load as k7 in tape player",
    "  -p, --cpr=cartridge file to load for cpc plus or gx4000",
    "  -s, --sna=sna or --snr=snr file to load in memory",
    "  -u, --urom=rom number select",
    "  -r, --rom=rom file to load in rom number selected",
    "  -l, --lrom=rom file to load in low rom (OS)",
    "  -e, --autotape - autoload tape",
    "  -a, --auto=name of the file to autoload",
    "  -g, --gunstick to activate MHT gunStick",
    "      --diskwrite=back, copy or off - what becomes of disks the machine wrote (default back)",
    "      --new-disk=fileName of a blank data disk to create and load in floppy drive unit 0",
    "      --keymap=char or position - type the host's characters or go by key position",
    "      --tape-turbo=on or off - run unpaced while the tape plays (default on)",
    "      --record-wav=WAV file to record the sound into (16-bit stereo), until the end",
    "      --version - print the version",
    "      --csl=FILE - run a CSL script from the start of the machine",
    "      --ssm - SSM codes take screenshots (FFFE) and snapshots (FFFF) without a script",
    "  --headless - run without a window (options below need it)",
    "  --frames=number of frames to run headless",
    "  --screenshot=PNG file written after the headless frames",
    "  --bench - print the emulation speed after the headless frames",
    "  --snapshot=SNA file written after the headless frames",
    "  --bench-skip=number of first frames left out of the --bench timing",
    "  --monitor - debugger commands from standard input, answers on standard output",
    "  --monitor-port=N - the same commands over TCP on 127.0.0.1 port N",
    "  --symbols=FILE - labels for the debugger (NAME EQU value lines), repeatable",
};

// Long options without a short letter; all but --version take an argument.
constexpr int kOptionDiskWrite = 1000;
constexpr int kOptionNewDisk = 1001;
constexpr int kKeymapOption = 1002;
constexpr int kVersionOption = 1003;  // answered before start-up, ignored here
constexpr int kCslOption = 1004;
constexpr int kSsmOption = 1005;
constexpr int kOptionTapeTurbo = 1020;
constexpr int kOptionRecordWav = 1021;

const char kShortOptions[] = "hfw:z:ndv:jxc:t:m:0:1:k:p:s:u:r:l:ea:g";

const option kLongOptions[] = {
    {"help", no_argument, nullptr, 'h'},       {"fullscreen", no_argument, nullptr, 'f'},
    {"windowx", required_argument, nullptr, 'w'}, {"windowy", required_argument, nullptr, 'z'},
    {"nosound", no_argument, nullptr, 'n'},    {"digiblaster", no_argument, nullptr, 'd'},
    {"volsound", required_argument, nullptr, 'v'}, {"joystick", no_argument, nullptr, 'j'},
    {"scanlines", no_argument, nullptr, 'x'},  {"cpc", required_argument, nullptr, 'c'},
    {"crtc", required_argument, nullptr, 't'}, {"mem", required_argument, nullptr, 'm'},
    {"dsk0", required_argument, nullptr, '0'}, {"dsk1", required_argument, nullptr, '1'},
    {"tape", required_argument, nullptr, 'k'}, {"cpr", required_argument, nullptr, 'p'},
    {"sna", required_argument, nullptr, 's'},  {"snr", required_argument, nullptr, 's'},
    {"urom", required_argument, nullptr, 'u'}, {"rom", required_argument, nullptr, 'r'},
    {"lrom", required_argument, nullptr, 'l'}, {"autotape", no_argument, nullptr, 'e'},
    {"auto", required_argument, nullptr, 'a'}, {"gunstick", no_argument, nullptr, 'g'},
    {"diskwrite", required_argument, nullptr, kOptionDiskWrite},
    {"new-disk", required_argument, nullptr, kOptionNewDisk},
    {"keymap", required_argument, nullptr, kKeymapOption},
    {"version", no_argument, nullptr, kVersionOption},
    {"csl", required_argument, nullptr, kCslOption},
    {"ssm", no_argument, nullptr, kSsmOption},
    {"tape-turbo", required_argument, nullptr, kOptionTapeTurbo},
    {"record-wav", required_argument, nullptr, kOptionRecordWav},
    {nullptr, 0, nullptr, 0},
};

// Options whose subsystems exist; the rest are refused like unknown ones.
bool optionAvailable(int c) {
    return c >= kOptionDiskWrite || (c > 0 && c < 128 && std::strchr("hfwzndvjxctm01kspurleag", c));
}

constexpr uint32_t kMediaSettleMs = 500;

// Paths as long as the text buffers would be cut into another file's name.
bool pathFits(const char* name) {
    size_t length = std::strlen(name);
    if (length < kTextBufferSize) return true;
    SDL_Log("config: a file name of %zu characters is longer than %zu, refused", length, kTextBufferSize - 1);
    textShowOSD("\366 File name too long (%zu characters) ! \367", length);
    ++namedFileFailures;
    return false;
}

// Loads a medium named by a setting; disks make sure a controller with both drives exists.
void loadMedia(const char* name, int unit, bool disk) {
    if (!pathFits(name)) return;
    if (disk) withEmulationStopped([] {
        changeCPCFdc(true, 2);
        return 0;
    });
    copyToTextBuffer(fullFileNameStr, name);
    if (!frontendHooks.loadMediaFile(fullFileNameStr, unit)) ++namedFileFailures;
    // A window's timers load the disk meanwhile; headless, they follow emulated time.
    if (!headlessMode) SDL_Delay(kMediaSettleMs);
}

// Length of the valid UTF-8 sequence of two or more bytes at `p`, or 0.
size_t utf8SequenceLength(const uint8_t* p) {
    size_t n = p[0] >= 0xF0 && p[0] <= 0xF4 ? 4 : p[0] >= 0xE0 ? 3 : p[0] >= 0xC2 && p[0] <= 0xDF ? 2 : 0;
    if (p[0] > 0xF4) return 0;
    for (size_t k = 1; k < n; ++k) {
        if ((p[k] & 0xC0) != 0x80) return 0;
    }
    if (n == 3 && ((p[0] == 0xE0 && p[1] < 0xA0) || (p[0] == 0xED && p[1] >= 0xA0))) return 0;
    if (n == 4 && ((p[0] == 0xF0 && p[1] < 0x90) || (p[0] == 0xF4 && p[1] >= 0x90))) return 0;
    return n;
}

// File names in the configuration file may be Latin-1: each byte from 80h up
// that is not part of a valid UTF-8 sequence gets a C2h before it.
bool latin1FileName(const char* in, char* out) {
    size_t o = 0;
    const auto* bytes = reinterpret_cast<const uint8_t*>(in);
    for (size_t i = 0; bytes[i];) {
        size_t n = bytes[i] >= 0x80 ? utf8SequenceLength(bytes + i) : 1;
        size_t need = n ? n : 2;
        if (o + need >= kTextBufferSize) {
            out[0] = 0;
            SDL_Log("config: the file name %s is too long once converted, refused", in);
            textShowOSD("\366 File name too long ! \367");
            ++namedFileFailures;
            return false;
        }
        if (!n) {
            out[o++] = static_cast<char>(0xC2);
            out[o++] = static_cast<char>(bytes[i++]);
            continue;
        }
        for (size_t k = 0; k < n; ++k) out[o++] = static_cast<char>(bytes[i++]);
    }
    out[o] = 0;
    return true;
}

void configDirectory(char* target, const char* value) {
    if (!target) return;
    copyToTextBuffer(target, value);
    size_t n = std::strlen(target);
    if (n > 1 && target[n - 1] != '/' && target[n - 1] != '\\' && n + 1 < kTextBufferSize) {
        target[n] = '/';
        target[n + 1] = 0;
    }
    if (!directoryTestExist(target)) target[0] = 0;
}

// A whole decimal number within [low, high]; anything else is refused with a message.
bool numberInRange(const char* what, const char* text, long low, long high, long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    if (end == text || *end || errno || value < low || value > high) {
        SDL_Log("config: %s '%s' is not a number from %ld to %ld, refused", what, text, low, high);
        textShowOSD("\366 %s %s refused ! \367", what, text);
        ++badValues;
        return false;
    }
    return true;
}

constexpr long kMaxMemoryKb = 4160;  // 64 KB and the largest expansion

void applyVolumeText(const char* text) {
    long value;
    if (numberInRange("volume", text, 0, 128, value)) CPC_audio_volume = static_cast<float>(value) / 128.0f;
}

// A setting's value that is not one of its own: said, and counted as a bad value.
bool refuseValue(const char* what, const char* text, const char* allowed) {
    SDL_Log("config: %s '%s' is not %s, refused", what, text, allowed);
    textShowOSD("\366 %s %s refused ! \367", what, text);
    ++badValues;
    return false;
}

bool applyTapeTurboText(const char* text) {
    if (strcasecmp(text, "on") != 0 && strcasecmp(text, "off") != 0) return refuseValue("tape turbo", text, "on or off");
    tapeTurbo = strcasecmp(text, "on") == 0;
    return true;
}

void applyMemoryText(const char* text) {
    long value;
    if (!numberInRange("memory size", text, 0, kMaxMemoryKb, value)) return;
    // Only the sizes of real expansions: any other would be rounded up without a word.
    static const long kSizes[] = {64, 128, 320, 576, 1088, 2112, 4160};
    if (std::find(std::begin(kSizes), std::end(kSizes), value) == std::end(kSizes)) {
        refuseValue("memory size", text, "64, 128, 320, 576, 1088, 2112 or 4160");
        return;
    }
    // A model change earlier in the settings has the emulation running again.
    withEmulationStopped([value] {
        changeCPCMemory(static_cast<uint16_t>(value));
        return 0;
    });
}

// An autorun text is typed whole or not at all: too long or with a character
// no key types, it is refused.
bool autorunTextTypable(const char* text) {
    size_t length = std::strlen(text);
    if (length > kAutorunMaxChars) {
        SDL_Log("config: an autorun text of %zu characters is longer than %u, refused", length,
                unsigned{kAutorunMaxChars});
        textShowOSD("\366 Autorun text too long (%zu characters) ! \367", length);
        ++badValues;
        return false;
    }
    for (size_t i = 0; cPCKeyBoard && i < length; ++i) {
        uint8_t c = static_cast<uint8_t>(text[i]);
        if (c == '\r' || c == '\n' || (cPCKeyBoard->mapAutorunKeyToCpcKey(c) & 0xFF)) continue;
        SDL_Log("config: autorun character %u at %zu cannot be typed, text refused", c, i);
        textShowOSD("\366 Autorun text: character %u cannot be typed ! \367", c);
        ++badValues;
        return false;
    }
    return true;
}

// A medium given to an option of one kind of media must be of that kind.
bool mediaOfClass(const char* name, MediaClass wanted, const char* option) {
    // A name of no known kind is left to the loader, which says what it finds.
    const MediaKind* kind = mediaKindOfPath(name);
    if (!kind || kind->media == wanted) return true;
    SDL_Log("option %s: %s is not a file of that kind, refused", option, name);
    textShowOSD("\366 %s: wrong kind of file for %s ! \367", fileNamePart(name), option);
    ++badValues;
    return false;
}

void applyRomSlotText(const char* text) {
    long value;
    nextUromSlot = numberInRange("ROM slot", text, 0, 255, value) ? static_cast<int>(value) : -1;
}

// A ROM file must hold a whole 16 KB bank; say why one is not taken.
bool romFileUsable(const char* file) {
    if (!pathFits(file)) return false;
    int64_t length = SDL_OpenFile(file);
    const char* problem = length > 0 ? nullptr : cPCFile ? "is empty" : fileOpenProblem();
    SDL_CloseFile();
    if (!problem && length < memory::kBankSize) problem = "is shorter than 16 KB";
    if (!problem) return true;
    SDL_Log("config: ROM file %s %s, ignored", file, problem);
    textShowOSD("\366 ROM %s %s ! \367", fileNamePart(file), problem);
    ++namedFileFailures;
    return false;
}

void loadUrom(const char* file) {
    if (nextUromSlot < 0) {
        // Slot 0 would replace BASIC.
        SDL_Log("config: ROM file %s not loaded, its slot number was refused", file);
        ++namedFileFailures;
    } else if (romFileUsable(file)) {
        withEmulationStopped([file] { return readFileUrom(file, static_cast<uint8_t>(nextUromSlot)); });
    }
    nextUromSlot = 0;
}

void loadLrom(const char* file) {
    if (romFileUsable(file)) withEmulationStopped([file] { return SDL_readFileLrom(file); });
}

// Keys are whole words: "cpcx" is not "cpc".
bool keyIs(const char* key, const char* name) { return strcasecmp(key, name) == 0; }

void applyConfigLine(char* line, bool& skipping) {
    while (*line == ' ') ++line;
    if (!*line || *line == ';' || *line == '[') return;
    // A value may hold "=" itself (a file name): the key ends at the first one.
    char* eq = std::strchr(line, '=');
    if (!eq) return;
    *eq = 0;
    const char* key = line;
    const char* value = eq + 1;
    if (keyIs(key, "default")) {
        skipping = *value && (value[0] == 'y' || value[0] == 'Y');
        return;
    }
    if (skipping || !*value) return;
    char first = static_cast<char>(value[0] | 0x20);
    if (keyIs(key, "cpc") && !chooseCPCType(value))
        refuseValue("model", value, "464, 664, 6128, 464+, 6128+ or gx4000");
    if (keyIs(key, "lang")) {
        uint8_t lang = LangUK;
        if (strcasecmp(value, "fr") == 0) lang = LangFrench;
        else if (strcasecmp(value, "es") == 0) lang = LangSpanish;
        else if (strcasecmp(value, "dk") == 0) lang = LangDanish;
        else if (strcasecmp(value, "uk") != 0 && strcasecmp(value, "en") != 0)
            refuseValue("language", value, "uk, fr, es or dk");
        changeCPCLang(lang, true);
    }
    const bool crtcValue = value[0] >= '0' && value[0] <= '2' && !value[1];
    if (keyIs(key, "crtc") && !crtcValue) refuseValue("CRTC type", value, "0, 1 or 2");
    if (keyIs(key, "crtc") && crtcValue) {
        // The Plus takes type 3 only, as with -t.
        crtcType = isPlusModel(cpcType) ? 3 : static_cast<uint8_t>(value[0] - '0');
        changeCrtcType();
    }
    if (keyIs(key, "mem")) applyMemoryText(value);
    if (keyIs(key, "nrom")) applyRomSlotText(value);
    if (keyIs(key, "urom")) loadUrom(value);
    if (keyIs(key, "lrom")) loadLrom(value);
    if (keyIs(key, "sound") && first == 'n') endisable_sound();
    if (keyIs(key, "digib")) digiBlaster = first == 'y';
    if (keyIs(key, "volsound")) applyVolumeText(value);
    if (keyIs(key, "scanl")) {
        storeFlag(t_scanlines, first != 'y');
        frontendHooks.redrawMonitorIcons();
    }
    if (keyIs(key, "fullscreen") && first == 'y') frontendHooks.setFullscreen();
    if (keyIs(key, "filepathscr")) configDirectory(defaultFilePathSCR, value);
    if (keyIs(key, "filepathsna")) configDirectory(defaultFilePathSNA, value);
    char name[kTextBufferSize];
    if (keyIs(key, "dsk0") || keyIs(key, "dsk1")) {
        if (latin1FileName(value, name)) loadMedia(name, key[3] == '1' ? 1 : 0, true);
    }
    for (const char* mediaKey : {"cdt", "sna", "snr", "cpr"}) {
        if (keyIs(key, mediaKey)) {
            if (latin1FileName(value, name)) loadMedia(name, 1, false);
        }
    }
    if (keyIs(key, "diskwrite")) frontendHooks.setDiskWritePolicy(value);
    if (keyIs(key, "auto") && autorunTextTypable(value)) frontendHooks.startTextAutorun(value);
    if (keyIs(key, "winx")) frontendHooks.setWindowX(std::atoi(value));
    if (keyIs(key, "winy")) frontendHooks.setWindowY(std::atoi(value));
    if (keyIs(key, "joystick") && first == 'y') frontendHooks.enableJoystick();
    if (keyIs(key, "gunstick") && (strcasecmp(value, "y") == 0 || strcasecmp(value, "yes") == 0)) {
        frontendHooks.enableGunStick();
    }
    if (keyIs(key, "keymap") && !frontendHooks.setKeymap(value)) refuseValue("keymap", value, "char or position");
    if (keyIs(key, "tapeturbo")) applyTapeTurboText(value);
}

}  // namespace

void printUsage(const char* programName) {
    SDL_Log("Usage: %s [options] [FILE...]", programName ? programName : "kestrix");
    SDL_Log("[options] are :");
    for (const char* line : kUsageLines) SDL_Log("%s", line);
}

void printHelp(const char* programName) {
    std::printf("Usage: %s [options] [FILE...]\n[options] are :\n", programName ? programName : "kestrix");
    for (const char* line : kUsageLines) std::printf("%s\n", line);
    std::fflush(stdout);
}

EarlyRequest earlyCommandLineRequest(int argc, char** argv) {
    // The same reading as parseCommandLine, so "-a -h" stays an autorun name;
    // on a copy, since getopt reorders what it reads.
    std::vector<char*> words(argv, argv + argc);
    words.push_back(nullptr);
    optind = 0;
    opterr = 0;
    EarlyRequest request = EarlyRequest::None;
    while (request == EarlyRequest::None) {
        int c = getopt_long(argc, words.data(), kShortOptions, kLongOptions, nullptr);
        if (c == -1) break;
        if (c == 'h') request = EarlyRequest::Help;
        if (c == kVersionOption) request = EarlyRequest::Version;
    }
    optind = 0;
    return request;
}

bool applyCrtcTypeText(const char* text) {
    // The usage text offers 4, so 4 is accepted along with 0..3.
    if (!text || std::strlen(text) != 1 || text[0] < '0' || text[0] > '4') {
        SDL_Log(" changeCRTCType: Unknown CRTC %s", text ? text : "");
        return false;
    }
    uint8_t type = static_cast<uint8_t>(text[0] - '0');
    // Type 3 exists only on the Plus and the Plus takes no other.
    if (isPlusModel(cpcType)) type = 3;
    else if (type == 3) type = 4;
    crtcType = type;
    changeCrtcType();
    return true;
}

namespace {

std::string mainConfigPath() {
    char path[kTextBufferSize];
    buildBasePath(path, "", "Kestrix.ini");
    return path;
}

// The file's lines, without their ends; empty when it is absent or too large.
std::vector<std::string> mainConfigLines() {
    std::vector<std::string> lines;
    const std::string path = mainConfigPath();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return lines;
    std::string text(kMaxConfigFileSize + 1, 0);
    text.resize(std::fread(text.data(), 1, text.size(), file));
    std::fclose(file);
    if (text.size() > static_cast<size_t>(kMaxConfigFileSize)) return lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 1;
        if (end < text.size() && text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
    }
    return lines;
}

// Where the line sets `key` (spaces before it allowed), its value.
const char* lineValue(const std::string& line, const char* key) {
    size_t start = line.find_first_not_of(' ');
    size_t eq = line.find('=');
    if (start == std::string::npos || eq == std::string::npos || eq < start) return nullptr;
    if (strncasecmp(line.c_str() + start, key, eq - start) != 0 || std::strlen(key) != eq - start) return nullptr;
    return line.c_str() + eq + 1;
}

}  // namespace

std::string mainConfigValue(const char* key) {
    for (const std::string& line : mainConfigLines()) {
        if (const char* value = lineValue(line, key)) return value;
    }
    return {};
}

bool setMainConfigValue(const char* key, const std::string& value) {
    if (value.find_first_of("\r\n") != std::string::npos) return false;
    std::vector<std::string> lines = mainConfigLines();
    const std::string line = std::string(key) + "=" + value;
    bool replaced = false;
    for (std::string& old : lines) {
        if (!replaced && lineValue(old, key)) {
            old = line;
            replaced = true;
        }
    }
    if (!replaced) lines.push_back(line);
    std::string text;
    for (const std::string& l : lines) text += l + "\n";
    if (text.size() > static_cast<size_t>(kMaxConfigFileSize)) return false;
    // A failed write leaves the old settings.
    std::string error;
    if (writeFileSafely(mainConfigPath(), std::vector<uint8_t>(text.begin(), text.end()), true, error)) return true;
    SDL_Log("config: Kestrix.ini not written: %s", error.c_str());
    return false;
}

bool parseMainConfigFile() {
    nextUromSlot = 0;
    char path[kTextBufferSize];
    buildBasePath(path, "", "Kestrix.ini");
    int64_t length = SDL_OpenFile(path);
    if (length <= 0) {
        SDL_CloseFile();
        return true;
    }
    badValues = 0;
    char text[kMaxConfigFileSize + 1];
    if (length > kMaxConfigFileSize) {
        // The first 16 KB are read up to their last whole line: a line cut short could name another file.
        readBlock(text, kMaxConfigFileSize);
        int64_t whole = kMaxConfigFileSize;
        while (whole > 0 && text[whole - 1] != '\n' && text[whole - 1] != '\r') --whole;
        SDL_Log("config: %s is %lld bytes, more than 16 KB: only its first %lld bytes are read", path,
                static_cast<long long>(length), static_cast<long long>(whole));
        textShowOSD("\366 Kestrix.ini over 16 KB: the rest is ignored ! \367");
        ++namedFileFailures;
        length = whole;
    } else {
        readBlock(text, length);
    }
    SDL_CloseFile();
    text[length] = 0;

    bool skipping = false;
    char line[kTextBufferSize];
    int64_t pos = 0;
    while (pos < length) {
        int64_t end = pos;
        while (end < length && text[end] != '\r' && text[end] != '\n' && text[end] != 0) ++end;
        int64_t n = end - pos;
        if (n > static_cast<int64_t>(kTextBufferSize) - 1) {
            // Cutting it could name another file.
            SDL_Log("config: a line of %lld characters is longer than %zu, refused", static_cast<long long>(n),
                    kTextBufferSize - 1);
            textShowOSD("\366 Kestrix.ini line too long ! \367");
            ++namedFileFailures;
        } else {
            std::memcpy(line, text + pos, static_cast<size_t>(n));
            line[n] = 0;
            applyConfigLine(line, skipping);
        }
        pos = end + 1;
        if (end < length && text[end] == '\r' && pos < length && text[pos] == '\n') ++pos;
    }
    // Bad values in the file are a failed start for a script, as a missing file is.
    if (badValues) {
        SDL_Log("config: %s has %d refused value(s)", path, badValues);
        namedFileFailures += badValues;
        badValues = 0;
    }
    return true;
}

namespace {

// Arguments that are no option: files, each loaded by its extension as a dropped file is.
bool takeFileArguments(int argc, char** argv) {
    for (int i = optind; i < argc; ++i) {
        const MediaKind* kind = mediaKindOfPath(argv[i]);
        if (!kind && isArchivePath(argv[i])) {
            // The image inside decides what it is; a disk goes into drive A.
            loadMedia(argv[i], 0, false);
            continue;
        }
        if (!kind) {
            SDL_Log("argument[%d] %s is neither an option nor a file of a known kind - refused\n\n", i, argv[i]);
            textShowOSD("\366 %s: unknown kind of file ! \367", fileNamePart(argv[i]));
            if (headlessMode) {
                printUsage(argv[0]);
                return false;
            }
            continue;
        }
        loadMedia(argv[i], kind->media == MediaClass::Disk ? 0 : 1, kind->media == MediaClass::Disk);
    }
    return true;
}

}  // namespace

bool parseCommandLine(int argc, char** argv) {
    nextUromSlot = 0;
    commandLineHelp = false;
    badValues = 0;
    optind = 0;  // 0 makes glibc forget the state of an earlier parse
    opterr = 0;
    for (;;) {
        int longIndex = -1;
        int position = optind ? optind : 1;  // 0 before the first call
        int c = getopt_long(argc, argv, kShortOptions, kLongOptions, &longIndex);
        if (c == -1) return takeFileArguments(argc, argv);
        if (c != '?' && c != ':' && !optionAvailable(c)) c = '?';
        if (c == '?' || c == ':') {
            const char* word = position < argc ? argv[position] : "";
            if (std::strncmp(word, "--", 2) == 0) {
                const char* name = word + 2;
                const char* eq = std::strchr(name, '=');
                std::string_view key(name, eq ? static_cast<size_t>(eq - name) : std::strlen(name));
                const option* known = nullptr;
                for (const option* o = kLongOptions; o->name; ++o) {
                    if (key == o->name) known = o;
                }
                if (known && known->has_arg == required_argument && !eq) {
                    SDL_Log("option --%s requires an argument\n\n", known->name);
                } else {
                    SDL_Log("option --%s=%s is invalid - ignored\n\n", std::string(key).c_str(), eq ? eq + 1 : "");
                }
            } else if (optopt > 32 && optopt < 127) {
                SDL_Log("option[%d] -%c is invalid or missing an argument - ignored\n\n", position, optopt);
            } else {
                SDL_Log("option[%d] %s is unknown - ignored\n\n", position, word);
            }
            printUsage(argv[0]);
            return false;
        }
        if (c == 'h') {
            commandLineHelp = true;
            printUsage(argv[0]);
            return false;
        }
        const char* arg = optarg;
        bool applyCrtcTypeOk = true;
        bool needsArgument =
            (c >= kOptionDiskWrite && c != kVersionOption && c != kSsmOption) || std::strchr("wzvctm01kpsurla", c) != nullptr;
        if (needsArgument && (!arg || !*arg || std::strcmp(arg, "=") == 0)) {
            SDL_Log("option[%d] %s is missing an argument\n\n", position, argv[position < argc ? position : argc - 1]);
            if (headlessMode) printUsage(argv[0]);
            return false;
        }
        switch (c) {
            case 'c': if (!chooseCPCType(arg)) ++badValues; break;
            case 't': applyCrtcTypeOk = applyCrtcTypeText(arg); break;
            case 'm': applyMemoryText(arg); break;
            case 'u': applyRomSlotText(arg); break;
            case 'r': loadUrom(arg); break;
            case 'l': loadLrom(arg); break;
            case 'f': frontendHooks.setFullscreen(); break;
            case 'w': frontendHooks.setWindowX(std::atoi(arg)); break;
            case 'z': frontendHooks.setWindowY(std::atoi(arg)); break;
            case 'x':
                storeFlag(t_scanlines, !loadFlag(t_scanlines));
                frontendHooks.redrawMonitorIcons();
                break;
            case '0': loadMedia(arg, 0, true); break;
            case '1': loadMedia(arg, 1, true); break;
            case 'k':
            case 's':
            case 'p': {
                const MediaClass wanted =
                    c == 'k' ? MediaClass::Tape : c == 's' ? MediaClass::Snapshot : MediaClass::Cartridge;
                const char* option = c == 'k' ? "-k" : c == 's' ? "-s" : "-p";
                if (mediaOfClass(arg, wanted, option)) loadMedia(arg, 1, false);
                break;
            }
            case 'e': frontendHooks.startTapeAutorun(); break;
            case 'a':
                if (autorunTextTypable(arg)) frontendHooks.startTextAutorun(arg);
                break;
            case 'n': endisable_sound(); break;
            case 'd': digiBlaster = true; break;
            case 'v': applyVolumeText(arg); break;
            case kOptionDiskWrite:
                if (!frontendHooks.setDiskWritePolicy(arg)) {
                    SDL_Log("option --diskwrite=%s is invalid - ignored\n\n", arg);
                    printUsage(argv[0]);
                    return false;
                }
                break;
            case kOptionNewDisk:
                if (frontendHooks.createNewDisk(arg)) loadMedia(arg, 0, true);
                break;
            case 'j': frontendHooks.enableJoystick(); break;
            case 'g': frontendHooks.enableGunStick(); break;
            case kKeymapOption:
                if (!frontendHooks.setKeymap(arg)) refuseValue("keymap", arg, "char or position");
                break;
            case kCslOption: cslScriptOption = arg; break;
            case kSsmOption: ssmOption = true; break;
            case kOptionTapeTurbo: applyTapeTurboText(arg); break;
            case kOptionRecordWav:
                if (pathFits(arg) && !frontendHooks.startWavRecording(arg)) ++namedFileFailures;
                break;
            default: break;
        }
        if (c == 't' && !applyCrtcTypeOk) ++badValues;
        // Scripts must not get a run that ignored what they asked for.
        if (badValues && headlessMode) {
            printUsage(argv[0]);
            return false;
        }
    }
}
