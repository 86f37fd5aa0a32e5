#include "script/csl_parser.h"

#include <cctype>
#include <cstdlib>

namespace {

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool isNumber(const std::string& s, unsigned long long limit) {
    if (s.empty() || s.size() > 12) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return std::strtoull(s.c_str(), nullptr, 10) <= limit;
}

bool oneOf(const std::string& s, std::initializer_list<const char*> words) {
    const std::string l = lower(s);
    for (const char* w : words)
        if (l == w) return true;
    return false;
}

using Check = bool (*)(const CslInstruction&, std::string&);

bool noCheck(const CslInstruction&, std::string&) { return true; }

bool fail(std::string& error, const std::string& text) {
    error = text;
    return false;
}

bool checkVersion(const CslInstruction& i, std::string& e) {
    return oneOf(i.args[0], {"1.0", "1.1", "1.2", "1.3", "1.4"}) || fail(e, "version " + i.args[0] + " not supported");
}
bool checkReset(const CslInstruction& i, std::string& e) {
    return i.args.empty() || oneOf(i.args[0], {"soft", "hard"}) || fail(e, "expected soft or hard");
}
bool checkCrtc(const CslInstruction& i, std::string& e) {
    return oneOf(i.args[0], {"0", "1", "1a", "1b", "2", "3", "4"}) || fail(e, "CRTC type 0, 1, 1A, 1B, 2, 3 or 4 expected");
}
bool checkGateArray(const CslInstruction& i, std::string& e) {
    return oneOf(i.args[0], {"40007", "40008", "40010"}) || fail(e, "gate array 40007, 40008 or 40010 expected");
}
bool checkModel(const CslInstruction& i, std::string& e) {
    return oneOf(i.args[0], {"0", "1", "2", "4", "5", "6"}) || fail(e, "model 0, 1, 2, 4, 5 or 6 expected");
}
bool checkMemory(const CslInstruction& i, std::string& e) {
    return oneOf(i.args[0], {"0", "1", "2", "3", "4"}) || fail(e, "memory expansion 0 to 4 expected");
}
bool checkRomConfig(const CslInstruction& i, std::string& e) {
    const std::string kind = lower(i.args[0]);
    if (kind == "m") return fail(e, "no such device on this machine");
    if (kind == "u") {
        if (i.args.size() != 3 || !isNumber(i.args[1], 255)) return fail(e, "expected U, a slot 0 to 255 and a file");
        return true;
    }
    if (kind != "l" && kind != "c") return fail(e, "expected U, L, C or M");
    if (i.args.size() == 3 && !isNumber(i.args[1], 255)) return fail(e, "bad slot number " + i.args[1]);
    return true;
}
bool checkDisk(const CslInstruction& i, std::string& e) {
    return i.args.size() == 1 || oneOf(i.args[0], {"a", "b"}) || fail(e, "drive A or B expected");
}
bool checkKeyDelay(const CslInstruction& i, std::string& e) {
    for (const std::string& a : i.args)
        if (!isNumber(a, 100000000)) return fail(e, "microseconds expected, not " + a);
    return true;
}
bool checkNumber(const CslInstruction& i, std::string& e) {
    return i.args.empty() || isNumber(i.args[0], 4000000000ull) || fail(e, "a number expected, not " + i.args[0]);
}
bool checkVsync(const CslInstruction& i, std::string& e) {
    return i.args.empty() || oneOf(i.args[0], {"vsync"}) || fail(e, "expected vsync or nothing");
}
bool checkSnaVersion(const CslInstruction& i, std::string& e) {
    return oneOf(i.args[0], {"1", "2", "3"}) || fail(e, "snapshot version 1, 2 or 3 expected");
}

struct Spec {
    const char* name;
    int minArgs, maxArgs;
    Check check;
};

constexpr Spec kInstructions[] = {
    {"csl_version", 1, 1, checkVersion},   {"reset", 0, 1, checkReset},
    {"crtc_select", 1, 1, checkCrtc},      {"gate_array", 1, 1, checkGateArray},
    {"cpc_model", 1, 1, checkModel},       {"memory_exp", 1, 1, checkMemory},
    {"rom_dir", 1, 1, noCheck},            {"rom_config", 2, 3, checkRomConfig},
    {"disk_insert", 1, 2, checkDisk},      {"disk_dir", 1, 1, noCheck},
    {"tape_insert", 1, 1, noCheck},        {"tape_dir", 1, 1, noCheck},
    {"tape_play", 0, 0, noCheck},          {"tape_stop", 0, 0, noCheck},
    {"tape_rewind", 0, 0, noCheck},        {"snapshot_load", 1, 1, noCheck},
    {"snapshot_dir", 1, 1, noCheck},       {"key_delay", 2, 3, checkKeyDelay},
    {"key_output", 1, 1, noCheck},         {"key_from_file", 1, 1, noCheck},
    {"wait", 1, 1, checkNumber},           {"wait_driveonoff", 0, 1, checkNumber},
    {"wait_vsyncoffon", 0, 0, noCheck},    {"wait_ssm0000", 0, 0, noCheck},
    {"screenshot_name", 1, 1, noCheck},    {"screenshot_dir", 1, 1, noCheck},
    {"screenshot", 0, 1, checkVsync},      {"snapshot_name", 1, 1, noCheck},
    {"snapshot", 0, 1, checkVsync},        {"snapshot_version", 1, 1, checkSnaVersion},
    {"csl_load", 1, 1, noCheck},
};

}  // namespace

