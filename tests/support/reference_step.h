// The machine's microsecond written out in its plain order, every chip
// clocked every microsecond and the beam fed one pixel tick at a time: no
// whole halves, no colour caches, no quiet spells. Slow; it is the yardstick
// that the frame clock's fast paths are held to.
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
