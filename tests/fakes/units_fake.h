// Recording stand-in for three of the units subsystem's services, the About
// texts, the native devices' idle state and the engine's small-buffer flag:
// answers come from the fields below, calls are counted.
#pragma once

#include <string>

#include "mixer/units/services.h"

struct UnitsFake {
  int natDevAllIdle = 1;
  int natDevAllIdleCalls = 0;
  // A unit is present when its first text is not empty.
  std::string about[kMaxUnits][2];
  int engineSmallBuf = 0;

  void Reset() { *this = UnitsFake(); }
};

UnitsFake& Units();
