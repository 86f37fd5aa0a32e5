#include "support/headless_run.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

std::string shellQuote(const std::string& s) {
    std::string out(1, '\'');
    for (char c : s) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    out += '\'';
    return out;
}

}  // namespace

std::string sharedPath(const std::string& relative) { return std::string(KESTRIX_SHARED_DIR) + "/" + relative; }

bool sharedRomsPresent() {
    return fs::exists(sharedPath("roms/Rom CPC 6128 (UK) (Rom A) (1985) (OS v3) [UTILITAIRE] [ROM].rom"));
}

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

HeadlessResult runKestrixHeadless(const std::string& home, const std::vector<std::string>& args) {
    std::string command("KESTRIX_HOME=");
    command += shellQuote(home);
    command += ' ';
    command += shellQuote(KESTRIX_EXE);
    command += " --headless";
    for (const auto& a : args) {
        command += ' ';
        command += shellQuote(a);
    }
    command += " 2>&1";
    HeadlessResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    std::array<char, 4096> chunk{};
    size_t n;
    while ((n = fread(chunk.data(), 1, chunk.size(), pipe)) > 0) result.output.append(chunk.data(), n);
    int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}
