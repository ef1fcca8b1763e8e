// No arrange editor commands yet: nothing is edited.
#include "mixer/arrange/services.h"

int ArrGlobalCommand(uint32_t) { return 1; }
int ArrHasTempoMidiParts() { return 0; }
int ArrRetimeMidiParts() { return 0; }
