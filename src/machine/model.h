// The machine selectors: which model, which firmware language, which CRTC.
#pragma once
#include <cstdint>

enum CpcModel : uint8_t { CPC464 = 0, CPC664 = 1, CPC6128 = 2, CPC464Plus = 3, CPC6128Plus = 4, GX4000 = 5, NoModel = 255 };
enum CpcLanguage : uint8_t { LangUK = 0, LangFrench = 1, LangSpanish = 2, LangDanish = 3 };

extern uint8_t cpcType;
extern uint8_t cpcLang;
extern uint8_t crtcType;

inline bool isPlusModel(uint8_t type) { return type > 2 && type != NoModel; }

// The model's name as the menu and the file browser show it.
inline const char* modelName(uint8_t type) {
    static const char* const kNames[] = {"CPC 464", "CPC 664", "CPC 6128", "CPC 464+", "CPC 6128+", "GX4000"};
    return type <= GX4000 ? kNames[type] : "none";
}
