// No mixdown routing: no mixdown runs.
#include "mixer/arrange/services.h"

int ProcMixdownRunning() { return 0; }
