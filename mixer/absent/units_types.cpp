// No units: no I/O types.
#include "mixer/units/services.h"

int UnitIoType(int) { return 0; }
int UnitRate96kCapable(int) { return 0; }
