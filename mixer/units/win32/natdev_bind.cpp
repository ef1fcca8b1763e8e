// qvNatDev.dll bound by its decorated export names, loaded on first use from
// the program's folder (the recorder library it loads sits beside it).
#include <windows.h>

#include "mixer/model/util/win32/sysutil.h"
#include "mixer/units/win32/natdev_win.h"

const NatDevApi* NatDevLibraryApi() {
  return BindLibraryOnce<NatDevApi>("qvNatDev.dll", [](HMODULE lib, NatDevApi& a) {
    return
      BindExport(lib, a.open, "_OpenNatDevice@12") && BindExport(lib, a.close, "_CloseNatDevice@4") &&
      BindExport(lib, a.getStatus, "_NatXGetStatus@4") && BindExport(lib, a.waitIdle, "_NatXWaitUntilIdle@4") &&
      BindExport(lib, a.getDiskError, "_Nat1GetDiskErrorStat@8") &&
      BindExport(lib, a.getCloc, "_Nat1GetCloc@4") &&
      BindExport(lib, a.getBufMinimum, "_Nat1GetAudioBufMinimum@4") &&
      BindExport(lib, a.stop, "_Nat1Stop@4") && BindExport(lib, a.start, "_Nat1SyncStartPlayRecPhase3@4") &&
      BindExport(lib, a.getEnvelopes, "_Nat1GetEnvelopes@28") &&
      BindExport(lib, a.setPlayList, "_Nat1SetAudPlayList@28") &&
      BindExport(lib, a.setSrate, "_Nat1SetSrate@8") &&
      BindExport(lib, a.setTimeCode, "_Nat1SetTimeCodeStatics@8") &&
      BindExport(lib, a.setEnd, "_Nat1SetPlayRecEndLoc@8") &&
      BindExport(lib, a.prep, "_Nat1PrepAudPlayBufs@8") &&
      BindExport(lib, a.setLoop, "_Nat1SetSeamlessLoopParams@20") &&
      BindExport(lib, a.setFadeCurve, "_Nat1SetFadeCurvTable@12") &&
      BindExport(lib, a.setTrkCfg, "_Nat1SetAudTrkCfg@8") &&
      BindExport(lib, a.getRecTfrLocs, "_Nat1GetAudioRecTfrLocs@8");
  });
}
