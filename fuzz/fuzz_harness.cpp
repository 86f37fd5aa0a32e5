#include "fuzz_harness.h"

#include <SDL.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "disk/fdc765.h"
#include "frontend/autorun.h"
#include "frontend/frontend_services.h"
#include "frontend/media_loader.h"
#include "frontend/media_tape.h"
#include "frontend/window.h"
#include "machine/base_path.h"
#include "machine/config.h"
#include "machine/cpc.h"
#include "machine/cpu.h"
#include "machine/emulation_thread.h"
#include "machine/media_kind.h"
#include "machine/memory.h"
#include "machine/model.h"
#include "machine/text_buffers.h"
#include "machine/timed_actions.h"
#include "sound/audio_output.h"
#include "tape/tape_drive.h"
#include "tape/tape_index.h"
#include "tape/tape_pulse_builder.h"
#include "z80/z80cpu.h"

namespace {

std::string home;

void quietLog(void*, int, SDL_LogPriority, const char*) {}

// Exit code the smoke tests take as "skipped".
constexpr int kSkipped = 77;

void buildDefaultMachine() {
    cpcType = CPC6128;
    cpcLang = LangUK;
    crtcType = 0;
    if (!startCPC()) {
        std::fprintf(stderr, "fuzz: the CPC 6128 cannot be built from %s/ROM\n", home.c_str());
        std::exit(kSkipped);
    }
    run();
}

void initialise() {
    if (!home.empty()) return;
    std::string roms = std::string(KESTRIX_SHARED_DIR) + "/roms";
    struct stat st {};
    if (stat(roms.c_str(), &st) != 0) {
        std::fprintf(stderr, "fuzz: shared ROM images not found at %s, nothing to run\n", roms.c_str());
        std::exit(kSkipped);
    }
    char pattern[] = "/tmp/kestrix-fuzz-XXXXXX";
    if (!mkdtemp(pattern)) std::exit(1);
    home = pattern;
    if (symlink(roms.c_str(), (home + "/ROM").c_str()) != 0) std::exit(1);
    setenv("KESTRIX_HOME", home.c_str(), 1);
    if (!std::getenv("KESTRIX_FUZZ_LOG")) SDL_LogSetOutputFunction(quietLog, nullptr);
    headlessMode = true;
    allocateTextBuffers();
    initBasePath();
    beginCPC();
    if (!SDL_beginHeadless()) std::exit(1);
    disable_sound();
    running = 0;
    cpcIsRunning = 0;
    buildDefaultMachine();
    installFrontendServices();
    // The firmware up and waiting, as when a user drops a file.
    for (int i = 0; i < 60; ++i) runOneFrame();
}

void frames(int n) {
    for (int i = 0; i < n && running; ++i) runOneFrame();
}

// Timers that fall due meanwhile (the delayed disk load) run; no frames.
void letTimePass(uint32_t ms) { advanceEmulatedTime(ms * 1000); }

// --- the controller, as the disk ROM drives it -------------------------------

uint8_t fdcAccess(uint16_t port, bool write, uint8_t value) {
    uint16_t address = cpu->addressBus;
    uint8_t data = cpu->dataBus;
    bool rd = cpu->rd, wr = cpu->wr;
    cpu->addressBus = port;
    cpu->dataBus = value;
    cpu->rd = !write;
    cpu->wr = write;
    fdc->enable();
    uint8_t result = cpu->dataBus;
    cpu->addressBus = address;
    cpu->dataBus = data;
    cpu->rd = rd;
    cpu->wr = wr;
    return result;
}

void tick(uint32_t microseconds) {
    for (uint32_t i = 0; i < microseconds; ++i) {
        fdc->clock();
        fd0->clock();
        fd1->clock();
    }
}

bool waitForRequest(uint32_t timeoutUs) {
    for (uint32_t t = 0; t < timeoutUs; t += 8) {
        if (fdcAccess(0xFB7E, false, 0) & 0x80) return true;
        tick(8);
    }
    return false;
}

// A command, its execution (bytes read as they come) and its result, bounded in time.
void fdcCommand(std::initializer_list<uint8_t> bytes, uint32_t timeoutUs) {
    for (uint8_t b : bytes) {
        if (!waitForRequest(2000)) return;
        if (fdcAccess(0xFB7E, false, 0) & 0x40) return;  // the controller wants to talk, not listen
        fdcAccess(0xFB7F, true, b);
        tick(16);
    }
    std::string got;
    uint32_t t = 0;
    for (; t < timeoutUs; t += 8) {
        uint8_t status = fdcAccess(0xFB7E, false, 0);
        if ((status & 0xC0) == 0xC0) {
            uint8_t byte = fdcAccess(0xFB7F, false, 0);
            char text[8];
            std::snprintf(text, sizeof text, " %02X", byte);
            if (got.size() < 48) got += text;
        } else if ((status & 0xD0) == 0x80) {
            break;  // idle again
        }
        tick(8);
    }
    // KESTRIX_FUZZ_LOG=1 shows what the controller made of the disk.
    SDL_Log("fuzz: command %02X after %u us:%s", *bytes.begin(), t, got.c_str());
}

void exerciseDisk(int unit) {
    if (!fdc || !fd0 || !fd1) return;
    floppyDrive* drive = unit ? fd1 : fd0;
    // The motors stay on from one input to the next: only the first pays the spin-up.
    fd0->start_motor(true);
    fd1->start_motor(true);
    for (uint32_t t = 0; t < 600000 && !drive->ready && drive->diskInserted; t += 64) tick(64);
    // A command cut short by the last input's time limit is not this input's business.
    if ((fdcAccess(0xFB7E, false, 0) & 0xD0) != 0x80)
        fdc->reset(fd0, fdc->units[1]->drive ? fd1 : nullptr, nullptr, nullptr, false);
    uint8_t us = static_cast<uint8_t>(unit & 1);
    constexpr uint32_t kRevolution = 200000;
    fdcCommand({0x07, us}, 20000);  // recalibrate
    fdcCommand({0x08}, 1000);       // sense interrupt status
    fdcCommand({0x4A, us}, kRevolution);  // read ID
    fdcCommand({0x46, us, 0, 0, 0xC1, 2, 0xC9, 0x2A, 0xFF}, kRevolution);  // read data
    fdcCommand({0x0F, us, 2}, 20000);  // seek to track 2
    fdcCommand({0x08}, 1000);
    fdcCommand({0x42, us, 2, 0, 0x01, 2, 0x09, 0x2A, 0xFF}, kRevolution);  // read track
    frames(2);
}

// A fault the loader left in the deck: the input is a finding.
[[noreturn]] void malformed(const char* what) {
    std::fprintf(stderr, "fuzz: the tape loader left %s\n", what);
    std::abort();
}

// Whatever the bytes, a loaded tape is a well-formed table and index.
void checkDeck() {
    if (tableDataPulse) malformed("a table half built");
    if (!tape) return;
    if (uint64_t(tape->pulseCount) > kMaxTapePulses + 16) malformed("more pulses than a tape holds");
    if ((tape->pulses == nullptr) != (tape->pulseCount == 0)) malformed("a pulse count without pulses");
    for (uint32_t i = 0; i < tape->pulseCount; ++i) {
        if (tape->pulses[i].duration < 1 || tape->pulses[i].level > 1) malformed("a pulse of no length or level");
    }
    uint32_t last = 0;
    for (uint32_t i = 0; tapeIndex && i < tapeIndex->cdtNbBlock; ++i) {
        const tapeIndexEntry& e = tapeIndex->entries[i];
        if (e.pulseIndex > tape->pulseCount || e.pulseIndex < last) malformed("an index out of its table");
        last = e.pulseIndex;
        if (e.text && std::strlen(e.text) >= 256) malformed("an unbounded block text");
    }
}

void exerciseTape() {
    checkDeck();
    if (!tape || !tape->pulses) return;
    tape->motorLine = true;
    tape->playPause(true);
    frames(3);
    // The end of the table, where the closing pulses are.
    tape->rewind(tape->pulseCount > 2000 ? tape->pulseCount - 2000 : 0);
    frames(3);
    tape->playPause(false);
}

// Whatever the input changed, the next one starts from the same machine; a
// setting may have changed anything (ROM slots, memory, model), so settings
// rebuild it.
void restore(bool rebuild) {
    clearTimedActions();
    autorunCancel();
    if (fdc) {
        eject_dsk(0, true);
        eject_dsk(1, true);
    }
    if (t_loadeject_cdt) eject_cdt();
    if (rebuild || cpcType != CPC6128 || cpcLang != LangUK || crtcType != 0 || mem->bankCount != 8) {
        stopRun();
        endCPC();
        beginCPC();
        buildDefaultMachine();
    }
    run();
}

std::string writeInput(const char* name, const uint8_t* data, size_t size) {
    std::string path = home + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::exit(1);
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
    return path;
}

}  // namespace

