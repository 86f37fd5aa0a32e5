#include "support/temp_home.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace fs = std::filesystem;

TempKestrixHome::TempKestrixHome(bool withRoms) {
    std::string pattern = (fs::temp_directory_path() / "kestrix-home-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back(0);
    if (mkdtemp(buffer.data())) dir_ = buffer.data();
    if (withRoms && !dir_.empty() && sharedRomsPresent()) {
        std::error_code ec;
        fs::create_directory_symlink(sharedPath("roms"), fs::path(dir_) / "ROM", ec);
    }
}

TempKestrixHome::~TempKestrixHome() {
    if (dir_.empty()) return;
    std::error_code ec;
    fs::remove_all(dir_, ec);
}

void TempKestrixHome::writeFile(const std::string& name, const std::string& contents) const {
    std::ofstream(fs::path(dir_) / name, std::ios::binary) << contents;
}

std::string TempKestrixHome::write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    const std::string path = file(name);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::vector<uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
