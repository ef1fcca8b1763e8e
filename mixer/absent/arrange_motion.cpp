// No arrange window, no off-line runs and no modules: nothing solo-plays,
// scrubs or auditions while the transport is stopped.
#include "mixer/arrange/services.h"

int ArrSoloPlaying() { return 0; }
int ArrScrubbing() { return 0; }
int ArrSoloPlayState() { return 0; }
int ProcRunActive() { return 0; }
int ProcMixdownRunning() { return 0; }
void ProcRunProgress(int32_t) {}
int EopAuditionPlaying() { return 0; }
// No modules were found: the menu keeps its placeholders.
void EopUpdateMenu(void*) {}
