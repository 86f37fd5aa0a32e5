#include "frontend/media_tape.h"

#include <SDL.h>
#include <cctype>
#include <cstring>
#include <strings.h>

#include "frontend/autorun.h"
#include "machine/base_path.h"
#include "machine/cpc.h"
#include "machine/emulation_thread.h"
#include "machine/file_reader.h"
#include "machine/text_buffers.h"
#include "machine/timed_actions.h"
#include "machine/ui_hooks.h"
#include "tape/tape_cdt.h"
#include "tape/tape_csw.h"
#include "tape/tape_pulse_builder.h"
#include "tape/tape_wav.h"

bool t_loadeject_cdt = false;

namespace {

char tapeDirectory[kTextBufferSize];

char tapeKindOfPath(const char* path) {
    const char* dot = std::strrchr(fileNamePart(path), '.');
    if (!dot || !dot[1]) return 0;
    const char* ext = dot + 1;
    if (strcasecmp(ext, "cdt") == 0 || strcasecmp(ext, "tzx") == 0) return 'c';
    if (strcasecmp(ext, "wav") == 0) return 'w';
    if (strcasecmp(ext, "csw") == 0) return 's';
    return 0;
}

const char* wrongFormatText(char kind) {
    switch (kind) {
        case 'w': return "\366 WAVE has wrong format ! \367";
        case 's': return "\366 CSW has wrong format ! \367";
        default: return "\366 CDT has wrong TZX format ! \367";
    }
}

// --- autorun -------------------------------------------------------------

constexpr uint32_t kTypingAfterPlayMs = 512;
constexpr uint32_t kTapeKeyPeriodMs = kAutorunKeyPeriodMs;
// The prompt for play, any key, and spares; the stored text adds one more.
constexpr int kTapeCommandReturns = 19;

uint32_t pressPlay(uint32_t, void*) {
    if (tape) tape->playPause(true);
    return 0;
}

// --- flipping -------------------------------------------------------------

volatile bool tapeFlipInUse = false;

uint32_t endFlipLock(uint32_t, void*) {
    tapeFlipInUse = false;
    return 0;
}

// The other name of a set at the character after a keyword, or false.
bool flipAt(std::string& name, size_t pos) {
    if (pos >= name.size()) return false;
    char& c = name[pos];
    if (c >= '1' && c <= '6') {
        if (pos + 1 < name.size()) {
            char& letter = name[pos + 1];
            switch (letter) {
                case 'A': letter = 'B'; return true;
                case 'B': letter = 'A'; return true;
                case 'a': letter = 'b'; return true;
                case 'b': letter = 'a'; return true;
                default: break;
            }
        }
        c = static_cast<char>(((c - '1') ^ 1) + '1');
        return true;
    }
    switch (c) {
        case 'A': c = 'B'; return true;
        case 'B': c = 'A'; return true;
        case 'C': c = 'D'; return true;
        case 'D': c = 'C'; return true;
        case 'a': c = 'b'; return true;
        case 'b': c = 'a'; return true;
        case 'c': c = 'd'; return true;
        case 'd': c = 'c'; return true;
        default: return false;
    }
}

}  // namespace

namespace {

void forgetTape() {
    t_loadeject_cdt = false;
    t_led_k7 = false;
    if (fileName_cdt_str) fileName_cdt_str[0] = 0;
    textShowOSD("Tape ejected !");
}

}  // namespace

void eject_cdt() {
    // The deck frees the pulses the emulation thread plays.
    bool wasRunning = running != 0;
    if (wasRunning) stopRun();
    if (tape) tape->eject();
    forgetTape();
    if (wasRunning) run();
}

bool loadeject_cdt(const char* name, char kind) {
    if (cpcType == GX4000 || !tape) {
        if (t_loadeject_cdt) eject_cdt();
        return false;
    }
    int64_t length = cPCFileLength;
    SDL_RewindFile(0);
    tapeImageEmpty = false;
    // A loader empties the deck itself once it takes the file.
    int loaded = 0;
    switch (kind) {
        case 'c': loaded = fileCDT(name, length); break;
        case 'w': loaded = fileWAVE(name); break;
        case 's': loaded = fileCSW(length); break;
        default: break;
    }
    // An image with nothing to play is refused before the deck is touched:
    // the tape in it stays, rather than the user losing it to an empty file.
    if (!loaded && tapeImageEmpty) return false;
    if (t_loadeject_cdt) {
        if (!loaded) tape->eject();
        forgetTape();
    }
    t_loadeject_cdt = loaded != 0;
    if (t_loadeject_cdt && fileName_cdt_str) copyToTextBuffer(fileName_cdt_str, fileNamePart(name));
    return t_loadeject_cdt;
}

bool load_tape_file(const char* path) {
    if (!path) return false;
    bool wasRunning = running != 0;
    if (wasRunning) stopRun();
    SDL_CloseFile();
    char kind = tapeKindOfPath(path);
    SDL_OpenFile(path);
    bool loaded = false;
    if (!cPCFile) {
        textShowOSD("\366 %s %s ! \367", path, fileOpenProblem());
    } else if (!kind) {
        textShowOSD("\366 Warning this file is not recognized (wrong extension) ! \367");
    } else {
        loaded = loadeject_cdt(path, kind);
        if (loaded) {
            size_t dirLength = static_cast<size_t>(fileNamePart(path) - path);
            if (dirLength >= kTextBufferSize) dirLength = kTextBufferSize - 1;
            std::memcpy(tapeDirectory, path, dirLength);
            tapeDirectory[dirLength] = 0;
            if (tableDataPulseCut()) {
                textShowOSD("\366 %s is longer than a tape, cut ! \367", fileNamePart(path));
            } else {
                textShowOSD("%s", fileNamePart(path));
            }
        } else {
            textShowOSD("%s", wrongFormatText(kind));
        }
    }
    SDL_CloseFile();
    if (wasRunning) run();
    return loaded;
}

void autorun_cdt(uint32_t delayMs) {
    if (autorunInProgress()) return;
    // |tape is the disk ROM's: models without a disk interface are on tape already.
    std::string command = fdc ? (cpcLang == LangFrench ? "|tqpe:RUN\"" : "|tape:RUN\"") : "RUN\"";
    command.append(kTapeCommandReturns, '\r');
    setAutorunText(command.c_str());
    scheduleTimedAction(delayMs, pressPlay, nullptr);
    autorun_dsk(delayMs + kTypingAfterPlayMs, kTapeKeyPeriodMs);
}

bool autorunTapeInProgress() { return autorunInProgress(); }

std::vector<std::string> flipSideNameCandidates(const std::string& name) {
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::vector<std::string> candidates;
    for (const char* keyword : {"face ", "side ", "disk "}) {
        for (size_t at = lower.find(keyword); at != std::string::npos; at = lower.find(keyword, at + 1)) {
            std::string changed = name;
            if (flipAt(changed, at + 5)) candidates.push_back(changed);
        }
    }
    return candidates;
}

bool flipTapeSide() {
    if (tapeFlipInUse || !fileName_cdt_str || !fileName_cdt_str[0]) return false;
    tapeFlipInUse = true;
    scheduleTimedAction(1000, endFlipLock, nullptr);
    for (const std::string& candidate : flipSideNameCandidates(fileName_cdt_str)) {
        std::string path = std::string(tapeDirectory) + candidate;
        if (isRegularFile(path.c_str())) return load_tape_file(path.c_str());
    }
    return false;
}
