// Nine quick save slots: SNA snapshots named after the loaded medium
// (NAME.slot1.sna ... NAME.slot9.sna beside the disk in drive A, else drive
// B, else the tape, else the cartridge; Kestrix.slotN.sna in the base
// directory without any), saved and loaded by key and from the menu.
#pragma once
#include <string>

constexpr int kQuickSlots = 9;

// The file of slot 1 to 9 for the media loaded now; empty for another number.
std::string quickSlotPath(int slot);
// Writes the machine to the slot, replacing an earlier slot snapshot but no
// other file; says on screen what happened. True when written.
bool saveQuickSlot(int slot);
// Loads the slot's snapshot; a slot never saved says so and changes nothing.
bool loadQuickSlot(int slot);
