#include "mixer/arrange/procdrv.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <set>
#include <vector>

#include "mixer/arrange/editpriv.h"
#include "mixer/arrange/genwave.h"
#include "mixer/arrange/partspan.h"
#include "mixer/arrange/takerefs.h"
#include "mixer/model/host.h"
#include "mixer/model/options.h"
#include "mixer/model/settings.h"
#include "mixer/model/take.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/timecode.h"
#include "mixer/model/undo.h"
#include "mixer/model/util/fileio.h"

namespace {

// The time code of a stretch's first sample: the source Take's stamp moved
// by the stretch's offset, at the Take's rate and frame rate (the project's
// where the Take keeps none).
const TcRec* StretchTimeCode(TakeRec* src, int64_t offset, TcRec* out) {
  const auto* stamp = reinterpret_cast<const TcRec*>(TakeGetAttr(src, kTakeAttrTcStamp));
  if (stamp == nullptr) return nullptr;  // no Take
  uint32_t rate = static_cast<uint32_t>(TakeGetAttr(src, kTakeAttrSampleRate));
  uint32_t code = static_cast<uint32_t>(TakeGetAttr(src, kTakeAttrFrameRate));
  if (rate == 0) rate = Settings().SampleRate;
  if (code == 0) code = Settings().CurFrameRate;
  Loc64AddToTimeCode(out, *stamp, static_cast<int32_t>(std::clamp<int64_t>(offset, 0, INT32_MAX)), rate, code);
  return out;
}

constexpr uint32_t kIdsNoFolder = 178;
constexpr uint32_t kIdsGlobalAlloc = 192;
constexpr uint32_t kIdsAskSharing = 240;
constexpr uint32_t kIdsTooManyParts = 241;
constexpr uint32_t kIdsAskDelUnref = 245;
constexpr uint32_t kIdsAudioOnly = 321;
constexpr uint32_t kIdsAutomOnly = 322;
constexpr uint32_t kIdsAskDelUnrefAutom = 246;
constexpr uint32_t kUndoAutomEventEdit = 118;

AutomEditFn g_automEdit = nullptr;

// What differs between the audio driver and its automation twin.
struct DriverKind {
  uint16_t takeKind;
  uint32_t wrongKindMessage;
  int32_t refNo, refYes, refAsk;   // sharing Parts: not processed, processed, ask
  int32_t delYes, delAsk;          // unused source Takes: delete, ask
  uint32_t askDelMessage;
  int32_t refSetting, delSetting;
};

int g_runDepth = 0;

template <typename F> void ForEachPart(ArrRec* arr, F&& f) {
  for (uint32_t t = 0; t < kArrTracks; ++t)
    for (uint32_t s = arr->ListHead[t]; s != kArrNoSlot;) {
      PartRec* p = ArrPart(arr, s);
      if (p == nullptr) break;
      const uint32_t next = p->Next;
      f(s, t, *p);
      s = next;
    }
}

// The end of a Take's time line: its samples for audio; an automation log
// counts events, not time, so its stretches are not cut.
int64_t TakeSamples(uint32_t ref) {
  TakeRec* t = TakeFromRef(ref);
  if (t == nullptr) return 0;
  if (TakeGetAttr(t, kTakeAttrKind) != kTakeAudio) return INT64_MAX;
  return static_cast<int64_t>(TakeGetAttr(t, kTakeAttrLength));
}

// Shares: a selected Part's Take is also played by an unselected Part.
bool SelectedTakeShared(ArrRec* arr) {
  std::set<uint32_t> selected, unselected;
  ForEachPart(arr, [&](uint32_t, uint32_t, PartRec& p) {
    (arredit::Sel(p) ? selected : unselected).insert(p.Take);
  });
  for (uint32_t t : selected)
    if (unselected.count(t)) return true;
  return false;
}

void SelectSharingParts(ArrRec* arr) {
  std::set<uint32_t> selected;
  ForEachPart(arr, [&](uint32_t, uint32_t, PartRec& p) {
    if (arredit::Sel(p)) selected.insert(p.Take);
  });
  ForEachPart(arr, [&](uint32_t, uint32_t, PartRec& p) {
    if (selected.count(p.Take)) p.Flags |= kPartSelected;
  });
}

void DeleteNewTakes(ProcList* list) {
  for (int32_t i = 0; i < list->Count; ++i) {
    if (TakeRec* t = TakeFromRef(list->Span[i].NewTake)) TakeDeleteFile(t);
    list->Span[i].NewTake = 0;
  }
}

std::string TakeName(TakeRec* t) {
  const char* n = reinterpret_cast<const char*>(TakeGetAttr(t, kTakeAttrName));
  return n ? std::string(n) : std::string();
}

}  // namespace

