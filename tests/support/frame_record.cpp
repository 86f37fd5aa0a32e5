#include "support/frame_record.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <type_traits>

#include "asic/asic.h"
#include "disk/fdc765.h"
#include "frontend/frontend_services.h"
#include "frontend/window.h"
#include "machine/base_path.h"
#include "machine/config.h"
#include "machine/cpc.h"
#include "machine/emulation_thread.h"
#include "machine/keyboard.h"
#include "machine/memory.h"
#include "machine/model.h"
#include "machine/ppi8255.h"
#include "machine/text_buffers.h"
#include "machine/timed_actions.h"
#include "sound/audio_output.h"
#include "sound/ay8910.h"
#include "tape/tape_drive.h"
#include "video/crtc6845.h"
#include "video/monitor.h"

namespace test_support {

namespace {

// A 64-bit multiply-and-fold hash: quick enough for a whole frame buffer a
// frame, and any change of a field changes it.
class Hash {
public:
    uint64_t value = 0xCBF29CE484222325ull;

    template <class... T>
    void operator()(const T&... fields) {
        (field(fields), ...);
    }
    void bytes(const void* data, size_t size) {
        const auto* p = static_cast<const uint8_t*>(data);
        for (; size >= 8; size -= 8, p += 8) {
            uint64_t w;
            std::memcpy(&w, p, 8);
            word(w);
        }
        for (; size; --size) word(*p++);
    }

private:
    void word(uint64_t w) {
        value = (value ^ w) * 0x100000001B3ull;
        value ^= value >> 29;
    }
    template <class T>
    void field(const T& v) {
        if constexpr (std::is_array_v<T>) {
            for (const auto& e : v) field(e);
        } else if constexpr (std::is_floating_point_v<T>) {
            bytes(&v, sizeof v);
        } else {
            static_assert(std::is_integral_v<T> || std::is_enum_v<T>);
            word(static_cast<uint64_t>(v));
        }
    }
};

// Not the WAIT input: the clock passes its level to each T-state without
// writing the pin.
uint64_t z80State() {
    const Z80CPU& c = *cpu;
    Hash h;
    h(c.m1, c.mreq, c.iorq, c.rd, c.wr, c.rfsh, c.halt, c.intLine, c.addressBus, c.dataBus, c.intVector);
    h(c.opcode, c.prefix, c.opY, c.step, c.busRequest, c.operand, c.dataLatch, c.aluResult, c.carryVector,
      c.pairTemp, c.pairWasOne, c.conditionMet, c.afSwapped, c.deHlSwapped, c.deHlSwappedAlt, c.exxSwapped,
      c.ixMode, c.iyMode, c.phase);
    h(c.A, c.F, c.B, c.C, c.D, c.E, c.H, c.L, c.A_, c.F_, c.B_, c.C_, c.D_, c.E_, c.H_, c.L_, c.flagsTouched,
      c.flagsTouchedPrev, c.IXh, c.IXl, c.IYh, c.IYl, c.I, c.R, c.SPh, c.SPl, c.PC, c.WZ, c.WZ_);
    h(c.iff1, c.iff2, c.eiPending, c.intAckPending, c.executing, c.fetching, c.interruptMode);
    return h.value;
}

// Everything but quietChars, which only says how far the clock may count ahead.
uint64_t crtcState() {
    const crtc6845& c = *crtc;
    Hash h;
    h(c.hsync, c.vsync, c.dispen, c.MA, c.RA, c.lpenStrobe, c.MAstart, c.MAnext, c.selectedReg);
    h(c.R0, c.R0half, c.R1, c.R2, c.R3, c.hsyncWidth, c.vsyncWidth, c.R4, c.R5, c.R6, c.R7, c.R8, c.R9, c.R10,
      c.R11, c.R12, c.R13, c.R14, c.R15, c.R16, c.R17, c.skew, c.skewCounter, c.interlace, c.interlaceVideo);
    h(c.C0, c.C3l, c.C4, c.C3h, c.C9, c.C5, c.halfLinePassed, c.hdisp, c.vdisp, c.inAdjust, c.adjustEnd,
      c.lastLine, c.type, c.plusScrollV, c.plusDisplayStart, c.plusSplitLine, c.plusSplitAddress, c.plusLineCounter);
    return h.value;
}

// The chip's own fields and the beam's; not the caches and limits of the fast
// paths, nor pixelColor (only the single-tick routines read it).
uint64_t gateArrayState() {
    const bool plus = isPlusModel(cpcType);
    const gaCPC& g = plus ? static_cast<const gaCPC&>(*as) : *ga;
    Hash h;
    h(g.borderColor, g.blank, g.vsyncOut, g.hsyncOut, g.lastIorq, g.penSelect, g.colorValue, g.shiftA, g.shiftB,
      g.modeRomReg, g.mode, g.intCounter, g.hsyncCounter, g.vsyncIntDelay, g.crtcHsyncLast, g.crtcVsyncLast,
      g.pens, g.penHardwareColour, g.beamInRetrace());
    h(cpcscreenpixels_xy, cpcscreenpixels_xy_hsync, monitor_nb_lines, monitor_vsync_ctr, monitor_hsync_ctr,
      runctr, printerData, digiBlasterData, digiBlasterDataLowFilterCount,
      CPC_audio_frameCount_timer);
    if (plus) {
        const asicCPC& a = *as;
        h.bytes(a.asicPage, asicCPC::kPageSize);
        for (const auto& d : a.dmaChannels) {
            h(d.address, d.loopAddress, d.repeatCount, d.pauseCount, d.prescaler, d.prescalerCounter, d.opcode,
              d.fetched);
        }
        h(a.unlockArmed, a.unlockInSequence, a.unlockPosition, a.unlocked, a.rmr2, a.videoIntPending, a.pri,
          a.splt, a.ssa, a.sscr, a.ivr, a.dcsr, a.dcsrShadow, a.lineCounter, a.rasterArmed, a.rasterLine,
          a.scrollV, a.scrollH, a.extendBorder, a.scrollHistory);
        h(a.spriteX, a.spriteY, a.spriteMagX, a.spriteMagY, a.spriteDelay, a.spriteColumn, a.spriteRepeat,
          a.spriteRow, a.spriteRowRepeat, a.spriteRowBase, a.spriteOnLine, a.spriteShown, a.spriteActive,
          a.dmaCursor, a.dmaPhase);
    }
    return h.value;
}

// Everything but toneInert, which only marks channels whose step can be skipped.
uint64_t ayState() {
    const ay8910& a = *ay;
    Hash h;
    h(a.bdir, a.bc1, a.dataBus, a.prescaler, a.selectedReg, a.regs, a.portAOutput, a.portBOutput, a.noisePeriod,
      a.noiseCounter, a.noiseShift, a.noiseOut, a.noiseDisable, a.tonePeriod, a.toneCounter, a.toneDisable,
      a.toneOut, a.envPeriod, a.envCounter, a.envVolume, a.envStep, a.envDirection, a.level);
    return h.value;
}

uint64_t ppiKeyboardState() {
    Hash h;
    h(ppi->control, ppi->portA, ppi->portB, ppi->portC, ppi->portBInputs, cPCKeyBoard->matrix);
    return h.value;
}

// A quiet drive is woken first (its own catch-up), so that its cells are
// where a drive turned every microsecond has them.
void driveState(Hash& h, floppyDrive& d) {
    d.wake();
    h(d.headSide, d.writeGate, d.writeWord, d.stepLine, d.stepOutward, d.motorRunning, d.ready, d.readWord,
      d.currentWord, d.writeProtected, d.indexPulse, d.trackZero, d.cylinder, d.motorOn, d.spinning,
      d.diskInserted, d.diskChanged, d.position, d.bitCounter, d.indexWait, d.motorTimer, d.revolution,
      d.trackLength, d.copyEnd, d.syncWindow, d.shiftRegister, d.cellMask);
}

uint64_t diskState() {
    Hash h;
    if (!fdc) return h.value;
    const FDCupd765& f = *fdc;
    h(f.dataIn, f.mainStatus, f.dataOut, f.rawWord, f.crc, f.crcRead, f.resultCount, f.resultBytes, f.command,
      f.commandCode, f.commandByteIndex, f.stepIndex, f.subState, f.byteCounter, f.sectorBytesLeft, f.dtlSkip,
      f.seekActive, f.phase);
    h(f.C, f.H, f.R, f.N, f.EOT, f.GPL, f.DTL, f.STP, f.SC, f.D, f.MT, f.MFM, f.SK, f.HD, f.US, f.HUT, f.SRT,
      f.HLT, f.ND, f.resultC, f.resultH, f.resultR, f.resultN, f.idC, f.idH, f.idR, f.idN, f.sectorCounter,
      f.indexCount, f.scanNotSatisfied, f.scanHit, f.st0, f.st1, f.st2, f.st3, f.startDelay, f.stepTimer,
      f.senseCounter, f.interruptUnit);
    for (const us* u : f.units) {
        if (u) {
            h(u->pcn, u->ncn, u->noDrive, u->interruptPending, u->seekEnd, u->readyChanged, u->seeking,
              u->recalibrating, u->recalibrateStepsLeft, u->hunting);
        }
    }
    driveState(h, *fd0);
    driveState(h, *fd1);
    return h.value;
}

uint64_t tapeState() {
    const tapeDrive& t = *tape;
    Hash h;
    h(t.writeLevel, t.readLevel, t.playKey, t.motorLine, t.moving, t.motorTarget, t.inertia, t.pulseIndex,
      t.pulseCount, t.pulseLeft, tapeCounterIndexCount, tapeCounterIndex);
    return h.value;
}

uint64_t memoryState() {
    Hash h;
    for (int b = 0; b < mem->bankCount; ++b) h.bytes(mem->banks[b], memory::kBankSize);
    h(mem->uromSelected, mem->ramConfig);
    for (const uint8_t* page : mem->page) {
        int bank = -1;
        for (int b = 0; b < mem->bankCount; ++b) {
            if (mem->banks[b] == page) bank = b;
        }
        h(bank);
    }
    return h.value;
}

}  // namespace

const char* framePartName(int part) {
    static const char* const names[kFrameParts] = {"picture",    "audio",        "Z80",  "CRTC", "gate array/ASIC",
                                                   "AY",         "PPI/keyboard", "disk", "tape", "memory"};
    return part >= 0 && part < kFrameParts ? names[part] : "?";
}

uint32_t crc32Of(const void* data, size_t size, uint32_t crc) {
    return static_cast<uint32_t>(::crc32(crc, static_cast<const Bytef*>(data), static_cast<uInt>(size)));
}

bool startInProcessHeadless(const TempKestrixHome& home, const std::vector<std::string>& options, AudioMode audio) {
    setenv("KESTRIX_HOME", home.path().c_str(), 1);
    headlessMode = true;
    mainLoopEnd = 0;
    allocateTextBuffers();
    initBasePath();
    clearTimedActions();
    beginCPC();
    if (!SDL_beginHeadless()) return false;
    t_color = true;
    t_colorG = false;
    t_scanlines = false;
    cpcType = CPC6128;
    cpcLang = LangUK;
    crtcType = 0;
    CPC_audio_enable = false;
    digiBlaster = false;
    running = 0;
    cpcIsRunning = 0;
    if (!startCPC()) return false;
    installFrontendServices();
    namedFileFailures = 0;  // an earlier run's in this process
    parseMainConfigFile();
    std::vector<std::string> words{"kestrix"};
    words.insert(words.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    if (!parseCommandLine(static_cast<int>(words.size()), argv.data()) || namedFileFailures) return false;
    // No device: the samples stay in the buffer for the record.
    CPC_audio_enable = true;
    CPC_audio_stereo = audio == AudioMode::Stereo;
    CPC_audio_volume = 1.0f;
    CPC_audio_frameCount = 1000000.0f / 44100.0f;
    CPC_audio_frameCount_timer = 0;
    CPC_audio_buffer_length = 0;
    cpcAudioDevice = 0;
    run();
    return true;
}

void stopInProcessHeadless() {
    running = 0;
    mainLoopEnd = 1;
    CPC_audio_enable = false;
    clearTimedActions();
    endCPC();
    SDL_end();
    freeTextBuffers();
    freeBasePath();
    unsetenv("KESTRIX_HOME");
}

FrameRecord recordFrame() {
    FrameRecord r;
    Hash picture;
    picture.bytes(cpcscreenpixels, sizeof cpcscreenpixels);
    r.part[kPartPicture] = picture.value;
    Hash audio;
    audio.bytes(CPC_audio_buffer, CPC_audio_buffer_length * sizeof(float));
    audio(CPC_audio_buffer_length);
    r.part[kPartAudio] = audio.value;
    CPC_audio_buffer_length = 0;
    // The chips in the order of FramePart, from the Z80 on.
    uint64_t (*const chips[])() = {z80State,         crtcState, gateArrayState, ayState,
                                   ppiKeyboardState, diskState, tapeState,      memoryState};
    static_assert(std::size(chips) == kFrameParts - kPartZ80);
    for (int p = kPartZ80; p < kFrameParts; ++p) r.part[p] = chips[p - kPartZ80]();
    return r;
}

std::vector<FrameRecord> recordRun(const TempKestrixHome& home, const std::vector<std::string>& options,
                                   AudioMode audio, int frames, void (*runFrame)()) {
    std::vector<FrameRecord> records;
    if (startInProcessHeadless(home, options, audio)) {
        for (int i = 0; i < frames; ++i) {
            runFrame();
            records.push_back(recordFrame());
        }
    }
    stopInProcessHeadless();
    return records;
}

std::string firstDifference(const std::vector<FrameRecord>& expected, const std::vector<FrameRecord>& actual) {
    if (expected.size() != actual.size()) {
        return std::to_string(expected.size()) + " frames against " + std::to_string(actual.size());
    }
    for (size_t i = 0; i < expected.size(); ++i) {
        if (expected[i] == actual[i]) continue;
        std::string parts;
        for (int p = 0; p < kFrameParts; ++p) {
            if (expected[i].part[p] == actual[i].part[p]) continue;
            parts += std::string(parts.empty() ? "" : ", ") + framePartName(p);
        }
        return "frame " + std::to_string(i + 1) + ": " + parts;
    }
    return {};
}

}  // namespace test_support
