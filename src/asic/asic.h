// The Plus ASIC of the CPC 464+, 6128+ and GX4000. It is the gate array of the
// CPC models (same frame clock, pixel path and fields, inherited without any
// virtual call) with the Plus additions: the unlock sequence, the register page
// at &4000, the second ROM mapping register (RMR2) with cartridge banks, the
// interrupt vector and the palette page.
#pragma once
#include <cstdint>

#include "machine/cpu.h"
#include "video/gate_array.h"

class asicCPC : public gaCPC {
public:
    static constexpr uint16_t kPageSize = 16384;

    // A DMA sound channel as the register page and the snapshot keep it.
    struct dmaChannel {
        uint16_t address = 0;
        uint16_t loopAddress = 0;
        uint16_t repeatCount = 0;
        uint16_t pauseCount = 0;
        uint8_t prescaler = 0;
        uint8_t prescalerCounter = 0;
        uint16_t opcode = 0;
        bool fetched = false;
    };

    uint8_t* asicPage = nullptr;  // the register page image, offset 0 = &4000
    dmaChannel dmaChannels[3];
    uint8_t plusColorOf[32][3] = {};  // red, blue, green nibbles per hardware colour
    uint8_t unlockSequence[14] = {};
    bool unlockArmed = false;
    bool unlockInSequence = false;
    uint8_t unlockPosition = 0;
    bool unlocked = false;
    uint8_t rmr2 = 0;
    bool videoIntPending = false;

    // Registers of the page at &6800 (PRI, SPLT, SSA, SSCR, IVR) and DCSR.
    uint8_t pri = 0;
    uint8_t splt = 0;
    uint16_t ssa = 0;
    uint8_t sscr = 0;
    uint8_t ivr = 1;
    uint8_t dcsr = 0;
    uint8_t dcsrShadow = 0;

    // Video (sprites, soft scroll, raster interrupt) and DMA scheduling.
    uint16_t lineCounter = 0;
    bool rasterArmed = false;
    // The line on which the current HSYNC began: an HSYNC that runs on past
    // a line start still belongs to the line it began on.
    uint16_t rasterLine = 0;
    uint8_t scrollV = 0, scrollH = 0;
    bool extendBorder = false;
    uint32_t scrollHistory = 0;
    uint16_t spriteX[16] = {};
    uint16_t spriteY[16] = {};
    uint8_t spriteMagX[16] = {}, spriteMagY[16] = {};
    uint8_t spriteDelay[16] = {};
    uint8_t spriteColumn[16] = {};
    uint8_t spriteRepeat[16] = {};
    uint8_t spriteRow[16] = {};
    uint8_t spriteRowRepeat[16] = {};
    uint16_t spriteRowBase[16] = {};
    uint16_t spriteOnLine = 0;  // bit n: sprite n covers the current line
    uint16_t spriteShown = 0;   // bit n: sprite n has a vertical magnification (can show)
    uint16_t spriteActive = 0;  // bit n: sprite n is being drawn on this line
    int8_t dmaCursor = 2;  // next channel to look at, down to -1
    uint8_t dmaPhase = 2;  // 0 fetch, 1 execute, 2 done for this HSYNC

    // Analogue joystick inputs: axis values of joysticks 0 and 1 when present.
    bool analogJoystick[2] = {};
    int16_t analogAxis[2][2] = {};

    asicCPC();
    ~asicCPC();
    asicCPC(const asicCPC&) = delete;
    asicCPC& operator=(const asicCPC&) = delete;

    void reset();
    // One frame: 19968 steps of one microsecond, the gate array's step shape.
    bool clock();
    void clockMicrosecond();
    void call_cpu();

    // The register page, address relative to &4000 (0..0x3FFF). A read of an
    // address that answers nothing returns `dataBus`.
    uint8_t mRead(uint16_t address, uint8_t dataBus) const;
    void mWrite(uint16_t address, uint8_t value);
    bool pageMapped() const { return (rmr2 & 0x38) == 0x38; }

    // The unlock state machine, for a byte written to the CRTC select port.
    void checkMagicSequence(uint8_t data);
    // A write of the gate array's function 10 with the unlock in force and bit 5
    // set: the cartridge bank at the lower ROM and the placement of the lower ROM.
    void writeRmr2(uint8_t data);
    // Function 10 otherwise: mode, ROM enables, interrupt counter reset (bit 4).
    void writeModeRom(uint8_t data);
    // Sets pen `pen` from its palette-page entry.
    void pensFromPage(uint8_t pen);

    // Services bound into the shared step (video/frame_step.h).
    void serviceMemory();
    void writeMemory(uint16_t address);
    void serviceIoEdge();
    void raiseVideoInterrupt();
    uint8_t readMemory(uint16_t address) const;
    const uint8_t* readBlock(unsigned pageIndex) const;
    void mapReads();

    // The ASIC's work at the points of the shared step; the tests here keep a
    // line without sprites, scroll or HSYNC cheap.
    void plusBeforeCrtcClock() {
        if (spriteOnLine) startSprites();
    }
    // The previous step's second byte (shiftA, not yet scrolled) and this
    // step's first go into the history together.
    void plusSecondByte() {
        scrollHistory = scrollHistory << 16 | static_cast<uint32_t>(shiftA) << 8 | shiftB;
        if (scrollH) applyScroll();
    }
    void plusHalf() {
        if (spriteActive) spriteHalf();
    }
    void plusHsyncStart() {
        rasterArmed = true;
        rasterLine = lineCounter;
        dmaCursor = 2;
        dcsrShadow = dcsr;
        // No channel on: nothing for hsyncWork's DMA part this line.
        dmaPhase = dcsr & 7 ? 0 : 2;
    }
    void plusHsyncStep() { hsyncWork(); }
    // The Plus's video interrupt is the raster one while PRI is set.
    InterruptSource interruptSource() const {
        return videoIntPending ? (pri ? InterruptSource::Raster : InterruptSource::Video) : InterruptSource::Dma;
    }
    void counterInterrupt() {
        if (!pri) raiseVideoInterrupt();
    }
    void vsyncInterrupt() {
        if (!pri) raiseVideoInterrupt();
    }

    // The type-3 CRTC's line start: line counter, sprite rows, scroll history.
    void lineStart(bool newFrame);
    void startSprites();
    void spriteHalf();
    void applyScroll();
    void hsyncWork();
    void dmaFetchOpcode(int channel);
    void dmaExecute(int channel);
    // Decodes sprite n's position and magnification from the page.
    void decodeSprite(int n);
    // Puts sprite n on the current line `linesIn` lines after its first one.
    void placeSprite(int n, int linesIn);

private:
    void acknowledgeInterrupt();
    void ioWrite(uint16_t port, uint8_t data);
    void selectUpperRom(uint8_t value);
    void writeColourPage(uint8_t pen, uint8_t hardwareColour);
};

// The Plus models' ASIC (built by beginCPC).
extern asicCPC* as;

// Inline, as the step serves one each microsecond; the register page and
// writes take the out-of-line paths.
inline void asicCPC::serviceMemory() {
    if (!cpu->mreq) return;
    const uint16_t address = cpu->addressBus;
    if (cpu->rd) {
        const uint8_t* block = derived.readPages[address >> 14];
        cpu->dataBus = block ? block[address & 0x3FFF] : mRead(address & 0x3FFF, cpu->dataBus);
    } else if (cpu->wr) {
        writeMemory(address);
    }
}
