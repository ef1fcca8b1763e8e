// No arrange window: nothing solo-plays or scrubs while the transport is
// stopped.
#include "mixer/arrange/services.h"

int ArrSoloPlaying() { return 0; }
int ArrScrubbing() { return 0; }
int ArrSoloPlayState() { return 0; }
