#include "machine/cpc.h"

#include <SDL.h>
#include <cstring>
#include <strings.h>

#include "asic/asic.h"
#include "asic/cartridge.h"
#include "disk/fdc765.h"
#include "machine/base_path.h"
#include "machine/emulation_thread.h"
#include "machine/file_reader.h"
#include "machine/frontend_hooks.h"
#include "machine/keyboard.h"
#include "machine/memory.h"
#include "machine/model.h"
#include "machine/ppi8255.h"
#include "machine/text_buffers.h"
#include "snapshot/snr_replay.h"
#include "sound/ay8910.h"
#include "tape/tape_drive.h"
#include "video/crtc6845.h"
#include "video/monitor.h"

uint8_t cpcType = CPC6128;
uint8_t cpcLang = LangUK;
uint8_t crtcType = 0;

memory* mem = nullptr;
crtc6845* crtc = nullptr;
gaCPC* ga = nullptr;
asicCPC* as = nullptr;
Z80CPU* cpu = nullptr;
PPIi8255* ppi = nullptr;
keyboard* cPCKeyBoard = nullptr;
ay8910* ay = nullptr;
tapeDrive* tape = nullptr;
tapeBlockIndex* tapeIndex = nullptr;
floppyDrive* fd0 = nullptr;
floppyDrive* fd1 = nullptr;
FDCupd765* fdc = nullptr;
uint8_t* SNRBuffer = nullptr;

namespace {

const char* const kOsRoms[3][4] = {
    {"Rom CPC 464 (UK) (Rom A) (1984) (OS v1) [UTILITAIRE] [ROM].rom",
     "Rom CPC 464 (F) (Rom A) (1984) (OS v1) [UTILITAIRE] [ROM].rom",
     "Rom CPC 464 (S) (Rom A) (1984) (OS v1) [UTILITAIRE] [ROM].rom",
     "Rom CPC 464 (DA) (Rom A) (1984) (OS v1) [UTILITAIRE] [ROM].rom"},
    {"Rom CPC 664 (UK) (Rom A) (1984) (OS v2) [UTILITAIRE] [ROM].rom",
     "Rom CPC 664 (UK) (Rom A) (1984) (OS v2) [UTILITAIRE] [ROM].rom",
     "Rom CPC 664 (UK) (Rom A) (1984) (OS v2) [UTILITAIRE] [ROM].rom",
     "Rom CPC 664 (UK) (Rom A) (1984) (OS v2) [UTILITAIRE] [ROM].rom"},
    {"Rom CPC 6128 (UK) (Rom A) (1985) (OS v3) [UTILITAIRE] [ROM].rom",
     "Rom CPC 6128 (F) (Rom A) (1985) (OS v3) [UTILITAIRE] [ROM].rom",
     "Rom CPC 6128 (S) (Rom A) (1985) (OS v3) [UTILITAIRE] [ROM].rom",
     "Rom CPC 6128 (DA) (Rom A) (1985) (OS v3) [UTILITAIRE] [ROM].rom"},
};

const char* const kBasicRoms[3][4] = {
    {"Rom CPC 464 (UK) (Rom B) (1984) (Basic 1.0) [UTILITAIRE] [ROM].rom",
     "Rom CPC 464 (F) (Rom B) (1984) (Basic 1.0) [UTILITAIRE] [ROM].rom",
     "Rom CPC 464 (UK) (Rom B) (1984) (Basic 1.0) [UTILITAIRE] [ROM].rom",
     "Rom CPC 464 (DA) (Rom B) (1984) (Basic 1.0) [UTILITAIRE] [ROM].rom"},
    {"Rom CPC 664 (UK) (Rom B) (1984) (Basic 1.1) [UTILITAIRE] [ROM].rom",
     "Rom CPC 664 (UK) (Rom B) (1984) (Basic 1.1) [UTILITAIRE] [ROM].rom",
     "Rom CPC 664 (UK) (Rom B) (1984) (Basic 1.1) [UTILITAIRE] [ROM].rom",
     "Rom CPC 664 (UK) (Rom B) (1984) (Basic 1.1) [UTILITAIRE] [ROM].rom"},
    {"Rom CPC 6128 (UK) (Rom B) (1985) (Basic 1.1) [UTILITAIRE] [ROM].rom",
     "Rom CPC 6128 (F) (Rom B) (1985) (Basic 1.1) [UTILITAIRE] [ROM].rom",
     "Rom CPC 6128 (S) (Rom B) (1985) (Basic 1.1) [UTILITAIRE] [ROM].rom",
     "Rom CPC 6128 (DA) (Rom B) (1985) (Basic 1.1) [UTILITAIRE] [ROM].rom"},
};

const char* const kPlusCartridges[4] = {
    "Burnin' Rubber (UK) (1990) & Locomotive Basic (Clavier Qwerty) [Original] [CARTOUCHE].cpr",
    "Burnin' Rubber (UK) (1990) & Locomotive Basic (Clavier Azerty) [Original] [CARTOUCHE].cpr",
    "Burnin' Rubber (UK) (1990) & Locomotive Basic (Clavier Qwerty - Espagne) [Original] [CARTOUCHE].cpr",
    "Burnin' Rubber (UK) (1990) & Locomotive Basic (Clavier Qwerty) [Original] [CARTOUCHE].cpr",
};
const char* const kGx4000Cartridge = "Burnin' Rubber (UK) (1990) [Original] [CARTOUCHE].cpr";

constexpr uint8_t kDiskRomSlot = 7;

}  // namespace

