// No arrange window and no mixdown routing: nothing solo-plays or scrubs
// while the transport is stopped, and no mixdown runs.
#include "mixer/arrange/services.h"

int ArrSoloPlaying() { return 0; }
int ArrScrubbing() { return 0; }
int ArrSoloPlayState() { return 0; }
int ProcMixdownRunning() { return 0; }
