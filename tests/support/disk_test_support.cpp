#include "support/disk_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "disk/dsk_image.h"
#include "disk/fdc765.h"
#include "machine/cpu.h"
#include "machine/file_reader.h"
#include "support/temp_home.h"

namespace disk_test {

std::vector<uint8_t> patternData(uint8_t c, uint8_t r, size_t size) {
    std::vector<uint8_t> data(size);
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(c * 31 + r * 17 + i * 7 + (i >> 8));
    return data;
}

Track standardTrack(uint8_t cylinder, uint8_t side, int count) {
    Track t;
    t.track = cylinder;
    t.side = side;
    for (int i = 0; i < count; ++i) {
        Sector s;
        s.C = cylinder;
        s.H = side;
        s.R = static_cast<uint8_t>(0xC1 + i);
        s.N = 2;
        s.data = patternData(cylinder, s.R, 512);
        t.sectors.push_back(s);
    }
    return t;
}

namespace {

void put(std::vector<uint8_t>& out, size_t at, const char* text) {
    std::memcpy(out.data() + at, text, std::strlen(text));
}

void padTo256(std::vector<uint8_t>& out) {
    while (out.size() % 256) out.push_back(0);
}

}  // namespace

std::vector<uint8_t> buildImage(const std::vector<Track>& tracks, int trackCount, int sides, bool extended) {
    std::vector<uint8_t> out(256, 0);
    put(out, 0, extended ? "EXTENDED CPC DSK File\r\nDisk-Info\r\n" : "MV - CPCEMU Disk-File\r\nDisk-Info\r\n");
    put(out, 0x22, "kestrix test");
    out[0x30] = static_cast<uint8_t>(trackCount);
    out[0x31] = static_cast<uint8_t>(sides);
    out[0x32] = 0x00;
    out[0x33] = 0x13;
    for (const Track& t : tracks) {
        size_t start = out.size();
        out.resize(start + 256, 0);
        put(out, start, "Track-Info\r\n");
        out[start + 0x10] = t.track;
        out[start + 0x11] = t.side;
        out[start + 0x14] = t.N;
        out[start + 0x15] = static_cast<uint8_t>(t.sectors.size());
        out[start + 0x16] = t.gap3;
        out[start + 0x17] = t.filler;
        std::vector<uint8_t> info;
        for (const Sector& s : t.sectors) {
            size_t stored = s.data.size();
            info.insert(info.end(), {s.C, s.H, s.R, s.N, s.ST1, s.ST2, uint8_t(stored & 0xFF), uint8_t(stored >> 8)});
        }
        // Sector information may run past the first 256 bytes of a block.
        if (0x18 + info.size() > 256) out.resize(start + 0x18 + info.size(), 0);
        if (!info.empty()) std::memcpy(out.data() + start + 0x18, info.data(), info.size());
        padTo256(out);
        for (const Sector& s : t.sectors) out.insert(out.end(), s.data.begin(), s.data.end());
        padTo256(out);
        // The Extended header's track-size table, in 256-byte units.
        size_t entry = static_cast<size_t>(&t - tracks.data());
        if (extended && 0x34 + entry < 256) out[0x34 + entry] = static_cast<uint8_t>((out.size() - start) / 256);
    }
    return out;
}

std::vector<std::vector<uint8_t>> sampleImages() {
    std::vector<std::vector<uint8_t>> seeds;
    seeds.push_back(buildImage({standardTrack(0), standardTrack(1)}, 2, 1, false));
    Track odd = standardTrack(0, 0, 5);
    odd.sectors[0].ST1 = 0x20;
    odd.sectors[0].ST2 = 0x20;
    odd.sectors[1].ST1 = 0x01;
    odd.sectors[1].ST2 = 0x01;
    odd.sectors[2].data.resize(3 * 512, 0x5A);  // weak
    odd.sectors[3].data.resize(700, 0x00);      // runs on
    odd.sectors[4].data.resize(40);             // short
    seeds.push_back(buildImage({odd, standardTrack(1)}, 2, 1, true));
    seeds.push_back(buildImage({standardTrack(0, 0), standardTrack(0, 1, 4)}, 1, 2, true));
    return seeds;
}

std::string writeTempFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    // Each test writes into a directory of its own, removed when the next test writes its first file.
    static std::unique_ptr<TempKestrixHome> dir;
    static const ::testing::TestInfo* owner = nullptr;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    if (!dir || test != owner) {
        dir.reset();
        dir = std::make_unique<TempKestrixHome>(false);
        owner = test;
    }
    std::filesystem::create_directories(std::filesystem::path(dir->file(name)).parent_path());
    return dir->write(name, bytes);
}

