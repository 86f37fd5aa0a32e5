// Going back by key (and from the menu): while held, the machine steps back
// through the states the rewind ring keeps, one emulated second at a time,
// showing each, with the sound silent; let go, it runs on from there.
#pragma once

// Page Up going down (true) and up (false).
void rewindHold(bool held);
// Main thread, once a pass of the main loop: the next step back when one is due.
void rewindTurn();
bool rewindHeld();
// One jump back by that many seconds (the menu's), with the machine held.
bool goBackSeconds(int seconds);
