// No units: nothing scrubs.
#include "mixer/units/services.h"

void UnitsPrepScrubBufs(int32_t, int32_t) {}
void UnitsStartScrub(int) {}
