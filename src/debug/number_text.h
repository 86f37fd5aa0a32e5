// Numbers as CPC programmers write them: decimal, &BE80, #BE80, $BE80,
// 0xBE80 and 0BE80H, read and written by the debugger's text pieces.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// True when the whole of text is one number that fits 32 bits.
bool parseNumber(std::string_view text, uint32_t& value);

enum class HexStyle { Ampersand, Hash };

// Upper-case hex behind the style's sign, zero-padded to digits (wider when the
// value needs it): "&BE80".
std::string hex(uint32_t value, int digits, HexStyle style);
// The same into a buffer of at least 10 bytes, for callers that must not allocate; returns the length.
int hexTo(char* out, uint32_t value, int digits, HexStyle style);
// Bare upper-case hex of four and of two digits ("BE80", "3F"), the low bits of value.
std::string hex4(uint32_t value);
std::string hex2(uint32_t value);
