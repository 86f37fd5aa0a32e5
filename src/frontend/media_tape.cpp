#include "frontend/media_tape.h"

#include <SDL.h>
#include <string>

#include "disk/fdc765.h"
#include "frontend/autorun.h"
#include "frontend/flip_names.h"
#include "frontend/media_loader.h"
#include "machine/base_path.h"
#include "machine/emulation_thread.h"
#include "machine/file_reader.h"
#include "machine/frontend_hooks.h"
#include "machine/media_kind.h"
#include "machine/model.h"
#include "machine/shared_flag.h"
#include "machine/text_buffers.h"
#include "machine/timed_actions.h"
#include "tape/tape_cdt.h"
#include "tape/tape_csw.h"
#include "tape/tape_drive.h"
#include "tape/tape_pulse_builder.h"
#include "tape/tape_wav.h"

bool t_loadeject_cdt = false;

namespace {

char tapeDirectory[kTextBufferSize];

const char* wrongFormatText(char kind) {
    switch (kind) {
        case 'w': return "wrong WAVE format";
        case 's': return "wrong CSW format";
        default: return "wrong TZX format";
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

std::atomic<uint8_t> tapeFlipInUse{0};

uint32_t endFlipLock(uint32_t, void*) {
    storeFlag(tapeFlipInUse, false);
    return 0;
}

void forgetTape() {
    t_loadeject_cdt = false;
    storeFlag(t_led_k7, false);
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
    // An image taken out of an archive goes by its own name.
    const char* inner = memoryFileName(path);
    const MediaKind* media = mediaKindOfPath(inner ? inner : path);
    char kind = media && media->media == MediaClass::Tape ? media->code : 0;
    SDL_OpenFile(path);
    bool loaded = false;
    if (!cPCFile) {
        textShowOSD("\366 %s %s ! \367", path, fileOpenProblem());
    } else if (!kind) {
        textShowOSD("\366 Warning this file is not recognized (wrong extension) ! \367");
    } else {
        loaded = loadeject_cdt(path, kind);
        if (loaded) {
            copyToTextBuffer(tapeDirectory, directoryPart(path).c_str());
            if (tableDataPulseCut()) {
                textShowOSD("\366 %s is longer than a tape, cut ! \367", fileNamePart(path));
            } else {
                textShowOSD("%s", fileNamePart(path));
            }
        } else {
            showFileRefusal(path, wrongFormatText(kind));
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

std::string loadedTapePath() {
    if (!t_loadeject_cdt || !fileName_cdt_str || !fileName_cdt_str[0]) return {};
    return std::string(tapeDirectory) + fileName_cdt_str;
}

bool autorunTapeInProgress() { return autorunInProgress(); }

bool flipTapeSide() {
    if (loadFlag(tapeFlipInUse) || !fileName_cdt_str || !fileName_cdt_str[0]) return false;
    storeFlag(tapeFlipInUse, true);
    scheduleTimedAction(1000, endFlipLock, nullptr);
    std::string other = findOtherSide(tapeDirectory, fileName_cdt_str);
    return !other.empty() && load_tape_file(other.c_str());
}
