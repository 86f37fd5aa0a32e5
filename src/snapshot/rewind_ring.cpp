#include "snapshot/rewind_ring.h"

#include <zlib.h>

#include <cstring>

#include "machine/model.h"
#include "snapshot/sna_file.h"

RewindRing rewindRing;

void RewindRing::take() {
    // A frame's end inside an instruction waits for the next frame's end rather than stepping the machine on.
    if (!snaBoundaryNow()) return;
    framesSince_ = 0;
    const size_t imageSize = snaSaveSize();
    newest_ = (newest_ + 1) % kStates;
    if (count_ < kStates) ++count_;
    State& state = states_[newest_];
    state.imageSize = imageSize;
    state.deflated = imageSize * kStates > kBudget;
    if (!state.deflated) {
        state.bytes.resize(imageSize);
        writeSNAInto(state.bytes.data());
        state.size = imageSize;
    } else {
        // Large memories: the fastest deflate, most of such a machine's banks being alike.
        scratch_.resize(imageSize);
        writeSNAInto(scratch_.data());
        uLongf room = compressBound(imageSize);
        packed_.resize(room);
        if (compress2(packed_.data(), &room, scratch_.data(), imageSize, 1) != Z_OK) room = 0;
        // A vector of its own size, so that the budget counts what the state really holds.
        state.bytes = std::vector<uint8_t>(packed_.begin(), packed_.begin() + static_cast<long>(room));
        state.size = room;
    }
    // The oldest go until the whole fits.
    while (count_ > 1 && bytesHeld() > kBudget) {
        State& oldest = at(count_ - 1);
        oldest = State();
        --count_;
    }
}

bool RewindRing::restore(int back, std::string& error) {
    if (back < 0 || back >= count_) {
        error = count_ ? "only " + std::to_string(count_) + " seconds kept" : "no state kept yet";
        return false;
    }
    State& state = at(back);
    const uint8_t* image = state.bytes.data();
    if (state.deflated) {
        scratch_.resize(state.imageSize);
        uLongf size = state.imageSize;
        if (state.size == 0 || uncompress(scratch_.data(), &size, state.bytes.data(), state.size) != Z_OK ||
            size != state.imageSize) {
            error = "the state kept is damaged";
            return false;
        }
        image = scratch_.data();
    }
    SnaImage sna;
    if (!parseSNA(image, state.imageSize, sna, "rewind") || snaModelFor(sna.header[kSnaMachineType]) != cpcType) {
        error = "the state kept is of another machine";
        return false;
    }
    applySNA(sna);
    // What came after the state restored is gone: going on from it makes a new past.
    for (int i = 0; i < back; ++i) at(i) = State();
    newest_ = (newest_ + kStates - back) % kStates;
    count_ -= back;
    framesSince_ = 0;
    return true;
}

void RewindRing::clear() {
    for (State& state : states_) state = State();
    count_ = 0;
    framesSince_ = 0;
}

size_t RewindRing::bytesHeld() const {
    // The working buffers of a large memory count too: the bound is on all the ring takes.
    size_t total = scratch_.capacity() + packed_.capacity();
    for (const State& state : states_) total += state.bytes.capacity();
    return total;
}
