// The whole Z80 instruction set, undocumented forms included, as text in
// Zilog's notation, with what the instruction does to the flow of control
// (for stepping over calls and out of routines).
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "debug/number_text.h"

class SymbolTable;

enum class InstructionFlow {
    Plain,
    Jump,
    ConditionalJump,
    Call,
    ConditionalCall,
    Restart,
    Return,
    ConditionalReturn,
    Djnz,
    BlockRepeat,  // LDIR LDDR CPIR CPDR INIR INDR OTIR OTDR
    Halt
};

struct DisassembledInstruction {
    uint16_t address = 0;
    uint8_t length = 0;
    uint8_t bytes[4] = {};  // the first length of them are the instruction's
    std::string text;
    InstructionFlow flow = InstructionFlow::Plain;
    std::optional<uint16_t> target;  // of JP nn, JR, CALL, RST and DJNZ
};

// Reads the instruction at address (wrapping at &FFFF). Words and jump
// targets the symbol table names are shown by name; symbols may be null.
DisassembledInstruction disassemble(uint16_t address, const std::function<uint8_t(uint16_t)>& read,
                                    const SymbolTable* symbols, HexStyle style);

// Where a listing that shows `lines` instructions before `address` starts:
// the earliest address within 4 bytes an instruction of those before it
// whose instructions fall exactly on `address`, moved on to the last
// `lines` of them; `address` when no start falls on it.
uint16_t disassemblyStartBefore(uint16_t address, int lines, const std::function<uint8_t(uint16_t)>& read);