ProcOptions& ProcOpts() {
  static ProcOptions opts;
  return opts;
}

ReduceEventsResult& ReduceEventsCurrent() {
  static ReduceEventsResult r{0, kReduceDefaultSelectedCurve, kReduceDefaultThinFactor};
  return r;
}

namespace {
ProcParamDialogs g_paramDialogs;
}  // namespace

void ProcSetParamDialogs(const ProcParamDialogs& dialogs) { g_paramDialogs = dialogs; }
const ProcParamDialogs& ProcParamDlgs() { return g_paramDialogs; }

int ArrOfflineRunActive() { return g_runDepth > 0; }
OfflineRunScope::OfflineRunScope() { ++g_runDepth; }
OfflineRunScope::~OfflineRunScope() { --g_runDepth; }

uint32_t ProcGatherStretches(const ArrRec* arr, ProcList* list) {
  std::memset(list, 0, sizeof *list);
  uint32_t error = 0;
  ForEachPart(const_cast<ArrRec*>(arr), [&](uint32_t, uint32_t, PartRec& p) {
    if (error || !arredit::Sel(p)) return;
    const TakeStretch s = PartTakeStretch(p.Offset, p.Length, TakeSamples(p.Take));
    if (!ProcListAdd(list, p.Take, s.start, s.length)) error = kIdsTooManyParts;
  });
  return error;
}

