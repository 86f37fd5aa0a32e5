// Fills in uiHooks with the windows drawn with Dear ImGui; the program calls
// it before anything runs (kestrix_ui only).
#pragma once

void installUserInterface();
