// No mixer document and no element modules at start-up and shutdown.
#include "mixer/mix/services.h"

void MixIdleTick(MixDoc*) {}
void MixCheckDspLimitTick() {}
void QVMXA_SetLocator(int32_t) {}
void MixLoadElemLibs(const char*) {}
void MixFreeElemLibs() {}
void MixDocCreateCurrent() {}
void MixDocDestroyCurrent() {}
void MixDspLayoutFree() {}
// Without a mixer document nothing can have changed.
int MixOfferSave() { return 1; }
void MixSetRecLamps(int) {}
