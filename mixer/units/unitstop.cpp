// Stopping the units and asking whether they are idle: apart from the other
// movements, as the program's start-up and shutdown use them on their own.
#include "mixer/units/services.h"
#include "mixer/units/unitmotion.h"

void UnitsStop() {
  EveryUnit([](const UnitOps& ops, UnitHandle h) { return ops.stop(h); });
}

int UnitsAllIdle() {
  return EveryUnit([](const UnitOps& ops, UnitHandle h) {
    uint32_t status = 0;
    return ops.getStatus(h, &status) && (status & 63) == 0;
  });
}

