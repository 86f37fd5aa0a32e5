#include "support/asic_test_support.h"

#include <SDL.h>

#include <fstream>
#include <iterator>

#include "asic/asic.h"
#include "asic/cartridge.h"
#include "machine/cpc.h"
#include "machine/file_reader.h"
#include "machine/memory.h"
#include "machine/model.h"
#include "machine/ppi8255.h"
#include "sound/ay8910.h"
#include "support/machine_fixture.h"
#include "video/crtc6845.h"
#include "video/monitor.h"

namespace asic_test {

namespace {

void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

std::vector<uint8_t> buildCpr(const std::vector<Chunk>& chunks) {
    std::vector<uint8_t> body = {'A', 'M', 'S', '!'};
    for (const Chunk& chunk : chunks) {
        body.insert(body.end(), chunk.id.begin(), chunk.id.end());
        put32(body, chunk.sizeField >= 0 ? static_cast<uint32_t>(chunk.sizeField) : static_cast<uint32_t>(chunk.data.size()));
        body.insert(body.end(), chunk.data.begin(), chunk.data.end());
    }
    std::vector<uint8_t> out = {'R', 'I', 'F', 'F'};
    put32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::vector<uint8_t> cartridgeWith(const std::vector<uint8_t>& code, const std::vector<Chunk>& more) {
    std::vector<Chunk> chunks = {{"cb00", code}};
    chunks.insert(chunks.end(), more.begin(), more.end());
    return buildCpr(chunks);
}

std::vector<uint8_t> program(const std::string& name) {
    std::ifstream in(std::string(KESTRIX_ASIC_PROGRAM_DIR) + "/" + name + ".bin", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool programsAssembled() { return KESTRIX_HAVE_PASMO; }

bool loadCprBytes(const std::vector<uint8_t>& bytes) {
    SDL_CloseFile();
    cPCFile = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
    cPCFileLength = static_cast<int64_t>(bytes.size());
    filepos_idx = 0;
    bool loaded = fileCPR();
    SDL_CloseFile();
    return loaded;
}

void asicIo(uint16_t port, uint8_t data, bool write) { test_support::ioCycleOn(as, port, data, write); }

uint8_t ram(uint16_t address) { return mem->banks[address >> 14][address & 0x3FFF]; }

void programFirmwareCrtc(uint8_t r12) { test_support::programFirmwareCrtc(r12, as); }

}  // namespace asic_test
