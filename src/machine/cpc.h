// The machine's life: building the devices of a model, starting, resetting,
// and changing model, language, CRTC, drives and memory. The devices
// themselves are declared beside their chips, the selectors in machine/model.h.
#pragma once
#include <cstdint>

void beginCPC();
void endCPC();
bool startCPC();
void soft_reset();
bool changeCPCType(uint8_t type, bool stopFirst);
// The same, also when type is the model already running: its ROMs and memory are built again.
bool reloadCPCType(uint8_t type, bool stopFirst);
// Starts the model a name gives ("464", "6128+", "gx4000"); false, nothing changed, for any other name.
bool chooseCPCType(const char* name);
// The model icon and the menu: a model, leaving the GX4000's cartridge behind.
void selectCPCType(uint8_t type);
void cycleCPCType();
void changeCPCLang(uint8_t lang, bool stopFirst);
// The 664 and the GX4000 come in one language only.
bool modelHasLanguages(uint8_t type);
void selectLanguage(uint8_t lang);
void cycleLanguage();
void changeCrtcType();
void cycleCrtcType();
void changeCPCFdc(bool present, int drives);
void changeCPCMemory(uint16_t kb);

// The ROM file names a model and language are built from.
const char* osRomFileName(uint8_t type, uint8_t lang);
const char* basicRomFileName(uint8_t type, uint8_t lang);
const char* cartridgeFileName(uint8_t type, uint8_t lang);
