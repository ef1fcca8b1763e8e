// qvNatDev.dll bound by its decorated export names, loaded on first use from
// the program's folder (the recorder library it loads sits beside it).
#include <windows.h>

#include "mixer/units/win32/natdev_win.h"

namespace {

template <class Fn>
bool Bind(HMODULE lib, Fn& fn, const char* name) {
  fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(lib, name)));
  return fn != nullptr;
}

}  // namespace

const NatDevApi* NatDevLibraryApi() {
  static NatDevApi api;
  static int state = 0;  // 0 not tried, 1 bound, -1 missing
  if (state != 0) return state > 0 ? &api : nullptr;
  state = -1;
  HMODULE lib = LoadLibraryA("qvNatDev.dll");
  if (lib == nullptr) return nullptr;
  NatDevApi& a = api;
  const bool ok =
      Bind(lib, a.open, "_OpenNatDevice@12") && Bind(lib, a.close, "_CloseNatDevice@4") &&
      Bind(lib, a.getStatus, "_NatXGetStatus@4") && Bind(lib, a.waitIdle, "_NatXWaitUntilIdle@4") &&
      Bind(lib, a.getDiskError, "_Nat1GetDiskErrorStat@8") &&
      Bind(lib, a.getCloc, "_Nat1GetCloc@4") &&
      Bind(lib, a.getBufMinimum, "_Nat1GetAudioBufMinimum@4") &&
      Bind(lib, a.stop, "_Nat1Stop@4") && Bind(lib, a.start, "_Nat1SyncStartPlayRecPhase3@4") &&
      Bind(lib, a.getEnvelopes, "_Nat1GetEnvelopes@28") &&
      Bind(lib, a.setPlayList, "_Nat1SetAudPlayList@28") &&
      Bind(lib, a.setSrate, "_Nat1SetSrate@8") &&
      Bind(lib, a.setTimeCode, "_Nat1SetTimeCodeStatics@8") &&
      Bind(lib, a.setEnd, "_Nat1SetPlayRecEndLoc@8") &&
      Bind(lib, a.prep, "_Nat1PrepAudPlayBufs@8") &&
      Bind(lib, a.setLoop, "_Nat1SetSeamlessLoopParams@20") &&
      Bind(lib, a.setFadeCurve, "_Nat1SetFadeCurvTable@12") &&
      Bind(lib, a.setTrkCfg, "_Nat1SetAudTrkCfg@8");
  if (!ok) {
    FreeLibrary(lib);
    return nullptr;
  }
  state = 1;
  return &api;
}
