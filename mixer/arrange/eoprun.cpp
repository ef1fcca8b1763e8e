// The module list and the runs of a module's process.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "mixer/arrange/editpriv.h"
#include "mixer/arrange/editseams.h"
#include "mixer/arrange/eophost.h"
#include "mixer/arrange/procdrv.h"
#include "mixer/arrange/proclist.h"
#include "mixer/arrange/takerefs.h"
#include "mixer/model/arrlist.h"
#include "mixer/model/host.h"
#include "mixer/model/mrkdir.h"
#include "mixer/model/options.h"
#include "mixer/model/settings.h"
#include "mixer/model/take.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/undo.h"
#include "mixer/model/util/strtab.h"
#include "mixer/units/services.h"

namespace eophost {
extern EopPlatform* g_platform;
}
using eophost::g_platform;

namespace {

EopModuleRec* g_mods = nullptr;
int g_count = 0;

constexpr uint32_t kMaxProcessesPerModule = 1024;
constexpr uint32_t kMainMenuFirst = 41320;
constexpr int kMainMenuItems = 16;

uint32_t ProcessCount(const EopModuleRec& m) { return std::min(m.Info.ProcessCount, kMaxProcessesPerModule); }

std::vector<uint32_t> TakeSnapshot() {
  std::vector<uint32_t> s;
  for (TakeRec* t = TakeRingFirst(); t != nullptr; t = TakeRingNext(t)) s.push_back(TakeRef(t));
  return s;
}

// Takes of the snapshot that are of the kind and no longer in the ring.
std::vector<TakeRec*> Unreferenced(const std::vector<uint32_t>& snapshot, int32_t kind) {
  std::vector<TakeRec*> out;
  for (uint32_t ref : snapshot) {
    TakeRec* t = TakeFromRef(ref);
    if (t && TakeIsOpen(t) && TakeGetAttr(t, kTakeAttrKind) == static_cast<uintptr_t>(kind) && !TakeInRing(t))
      out.push_back(t);
  }
  return out;
}

// Moves the snapshot's Takes of a kind that no Part plays any more into the
// recycle folder when the kind's setting says always, or says ask and the
// user agrees.
void PurgeKind(const std::vector<uint32_t>& snapshot, int32_t kind, int32_t mode, int32_t always, int32_t ask,
               uint32_t question) {
  const std::vector<TakeRec*> unused = Unreferenced(snapshot, kind);
  if (unused.empty()) return;
  if (mode == always || (mode == ask && MessageBoxById(nullptr, question, kMbAskYesNo) == kIdYes))
    for (TakeRec* t : unused) TakeMoveToReBin(t);
}

void PurgeUnreferenced(const std::vector<uint32_t>& snapshot, bool audioOnly) {
  const ProcOptions& o = ProcOpts();
  PurgeKind(snapshot, kTakeAudio, o.delUnRefATk, 40883, 40885, 245);
  if (audioOnly) return;
  PurgeKind(snapshot, kTakeAutom, o.delUnRefCTk, 40889, 40891, 246);
  PurgeKind(snapshot, kTakeMidi, o.delUnRefMTk, 43303, 43305, 247);
}

// Every Part playing a Take of this run takes the Take's "#nn" suffix.
void CarrySuffixes() {
  const std::vector<uint32_t>& takes = EopRunTakes();
  arrlist::WalkAll(CurArr, [&](uint32_t, uint32_t, PartRec& p) {
    if (std::find(takes.begin(), takes.end(), p.Take) == takes.end()) return;
    TakeRec* t = TakeFromRef(p.Take);
    const char* name = t ? reinterpret_cast<const char*>(TakeGetAttr(t, kTakeAttrName)) : nullptr;
    if (name) CarryTakeSuffix(p.Name, name);
  });
}

// A run that failed leaves no Take of its own behind.
void RemoveRunTakes() {
  for (uint32_t ref : EopRunTakes())
    if (TakeRec* t = TakeFromRef(ref); t && TakeIsOpen(t)) TakeDeleteFile(t);
}

uint32_t UndoName(uint32_t processId) {
  switch (processId) {
    case kEopIdTimeStretch: return 110;
    case kEopIdRateConvert: return 111;
    case kEopIdPitchShift: return 112;
    case kEopIdReverse: return 113;
    default: return 114;
  }
}

}  // namespace

