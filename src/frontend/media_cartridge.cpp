#include "frontend/media_cartridge.h"

#include <SDL.h>

#include "asic/cartridge.h"
#include "machine/base_path.h"
#include "machine/cpc.h"
#include "machine/file_reader.h"
#include "machine/frontend_hooks.h"
#include "machine/model.h"
#include "machine/text_buffers.h"

namespace {

constexpr const char* kWrongRiff = "\366 Cartridge has wrong RIFF format ! \367";

std::string cartridgePath;

bool isRiffFile(const char* path) {
    bool riff = SDL_OpenFile(path) > 0 && headerIdCheck("RIFF");
    SDL_CloseFile();
    return riff;
}

}  // namespace

bool load_cartridge_file(const char* path) {
    if (!path || !isRiffFile(path)) {
        SDL_Log("load_cartridge_file: %s is not a RIFF file", path ? path : "");
        textShowOSD(kWrongRiff);
        return false;
    }
    if (!isPlusModel(cpcType)) {
        // Cartridges need a Plus: the 6128+ is built first, with its own cartridge.
        cpcType = CPC6128Plus;
        if (!startCPC()) return false;
    }
    SDL_OpenFile(path);
    bool loaded = fileCPR();
    SDL_CloseFile();
    if (!loaded) {
        textShowOSD(kWrongRiff);
        // The failed file left no usable banks: the model's own cartridge again.
        startCPC();
        return false;
    }
    cartridgePath = path;
    copyToTextBuffer(fileName_cpr_str, fileNamePart(path));
    textShowOSD("%s", fileNamePart(path));
    soft_reset();
    return true;
}

std::string loadedCartridgePath() { return isPlusModel(cpcType) ? cartridgePath : std::string(); }
