#include "frontend/quick_slots.h"

#include <SDL.h>
#include <strings.h>
#include <unistd.h>

#include <cstring>
#include <memory>

#include "frontend/media_cartridge.h"
#include "frontend/media_loader.h"
#include "frontend/media_snapshot.h"
#include "frontend/media_tape.h"
#include "machine/base_path.h"
#include "machine/emulation_thread.h"
#include "machine/frontend_hooks.h"
#include "snapshot/sna_file.h"

namespace {

// The medium the slots belong to: the one a snapshot of this moment needs to go on.
std::string slotOwner() {
    for (int unit = 0; unit < 2; ++unit) {
        std::string disk = loadedDiskPath(unit);
        if (!disk.empty()) return disk;
    }
    std::string tape = loadedTapePath();
    if (!tape.empty()) return tape;
    return loadedCartridgePath();
}

// The owner's name without its extension (and without .gz), which the slot's number and ".sna" follow.
std::string slotStem(std::string owner) {
    if (owner.empty()) {
        char path[512];
        buildBasePath(path, "", "Kestrix");
        return path;
    }
    const size_t nameAt = static_cast<size_t>(fileNamePart(owner.c_str()) - owner.c_str());
    for (int pass = 0; pass < 2; ++pass) {
        const size_t dot = owner.rfind('.');
        if (dot == std::string::npos || dot <= nameAt) break;
        const bool gz = strcasecmp(owner.c_str() + dot, ".gz") == 0;
        owner.resize(dot);
        if (!gz) break;
    }
    return owner;
}

// A file at `path` that a slot may replace: a snapshot, which only a slot of this name can be.
bool isSnapshotFile(const std::string& path) {
    std::unique_ptr<FILE, int (*)(FILE*)> in(std::fopen(path.c_str(), "rb"), &std::fclose);
    char magic[8] = {};
    return in && std::fread(magic, 1, sizeof magic, in.get()) == sizeof magic && std::memcmp(magic, "MV - SNA", 8) == 0;
}

}  // namespace

std::string quickSlotPath(int slot) {
    if (slot < 1 || slot > kQuickSlots) return {};
    return slotStem(slotOwner()) + ".slot" + std::to_string(slot) + ".sna";
}

bool saveQuickSlot(int slot) {
    const std::string path = quickSlotPath(slot);
    if (path.empty()) return false;
    const char* name = fileNamePart(path.c_str());
    if (isRegularFile(path.c_str()) ? !isSnapshotFile(path) : access(path.c_str(), F_OK) == 0) {
        SDL_Log("slots: %s exists and is no snapshot, not overwritten", path.c_str());
        textShowOSD("\366 %s exists and is no snapshot: slot %d not saved ! \367", name, slot);
        return false;
    }
    std::string error;
    if (!withEmulationStopped([&] { return writeSNAFile(path.c_str(), &error); })) {
        SDL_LogError(SDL_LOG_CATEGORY_APPLICATION, "slots: %s not written: %s", path.c_str(), error.c_str());
        textShowOSD("\366 Slot %d not saved: %s ! \367", slot, error.c_str());
        return false;
    }
    SDL_Log("slots: slot %d saved to %s", slot, path.c_str());
    textShowOSD("\366 Slot %d saved (%s) \367", slot, name);
    return true;
}

bool loadQuickSlot(int slot) {
    const std::string path = quickSlotPath(slot);
    if (path.empty()) return false;
    const char* name = fileNamePart(path.c_str());
    if (!isRegularFile(path.c_str())) {
        SDL_Log("slots: slot %d is empty (%s not found)", slot, path.c_str());
        textShowOSD("\366 Slot %d is empty (%s not found) ! \367", slot, name);
        return false;
    }
    const bool loaded = withEmulationStopped([&] { return load_snapshot_file(path.c_str()); });
    if (loaded) {
        SDL_Log("slots: slot %d loaded from %s", slot, path.c_str());
        textShowOSD("\366 Slot %d loaded (%s) \367", slot, name);
    }
    return loaded;
}
