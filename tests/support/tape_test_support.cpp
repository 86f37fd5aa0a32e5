#include "support/tape_test_support.h"

#include <SDL.h>
#include <stdlib.h>
#include <zlib.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "frontend/media_tape.h"
#include "machine/emulation_thread.h"
#include "machine/file_reader.h"
#include "machine/frontend_hooks.h"
#include "machine/keyboard.h"
#include "machine/model.h"
#include "machine/text_buffers.h"
#include "machine/timed_actions.h"
#include "tape/tape_cdt.h"
#include "tape/tape_csw.h"
#include "tape/tape_drive.h"
#include "tape/tape_wav.h"

namespace fs = std::filesystem;

void TapeDeckTest::SetUp() {
    headlessMode = true;
    clearTimedActions();
    if (!textOSD) allocateTextBuffers();
    if (!tapeIndex) tapeIndex = new tapeBlockIndex();
    if (!tape) tape = new tapeDrive();
    if (!cPCKeyBoard) cPCKeyBoard = new keyboard();
    cPCKeyBoard->reset();
    tape->init(false, false, false);
    resetTapeCounter();
    t_loadeject_cdt = false;
    cpcType = CPC464;
    cpcLang = LangUK;
    running = 0;
}

void TapeDeckTest::TearDown() {
    advanceEmulatedTime(10000000);  // a flip lock or typing left by a test ends
    clearTimedActions();
    SDL_CloseFile();
    tape->init(false, false, false);
    t_loadeject_cdt = false;
    frontendHooks.showTapeBlockText = FrontendHooks{}.showTapeBlockText;
    frontendHooks.redrawTapePlayIcon = FrontendHooks{}.redrawTapePlayIcon;
    frontendHooks.redrawTapeRewindIcon = FrontendHooks{}.redrawTapeRewindIcon;
    headlessMode = false;
}

void TapeDeckTest::run(uint64_t microseconds) {
    for (uint64_t i = 0; i < microseconds; ++i) tape->read();
}

int TapeDeckTest::load(const std::string& name, const Bytes& image) {
    const char ext = name.size() > 2 ? name[name.size() - 2] : 0;  // cdT, csW, waV
    return loadTapeImage(scratch.write(name, image), ext == 'd' ? 'c' : ext == 's' ? 's' : 'w');
}

int loadTapeImage(const std::string& path, char kind) {
    int64_t length = SDL_OpenFile(path.c_str());
    int result = 0;
    switch (kind) {
        case 'c': result = fileCDT(path.c_str(), length); break;
        case 's': result = fileCSW(length); break;
        case 'w': result = fileWAVE(path.c_str()); break;
        default: break;
    }
    SDL_CloseFile();
    return result;
}

std::vector<tapePulse> deckPulses() {
    if (!tape->pulses) return {};
    return std::vector<tapePulse>(tape->pulses, tape->pulses + tape->pulseCount);
}