const char* osRomFileName(uint8_t type, uint8_t lang) { return type <= 2 ? kOsRoms[type][lang & 3] : nullptr; }
const char* basicRomFileName(uint8_t type, uint8_t lang) { return type <= 2 ? kBasicRoms[type][lang & 3] : nullptr; }
const char* cartridgeFileName(uint8_t type, uint8_t lang) {
    if (type == GX4000) return kGx4000Cartridge;
    return isPlusModel(type) ? kPlusCartridges[lang & 3] : nullptr;
}

void beginCPC() {
    if (!mem) {
        mem = new memory();
        mem->init(128);
        mem->updateRamConfiguration(127, 0);
    }
    if (!crtc) crtc = new crtc6845();
    if (!ga) ga = new gaCPC();
    if (!as) as = new asicCPC();
    if (!cpu) cpu = new Z80CPU();
    if (!ppi) ppi = new PPIi8255();
    if (!cPCKeyBoard) cPCKeyBoard = new keyboard();
    if (!ay) ay = new ay8910();
    if (!tapeIndex) tapeIndex = new tapeBlockIndex();
    if (!tape) {
        tape = new tapeDrive();
        tape->init(false, false, false);
    }
    if (!fd0) {
        fd0 = new floppyDrive();
        fd0->init(0);
    }
    if (!fd1) {
        fd1 = new floppyDrive();
        fd1->init(1);
    }
    saveSnapshotRequest = false;
    saveScreenRequest = false;
}

void endCPC() {
    delete mem; mem = nullptr;
    delete crtc; crtc = nullptr;
    delete ga; ga = nullptr;
    delete as; as = nullptr;
    delete cpu; cpu = nullptr;
    delete ppi; ppi = nullptr;
    delete cPCKeyBoard; cPCKeyBoard = nullptr;
    delete[] SNRBuffer; SNRBuffer = nullptr;
    delete ay; ay = nullptr;
    delete tape; tape = nullptr;
    delete tapeIndex; tapeIndex = nullptr;
    delete fd0; fd0 = nullptr;
    delete fd1; fd1 = nullptr;
    delete fdc; fdc = nullptr;
}

bool startCPC() {
    if (running) stopRun();
    crtc->reset();
    crtc->setType(crtcType);
    frontendHooks.redrawCrtcIcon();
    ay->reset();
    cPCKeyBoard->reset();
    delete[] SNRBuffer;
    SNRBuffer = nullptr;
    clearSNRCounters();
    ppi->reset();
    resetTapeCounter();
    tape->eject();
    cpu->reset();
    MakeMFMEnDecodeTable();
    return reloadCPCType(cpcType, false);
}

void soft_reset() {
    if (running) stopRun();
    stopSNR();
    ay->reset();
    ppi->reset();
    if (isPlusModel(cpcType)) {
        as->reset();
    } else {
        ga->reset();
    }
    mem->reset();
    cpu->reset();
    if (fdc) {
        fd0->start_motor(false);
        fd1->start_motor(false);
        fdc->reset(fd0, fdc->units[1]->drive ? fd1 : nullptr, nullptr, nullptr, false);
    }
    cPCKeyBoard->reset();
    frontendHooks.joystickCheckOnReset();
    // The runstop toggle: the emulation was stopped above.
    runstop();
}

namespace {

// Loads the OS, BASIC and disk ROMs of a CPC model; false when the OS ROM is missing.
bool loadCpcRoms(uint8_t type, char* path) {
    mem->delete_cburom();
    if (mem->cbBank[0] && mem->lowerRom == mem->cbBank[0]) mem->lowerRom = nullptr;
    mem->initLromData();
    buildBasePath(path, "ROM", osRomFileName(type, cpcLang));
    bool osLoaded = SDL_readFileLrom(path);
    mem->lowerRom = mem->lowerRomData;
    char basicPath[kTextBufferSize];
    buildBasePath(basicPath, "ROM", basicRomFileName(type, cpcLang));
    bool basicLoaded = readFileUrom(basicPath, 0);
    if (!osLoaded) return false;
    if (type == CPC464) {
        mem->delete_urom(kDiskRomSlot);
        changeCPCFdc(false, 0);
    } else {
        if (basicLoaded) {
            char dosPath[kTextBufferSize];
            buildBasePath(dosPath, "ROM", "AMSDOS.ROM");
            readFileUrom(dosPath, kDiskRomSlot);
        }
        changeCPCFdc(true, 2);
    }
    return true;
}

bool loadPlusCartridge(uint8_t type, char* path) {
    buildBasePath(path, "ROM", cartridgeFileName(type, cpcLang));
    bool loaded = false;
    if (SDL_OpenFile(path) == 0) {
        SDL_Log("changeCPCType: cartridge not correctly loaded before starting the emulation.");
        SDL_CloseFile();
        loaded = loadStandInCartridge(path);
    } else {
        loaded = fileCPR();
        SDL_CloseFile();
    }
    if (!loaded) return false;
    changeCPCFdc(type == CPC6128Plus, type == CPC6128Plus ? 2 : 0);
    return true;
}

}  // namespace

