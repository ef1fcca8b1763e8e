// No units: no video file, no 9-pin sync, no linked clocks.
#include "mixer/units/services.h"

int VideoFileIsOpen() { return 0; }
int NinePinSyncEnabled() { return 0; }
int UnitsClockLinkedToFirst() { return 0; }
