// The i8255 PPI: port A is the AY's data bus, port B the cassette input and
// the fixed configuration links, port C the AY bus lines, the cassette motor
// and write data, and the keyboard line select.
#pragma once
#include <cstdint>

// Bits of the control word that make a port (or half of port C) an input.
constexpr uint8_t kPpiPortAInput = 0x10;
constexpr uint8_t kPpiPortBInput = 0x02;
constexpr uint8_t kPpiPortCHighInput = 0x08;
constexpr uint8_t kPpiPortCLowInput = 0x01;
// Port B links after reset: 50 Hz, no expansion, Amstrad.
constexpr uint8_t kPpiPortBInputsReset = 0x5E;

class PPIi8255 {
public:
    uint8_t control = 0;
    uint8_t portA = 0;
    uint8_t portB = 0;
    uint8_t portC = 0;
    uint8_t portBInputs = kPpiPortBInputsReset;

    void reset();
    // One I/O access with A11 low: A9-A8 choose the register, the strobes
    // and data come from the processor's pins.
    void enable();

    uint8_t read(uint8_t reg);
    void write(uint8_t reg, uint8_t data);
    // What a port C write does besides latching: keyboard line select from the
    // low half, tape and AY lines from the high half (each only when output).
    void portCChanged();
    void applyPortCOutputs();
};

// The machine's PPI (built by beginCPC).
extern PPIi8255* ppi;