bool changeCPCType(uint8_t type, bool stopFirst) {
    if (type == cpcType) return true;
    if (type > GX4000) type = CPC464;
    if (stopFirst && running) stopRun();
    stopSNR();
    cpcType = type;
    frontendHooks.redrawModelIcon();
    if (isPlusModel(type)) {
        as->reset();
        if (crtcType != 3) {
            crtcType = 3;
            changeCrtcType();
        }
    } else {
        ga->reset();
        if (crtcType == 3) cycleCrtcType();
    }
    resetMonitorSimulation();
    mem->init(static_cast<uint16_t>((type == CPC6128 || type == CPC6128Plus) ? 128 : 64));
    if (type == CPC664 || type == GX4000) cpcLang = LangUK;

    char path[kTextBufferSize];
    bool built = isPlusModel(type) ? loadPlusCartridge(type, path) : loadCpcRoms(type, path);
    if (!built) {
        SDL_Log("main: startCPC - 'Lower ROM0 file=%s' must exist before starting the emulation.", path);
        return false;
    }
    if (stopFirst) soft_reset();
    frontendHooks.redrawModelIcon();
    return true;
}

bool reloadCPCType(uint8_t type, bool stopFirst) {
    // The frame clock is chosen by cpcType: no frame may see the placeholder.
    if (stopFirst && running) stopRun();
    cpcType = NoModel;
    return changeCPCType(type, stopFirst);
}

bool chooseCPCType(const char* name) {
    uint8_t selected = CPC464;
    if (!name) name = "";
    if (strncasecmp(name, "464", 3) == 0) {
        selected = strncasecmp(name, "464+", 4) == 0 ? CPC464Plus : CPC464;
    } else if (strncasecmp(name, "664", 3) == 0) {
        selected = CPC664;
    } else if (strncasecmp(name, "6128", 4) == 0) {
        selected = strncasecmp(name, "6128+", 5) == 0 ? CPC6128Plus : CPC6128;
    } else if (strncasecmp(name, "gx4000", 6) == 0) {
        selected = GX4000;
    } else {
        SDL_Log(" chooseCPCType: Unknown CPC %s", name);
        return false;
    }
    return reloadCPCType(selected, true);
}

void selectCPCType(uint8_t type) {
    if (cpcType == GX4000 && type != GX4000) {
        if (running) stopRun();
        mem->delete_cburom();
    }
    changeCPCType(type, true);
}

void cycleCPCType() { selectCPCType(cpcType >= GX4000 ? uint8_t(CPC464) : static_cast<uint8_t>(cpcType + 1)); }

void changeCPCLang(uint8_t lang, bool stopFirst) {
    if (lang == cpcLang) return;
    cpcLang = lang & 3;
    reloadCPCType(cpcType, stopFirst);
}

bool modelHasLanguages(uint8_t type) { return type != CPC664 && type != GX4000; }

void selectLanguage(uint8_t lang) {
    if (!modelHasLanguages(cpcType)) return;
    changeCPCLang(lang, true);
    frontendHooks.redrawLanguageIcon();
}

void cycleLanguage() { selectLanguage(static_cast<uint8_t>((cpcLang + 1) & 3)); }

void changeCrtcType() {
    crtc->setType(crtcType);
    frontendHooks.redrawCrtcIcon();
}

void cycleCrtcType() {
    if (isPlusModel(cpcType)) {
        crtcType = 3;
    } else {
        switch (crtcType) {
            case 0: crtcType = 1; break;
            case 1: crtcType = 2; break;
            case 2: crtcType = 4; break;
            case 3: crtcType = 4; break;  // type 3 exists only on the Plus
            default: crtcType = 0; break;
        }
    }
    changeCrtcType();
}

void changeCPCFdc(bool present, int drives) {
    if (!present) {
        // The disks stay in the drives but the machine can no longer reach them.
        if (fdc) frontendHooks.writeBackDisks();
        delete fdc;
        fdc = nullptr;
    } else if (!fdc) {
        fdc = new FDCupd765();
        fdc->reset(fd0, drives == 2 ? fd1 : nullptr, nullptr, nullptr, false);
        frontendHooks.redrawWriteProtectIcons();
    }
    frontendHooks.redrawDiskIcons();
}

void changeCPCMemory(uint16_t kb) { mem->init(kb); }
