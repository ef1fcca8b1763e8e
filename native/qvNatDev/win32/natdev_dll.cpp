// The layer bound to qvNatRec.dll by the recorder's decorated export names,
// loaded with the layer; the gate-on list in movable global memory.
#include <windows.h>

#include "native/qvNatDev/natdev.h"

namespace {

NatRecApi gApi;
bool gBound = false;
HMODULE gLib = nullptr;

template <class Fn>
bool Bind(Fn& fn, const char* name) {
  fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(gLib, name)));
  return fn != nullptr;
}

bool BindAll() {
  gLib = LoadLibraryA("qvNatRec.dll");
  if (gLib == nullptr) return false;
  NatRecApi& a = gApi;
  const bool ok =
      Bind(a.open, "_OpenRecorder@8") && Bind(a.close, "_CloseRecorder@4") &&
      Bind(a.setDisk0, "_RecorderSetDisk0List@16") && Bind(a.setDisk1, "_RecorderSetDisk1List@16") &&
      Bind(a.setFade0, "_RecorderSetFade0List@16") && Bind(a.setFade1, "_RecorderSetFade1List@16") &&
      Bind(a.setDiskR, "_RecorderSetDiskRList@16") &&
      Bind(a.setFadeCurve, "_RecorderSetFadeCurvTable@12") &&
      Bind(a.getStatus, "_RecorderGetStatus@4") && Bind(a.waitIdle, "_RecorderWaitUntilIdle@4") &&
      Bind(a.getDiskError, "_RecorderGetDiskErrorStat@8") && Bind(a.getCloc, "_RecorderGetCloc@4") &&
      Bind(a.getExpandedCloc, "_RecorderGetExpandedCloc@4") &&
      Bind(a.getBufMinimum, "_RecorderGetAudioBufMinimum@4") &&
      Bind(a.getRecTfrLocs, "_RecorderGetAudioRecTfrLocs@8") &&
      Bind(a.getPlayListState, "_RecorderGetPlayListState@4") &&
      Bind(a.setTrkCfg, "_RecorderSetAudTrkCfg@8") &&
      Bind(a.setTimeCode, "_RecorderSetTimeCodeStatics@12") &&
      Bind(a.setEnd, "_RecorderSetPlayRecEndLoc@12") &&
      Bind(a.setLoop, "_RecorderSetSeamlessLoopParams@32") &&
      Bind(a.prep, "_RecorderPrepAudPlayBufs@12") && Bind(a.start, "_RecorderStartPlayRec@4") &&
      Bind(a.stop, "_RecorderStop@4") && Bind(a.setScrub, "_RecorderSetScrubParam@16") &&
      Bind(a.prepScrub, "_RecorderPrepScrubBufs@20") &&
      Bind(a.startScrub, "_RecorderStartScrub@8") &&
      Bind(a.setHold, "_RecorderSetAsyncHoldLoc@12") &&
      Bind(a.normalise, "_RecorderNORMProcess@28") && Bind(a.removeDc, "_RecorderREMDCProcess@28") &&
      Bind(a.render, "_RecorderRenderProcess@20") &&
      Bind(a.gateScan, "_RecorderNoiseGateScan@32") && Bind(a.getPeak, "_RecorderGetMaxPeak@4") &&
      Bind(a.getGateList, "_RecorderGetNoiseGateOnList@8") &&
      Bind(a.slaveArm, "_RecorderTimeCodeSlaveArmPlayRec@20");
  if (!ok) {
    FreeLibrary(gLib);
    gLib = nullptr;
  }
  return ok;
}

}  // namespace

const NatRecApi* NatRec() {
  // Bound on first use: the loader lock is not held here, unlike in DllMain.
  if (!gBound && gLib == nullptr) gBound = BindAll();
  return gBound ? &gApi : nullptr;
}

void* NatGlobalAlloc(uint32_t bytes) { return GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes); }
int32_t* NatGlobalLock(void* block) { return static_cast<int32_t*>(GlobalLock(block)); }
void NatGlobalUnlock(void* block) { GlobalUnlock(block); }
void NatGlobalFree(void* block) {
  if (block != nullptr) GlobalFree(block);
}
