// The transport's movements on the host-interface units: stop, locate,
// prepare, start, wind, loop, play end and scrub, each sent to every open
// host unit in unit order through its unit operations. A failed operation
// is fatal there (the DSP function error report); the functions that give a
// result return 0 after it.
#pragma once

#include <cstdint>

#include "mixer/units/unitops.h"
#include "mixer/units/unittable.h"

// The words of a play-buffer preparation (slot 47 takes nine): the start
// position split into its low 24 bits and the bits above, the play/record
// mode bits, then the loop range split the same way (zero without a loop).
struct UnitPrepWords {
  uint32_t word[9];
};
UnitPrepWords UnitPrepWordsFor(int32_t position, uint32_t playRecMode, int32_t loopStart,
                               int32_t loopEnd);

// The loop or punch words (slot 45 takes eight): kind (1 loop, 2 punch),
// on, the range's start and end each as low 24 bits and the bits above,
// the caller's flag and 0.
struct UnitLoopWords {
  uint32_t word[8];
};
UnitLoopWords UnitLoopWordsFor(int kind, int on, int32_t start, int32_t end, int flag);

// The wind speed a unit is sent: 0 parks the shuttle at location -1 (the
// scrub slot's "no position").
constexpr int64_t kUnitParked = -1;

// Sends the play or record end to every unit (slot 44).
void UnitsSetPlayRecEndLoc(int32_t end);
// Sends a scrub position (-1 parks) and step to every unit (slot 60).
void UnitsSetScrubLoc(int32_t position, int32_t step);

// Runs `op` on every open host unit in unit order; 0 at the first unit
// whose operation failed (the rest are not asked).
template <typename Op>
inline int EveryUnit(Op op) {
  for (int unit = 1; unit <= kUnitSlots; ++unit) {
    if (!UnitHasHostUnit(unit)) continue;
    UnitHandle h = kNoUnitHandle;
    const UnitOps* ops = UnitInterface(unit, &h);
    if (ops == nullptr || h == kNoUnitHandle) continue;
    if (!op(*ops, h)) return 0;
  }
  return 1;
}