int loadWith(int (*loader)(floppyDrive*), floppyDrive& drive, const std::vector<uint8_t>& bytes, const char* name) {
    std::string path = writeTempFile(name, bytes);
    if (!SDL_OpenFile(path.c_str()) && !cPCFile) return -1;
    int loaded = loader(&drive);
    SDL_CloseFile();
    return loaded;
}

int loadImage(floppyDrive& drive, const std::vector<uint8_t>& bytes) { return loadWith(fileDSK, drive, bytes, "image.dsk"); }

Bench::Bench() {
    MakeMFMEnDecodeTable();
    if (!cpu) cpu = new Z80CPU();
    driveA.init(0);
    driveB.init(1);
    fdc.reset(&driveA, &driveB, nullptr, nullptr, false);
}

void Bench::tick(uint64_t microseconds) {
    for (uint64_t i = 0; i < microseconds; ++i) {
        if (drivesNeverQuiet) driveA.quiet = driveB.quiet = false;  // only ever set at a byte boundary
        fdc.clock();
        driveA.clock();
        driveB.clock();
        ++now;
    }
}

namespace {

// One processor access to the controller's port; what the data bus then holds.
uint8_t access(FDCupd765& fdc, uint16_t port, bool write, uint8_t data) {
    cpu->addressBus = port;
    cpu->dataBus = data;
    cpu->rd = !write;
    cpu->wr = write;
    fdc.enable();
    cpu->rd = cpu->wr = false;
    return cpu->dataBus;
}

}  // namespace

uint8_t Bench::status() { return access(fdc, 0xFB7E, false, cpu->dataBus); }
uint8_t Bench::readData() { return access(fdc, 0xFB7F, false, 0xEE); }
void Bench::writeData(uint8_t byte) { access(fdc, 0xFB7F, true, byte); }

bool Bench::command(std::initializer_list<uint8_t> bytes) { return command(std::vector<uint8_t>(bytes)); }

bool Bench::command(const std::vector<uint8_t>& bytes) {
    for (uint8_t byte : bytes) {
        int wait = 0;
        while ((status() & 0xC0) != 0x80) {
            if (++wait > 100000) return false;
            tick();
        }
        writeData(byte);
        tick();
    }
    return true;
}

std::vector<uint8_t> Bench::result(uint64_t timeoutUs) {
    std::vector<uint8_t> bytes;
    for (uint64_t t = 0; t < timeoutUs && ((status() & 0xE0) != 0xC0 || fdc.phase != 3); ++t) tick();
    while ((status() & 0xE0) == 0xC0 && fdc.phase == 3) bytes.push_back(readData());
    return bytes;
}

Execution Bench::run(const std::vector<uint8_t>& bytes, const std::vector<uint8_t>& supply, uint64_t timeoutUs,
                     bool takeData) {
    Execution out;
    uint64_t start = now;
    if (!command(bytes)) return out;
    size_t supplied = 0;
    for (uint64_t t = 0; t < timeoutUs; ++t) {
        uint8_t s = status();
        if ((s & 0xE0) == 0xE0 && takeData) {
            out.data.push_back(readData());
        } else if ((s & 0xE0) == 0xA0) {
            writeData(supplied < supply.size() ? supply[supplied] : 0);
            ++supplied;
        } else if ((s & 0xE0) == 0xC0 && fdc.phase == 3) {
            break;
        }
        tick();
    }
    out.result = result(1);
    out.microseconds = now - start;
    return out;
}

bool Bench::spinUp(floppyDrive& drive, uint64_t timeoutUs) {
    drive.start_motor(true);
    for (uint64_t t = 0; t < timeoutUs; ++t) {
        if (drive.ready) return true;
        tick();
    }
    return drive.ready;
}

void Bench::specify(uint8_t srt, uint8_t hut, uint8_t hlt) {
    command({0x03, static_cast<uint8_t>((srt << 4) | hut), static_cast<uint8_t>(hlt << 1)});
}

std::vector<uint8_t> Bench::seekTo(uint8_t unit, uint8_t cylinder) {
    command({0x0F, unit, cylinder});
    for (int t = 0; t < 4000000 && fdc.units[unit]->seeking; ++t) tick();
    tick(10);
    command({0x08});
    return result();
}

std::vector<uint8_t> sectorCommand(uint8_t code, uint8_t unit, uint8_t c, uint8_t h, uint8_t r, uint8_t n,
                                   uint8_t eot, uint8_t gpl, uint8_t dtl) {
    return {static_cast<uint8_t>(code | 0x40), static_cast<uint8_t>(unit | (h << 2)), c, h, r, n, eot, gpl, dtl};
}

}  // namespace disk_test
