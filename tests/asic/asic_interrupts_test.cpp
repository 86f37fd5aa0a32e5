// The Plus interrupt sources as programs/asic_interrupts.asm meets them, phase
// by phase: each acknowledge noted with its frame, line and vector.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "support/asic_test_support.h"

using namespace asic_test;

namespace {

struct Ack {
    int phase, frame, line, lineCount, vector;
};

// "line/vector" for each acknowledge of a frame, in order.
using Frame = std::vector<std::string>;

std::string entry(int line, int vector) {
    char text[16];
    std::snprintf(text, sizeof text, "%d/%02X", line, vector);
    return text;
}

class AsicInterrupts : public PlusMachine {
protected:
    std::vector<Ack> acks;

    // Runs the program to its end, noting every acknowledge with the line on
    // which the interrupt line rose for it (the acknowledge itself may come a
    // line later, after another handler or at a line end).
    void run() {
        int frame = 0, lineCount = 0, raisedLine = -1, raisedCount = 0;
        bool lastVsync = crtc->vsync, lastAck = false, lastInt = cpu->intLine;
        uint16_t line = crtc->plusLineCounter;
        int vectorDue = -1;
        for (int us = 0; us < 60 * 19968 && ram(0x80FF) != 0x55; ++us) {
            as->clockMicrosecond();
            if (crtc->vsync && !lastVsync) ++frame;
            lastVsync = crtc->vsync;
            if (crtc->plusLineCounter != line) ++lineCount;
            line = crtc->plusLineCounter;
            if (cpu->intLine && !lastInt) {
                raisedLine = line;
                raisedCount = lineCount;
            }
            lastInt = cpu->intLine;
            const bool ack = cpu->m1 && cpu->iorq;
            if (ack && !lastAck) {
                // Raised and acknowledged within this microsecond: this line.
                if (raisedLine < 0) {
                    raisedLine = line;
                    raisedCount = lineCount;
                }
                acks.push_back({ram(0x8000), frame, raisedLine, raisedCount, -1});
                raisedLine = -1;
                vectorDue = 2;
            }
            lastAck = ack;
            // The vector is taken in the acknowledge's next T-states.
            if (vectorDue >= 0 && --vectorDue < 0) acks.back().vector = cpu->intVector;
        }
    }

    // The acknowledges of each frame of a phase, its first `skip` frames left
    // out (the change happens somewhere in the first). A phase ends at a
    // VSYNC, where its last frame ends too.
    std::vector<Frame> frames(int phase, size_t skip = 1) const {
        std::map<int, Frame> byFrame;
        for (const Ack& a : acks) {
            if (a.phase == phase) byFrame[a.frame].push_back(entry(a.line, a.vector));
        }
        std::vector<Frame> out;
        for (auto& [frame, list] : byFrame) out.push_back(list);
        out.erase(out.begin(), out.begin() + static_cast<long>(std::min(skip, out.size())));
        return out;
    }

    // Lines between successive acknowledges of `vector` in a phase.
    std::vector<int> spacing(int phase, int vector) const {
        std::vector<int> out;
        int last = -1;
        for (const Ack& a : acks) {
            if (a.phase != phase || a.vector != vector) continue;
            if (last >= 0) out.push_back(a.lineCount - last);
            last = a.lineCount;
        }
        return out;
    }

};

TEST_F(AsicInterrupts, EverySourcePerFrameWithItsLineAndVector) {
    SKIP_WITHOUT_ASIC_PROGRAMS();
    insert(cartridgeWith(program("asic_interrupts")));
    run();
    ASSERT_EQ(ram(0x80FF), 0x55) << "the program did not finish";

    // The counter: reset two HSYNCs into the VSYNC (line 241), then every 52 lines.
    const Frame counter = {"241/56", "293/56", "33/56", "85/56", "137/56", "189/56"};
    // (At the first VSYNC after the start and after the change of phase 5
    // the counter is below 32: no interrupt at 241 in those frames.)
    for (int phase : {1, 4, 5}) {
        std::vector<Frame> seen = frames(phase, phase == 4 ? 1 : 2);
        ASSERT_GE(seen.size(), 2u) << "phase " << phase;
        for (const Frame& f : seen) EXPECT_EQ(f, counter) << "phase " << phase;
    }
    // PRI 100 alone, then changed by each interrupt to 150 and back.
    for (const Frame& f : frames(2)) EXPECT_EQ(f, Frame({"100/56"}));
    for (const Frame& f : frames(3)) EXPECT_EQ(f, Frame({"100/56", "150/56"}));
    // An HSYNC that runs on into the line PRI names raises nothing there:
    // the interrupt is that line's own HSYNC's, once a frame.
    std::vector<Frame> across = frames(8);
    ASSERT_GE(across.size(), 2u);
    for (const Frame& f : across) EXPECT_EQ(f, Frame({"100/56"})) << "R2 = 52";

    // R52 written at the raster interrupt restarts the counter: 52 lines on.
    std::vector<Frame> r52 = frames(4, 0);
    ASSERT_FALSE(r52.empty());
    EXPECT_EQ(r52[0], Frame({"100/56", "152/56", "204/56"}));
    // PRI 0 alone at line 125: the counter ran on under PRI (40 there); the
    // acknowledge took bit 5 off (8), so the next comes 44 lines later.
    std::vector<Frame> pri0 = frames(5, 0);
    ASSERT_FALSE(pri0.empty());
    EXPECT_EQ(pri0[0], Frame({"125/56", "169/56", "221/56"}));

    // DMA: each channel at its own period with its own vector, the raster
    // interrupt once a frame among them, with the flags cleared by the
    // acknowledge (IVR &50) or by the handler through DCSR (IVR &51).
    for (int phase : {6, 7}) {
        for (auto [vector, lines] : {std::pair{0x54, 42}, {0x52, 48}, {0x50, 72}}) {
            std::vector<int> gaps = spacing(phase, vector);
            ASSERT_GE(gaps.size(), 10u) << "phase " << phase << " vector " << vector;
            for (int gap : gaps) EXPECT_EQ(gap, lines) << "phase " << phase << " vector " << vector;
        }
        for (int gap : spacing(phase, 0x56)) EXPECT_EQ(gap, 312) << "phase " << phase;
        for (const Ack& a : acks) {
            if (a.phase == phase && a.vector == 0x56) {
                EXPECT_EQ(a.line, 200);
            }
        }
    }
    EXPECT_EQ(ram(0x8020) & 0x70, 0) << "IVR &50: the acknowledge cleared each flag";
    EXPECT_EQ(ram(0x8021) & 0x70, 0x70) << "IVR &51: each flag stayed for the handler";

    // IM 1: the counter and channel 0 both reach RST 38h, each acknowledged once.
    for (int gap : spacing(9, 0x54)) EXPECT_EQ(gap, 42);
    EXPECT_GE(spacing(9, 0x54).size(), 5u);
    int counterAcks = 0;
    for (const Ack& a : acks) counterAcks += a.phase == 9 && a.vector == 0x56;
    EXPECT_GE(counterAcks, 18);
    EXPECT_EQ(ram(0x8015), std::count_if(acks.begin(), acks.end(), [](const Ack& a) { return a.phase == 9; }));
    EXPECT_EQ(ram(0x8014), 0) << "no acknowledge gave a vector outside the four";
}

}  // namespace
