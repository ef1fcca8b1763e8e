// No units are found and the native engine has no devices: start-up
// passes every unit check, the transport stays stopped at the start.
#include "mixer/model/recready.h"
#include "mixer/model/settings.h"
#include "mixer/units/services.h"

namespace {
int32_t passCount = 0;
}  // namespace

int UnitsConfigDialog() { return 0; }

void UnitsWriteDebugLog() {}
int32_t TransportEndLoc() { return 0x7FFF05FF; }
int32_t TransportPassCount() { return passCount; }
void TransportSetPassCount(int32_t count) { passCount = count; }
// A loop recording's number of stacks: the deepest record loop stack the
// track column made (the Virtual Tracks recording onto one record track).
int32_t TransportPassLimit() { return MaxTrksPerRecTrack(); }
int TransportWindStart(int32_t* position, uint32_t* tick) {
  *position = 0;
  *tick = 0;
  return 1;
}
int NinePinWindPosition(int32_t*, int*) { return 0; }
int UnitHasSyncBoard(int) { return 0; }
void NinePinPoll(uint32_t) {}
void VideoSyncLoc(int32_t) {}

int CheckUnitsHardware() { return 1; }
int LoadUnitsDspProgram(uint32_t) { return 1; }
int CheckUnitsStatus() { return 1; }
int CheckUnitsState() { return 1; }
int CheckUnitsDspMask(int syncBoards[kMaxUnits]) {
  for (int i = 0; i < kMaxUnits; ++i) syncBoards[i] = 0;
  return 1;
}
int CheckCardsDsp() { return 1; }
int InitCardsMixDsp() { return 1; }
int UpdateSyncBoards(const char*, const char*, const int*, int, int* updated) {
  *updated = 0;
  return 1;
}
int CardLockState(int) { return 0; }
void UnitsStartClocks() {}
void ResetCardsMixDsp() {}
void NinePinSetMode(uint32_t) {}
void VideoCloseFile() {}

void UnitCardSetAesSrc(int, uint32_t) {}
void UnitsSetPlayFlags(uint32_t) {}
void UnitSetOptionFlags(int, uint32_t) {}
void UnitGetSyncStatus(uint32_t* status, int32_t* position, uint32_t* first) {
  *status = 0;
  *position = 0;
  *first = 0;
}
int NinePinLeadsTransport() { return 0; }
int NinePinArmedToDrive() { return 0; }
void UnitsArmChase(int32_t) {}
// The punch range is the range between the locators.
int32_t TransportPunchInLoc() { return Locs().LeftLoc; }
int32_t TransportPunchOutLoc() { return Locs().RightLoc; }
int32_t TransportLampHoldLoc() { return -1; }
void TransportSetLampHoldLoc(int32_t) {}