int EopScanModules(const std::string& folder) {
  EopFreeModules();
  g_mods = new (std::nothrow) EopModuleRec[kEopMaxModules]();
  if (g_mods == nullptr) {
    MessageBoxById(nullptr, 195, kMbWarnOk);
    return 0;
  }
  for (const std::string& name : g_platform->ListModules(folder)) {
    if (g_count == kEopMaxModules) break;
    char text[300];
    std::snprintf(text, sizeof text, StrText(404), name.c_str());
    g_platform->StartupText(text);
    void* lib = g_platform->Load(folder + name);
    if (lib == nullptr) continue;
    EopModuleRec& m = g_mods[g_count];
    m = EopModuleRec{};
    m.Library = lib;
    m.GetModuleInfo = reinterpret_cast<EopGetModuleInfoFn>(g_platform->Bind(lib, "_QVEOP_GetModuleInfo@4"));
    m.GetPlugInInfo = reinterpret_cast<EopGetPlugInInfoFn>(g_platform->Bind(lib, "_QVEOP_GetPlugInInfo@8"));
    m.Process = reinterpret_cast<EopProcessFn>(g_platform->Bind(lib, "_QVEOP_Process@16"));
    if (!m.GetModuleInfo || !m.GetPlugInInfo || !m.Process) {
      g_platform->Free(lib);
      m = EopModuleRec{};
      continue;
    }
    m.Info.Size = kEopModInfoSize;
    m.GetModuleInfo(&m.Info);
    if (m.Info.Version != kEopInterfaceVersion) {
      g_platform->Free(lib);
      m = EopModuleRec{};
      continue;
    }
    ++g_count;
  }
  return g_count;
}

void EopFreeModules() {
  for (int i = 0; g_mods && i < g_count; ++i) g_platform->Free(g_mods[i].Library);
  delete[] g_mods;
  g_mods = nullptr;
  g_count = 0;
}

int EopModuleCount() { return g_count; }
const EopModuleRec* EopModule(int index) { return index >= 0 && index < g_count ? &g_mods[index] : nullptr; }

int EopPlugInCount() {
  int n = 0;
  for (int i = 0; i < g_count; ++i) n += static_cast<int>(ProcessCount(g_mods[i]));
  return n;
}

int EopFindPlugIn(int slot, int* index) {
  if (slot < 0) return -1;
  for (int i = 0; i < g_count; ++i) {
    const int n = static_cast<int>(ProcessCount(g_mods[i]));
    if (slot < n) {
      if (index) *index = slot;
      return i;
    }
    slot -= n;
  }
  return -1;
}

int EopGetPlugInInfo(int slot, EOPPLUGININFO* info) {
  int index = 0;
  const int m = EopFindPlugIn(slot, &index);
  if (m < 0 || info == nullptr) return 0;
  std::memset(info, 0, sizeof *info);
  info->Size = kEopPlugInInfoSize;
  return g_mods[m].GetPlugInInfo(static_cast<uint32_t>(index), info) ? 1 : 0;
}

int EopModuleRevision(int slot, uint32_t* revision) {
  const int m = EopFindPlugIn(slot, nullptr);
  if (m < 0) return 0;
  if (revision) *revision = g_mods[m].Info.Revision;
  return 1;
}

int EopFindProcessId(uint32_t id) {
  EOPPLUGININFO info;
  for (int s = 0; s < EopPlugInCount(); ++s)
    if (EopGetPlugInInfo(s, &info) && info.ProcessId == id) return s;
  return -1;
}

int EopMainMenuSlot(uint32_t id) {
  EOPPLUGININFO info;
  uint32_t k = 0;
  for (int s = 0; s < EopPlugInCount() && k < kMainMenuItems; ++s) {
    if (!EopGetPlugInInfo(s, &info) || info.Kind != kEopKindMainMenu) continue;
    if (kMainMenuFirst + k == id) return s;
    ++k;
  }
  return -1;
}

std::vector<std::string> EopMainMenuNames() {
  std::vector<std::string> names;
  EOPPLUGININFO info;
  for (int s = 0; s < EopPlugInCount() && names.size() < kMainMenuItems; ++s)
    if (EopGetPlugInInfo(s, &info) && info.Kind == kEopKindMainMenu) {
      info.Name[sizeof info.Name - 1] = 0;
      names.push_back(info.Name);
    }
  return names;
}

