// No arrange window and no off-line runs: nothing solo-plays or scrubs
// while the transport is stopped.
#include "mixer/arrange/services.h"

int ArrSoloPlaying() { return 0; }
int ArrScrubbing() { return 0; }
int ArrSoloPlayState() { return 0; }
int ProcRunActive() { return 0; }
int ProcMixdownRunning() { return 0; }
void ProcRunProgress(int32_t) {}