static void putLittleEndian(Bytes& b, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
void putU16(Bytes& b, uint32_t v) { putLittleEndian(b, v, 2); }
void putU24(Bytes& b, uint32_t v) { putLittleEndian(b, v, 3); }
void putU32(Bytes& b, uint32_t v) { putLittleEndian(b, v, 4); }
void putText(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes b;
    for (const Bytes& p : parts) b.insert(b.end(), p.begin(), p.end());
    return b;
}

Bytes zlibPacked(const Bytes& raw) {
    uLongf length = compressBound(static_cast<uLong>(raw.size()));
    Bytes packed(length);
    compress2(packed.data(), &length, raw.data(), static_cast<uLong>(raw.size()), 9);
    packed.resize(length);
    return packed;
}

Bytes cdtHeader() {
    Bytes b;
    putText(b, "ZXTape!");
    b.push_back(0x1A);
    b.push_back(1);
    b.push_back(20);
    return b;
}

Bytes cdtStandardBlock(const Bytes& data, uint16_t pauseMs) {
    Bytes b{0x10};
    putU16(b, pauseMs);
    putU16(b, static_cast<uint32_t>(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

Bytes cdtTurboBlock(const Bytes& data, uint8_t usedBits, uint16_t pauseMs, uint16_t pilots) {
    Bytes b{0x11};
    putU16(b, 2000);  // pilot
    putU16(b, 1000);  // sync 1
    putU16(b, 1000);  // sync 2
    putU16(b, 1000);  // zero bit
    putU16(b, 2000);  // one bit
    putU16(b, pilots);
    b.push_back(usedBits);
    putU16(b, pauseMs);
    putU24(b, static_cast<uint32_t>(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

namespace {

// Pulse edges on a sample grid: the number of samples each pulse covers.
std::vector<uint32_t> sampleRuns(const std::vector<tapePulse>& pulses, uint32_t rate) {
    std::vector<uint32_t> runs;
    double t = 0;
    uint64_t lastEdge = 0;
    for (const tapePulse& p : pulses) {
        t += p.duration;
        auto edge = static_cast<uint64_t>(std::llround(t * rate / 1e6));
        runs.push_back(static_cast<uint32_t>(edge - lastEdge));
        lastEdge = edge;
    }
    return runs;
}

}  // namespace

Bytes wavHeader(uint32_t rate, uint16_t channels, uint16_t bits, uint32_t dataBytes) {
    uint16_t align = static_cast<uint16_t>(channels * bits / 8);
    Bytes b;
    putText(b, "RIFF");
    putU32(b, 36 + dataBytes);
    putText(b, "WAVEfmt ");
    putU32(b, 16);
    putU16(b, 1);
    putU16(b, channels);
    putU32(b, rate);
    putU32(b, rate * align);
    putU16(b, align);
    putU16(b, bits);
    putText(b, "data");
    putU32(b, dataBytes);
    return b;
}

Bytes wavFromPulses(const std::vector<tapePulse>& pulses, uint32_t rate, int bits, int channels) {
    Bytes samples;
    std::vector<uint32_t> runs = sampleRuns(pulses, rate);
    for (size_t i = 0; i < pulses.size(); ++i) {
        // The loader reads a low sample as level 1.
        bool high = pulses[i].level == 0;
        for (uint32_t s = 0; s < runs[i]; ++s) {
            for (int c = 0; c < channels; ++c) {
                if (bits == 8) {
                    samples.push_back(high ? 0xE0 : 0x20);
                } else {
                    int16_t v = high ? 24000 : -24000;
                    putU16(samples, static_cast<uint16_t>(v));
                }
            }
        }
    }
    Bytes b = wavHeader(rate, static_cast<uint16_t>(channels), static_cast<uint16_t>(bits),
                        static_cast<uint32_t>(samples.size()));
    b.insert(b.end(), samples.begin(), samples.end());
    return b;
}

Bytes cswHeaderV1(uint32_t rate, uint8_t compression, uint8_t flags) {
    Bytes b;
    putText(b, "Compressed Square Wave");
    b.push_back(0x1A);
    b.push_back(1);
    b.push_back(1);
    putU16(b, rate);
    b.push_back(compression);
    b.push_back(flags);
    b.insert(b.end(), 3, 0);
    return b;
}

Bytes cswHeaderV2(uint32_t rate, uint32_t pulses, uint8_t compression, uint8_t flags) {
    Bytes b;
    putText(b, "Compressed Square Wave");
    b.push_back(0x1A);
    b.push_back(2);
    b.push_back(0);
    putU32(b, rate);
    putU32(b, pulses);
    b.push_back(compression);
    b.push_back(flags);
    b.push_back(0);  // no header extension
    putText(b, "kestrix tests   ");
    return b;
}

Bytes cswFromPulses(const std::vector<tapePulse>& pulses, uint32_t rate, int version) {
    Bytes rle;
    std::vector<uint32_t> runs = sampleRuns(pulses, rate);
    // CSW pulses alternate; a pulse at the level of the one before lengthens it.
    std::vector<uint32_t> merged;
    uint8_t lastLevel = 2;
    for (size_t i = 0; i < pulses.size(); ++i) {
        if (pulses[i].level == lastLevel && !merged.empty()) {
            merged.back() += runs[i];
        } else {
            merged.push_back(runs[i]);
        }
        lastLevel = pulses[i].level;
    }
    for (uint32_t n : merged) {
        if (n >= 1 && n <= 255) {
            rle.push_back(static_cast<uint8_t>(n));
        } else {
            rle.push_back(0);
            putU32(rle, n);
        }
    }
    // Flags 0 start the loader at level 1.
    uint8_t flags = pulses.empty() || pulses[0].level ? 0 : 1;
    if (version == 1) {
        Bytes b = cswHeaderV1(rate, 1, flags);
        b.insert(b.end(), rle.begin(), rle.end());
        return b;
    }
    return join({cswHeaderV2(rate, static_cast<uint32_t>(merged.size()), 2, flags), zlibPacked(rle)});
}

std::string pulseText(const std::vector<tapePulse>& pulses, size_t from, size_t count) {
    std::string out;
    for (size_t i = from; i < from + count && i < pulses.size(); ++i) {
        if (!out.empty()) out += ' ';
        out += std::to_string(pulses[i].level) + ":" + std::to_string(pulses[i].duration);
    }
    return out;
}

std::vector<uint64_t> levelRuns(const std::vector<tapePulse>& pulses) {
    std::vector<uint64_t> runs;
    uint8_t last = 2;
    for (const tapePulse& p : pulses) {
        if (p.level == last) {
            runs.back() += p.duration;
        } else {
            runs.push_back(p.duration);
        }
        last = p.level;
    }
    return runs;
}

Bytes cdtOfEveryBlock() {
    Bytes b = cdtHeader();
    auto add = [&](const Bytes& part) { b.insert(b.end(), part.begin(), part.end()); };
    add(cdtStandardBlock({0x00, 1, 2, 3}, 10));
    add(cdtTurboBlock({0x2C, 0x47, 0x61}, 5, 20, 30));
    add({0x12, 0x00, 0x04, 0x20, 0x00});
    add({0x13, 3, 0x10, 0x02, 0x20, 0x03, 0x30, 0x04});
    Bytes pure{0x14};
    putU16(pure, 800);
    putU16(pure, 1600);
    pure.push_back(3);
    putU16(pure, 5);
    putU24(pure, 2);
    add(pure);
    add({0xAA, 0x55});
    Bytes direct{0x15, 0x5E, 0x01, 0x00, 0x00, 8, 3, 0, 0, 0x0F, 0x33, 0xC3};
    add(direct);
    const Bytes packed = zlibPacked({3, 5, 7, 0, 0x20, 0x00, 0x00, 0x00});
    Bytes csw{0x18};
    putU32(csw, static_cast<uint32_t>(10 + packed.size()));
    putU16(csw, 5);
    putU24(csw, 44100);
    csw.push_back(2);
    putU32(csw, 4);
    csw.insert(csw.end(), packed.begin(), packed.end());
    add(csw);
    add({0x19, 4, 0, 0, 0, 1, 2, 3, 4});
    add({0x20, 0x10, 0x00});
    add({0x21, 2, 'G', '1', 0x22, 0x23, 1, 0, 0x24, 2, 0, 0x25, 0x26, 1, 0, 5, 0, 0x27});
    add({0x28, 3, 0, 1, 2, 3, 0x2A, 0, 0, 0, 0, 0x2B, 1, 0, 0, 0, 1});
    add({0x30, 3, 'a', 'b', 'c', 0x31, 2, 2, 'h', 'i'});
    add({0x32, 8, 0, 2, 0x00, 2, 'T', 'i', 0x01, 1, 'P'});
    add({0x33, 1, 0, 0, 0});
    Bytes custom{0x35};
    putText(custom, "POKEs           ");
    putU32(custom, 2);
    putText(custom, "ok");
    add(custom);
    add({0x5A, 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 20});
    return b;
}

std::vector<tapePulse> somePulses() {
    std::vector<tapePulse> p;
    for (int i = 0; i < 300; ++i) p.push_back({uint8_t(i & 1), uint32_t(100 + (i * 37) % 900)});
    p.push_back({0, 20000000});  // a run too long for one RLE byte
    return p;
}

