#include "e2e_cases.h"

#include <cstdint>
#include <filesystem>
#include <fstream>

#include "support/asic_test_support.h"

namespace fs = std::filesystem;

namespace e2e {

namespace {

void put32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}

// RIFF "AMS!" with one 16 KB "cb00" chunk.
bool writeCartridge(const std::string& program, const fs::path& to) {
    const std::vector<uint8_t> bytes = asic_test::program(program);
    std::string code(bytes.begin(), bytes.end());
    if (code.empty() || code.size() > 16384) return false;
    code.resize(16384, 0);
    std::string cpr = "RIFF";
    put32(cpr, 4 + 8 + 16384);
    cpr += "AMS!cb00";
    put32(cpr, 16384);
    cpr += code;
    std::ofstream(to, std::ios::binary) << cpr;
    return true;
}

}  // namespace

std::vector<std::string> splitOptions(const std::string& line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ') {
            ++i;
            continue;
        }
        std::string word;
        if (line[i] == '\'') {
            const size_t end = line.find('\'', i + 1);
            word = line.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
            i = end == std::string::npos ? line.size() : end + 1;
        } else {
            const size_t end = line.find(' ', i);
            word = line.substr(i, end == std::string::npos ? std::string::npos : end - i);
            i = end == std::string::npos ? line.size() : end;
        }
        words.push_back(word);
    }
    return words;
}

bool prepareOptions(const TempKestrixHome& home, const std::string& line, std::vector<std::string>& options,
                    std::string& missing) {
    options.clear();
    for (std::string word : splitOptions(line)) {
        if (word.rfind("$MEDIA/", 0) == 0) {
            const std::string name = word.substr(7);
            const fs::path copy = fs::path(home.path()) / name;
            std::error_code ec;
            if (!fs::exists(copy)) fs::copy_file(sharedPath("media/" + name), copy, ec);
            if (ec) {
                missing = "shared media file " + name;
                return false;
            }
            fs::permissions(copy, fs::perms::owner_write, fs::perm_options::add, ec);
            word = copy.string();
        } else if (word.rfind("$CART/", 0) == 0) {
            const std::string name = word.substr(6);
            const fs::path cpr = fs::path(home.path()) / (name + ".cpr");
            if (!writeCartridge(name, cpr)) {
                missing = "assembled test program " + name;
                return false;
            }
            word = cpr.string();
        }
        options.push_back(word);
    }
    return true;
}

}  // namespace e2e
