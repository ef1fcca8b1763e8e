// No units: no I/O types.
#include "mixer/units/services.h"

int UnitRate96kCapable(int) { return 0; }
