// The native devices' services the model and the shell ask for while the
// program runs.
#include <windows.h>

#include "mixer/model/arr.h"
#include "mixer/model/take.h"
#include "mixer/units/playlist.h"
#include "mixer/units/services.h"
#include "mixer/units/win32/natdev_win.h"

int NatDevAllIdle() { return NatLinkApi() ? NatLinkAllIdle() : 1; }

namespace {
void SleepMs(uint32_t ms) { Sleep(ms); }
}  // namespace

int NatDevWaitIdle(uint32_t timeoutMs) { return NatLinkApi() ? NatLinkWaitIdle(10, timeoutMs, SleepMs) : 1; }

int NatDevAnyInStatus3() { return NatLinkApi() ? NatLinkAnyPrepared() : 0; }

int NatDevGetDiskErrorStat(uint32_t* take) {
  int32_t ref = 0;
  if (NatLinkApi() == nullptr || !NatLinkDiskError(&ref)) return 0;
  if (take != nullptr) *take = static_cast<uint32_t>(ref);
  return 1;
}

void NatDevSetSrate(uint32_t rate) {
  if (NatLinkApi() == nullptr) return;
  NatLinkSetSrate(rate);
  NatSimSetRate(rate);
}

void NatDevSetTimeCodeStatics(uint32_t, uint32_t tcOffset) {
  if (NatLinkApi()) NatLinkSetTimeCode(static_cast<int32_t>(tcOffset));
}

int NatDevGetEnvelopes(uint32_t count, uint32_t samplesPerEntry, TakeRec* take, uint32_t position,
                       int16_t* buffer) {
  if (NatLinkApi() == nullptr || take == nullptr || buffer == nullptr) return 0;
  return NatLinkEnvelopes(static_cast<int32_t>(count), static_cast<int32_t>(samplesPerEntry),
                          static_cast<int32_t>(TakeRef(take)), position,
                          reinterpret_cast<NatEnvelopePoint*>(buffer));
}

// The native devices hold each track's whole list, so a move of the now
// position leaves nothing to re-send.
int RefreshPlayLists(int32_t) { return 1; }