bool parseCslLine(const std::string& text, int line, CslInstruction& out, bool& empty, std::string& error) {
    out = CslInstruction{};
    out.line = line;
    std::vector<std::string> words;
    std::vector<bool> quoted;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == ' ' || c == '\t') {
            ++i;
        } else if (c == ';') {
            break;
        } else if (c == '\'') {
            std::string word;
            ++i;
            bool closed = false;
            while (i < text.size()) {
                // \(x...) is one key name, which may hold a quote or a bracket.
                if (text[i] == '\\' && i + 2 < text.size() && text[i + 1] == '(') {
                    const size_t close = text.find(')', i + 3);
                    if (close == std::string::npos) break;
                    word.append(text, i, close + 1 - i);
                    i = close + 1;
                    continue;
                }
                if (text[i] == '\'') {
                    closed = true;
                    ++i;
                    break;
                }
                word += text[i++];
            }
            if (!closed) return fail(error, "quote not closed");
            words.push_back(word);
            quoted.push_back(true);
        } else {
            size_t end = i;
            while (end < text.size() && text[end] != ' ' && text[end] != '\t' && text[end] != ';') ++end;
            words.push_back(text.substr(i, end - i));
            quoted.push_back(false);
            i = end;
        }
    }
    empty = words.empty();
    if (empty) return true;
    out.name = lower(words[0]);
    out.args.assign(words.begin() + 1, words.end());
    out.quoted.assign(quoted.begin() + 1, quoted.end());
    for (const Spec& spec : kInstructions) {
        if (out.name != spec.name) continue;
        const int n = static_cast<int>(out.args.size());
        if (n < spec.minArgs || n > spec.maxArgs) {
            return fail(error, spec.minArgs == spec.maxArgs
                                   ? std::to_string(spec.minArgs) + " argument(s) expected, " + std::to_string(n) + " given"
                                   : std::to_string(spec.minArgs) + " to " + std::to_string(spec.maxArgs) +
                                         " arguments expected, " + std::to_string(n) + " given");
        }
        return spec.check(out, error);
    }
    return fail(error, "unknown instruction");
}

std::vector<std::string> splitCslLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

std::string cslResolvePath(const std::string& dir, const std::string& path) {
    std::string p = path;
    for (char& c : p)
        if (c == '\\') c = '/';
    if (p.empty() || p[0] == '/' || dir.empty()) return p;
    return dir.back() == '/' ? dir + p : dir + "/" + p;
}

std::string cslDirectoryOf(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string cslBaseName(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}
