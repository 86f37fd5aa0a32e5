// The AY-3-8910 sound generator: three tone channels, noise, envelope and the
// I/O ports (port A reads the keyboard). Reached only through the PPI.
#pragma once
#include <cstdint>

class ay8910 {
public:
    uint8_t bdir = 0, bc1 = 0;
    uint8_t dataBus = 0xFF;
    uint8_t prescaler = 0;
    uint8_t selectedReg = 0;
    uint8_t regs[16] = {};
    bool portAOutput = false, portBOutput = false;
    uint8_t noisePeriod = 0;
    uint8_t noiseCounter = 0;
    uint32_t noiseShift = 0x24000;
    uint8_t noiseOut = 0;
    uint8_t noiseDisable[3] = {};
    uint16_t tonePeriod[3] = {};
    uint16_t toneCounter[3] = {};
    uint8_t toneDisable[3] = {}, toneOut[3] = {};
    // Bit ch: channel ch's tone step can only clear its counter (period 0,
    // tone and noise off, no envelope). Follows the register writes; a field
    // set by hand leaves it clear, which is never wrong, only slower.
    uint8_t toneInert = 0;
    uint16_t envPeriod = 0;
    uint16_t envCounter = 0;
    uint8_t envVolume = 0;
    uint8_t envStep = 0;
    uint8_t envDirection = 0;  // kEnvRising, kEnvFalling or kEnvHolding
    uint8_t level[3] = {};
    float levelMono[16] = {};
    float levelStereoFull[16] = {};
    float levelStereoHalf[16] = {};

    static constexpr uint8_t kEnvFalling = 0;
    static constexpr uint8_t kEnvRising = 1;
    static constexpr uint8_t kEnvHolding = 255;

    ay8910() { reset(); }

    void reset();
    // Bus cycles as BDIR/BC1 ask for them (the PPI calls these).
    void write();
    void read();
    // A register write with all its side effects; also the snapshot loader's way in.
    void writeRegister(uint8_t reg, uint8_t value);
    // What a read cycle of `reg` puts on the bus.
    uint8_t registerValue(uint8_t reg) const;

    // One microsecond. Tone and noise run at 125 kHz, the envelope at 62.5 kHz:
    // seven microseconds out of eight only the prescaler moves.
    void clock() {
        const uint8_t tick = prescaler;
        prescaler = static_cast<uint8_t>((tick + 1) & 15);
        if (!(tick & 7)) generatorStep(tick);
    }
    // The same as that many calls of clock(), in one go.
    void run(uint32_t microseconds);
    void mixer();  // fills `level`

private:
    void generatorStep(uint8_t tick);
    void updateToneInert();
    void envelopeStep();
    void toneStep(int channel);
};

// The machine's sound generator (built by beginCPC).
extern ay8910* ay;
