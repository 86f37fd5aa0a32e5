// The machine as the debugger names it: the processor's registers (read and
// written by name), the counters of the CRTC and the gate array, labels, and
// memory as the processor sees it now. Conditions of break points and the
// monitor's `regs` and `set` go through it.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "debug/debugger.h"

class ExpressionEnvironment;
class SymbolTable;

// What the processor reads at `address` now (ROM overlays, the Plus page).
uint8_t processorView(uint16_t address);
// True when the block mapped at `address` is of that kind (index: the upper
// ROM slot or cartridge bank; negative for any).
bool mappingMatches(MappingKind kind, int index, uint16_t address);

// Registers, flags, chip counters and labels, by name (case-insensitive).
const ExpressionEnvironment& machineEnvironment();
// The labels the debugger shows and conditions may name.
SymbolTable& debugSymbols();

// A register or flag's value; false for an unknown name.
bool readRegister(std::string_view name, uint32_t& value);
// Writes a register (PC as the address of the next instruction); false with
// an error for an unknown or read-only name or a value out of range.
bool writeRegister(std::string_view name, uint32_t value, std::string& error);
// Every register, as `NAME=hhhh` (16 bits) or `NAME=hh` (8 bits) and the
// interrupt state in decimal, in a fixed order.
std::vector<std::string> registerLines();