int fuzzMediaFile(const uint8_t* data, size_t size, const char* extension, int unit) {
    initialise();
    std::string path = writeInput((std::string("input.") + extension).c_str(), data, size);
    load_file_snadsk(path.c_str(), unit);
    letTimePass(200);
    const MediaKind* kind = mediaKindOfExtension(extension);
    if (kind && kind->media == MediaClass::Disk) {
        exerciseDisk(unit);
    } else if (kind && kind->media == MediaClass::Tape) {
        exerciseTape();
    } else {
        frames(3);
    }
    restore(false);
    return 0;
}

int fuzzConfigFile(const uint8_t* data, size_t size) {
    initialise();
    writeInput("Kestrix.ini", data, size);
    parseMainConfigFile();
    letTimePass(2500);  // delayed disk loads and autorun typing
    frames(2);
    unlink((home + "/Kestrix.ini").c_str());
    restore(true);
    return 0;
}

int fuzzCommandLine(const uint8_t* data, size_t size) {
    initialise();
    std::vector<std::string> words(1, "kestrix");
    std::string word;
    for (size_t i = 0; i < size && words.size() < 64; ++i) {
        char c = static_cast<char>(data[i]);
        if (c == 0 || c == '\n') {
            words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty() && words.size() < 64) words.push_back(word);
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    parseCommandLine(static_cast<int>(words.size()), argv.data());
    letTimePass(2500);
    frames(2);
    restore(true);
    return 0;
}