int EopCallProcess(int slot, uintptr_t a, uint32_t b) {
  int index = 0;
  const int m = EopFindPlugIn(slot, &index);
  if (m < 0) return 0;
  EOPPLUGININFO info{};
  EopGetPlugInInfo(slot, &info);
  eophost::RunState& run = eophost::Run();
  run.slot = slot;
  run.revision = g_mods[m].Info.Revision;
  run.processId = info.ProcessId;
  return g_mods[m].Process(static_cast<uint32_t>(index), a, b, &EopHostFuncs());
}

int EopRunToolSlot(uintptr_t window, int tool, uint32_t id, int pick) {
  int slot = -1;
  switch (tool) {
    case 32: slot = EopFindProcessId(kEopIdTimeStretch); break;
    case 33: slot = EopFindProcessId(kEopIdRateConvert); break;
    case 34: slot = EopFindProcessId(kEopIdPitchShift); break;
    case 35: slot = EopFindProcessId(kEopIdReverse); break;
    case -1: slot = pick; break;
    case -2: slot = EopMainMenuSlot(id); break;
    case -3: slot = static_cast<int>(id); break;
  }
  if (slot < 0 || slot >= EopPlugInCount() || ArrOfflineRunActive()) return 0;
  EOPPLUGININFO info{};
  EopGetPlugInInfo(slot, &info);

  std::vector<uint32_t> snapshot;
  const bool withSnapshot = info.Kind == kEopKindTool;
  if (withSnapshot) {
    ArrSyncTakeRefs(CurArr, 0);
    snapshot = TakeSnapshot();
  }
  if (!UndoRecord(UndoName(info.ProcessId))) return 0;
  eophost::BeginRun(slot, 8, info.ProcessId);
  const std::string dir = g_platform->CurrentDir();
  g_platform->EnableWindows(0);
  int result;
  {
    OfflineRunScope running;
    result = EopCallProcess(slot, window, 0);
  }
  g_platform->EnableWindows(1);
  g_platform->SetCurrentDir(dir);
  TakeFindClose();
  EopStopAudition();

  if (result != 0) {
    CarrySuffixes();
    ArrSyncTakeRefs(CurArr, 1);
    ArrEditWnd().UpdateScrollRanges();
    MrkDirRefresh(kMrkDirRebuild, 0);
    if (withSnapshot) PurgeUnreferenced(snapshot, false);
    if (ProcOpts().autoGenWaveforms) g_platform->BuildOverviews();
    if (eophost::Run().linksBroken) MessageBoxById(nullptr, 264, kMbWarnOk);
    arredit::Finish(nullptr);
  } else {
    RemoveRunTakes();
    UndoApply(0);
    arredit::SelectionToKeepSel(CurArr);
  }
  g_platform->RedrawArrange();
  ArrRedrawWindows();
  eophost::EndRun();
  NatDevSetTimeCodeStatics(Settings().CurFrameRate, Settings().TcOffset);
  arredit::RebuildPlay();
  return result;
}

int EopRunToolFrom(uintptr_t window, int x, int y, uint32_t id, int tool) {
  const int pick = tool == -1 ? g_platform->ToolMenu(static_cast<int>(id), window, x, y) : -1;
  return EopRunToolSlot(window, tool, id, pick);
}

int EopAutoConvertRate(uintptr_t argument, int32_t* error) {
  const int slot = EopFindProcessId(kEopIdRateConvert);
  if (slot < 0) {
    if (error) *error = 344;
    return 0;
  }
  ArrSyncTakeRefs(CurArr, 0);
  const std::vector<uint32_t> snapshot = TakeSnapshot();
  eophost::BeginRun(slot, 8, kEopIdRateConvert);
  g_platform->EnableWindows(0);
  const int result = EopCallProcess(slot, argument, 1);
  g_platform->EnableWindows(1);
  TakeFindClose();
  if (result != 0) {
    CarrySuffixes();
    ArrSyncTakeRefs(CurArr, 1);
    ArrRedrawWindows();
    PurgeUnreferenced(snapshot, true);
    if (eophost::Run().linksBroken) MessageBoxById(nullptr, 264, kMbWarnOk);
  } else {
    // No undo step holds this run: only the Takes that no Part plays can go.
    for (uint32_t ref : EopRunTakes())
      if (TakeRec* t = TakeFromRef(ref); t && TakeIsOpen(t) && ArrTakeIsUnreferenced(CurArr, ref)) TakeDeleteFile(t);
    if (error) *error = -1;
  }
  eophost::EndRun();
  return result;
}
