// The ASIC's snapshot chunk and header fields: what is saved comes back.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

#include "asic/asic_snapshot.h"
#include "support/asic_test_support.h"

using namespace asic_test;

namespace {

class AsicSnapshot : public PlusMachine {};

TEST_F(AsicSnapshot, ChunkAndHeaderFieldsRoundTrip) {
    insert(cartridgeWith(std::vector<uint8_t>(16, 0xB0), {{"cb01", std::vector<uint8_t>(16, 0xB1)},
                                                          {"cb02", std::vector<uint8_t>(16, 0xB2)}}));
    // Unlocked, RMR2 with bank 2 at &4000, and in the middle of a new sequence.
    for (uint8_t b : {0xFF, 0x00, 0xFF, 0x77, 0xB3, 0x51, 0xA8, 0xD4, 0x62, 0x39, 0x9C, 0x46, 0x2B, 0x15, 0x8A, 0xCD,
                      0xEE, 0x00, 0xFF, 0x77}) {
        asicIo(0xBC00, b);
    }
    asicIo(0x7F00, 0xAA);
    for (uint16_t a = 0; a < 0x1000; ++a) as->mWrite(a, static_cast<uint8_t>(a * 7));
    for (uint16_t s = 0; s < 16; ++s) {
        for (uint16_t k = 0; k < 5; ++k) as->mWrite(static_cast<uint16_t>(0x2000 + 8 * s + k), static_cast<uint8_t>(s * 13 + k));
    }
    for (uint16_t i = 0; i < 64; ++i) as->mWrite(static_cast<uint16_t>(0x2400 + i), static_cast<uint8_t>(i * 5 + 1));
    const uint8_t registers[6] = {100, 50, 0x12, 0x34, 0xC5, 0x48};
    for (uint16_t i = 0; i < 6; ++i) as->mWrite(static_cast<uint16_t>(0x2800 + i), registers[i]);
    for (uint16_t i = 0; i < 12; ++i) as->mWrite(static_cast<uint16_t>(0x2C00 + i), static_cast<uint8_t>(0x41 + i));
    as->mWrite(0x2C0F, 0x03);
    as->dmaChannels[1] = {0x1234, 0x2345, 0x0456, 0x0567, 0x11, 0x22};
    as->dcsr |= 0x50;
    as->videoIntPending = true;

    std::vector<uint8_t> chunk(kAsicSnapshotChunkSize + 16, 0xEE);
    ASSERT_EQ(asicSnapshotChunkWrite(chunk.data()), kAsicSnapshotChunkSize);
    const uint8_t b5 = asicSnapshotB5(), b6 = asicSnapshotB6();
    EXPECT_EQ(b6, 0);
    std::vector<uint8_t> page(as->asicPage, as->asicPage + asicCPC::kPageSize);
    std::vector<uint32_t> pens(as->pens, as->pens + 32);
    const uint8_t position = as->unlockPosition;
    const auto channel = as->dmaChannels[1];

    as->reset();
    EXPECT_FALSE(asicSnapshotChunkRead(chunk.data(), kAsicSnapshotChunkSize - 1));
    EXPECT_FALSE(as->unlocked) << "a short chunk changes nothing";
    ASSERT_TRUE(asicSnapshotChunkRead(chunk.data(), kAsicSnapshotChunkSize));
    asicSnapshotReadB5B6(b5, b6);

    EXPECT_EQ(std::tuple(as->unlocked, as->unlockInSequence, as->unlockPosition, as->rmr2, as->readMemory(0x4000)),
              std::tuple(true, true, position, uint8_t(0x2A), uint8_t(0xB2)));
    EXPECT_EQ(std::memcmp(as->asicPage, page.data(), 0x1000), 0) << "sprite pixels";
    EXPECT_EQ(std::memcmp(as->asicPage + 0x2000, page.data() + 0x2000, 0x80), 0) << "sprite attributes";
    EXPECT_EQ(std::memcmp(as->asicPage + 0x2400, page.data() + 0x2400, 0x40), 0) << "palette page";
    EXPECT_EQ(std::vector<uint32_t>(as->pens, as->pens + 32), pens);
    EXPECT_EQ(std::tuple(int(as->pri), int(as->splt), int(as->ssa), int(as->sscr), int(as->ivr), int(as->dcsr),
                         as->videoIntPending, int(as->dmaChannels[2].address)),
              std::tuple(100, 50, 0x1234, 0xC5, 0x48, 0x53, true, 0x4A48 & 0xFFFE));
    const auto& c = as->dmaChannels[1];
    EXPECT_EQ(std::tuple(c.repeatCount, c.loopAddress, c.pauseCount, c.prescalerCounter),
              std::tuple(channel.repeatCount, channel.loopAddress, channel.pauseCount, channel.prescalerCounter));

    // Saved again, the chunk is the same.
    std::vector<uint8_t> again(kAsicSnapshotChunkSize);
    asicSnapshotChunkWrite(again.data());
    EXPECT_EQ(std::memcmp(again.data(), chunk.data(), kAsicSnapshotChunkSize), 0);

    asicSnapshotReadB5B6(0, 1);
    EXPECT_FALSE(as->unlocked);
    EXPECT_FALSE(as->videoIntPending);
}

}  // namespace
