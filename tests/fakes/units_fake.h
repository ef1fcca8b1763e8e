// Recording stand-in for two of the units subsystem's services, the About
// texts and the native devices' idle state: answers come from the fields
// below, calls are counted.
#pragma once

#include <string>

#include "mixer/units/services.h"

struct UnitsFake {
  int natDevAllIdle = 1;
  int natDevAllIdleCalls = 0;
  // A unit is present when its first text is not empty.
  std::string about[kMaxUnits][2];

  void Reset() { *this = UnitsFake(); }
};

UnitsFake& Units();
