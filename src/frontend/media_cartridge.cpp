#include "frontend/media_cartridge.h"

#include <SDL.h>

#include "asic/cartridge.h"
#include "frontend/media_loader.h"
#include "machine/base_path.h"
#include "machine/cpc.h"
#include "machine/file_reader.h"
#include "machine/frontend_hooks.h"
#include "machine/model.h"
#include "machine/text_buffers.h"

namespace {

std::string cartridgePath;

}  // namespace

bool load_cartridge_file(const char* path) {
    if (!path) return false;
    if (SDL_OpenFile(path) <= 0) {
        showFileRefusal(path, fileOpenProblem());
        SDL_CloseFile();
        return false;
    }
    bool riff = headerIdCheck("RIFF");
    SDL_CloseFile();
    if (!riff) {
        refuseFile("fileCPR", "not a RIFF file");
        showFileRefusal(path, "not a RIFF file");
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
        showFileRefusal(path, "not a cartridge");
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