namespace {

// Selection bits of Parts, by slot.
using SelectionFlags = std::vector<std::pair<uint32_t, uint32_t>>;

// Gives each listed Part the selection bit of its flags; the bits it had
// before go into *was when given.
void PutSelection(const SelectionFlags& flags, SelectionFlags* was) {
  for (const auto& [s, f] : flags) {
    PartRec* p = ArrPart(CurArr, s);
    if (p == nullptr) continue;
    if (was) was->push_back({s, p->Flags});
    p->Flags = (p->Flags & ~kPartSelected) | (f & kPartSelected);
  }
}

// The undo step, recorded under the selection `recordSel` when given (a
// caller that selected Parts for the run only), the working selection put
// back after it.
int BeginStepWith(uint32_t undoName, const SelectionFlags* recordSel) {
  if (recordSel == nullptr) return arredit::BeginStep(undoName);
  SelectionFlags working;
  PutSelection(*recordSel, &working);
  const int begun = arredit::BeginStep(undoName);
  PutSelection(working, nullptr);
  return begun;
}

// The driver of both kinds. `paramDialog` (automation) runs after the
// folder check and before the undo step; `run` is the routine over the list.
template <typename Run>
int ProcessParts(DcHandle dc, uint32_t undoName, const DriverKind& k, int (*paramDialog)(), Run run,
                 const SelectionFlags* recordSel = nullptr) {
  if (ArrOfflineRunActive()) return 0;
  bool wrongKind = false, any = false;
  ForEachPart(CurArr, [&](uint32_t, uint32_t, PartRec& p) {
    if (!arredit::Sel(p)) return;
    any = true;
    if (p.TakeKind != k.takeKind) wrongKind = true;
  });
  if (wrongKind) return arredit::Refuse(k.wrongKindMessage);
  if (!any) return 0;

  ProcOptions& o = ProcOpts();
  if (k.refSetting != k.refNo && SelectedTakeShared(CurArr)) {
    int answer = kIdYes;
    if (k.refSetting == k.refAsk) answer = MessageBoxById(nullptr, kIdsAskSharing, kMbAskYesNoCancel);
    if (answer == kIdCancel) return 0;
    if (answer == kIdYes) SelectSharingParts(CurArr);
  }

  std::unique_ptr<ProcList> list(new (std::nothrow) ProcList);
  if (!list) return arredit::Refuse(kIdsGlobalAlloc);
  if (uint32_t e = ProcGatherStretches(CurArr, list.get())) return arredit::Refuse(e);
  if (list->Count == 0) return 0;
  if (o.folder.empty() || !FioDirExists(o.folder.c_str())) {
    MessageBoxById(nullptr, kIdsNoFolder, kMbWarnOk);
    return 0;
  }
  if (paramDialog != nullptr && paramDialog() != kIdOk) return 0;

  if (!BeginStepWith(undoName, recordSel)) return 0;
  for (int32_t i = 0; i < list->Count; ++i) {
    ProcSpan& s = list->Span[i];
    TakeRec* src = TakeFromRef(s.Take);
    char name[64] = {};
    std::strncpy(name, TakeName(src).c_str(), sizeof name - 1);
    NewTakeName(o.folder.c_str(), name);
    const uint32_t bps = static_cast<uint32_t>(TakeGetAttr(src, kTakeAttrBytesPerSample));
    const auto* desc = reinterpret_cast<const char*>(TakeGetAttr(src, kTakeAttrDescription));
    const auto rate = static_cast<uint32_t>(TakeGetAttr(src, kTakeAttrSampleRate));
    const auto frames = static_cast<uint32_t>(TakeGetAttr(src, kTakeAttrFrameRate));
    uint32_t error = 0;
    TcRec tcRec{};
    const TcRec* tc = StretchTimeCode(src, s.Offset(), &tcRec);
    // An automation Take starts empty; the routine copies the events in.
    TakeRec* made = k.takeKind == kTakeAudio
                        ? TakeCreateAudio(o.folder.c_str(), bps, s.Length, 1200, rate, frames, 1, name,
                                          desc ? desc : "", tc, nullptr, &error)
                        : TakeCreateAutom(o.folder.c_str(), 0, 0, 0, 0, 1200, rate, frames, 1, name,
                                          desc ? desc : "", tc, nullptr, &error);
    if (made == nullptr) {
      DeleteNewTakes(list.get());
      MessageBoxById(nullptr, error ? error : kIdsNoFolder, kMbWarnOk, o.folder.c_str());
      UndoDiscard(1);
      return 0;
    }
    s.NewTake = TakeRef(made);
  }

  int ok;
  {
    OfflineRunScope running;
    ok = run(list.get());
  }
  if (!ok) {
    DeleteNewTakes(list.get());
    arredit::SelectionToKeepSel(CurArr);
    UndoDiscard(1);
    arredit::RebuildPlay();
    return 0;
  }

  ForEachPart(CurArr, [&](uint32_t, uint32_t, PartRec& p) {
    if (!arredit::Sel(p)) return;
    const TakeStretch st = PartTakeStretch(p.Offset, p.Length, TakeSamples(p.Take));
    const int e = ProcListFind(list.get(), p.Take, st.start, st.length);
    if (e < 0) return;
    const ProcSpan& s = list->Span[e];
    TakeRec* made = TakeFromRef(s.NewTake);
    p.Take = s.NewTake;
    p.Offset = static_cast<int32_t>(p.Offset - s.Offset());
    std::memset(p.Name, 0, sizeof p.Name);
    std::strncpy(p.Name, TakeName(made).c_str(), sizeof p.Name - 1);
  });
  ArrSyncTakeRefs(CurArr, 0);

  // Source Takes no Part plays any more.
  std::set<uint32_t> used;
  ForEachPart(CurArr, [&](uint32_t, uint32_t, PartRec& p) { used.insert(p.Take); });
  std::vector<uint32_t> unused;
  for (int32_t i = 0; i < list->Count; ++i) {
    const uint32_t t = list->Span[i].Take;
    if (!used.count(t) && std::find(unused.begin(), unused.end(), t) == unused.end()) unused.push_back(t);
  }
  if (!unused.empty() && (k.delSetting == k.delYes ||
                          (k.delSetting == k.delAsk &&
                           MessageBoxById(nullptr, k.askDelMessage, kMbAskYesNo) == kIdYes))) {
    for (uint32_t t : unused)
      if (TakeRec* r = TakeFromRef(t)) TakeMoveToReBin(r);
  }
  arredit::Finish(dc);
  if (ProcOpts().autoGenWaveforms) ArrGenTakeWaveforms(dc, 1, 0, 0);
  return 1;
}

}  // namespace

int ArrProcessAudioParts(DcHandle dc, uint32_t undoName, ProcRoutine routine) {
  const ProcOptions& o = ProcOpts();
  const DriverKind k{kTakeAudio, kIdsAudioOnly, 40880, 40881, 40882, 40883, 40885, kIdsAskDelUnref,
                     o.refATk, o.delUnRefATk};
  return ProcessParts(dc, undoName, k, nullptr, routine);
}

