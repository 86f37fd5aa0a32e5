#include "disk/track_info.h"

#include "disk/mfm_codec.h"

trackInfo* init_track_information_bloc(int tracks, int sides) {
    int count = tracks * sides;
    if (count <= 0) return nullptr;
    auto* info = new trackInfo[count];
    for (int i = 0; i < count; ++i) {
        info[i].cylinder = static_cast<uint8_t>(i >> (sides - 1));
        info[i].side = sides == 2 ? static_cast<uint8_t>(i & 1) : 0;
    }
    return info;
}

uint16_t** init_track_MFM(int tracks, int sides) {
    int count = tracks * sides;
    if (count <= 0) return nullptr;
    auto** buffers = new uint16_t*[count];
    for (int i = 0; i < count; ++i) {
        buffers[i] = new uint16_t[kTrackScratchWords];
        for (uint32_t k = 0; k < kTrackScratchWords; ++k) buffers[i][k] = kMfmFillerE5;
    }
    return buffers;
}

void destroy_track_IBMFM(trackInfo* info, uint16_t** buffers, int tracks, int sides) {
    int count = tracks * sides;
    if (info) {
        for (int i = 0; i < count; ++i) delete[] info[i].sectors;
        delete[] info;
    }
    if (buffers) {
        for (int i = 0; i < count; ++i) delete[] buffers[i];
        delete[] buffers;
    }
}

void foldToSingleSide(trackInfo* info, uint16_t** buffers, int tracks) {
    if (!info || !buffers) return;
    for (int t = 0; t < tracks; ++t) {
        int odd = 2 * t + 1;
        delete[] info[odd].sectors;
        info[odd] = trackInfo{};
        delete[] buffers[odd];
        buffers[odd] = nullptr;
    }
    for (int t = 1; t < tracks; ++t) {
        info[t] = info[2 * t];
        info[2 * t] = trackInfo{};
        buffers[t] = buffers[2 * t];
        buffers[2 * t] = nullptr;
    }
    for (int t = 0; t < tracks; ++t) {
        info[t].cylinder = static_cast<uint8_t>(t);
        info[t].side = 0;
    }
}
