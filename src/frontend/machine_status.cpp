#include "frontend/machine_status.h"

#include "disk/fdc765.h"
#include "frontend/joystick.h"
#include "frontend/media_loader.h"
#include "frontend/media_tape.h"
#include "machine/shared_flag.h"
#include "machine/text_buffers.h"
#include "tape/tape_drive.h"
#include "video/monitor.h"

namespace {

const floppyDrive* drive(int unit) { return unit ? fd1 : fd0; }

bool diskIn(int unit) {
    const floppyDrive* d = drive(unit);
    return d && d->diskInserted;
}

}  // namespace

bool statusDiskLed(int unit) { return loadFlag(t_led_disk[unit & 3]) != 0; }
bool statusTapeLed() { return loadFlag(t_led_k7); }
bool statusDiskLoaded(int unit) { return t_eject_disk[unit & 3] != 0; }

const char* statusDiskFileName(int unit) {
    const char* name = unit == 0 ? fileName_dsk0_str : fileName_dsk1_str;
    return name ? name : "";
}

bool statusDiskDoubleSided(int unit) { return diskIn(unit) && drive(unit)->doubleSided != 0; }
int statusDiskSide(int unit) { return diskIn(unit) && drive(unit)->sideFlipped ? 1 : 0; }
// The tab is the drive's setting: it is shown (and kept) with or without a disk.
bool statusDiskWriteProtected(int unit) { return drive(unit) && drive(unit)->writeProtected; }
bool statusTapeLoaded() { return t_loadeject_cdt; }
bool statusTapePlaying() { return tape && tape->playKey; }

MonitorPalette statusMonitorPalette() {
    if (t_color) return MonitorPalette::Colour;
    return t_colorG ? MonitorPalette::Green : MonitorPalette::Gray;
}

bool statusScanlines() { return loadFlag(t_scanlines); }
bool statusJoystickOn() { return joystick; }
bool statusGunStickOn() { return gunStick; }