int ArrProcessAutomParts(DcHandle dc, uint32_t undoName, ReduceEventsResult* params, int (*paramDialog)(),
                         ThinRoutine routine) {
  const ProcOptions& o = ProcOpts();
  const DriverKind k{kTakeAutom, kIdsAutomOnly, 40886, 40887, 40888, 40889, 40891, kIdsAskDelUnrefAutom,
                     o.refCTk, o.delUnRefCTk};
  return ProcessParts(dc, undoName, k, paramDialog, [&](ProcList* list) {
    // The knob of each stretch: the selected curve of the first Part that
    // plays it.
    std::unique_ptr<ThinList> thin(new (std::nothrow) ThinList);
    if (!thin) return 0;
    std::memset(thin.get(), 0, sizeof *thin);
    thin->Count = list->Count;
    thin->FilterOn = params ? params->SelectedCurve : 0;
    thin->ThinAmount = params ? static_cast<uint32_t>(std::max(params->ThinFactor, 0)) : 0;
    std::vector<int> knobSet(static_cast<size_t>(list->Count), 0);
    for (int32_t i = 0; i < list->Count; ++i) {
      const ProcSpan& s = list->Span[i];
      thin->Entry[i] = {s.Take, -1, static_cast<uint32_t>(s.Offset()), s.Length, s.NewTake};
    }
    ForEachPart(CurArr, [&](uint32_t, uint32_t, PartRec& p) {
      if (!arredit::Sel(p)) return;
      const TakeStretch st = PartTakeStretch(p.Offset, p.Length, TakeSamples(p.Take));
      const int e = ProcListFind(list, p.Take, st.start, st.length);
      if (e < 0 || knobSet[static_cast<size_t>(e)]) return;
      knobSet[static_cast<size_t>(e)] = 1;
      thin->Entry[e].FilterValue = p.AutoMapValue;
    });
    return routine(thin.get());
  });
}

void ArrSetAutomEditor(AutomEditFn fn) { g_automEdit = fn; }

int ArrAutomEventEdit(DcHandle dc, uint32_t slot, int32_t from, int32_t to, int32_t value, int32_t scale) {
  const PartRec* edited = ArrPart(CurArr, slot);
  if (edited == nullptr || edited->Start == kPartFreeStart || edited->TakeKind != kTakeAutom ||
      g_automEdit == nullptr || scale == 0)
    return 0;
  // Where the edit lies on the Part's Take.
  const int64_t origin = int64_t{edited->Offset} - edited->Start;
  const int32_t knob = edited->AutoMapValue;
  const uint32_t take = edited->Take;
  // The driver works on the selection: the edited Part alone, the user's
  // selection given back afterwards. The undo step keeps the user's
  // selection, so that undoing the edit brings that back too.
  SelectionFlags flags;
  ForEachPart(CurArr, [&](uint32_t s, uint32_t, PartRec& p) {
    flags.push_back({s, p.Flags});
    p.Flags = s == slot ? (p.Flags | kPartSelected) : (p.Flags & ~kPartSelected);
  });
  const ProcOptions& o = ProcOpts();
  const DriverKind k{kTakeAutom, kIdsAutomOnly, 40886, 40887, 40888, 40889, 40891, kIdsAskDelUnrefAutom,
                     o.refCTk, o.delUnRefCTk};
  const int done = ProcessParts(dc, kUndoAutomEventEdit, k, nullptr, [&](ProcList* list) {
    for (int32_t i = 0; i < list->Count; ++i) {
      const ProcSpan& sp = list->Span[i];
      // On the new Take's axis: the stretch starts at 0.
      const auto onNew = [&](int32_t at) -> int32_t {
        if (at < 0 || sp.Take != take) return -1;
        const int64_t v = origin + at - sp.Offset();
        return v >= 0 && v < sp.Length ? static_cast<int32_t>(v) : -1;
      };
      if (!g_automEdit(sp.NewTake, sp.Take, static_cast<uint32_t>(sp.Offset()), sp.Length, knob, onNew(from),
                       onNew(to), value, scale))
        return 0;
    }
    return 1;
  }, &flags);
  PutSelection(flags, nullptr);
  return done;
}
