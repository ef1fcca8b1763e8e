// The device layer linked into this binary, for the portable build and its
// tests.
#include "mixer/units/natlink.h"

const NatDevApi* NatDevStaticApi() {
  static const NatDevApi api = {
      OpenNatDevice,        CloseNatDevice,         NatXGetStatus,
      NatXWaitUntilIdle,    Nat1GetDiskErrorStat,   Nat1GetCloc,
      Nat1GetAudioBufMinimum, Nat1Stop,             Nat1SyncStartPlayRecPhase3,
      Nat1GetEnvelopes,     Nat1SetAudPlayList,     Nat1SetSrate,
      Nat1SetTimeCodeStatics, Nat1SetPlayRecEndLoc, Nat1PrepAudPlayBufs,
      Nat1SetSeamlessLoopParams, Nat1SetFadeCurvTable, Nat1SetAudTrkCfg,
      Nat1GetAudioRecTfrLocs,
  };
  return &api;
}
