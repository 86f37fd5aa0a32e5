// A throw-away base directory (KESTRIX_HOME) for a machine built by a test.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "support/shared_files.h"

// A temporary KESTRIX_HOME. With ROMs, its ROM/ links to the shared ROM images.
class TempKestrixHome {
public:
    explicit TempKestrixHome(bool withRoms = true);
    ~TempKestrixHome();
    TempKestrixHome(const TempKestrixHome&) = delete;
    TempKestrixHome& operator=(const TempKestrixHome&) = delete;

    const std::string& path() const { return dir_; }
    // Writes a file (e.g. "Kestrix.ini") into the base directory.
    void writeFile(const std::string& name, const std::string& contents) const;
    std::string file(const std::string& name) const { return dir_ + "/" + name; }
    // Writes the bytes as `name`; the file's path.
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) const;

private:
    std::string dir_;
};

// A whole file; empty when it cannot be read.
std::vector<uint8_t> fileBytes(const std::string& path);
