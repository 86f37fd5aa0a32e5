// Runs the kestrix binary in headless mode the way a script would, with a
// throw-away base directory, and captures what it printed.
#pragma once
#include <string>
#include <vector>

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

struct HeadlessResult {
    int exitCode = -1;
    std::string output;  // stdout and stderr together
};

// Runs `kestrix --headless <args>` with KESTRIX_HOME set to `home`.
HeadlessResult runKestrixHeadless(const std::string& home, const std::vector<std::string>& args);

// True when the shared ROM images are there; tests that need them skip otherwise.
bool sharedRomsPresent();
std::string sharedPath(const std::string& relative);
