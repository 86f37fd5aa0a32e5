// The ASIC's frame clock: the gate array's step shape with the ASIC's memory
// map, I/O decoding and interrupt flag bound in.
#include "asic/asic.h"
#include "video/frame_step.h"

void asicCPC::raiseVideoInterrupt() {
    cpu->intLine = true;
    videoIntPending = true;
}

// The WAIT pin as it stands: for callers that drive it themselves.
void asicCPC::call_cpu() { cpuTState<asicCPC, Z80CPU::WaitFromPin, false>(); }

void asicCPC::clockMicrosecond() { runSteps<asicCPC>(1); }

bool asicCPC::clock() { return runFrame<asicCPC>(); }
