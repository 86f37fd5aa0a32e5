#include "sound/wav_recorder.h"

#include <SDL.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "machine/byte_order.h"
#include "machine/safe_file.h"

WavRecorder wavRecorder;

namespace {

constexpr size_t kHeaderBytes = 44;
// A RIFF file counts its size in 32 bits.
constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - kHeaderBytes;

}  // namespace

int16_t wavSampleOf(float sample) {
    return static_cast<int16_t>(std::lrint(std::clamp(sample, -1.0f, 1.0f) * 32767.0f));
}

bool WavRecorder::start(const char* path) {
    if (active()) stop(44100);
    path_ = path ? path : "";
    temporary_ = path_ + kTemporaryFileTag + "XXXXXX";
    int fd = path_.empty() ? -1 : mkstemp(temporary_.data());
    if (fd >= 0) {
        // mkstemp keeps the file to its owner; the recording is an ordinary file.
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }
    file_ = fd >= 0 ? fdopen(fd, "wb") : nullptr;
    if (!file_) {
        if (fd >= 0) {
            close(fd);
            std::remove(temporary_.c_str());
        }
        SDL_Log("wav: cannot create a file beside %s", path_.c_str());
        return false;
    }
    dataBytes_ = 0;
    uint8_t header[kHeaderBytes] = {};
    failed_ = std::fwrite(header, 1, sizeof header, file_) != sizeof header;
    SDL_Log("wav: recording to %s", path_.c_str());
    return true;
}

void WavRecorder::append(const float* samples, size_t floats) {
    if (!file_ || failed_) return;
    uint8_t out[1024];
    for (size_t done = 0; done < floats;) {
        const size_t n = std::min(floats - done, sizeof out / 2);
        if (dataBytes_ + 2 * n > kMaxDataBytes) return;
        for (size_t i = 0; i < n; ++i) writeLe16(out + 2 * i, static_cast<uint16_t>(wavSampleOf(samples[done + i])));
        if (std::fwrite(out, 2, n, file_) != n) failed_ = true;
        dataBytes_ += 2 * n;
        done += n;
    }
}

bool WavRecorder::stop(int rate) {
    if (!file_) return true;
    uint8_t h[kHeaderBytes];
    std::copy_n("RIFF", 4, h);
    writeLe32(h + 4, static_cast<uint32_t>(36 + dataBytes_));
    std::copy_n("WAVEfmt ", 8, h + 8);
    writeLe32(h + 16, 16);
    writeLe16(h + 20, 1);  // PCM
    writeLe16(h + 22, 2);
    writeLe32(h + 24, static_cast<uint32_t>(rate));
    writeLe32(h + 28, static_cast<uint32_t>(rate) * 4);
    writeLe16(h + 32, 4);
    writeLe16(h + 34, 16);
    std::copy_n("data", 4, h + 36);
    writeLe32(h + 40, static_cast<uint32_t>(dataBytes_));
    bool ok = !failed_ && std::fseek(file_, 0, SEEK_SET) == 0 && std::fwrite(h, 1, sizeof h, file_) == sizeof h;
    ok = std::fflush(file_) == 0 && ok;
    ok = fsync(fileno(file_)) == 0 && ok;
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    ok = ok && std::rename(temporary_.c_str(), path_.c_str()) == 0;
    if (!ok) {
        std::remove(temporary_.c_str());
        SDL_Log("wav: writing %s failed", path_.c_str());
        return false;
    }
    SDL_Log("wav: %llu samples at %d Hz written to %s", static_cast<unsigned long long>(dataBytes_ / 4), rate,
            path_.c_str());
    return true;
}
