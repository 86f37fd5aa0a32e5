// Every SDL log line written while it lives (the on-screen messages are logged too).
#pragma once
#include <SDL.h>

#include <string>
#include <vector>

namespace test_support {

class LogCapture {
public:
    LogCapture() {
        SDL_LogGetOutputFunction(&previous_, &previousData_);
        SDL_LogSetOutputFunction(&LogCapture::collect, this);
    }
    ~LogCapture() { SDL_LogSetOutputFunction(previous_, previousData_); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    bool contains(const std::string& part) const { return count(part) > 0; }
    int count(const std::string& part) const {
        int n = 0;
        for (const auto& line : lines) n += line.find(part) != std::string::npos;
        return n;
    }
    std::vector<std::string> lines;
    std::string text;  // the lines, each ended by a newline

private:
    static void collect(void* self, int, SDL_LogPriority, const char* message) {
        auto* capture = static_cast<LogCapture*>(self);
        capture->lines.emplace_back(message);
        capture->text += std::string(message) + "\n";
    }
    SDL_LogOutputFunction previous_ = nullptr;
    void* previousData_ = nullptr;
};

}  // namespace test_support
