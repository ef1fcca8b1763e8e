// No console and no native device: no motion and the engine stays at 0.
#include "mixer/units/services.h"

// No unit answers the clock watch; it asks none while there are none.
int UnitCardGetParam(int, CardParams* params) {
  params->clockValid = 0;
  params->sampleRate = 0;
  return 0;
}
int CardSetSyncFlags(int) { return 0; }
int CardClearSyncFlags(int) { return 0; }
uint32_t CardInputSrate(int, int) { return 0; }
uint32_t UnitGetStatus(int) { return 0; }
// Nothing to play: no lists to build.
// The control-surface library is not part of the program: no link.
