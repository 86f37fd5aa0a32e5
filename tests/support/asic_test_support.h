// Plus test helpers: CPR images built from chunks, the assembled test
// programs, and a Plus machine without ROMs driven in-process.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "machine/cpc.h"
#include "support/machine_fixture.h"

// Skips a test that runs an assembled test program when there are none.
#define SKIP_WITHOUT_ASIC_PROGRAMS()                                                       \
    do {                                                                                   \
        if (!asic_test::programsAssembled())                                               \
            GTEST_SKIP() << "the Plus test programs are not assembled: pasmo was not found " \
                            "at configure time";                                           \
    } while (0)

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
// False when pasmo was not there to assemble them.
bool programsAssembled();
// Runs fileCPR on the bytes through the file layer (in memory).
bool loadCprBytes(const std::vector<uint8_t>& bytes);

// One complete I/O cycle on the ASIC, as the processor drives it.
void asicIo(uint16_t port, uint8_t data, bool write = true);
// A byte of the base 64 KB of RAM.
uint8_t ram(uint16_t address);
// CRTC registers 0-13 as the firmware programs them, screen base in R12.
void programFirmwareCrtc(uint8_t r12 = 0);

// A 6128+ with no system cartridge: chips reset, CRTC type 3.
class PlusMachine : public test_support::Machine {
protected:
    PlusMachine() : Machine({.model = CPC6128Plus}) {}
};

}  // namespace asic_test
