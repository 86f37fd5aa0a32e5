// What the status strip and its LEDs show, read from the machine in one
// place, so the icons do not depend on how each device keeps its state.
#pragma once

enum class MonitorPalette { Colour, Green, Gray };

bool statusDiskLed(int unit);
bool statusTapeLed();
bool statusDiskLoaded(int unit);
const char* statusDiskFileName(int unit);  // "" without a disk
bool statusDiskDoubleSided(int unit);
int statusDiskSide(int unit);
bool statusDiskWriteProtected(int unit);
bool statusTapeLoaded();
bool statusTapePlaying();
MonitorPalette statusMonitorPalette();
bool statusScanlines();
bool statusJoystickOn();
bool statusGunStickOn();
