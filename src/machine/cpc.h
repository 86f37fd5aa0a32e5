// The machine: its device objects, the models and how each is built, resets.
#pragma once
#include <cstdint>

#include "asic/asic.h"
#include "disk/fdc765.h"
#include "disk/floppy_drive.h"
#include "machine/keyboard.h"
#include "machine/memory.h"
#include "machine/ppi8255.h"
#include "sound/ay8910.h"
#include "tape/tape_drive.h"
#include "video/crtc6845.h"
#include "video/gate_array.h"
#include "z80/z80cpu.h"

enum CpcModel : uint8_t { CPC464 = 0, CPC664 = 1, CPC6128 = 2, CPC464Plus = 3, CPC6128Plus = 4, GX4000 = 5, NoModel = 255 };
enum CpcLanguage : uint8_t { LangUK = 0, LangFrench = 1, LangSpanish = 2, LangDanish = 3 };

extern uint8_t cpcType;
extern uint8_t cpcLang;
extern uint8_t crtcType;

extern memory* mem;
extern crtc6845* crtc;
extern gaCPC* ga;
extern asicCPC* as;
extern Z80CPU* cpu;
extern PPIi8255* ppi;
extern keyboard* cPCKeyBoard;
extern ay8910* ay;
extern tapeDrive* tape;
extern tapeBlockIndex* tapeIndex;
extern floppyDrive* fd0;
extern floppyDrive* fd1;
extern FDCupd765* fdc;
extern uint8_t* SNRBuffer;

void beginCPC();
void endCPC();
bool startCPC();
void soft_reset();
bool changeCPCType(uint8_t type, bool stopFirst);
// The same, also when type is the model already running: its ROMs and memory are built again.
bool reloadCPCType(uint8_t type, bool stopFirst);
bool chooseCPCType(const char* name);
void cycleCPCType();
void changeCPCLang(uint8_t lang, bool stopFirst);
void cycleLanguage();
void changeCrtcType();
void cycleCrtcType();
void changeCPCFdc(bool present, int drives);
void changeCPCMemory(uint16_t kb);

// The ROM file names a model and language are built from.
const char* osRomFileName(uint8_t type, uint8_t lang);
const char* basicRomFileName(uint8_t type, uint8_t lang);
const char* cartridgeFileName(uint8_t type, uint8_t lang);

inline bool isPlusModel(uint8_t type) { return type > 2 && type != NoModel; }
