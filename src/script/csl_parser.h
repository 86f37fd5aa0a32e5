// CSL, the text language that drives an emulator through a test walk: one
// instruction a line, checked here against the instruction set (names,
// argument counts and values) before anything runs it.
#pragma once
#include <string>
#include <vector>

// The version this reader implements, and the range of declared versions it takes.
constexpr const char* kCslVersion = "1.1";

struct CslInstruction {
    std::string name;               // lower case
    std::vector<std::string> args;  // a quoted argument without its quotes
    std::vector<bool> quoted;
    int line = 0;
};

// Splits one line into an instruction; `empty` for a blank or comment line.
// False with `error` for a quote left open or an unknown instruction, a
// wrong number of arguments or a value out of range.
bool parseCslLine(const std::string& text, int line, CslInstruction& out, bool& empty, std::string& error);

// The script's lines, split on \n, \r\n or \r.
std::vector<std::string> splitCslLines(const std::string& text);

// A path of a script with either separator, made relative to `dir` unless absolute.
std::string cslResolvePath(const std::string& dir, const std::string& path);
// The directory part of a path, "" for a bare name.
std::string cslDirectoryOf(const std::string& path);
// A name without directory and extension.
std::string cslBaseName(const std::string& path);
