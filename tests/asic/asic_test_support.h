// Plus test helpers: CPR images built from chunks, the assembled test
// programs, and a Plus machine without ROMs driven in-process.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace asic_test {

struct Chunk {
    std::string id;  // four characters
    std::vector<uint8_t> data;
    int64_t sizeField = -1;  // the size written; -1 = the data's size
};

// "RIFF", size, "AMS!" and the chunks.
std::vector<uint8_t> buildCpr(const std::vector<Chunk>& chunks);
// A cartridge whose bank 0 is `program`, and further banks as given.
std::vector<uint8_t> cartridgeWith(const std::vector<uint8_t>& program, const std::vector<Chunk>& more = {});
// An assembled test program (tests/asic/programs/<name>.asm).
std::vector<uint8_t> program(const std::string& name);
// Runs fileCPR on the bytes through the file layer (in memory).
bool loadCprBytes(const std::vector<uint8_t>& bytes);

// One complete I/O cycle on the ASIC, as the processor drives it.
void asicIo(uint16_t port, uint8_t data, bool write = true);
// A byte of the base 64 KB of RAM.
uint8_t ram(uint16_t address);

// A 6128+ with no system cartridge: chips reset, CRTC type 3.
class PlusMachine : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Loads the cartridge and resets the machine to run it from bank 0.
    void insert(const std::vector<uint8_t>& cpr);
    void frames(int count);
};

}  // namespace asic_test
