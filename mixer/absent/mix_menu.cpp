// No mixer: no element states to compare.
#include "mixer/mix/services.h"

int MixElemStatesChanged() { return 0; }
