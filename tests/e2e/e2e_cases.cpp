#include "e2e_cases.h"

#include <cstdint>
#include <filesystem>
#include <iomanip>
#include <sstream>

#include "support/asic_test_support.h"

namespace fs = std::filesystem;

namespace e2e {

namespace {

// The program in bank 0 of a 16 KB cartridge.
bool writeCartridge(const TempKestrixHome& home, const std::string& program, const std::string& name) {
    std::vector<uint8_t> code = asic_test::program(program);
    if (code.empty() || code.size() > 16384) return false;
    code.resize(16384, 0);
    home.write(name, asic_test::cartridgeWith(code));
    return true;
}

}  // namespace

std::vector<std::string> splitOptions(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> std::quoted(word, '\'', '\0');) words.push_back(word);
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
            if (!writeCartridge(home, name, name + ".cpr")) {
                missing = "assembled test program " + name;
                return false;
            }
            word = home.file(name + ".cpr");
        }
        options.push_back(word);
    }
    return true;
}

}  // namespace e2e
