// The machine's microsecond in its plain order, every chip clocked every
// microsecond, the beam one tick at a time: the yardstick of the fast paths.
#pragma once
#include <cstdint>

namespace test_support {

// One microsecond of the running model's clock (gate array, or ASIC on a Plus).
void referenceStep();
// One frame the way runOneFrame() runs it (timed actions at their
// microsecond, emulated time and the frame count moved on), built from
// referenceStep().
void referenceRunOneFrame();

}  // namespace test_support
