// A throw-away base directory (KESTRIX_HOME) for a machine built by a test.
#pragma once
#include <string>

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

private:
    std::string dir_;
};
