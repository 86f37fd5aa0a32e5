#include "sound/ay8910.h"

#include <cstring>

#include "machine/keyboard.h"

namespace {

// Amplitude of each output level, measured on a CPC's output stage: mono for
// the three channels summed, and the full and half weights of the stereo mix.
constexpr float kLevelMono[16] = {0.0f,         0.00116868853f, 0.00352639053f, 0.0058840923f,
                                  0.0105893342f, 0.0141157247f,  0.0211786684f,  0.0341257043f,
                                  0.0411784835f, 0.0670725554f,  0.0929564685f,  0.123545617f,
                                  0.163555413f,  0.2070916f,     0.268280059f,   0.332994908f};
constexpr float kLevelStereoFull[16] = {0.0f,         0.00241107796f, 0.00727516599f, 0.0121392542f,
                                        0.0218464639f, 0.0291216299f,  0.0436929278f,  0.070403479f,
                                        0.0849538073f, 0.13837491f,    0.191775054f,   0.254882395f,
                                        0.337425143f,  0.427243024f,   0.553478718f,   0.686989546f};
constexpr float kLevelStereoHalf[16] = {0.0f,          0.00109849696f, 0.0033145952f, 0.00553069357f,
                                        0.00995333772f, 0.0132679334f,  0.0199066754f, 0.0320761129f,
                                        0.0387053043f,  0.0630441755f,  0.0873734951f, 0.116125457f,
                                        0.15373227f,    0.19465366f,    0.252167135f,  0.312995225f};

}  // namespace

void ay8910::reset() {
    bdir = bc1 = 0;
    dataBus = 0xFF;
    prescaler = 0;
    selectedReg = 0;
    std::memset(regs, 0, sizeof regs);
    portAOutput = portBOutput = false;
    noisePeriod = noiseCounter = 0;
    noiseShift = 0x24000;
    noiseOut = 0;
    for (int ch = 0; ch < 3; ++ch) {
        noiseDisable[ch] = 0;
        tonePeriod[ch] = toneCounter[ch] = 0;
        toneDisable[ch] = toneOut[ch] = 0;
        level[ch] = 0;
    }
    envPeriod = envCounter = 0;
    envVolume = envStep = 0;
    envDirection = kEnvFalling;
    updateToneInert();
    std::memcpy(levelMono, kLevelMono, sizeof levelMono);
    std::memcpy(levelStereoFull, kLevelStereoFull, sizeof levelStereoFull);
    std::memcpy(levelStereoHalf, kLevelStereoHalf, sizeof levelStereoHalf);
}

void ay8910::write() {
    if (!bdir) return;
    if (bc1) {
        selectedReg = dataBus;
    } else if (selectedReg < 16) {
        writeRegister(selectedReg, dataBus);
    }
}

void ay8910::read() {
    if (bdir || !bc1) return;
    dataBus = registerValue(selectedReg);
}

uint8_t ay8910::registerValue(uint8_t reg) const {
    if (reg < 14) return regs[reg];
    if (reg == 14) {
        const uint8_t keys = cPCKeyBoard ? cPCKeyBoard->selectedLineBits() : 0xFF;
        return portAOutput ? (keys & regs[14]) : keys;
    }
    if (reg == 15) return portBOutput ? regs[15] : 0xFF;
    return 0xFF;
}

void ay8910::writeRegister(uint8_t reg, uint8_t value) {
    switch (reg) {
    case 0: case 2: case 4: {
        const int ch = reg >> 1;
        regs[reg] = value;
        tonePeriod[ch] = static_cast<uint16_t>((regs[reg + 1] << 8) | value);
        break;
    }
    case 1: case 3: case 5: {
        const int ch = reg >> 1;
        regs[reg] = value & 15;
        tonePeriod[ch] = static_cast<uint16_t>((regs[reg] << 8) | regs[reg - 1]);
        break;
    }
    case 6:
        regs[6] = value & 31;
        noisePeriod = regs[6];
        break;
    case 7:
        // Software rewrites R7 with its current value all the time; it must not disturb the outputs.
        if (value == regs[7]) break;
        regs[7] = value;
        for (int ch = 0; ch < 3; ++ch) {
            toneDisable[ch] = (value >> ch) & 1;
            noiseDisable[ch] = (value >> (ch + 3)) & 1;
        }
        portAOutput = (value >> 6) & 1;
        portBOutput = (value >> 7) & 1;
        break;
    case 8: case 9: case 10:
        regs[reg] = value & 31;
        break;
    case 11: case 12:
        regs[reg] = value;
        envPeriod = static_cast<uint16_t>((regs[12] << 8) | regs[11]);
        break;
    case 13: {
        const uint8_t shape = value & 15;
        regs[13] = shape;
        switch (shape) {
        case 0: case 1: case 2: case 3: case 9: case 11:
            envStep = 15;
            envDirection = kEnvFalling;
            break;
        case 4: case 5: case 6: case 7: case 13: case 15:
            envStep = 0;
            envDirection = kEnvRising;
            break;
        // The repeating shapes carry on from where the envelope is. A sawtooth
        // met going the other way would stop at its end for good, so it turns.
        case 8:
            envDirection = kEnvFalling;
            break;
        case 12:
            envDirection = kEnvRising;
            break;
        case 10:
            if (envDirection == kEnvHolding) envDirection = kEnvFalling;
            break;
        default:  // 14
            if (envDirection == kEnvHolding) envDirection = kEnvRising;
            break;
        }
        break;
    }
    case 14: case 15:
        regs[reg] = value;
        break;
    default:
        break;
    }
    // Periods, mixer and volumes decide which channels are silent.
    if (reg <= 10) updateToneInert();
}

