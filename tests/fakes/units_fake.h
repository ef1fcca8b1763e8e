// Recording stand-in for the units subsystem's services (natdev.h,
// unitinfo.h): answers come from the fields below, calls are counted.
#pragma once

#include <string>

#include "mixer/units/natdev.h"
#include "mixer/units/unitinfo.h"

struct UnitsFake {
  int natDevAllIdle = 1;
  int natDevAllIdleCalls = 0;
  // A unit is present when its first text is not empty.
  std::string about[kMaxUnits][2];

  void Reset() { *this = UnitsFake(); }
};

UnitsFake& Units();
