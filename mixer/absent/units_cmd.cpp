// No units, no 9-pin link, no video service: the commands change nothing
// outside the shell's own settings.
#include "mixer/units/services.h"

void UnitSetMasterClock(int, uint32_t) {}
void UnitSetClockOut(int, uint32_t) {}
void UnitsSetSyncMode(uint32_t, uint32_t, const int32_t*) {}
void UnitCardSetMadiPattern(int, int) {}
void UnitCardUpdateMixState(int) {}
void UnitSetVideoSync(int, int) {}
uint32_t NinePinCommand(uint32_t id) { return id; }
int NinePinDrivesMachine() { return 0; }
void NinePinSetRecBtnEnable(int) {}
void VideoCommand(void*, uint32_t) {}
int UnitsDspMaskFlag() { return 0; }