void ay8910::envelopeStep() {
    if (++envCounter < envPeriod) return;
    envCounter = 0;
    envVolume = envStep;
    const uint8_t shape = regs[13];
    if (envDirection == kEnvFalling) {
        if (envStep) {
            --envStep;
            return;
        }
        switch (shape) {
        case 0: case 1: case 2: case 3: case 9: envDirection = kEnvHolding; break;
        case 8: envStep = 15; break;
        case 10: case 14: envDirection = kEnvRising; break;
        case 11: envStep = 15; envDirection = kEnvHolding; break;
        default: break;
        }
    } else if (envDirection == kEnvRising) {
        if (envStep < 15) {
            ++envStep;
            return;
        }
        switch (shape) {
        case 4: case 5: case 6: case 7: case 15: envStep = 0; envDirection = kEnvHolding; break;
        case 12: envStep = 0; break;
        case 10: case 14: envDirection = kEnvFalling; break;
        case 13: envDirection = kEnvHolding; break;
        default: break;
        }
    }
}

void ay8910::toneStep(int ch) {
    if (++toneCounter[ch] < tonePeriod[ch]) return;
    toneCounter[ch] = 0;
    if (tonePeriod[ch]) {
        toneOut[ch] ^= 1;
    } else if ((!noiseDisable[ch] && !noiseOut) || (!toneOut[ch] && !toneDisable[ch])) {
        toneOut[ch] ^= 1;
    } else {
        toneOut[ch] ^= (regs[8 + ch] >> 4) & 1;
    }
}

void ay8910::updateToneInert() {
    toneInert = 0;
    for (int ch = 0; ch < 3; ++ch) {
        if (!tonePeriod[ch] && toneDisable[ch] && noiseDisable[ch] && !(regs[8 + ch] & 16))
            toneInert = static_cast<uint8_t>(toneInert | 1 << ch);
    }
}

void ay8910::generatorStep(uint8_t tick) {
    if (tick == 0) envelopeStep();

    if (++noiseCounter >= noisePeriod) {
        noiseCounter = 0;
        if (noiseShift & 1) noiseShift ^= 0x24000;
        noiseShift >>= 1;
        noiseOut ^= static_cast<uint8_t>(((noiseShift ^ (noiseShift >> 1)) & 1) ^ 1);
    }
    // A silent channel's step only clears its counter (the common case: all three).
    const uint8_t inert = toneInert;
    for (int ch = 0; ch < 3; ++ch) {
        if (inert >> ch & 1) {
            toneCounter[ch] = 0;
        } else {
            toneStep(ch);
        }
    }
}

void ay8910::run(uint32_t microseconds) {
    while (microseconds) {
        const uint8_t tick = prescaler;
        const uint32_t untilStep = (8u - (tick & 7u)) & 7u;
        if (untilStep >= microseconds) {
            prescaler = static_cast<uint8_t>((tick + microseconds) & 15);
            return;
        }
        const uint8_t stepTick = static_cast<uint8_t>((tick + untilStep) & 15);
        prescaler = static_cast<uint8_t>((stepTick + 1) & 15);
        microseconds -= untilStep + 1;
        generatorStep(stepTick);
    }
}

void ay8910::mixer() {
    for (int ch = 0; ch < 3; ++ch) {
        const uint8_t volume = regs[8 + ch];
        const bool sounding = (toneDisable[ch] | toneOut[ch]) && (noiseDisable[ch] | noiseOut);
        level[ch] = sounding ? ((volume & 16) ? envVolume : (volume & 15)) : 0;
    }
}
