#include "globalcmd.h"

#include <algorithm>
#include <set>
#include <vector>

#include "editpriv.h"
#include "editseams.h"
#include "mixer/arrange/arrcopy.h"
#include "mixer/arrange/partedit.h"
#include "mixer/arrange/partlink.h"
#include "mixer/arrange/partops.h"
#include "mixer/arrange/takerefs.h"
#include "mixer/model/arrfile.h"
#include "mixer/model/arrlist.h"
#include "mixer/model/host.h"
#include "mixer/model/marker.h"
#include "mixer/model/options.h"
#include "mixer/model/settings.h"
#include "mixer/model/take.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/tempomap.h"
#include "mixer/model/util/strtab.h"
#include "mixer/shell/services.h"

using arredit::End;
using arredit::Sel;

namespace {

struct Slot {
  uint32_t Slot;
  uint32_t Track;
};

bool Chosen(const ArrGlobalAnswers& a, uint32_t track) { return track < kArrTracks && a.Tracks[track]; }

bool Strictly(const PartRec& p, int32_t pos) { return p.Start < pos && pos < End(p); }

// The Parts of the chosen tracks, listed before an operation changes the lists.
std::vector<Slot> ChosenParts(const ArrGlobalAnswers& a) {
  std::vector<Slot> parts;
  arrlist::WalkAll(CurArr, [&](uint32_t track, uint32_t slot, const PartRec&) {
    if (Chosen(a, track)) parts.push_back({slot, track});
  });
  return parts;
}

uint32_t CountChosen(const ArrGlobalAnswers& a, bool (*test)(const PartRec&, int32_t, int32_t),
                     int32_t l, int32_t r) {
  uint32_t n = 0;
  arrlist::WalkAll(CurArr, [&](uint32_t track, uint32_t, const PartRec& p) {
    if (Chosen(a, track) && test(p, l, r)) ++n;
  });
  return n;
}

bool Within(const PartRec& p, int32_t l, int32_t r) { return p.Start >= l && End(p) <= r; }
bool Spans(const PartRec& p, int32_t l, int32_t r) { return p.Start < l && End(p) > r; }
bool CutAtL(const PartRec& p, int32_t l, int32_t) { return Strictly(p, l); }

// Reserves room for n more Parts, growing the block now so that no insert
// of the operation can fail; shows the failure.
int Reserve(uint32_t n) {
  uint32_t error = 0;
  if (ArrReserveParts(&CurArr, n, 1, &error)) return 1;
  return arredit::Refuse(error);
}

void ClearSelection() { ArrClearSelection(CurArr, nullptr, ArrEditWnd().Exists()); }

// The ending of the commands that redraw the whole window.
void FinishWhole() {
  ArrCheckPartLinks(CurArr, 1, nullptr);
  ArrClearTempMarks(CurArr);
  ArrRedrawWindows();
  ArrEditWnd().UpdateScrollRanges();
  arredit::RebuildPlay();
  ArrChangeCountRaise();
}

// Moves the selected Parts of the current arrangement by `offset` on their
// tracks, snapping them to the grid. The error id, 0 on success.
uint32_t MoveSelection(int32_t offset) {
  uint32_t error = 0;
  CurArr = ArrCopyParts(nullptr, CurArr, CurArr, &offset, 0, 0, 1, 0, 0, 0, 0, &error);
  return error;
}

// Selects exactly the Parts of the chosen tracks that start at or after pos.
void SelectFrom(const ArrGlobalAnswers& a, int32_t pos) {
  arrlist::WalkAll(CurArr, [&](uint32_t track, uint32_t, PartRec& p) {
    if (Chosen(a, track) && p.Start >= pos)
      p.Flags |= kPartSelected;
    else
      p.Flags &= ~kPartSelected;
  });
}

// Cuts every Part of the chosen tracks that holds `pos` strictly; the
// pieces take the selection that `sel` gives them. 0 with the error id
// when a piece cannot be placed.
template <typename SelFn>
int CutChosenAt(const ArrGlobalAnswers& a, int32_t pos, SelFn sel, uint32_t* error) {
  for (const Slot& s : ChosenParts(a)) {
    const PartRec* p = arrlist::UsedPart(CurArr, s.Slot);
    if (p == nullptr || !Strictly(*p, pos)) continue;
    int leftSel = 0, rightSel = 0;
    sel(*p, &leftSel, &rightSel);
    if (!arredit::CutPartAt(&CurArr, s.Slot, s.Track, pos, leftSel, rightSel, nullptr, error)) return 0;
  }
  return 1;
}

// The selected bit of every Part of the chosen tracks that lies within
// [l, r], the other Parts unselected; then 1 when one of them uses a Take
// that no other Part uses. Computed without changing the arrangement.
bool WithinHasUnsharedTakes(const ArrGlobalAnswers& a, int32_t l, int32_t r) {
  std::set<uint32_t> gone, kept;
  arrlist::WalkAll(CurArr, [&](uint32_t track, uint32_t, const PartRec& p) {
    (Chosen(a, track) && Within(p, l, r) ? gone : kept).insert(p.Take);
  });
  return std::any_of(gone.begin(), gone.end(), [&](uint32_t t) { return !kept.count(t); });
}

}  // namespace

void ArrAskGlobal(ArrGlobalAnswers* answers, int timelock) {
  AskTrksWithSelParts(answers->Tracks);
  answers->Proceed = 1;
  answers->ReBin = 0;
  if (!timelock) return;
  const int32_t l = Locs().LeftLoc;
  bool locked = false;
  arrlist::WalkAll(CurArr, [&](uint32_t track, uint32_t, const PartRec& p) {
    locked = locked || (Chosen(*answers, track) && (p.Flags & kPartTimelocked) && End(p) > l);
  });
  if (locked) answers->Proceed = arredit::AskYesNo(IDS_ASK_MOVE_TIMELOCKED, kMbWarnYesNo);
}

// ---- Global cuts ----

int ArrGlobalCutAndSelect() {
  if (Locs().LeftLoc > Locs().RightLoc) return 0;
  ArrGlobalAnswers a;
  ArrAskGlobal(&a, 0);
  return ArrGlobalCutAndSelectApply(a);
}

int ArrGlobalCutAndSelectApply(const ArrGlobalAnswers& a) {
  const int32_t l = Locs().LeftLoc, r = Locs().RightLoc;
  if (l > r) return 0;
  uint32_t cuts = 0;
  arrlist::WalkAll(CurArr, [&](uint32_t track, uint32_t, const PartRec& p) {
    if (Chosen(a, track)) cuts += Strictly(p, l) + (l != r && Strictly(p, r));
  });
  if (!Reserve(cuts)) return 0;
  if (!arredit::BeginStep(IDS_UNDO_GLOBAL_CUT_SELECT)) return 0;
  ClearSelection();
  uint32_t error = 0;
  // Walking the list, the right piece of a cut at L lies further down the
  // same list and is met again, to be cut at R when R lies inside it.
  for (uint32_t track = 0; track < kArrTracks; ++track) {
    if (!Chosen(a, track)) continue;
    for (uint32_t slot = CurArr->ListHead[track], steps = 0;
         arrlist::UsedPart(CurArr, slot) != nullptr && steps <= CurArr->PartCount; ++steps) {
      PartRec& p = *ArrPart(CurArr, slot);
      if (Within(p, l, r)) {
        p.Flags |= kPartSelected | kPartTempMark;
      } else if (Strictly(p, l)) {
        if (!arredit::CutPartAt(&CurArr, slot, track, l, 0, l < r, nullptr, &error)) break;
      } else if (l != r && Strictly(p, r)) {
        if (!arredit::CutPartAt(&CurArr, slot, track, r, 1, 0, nullptr, &error)) break;
      }
      slot = ArrPart(CurArr, slot)->Next;
    }
    if (error != 0) break;
  }
  if (error != 0) {
    arredit::FailStep(error);
    return 0;
  }
  ArrRelinkOverlaps(CurArr);
  ArrCheckXfades(CurArr, 1);
  // The marked Parts are drawn as they are: selected.
  const int32_t keep = KeepSel;
  KeepSel = 1;
  ArrRedrawWindows();
  KeepSel = keep;
  ArrClearTempMarks(CurArr);
  ArrCheckPartLinks(CurArr, 1, nullptr);
  arredit::RebuildPlay();
  ArrChangeCountRaise();
  return 1;
}

int ArrGlobalCutAtNowLoc() {
  ArrGlobalAnswers a;
  ArrAskGlobal(&a, 0);
  return ArrGlobalCutAtNowLocApply(a);
}

int ArrGlobalCutAtNowLocApply(const ArrGlobalAnswers& a) {
  const int32_t now = Locs().NowLoc;
  if (!Reserve(CountChosen(a, CutAtL, now, now))) return 0;
  if (!arredit::BeginStep(IDS_UNDO_GLOBAL_CUT)) return 0;
  ClearSelection();
  uint32_t error = 0;
  if (!CutChosenAt(a, now, [](const PartRec&, int*, int*) {}, &error)) {
    arredit::FailStep(error);
    return 0;
  }
  ArrRelinkOverlaps(CurArr);
  ArrCheckXfades(CurArr, 1);
  ArrRedrawWindows();
  ArrClearTempMarks(CurArr);
  ArrCheckPartLinks(CurArr, 1, nullptr);
  arredit::RebuildPlay();
  ArrChangeCountRaise();
  return 1;
}

int ArrGlobalCutAndInsert() {
  if (Locs().LeftLoc >= Locs().RightLoc) return 0;
  ArrGlobalAnswers a;
  ArrAskGlobal(&a, 1);
  return ArrGlobalCutAndInsertApply(a);
}

int ArrGlobalCutAndInsertApply(const ArrGlobalAnswers& a) {
  const int32_t l = Locs().LeftLoc, r = Locs().RightLoc;
  if (l >= r || !a.Proceed) return 0;
  if (!Reserve(CountChosen(a, CutAtL, l, r))) return 0;
  if (!arredit::BeginStep(IDS_UNDO_GLOBAL_CUT_INSERT)) return 0;
  ClearSelection();
  uint32_t error = 0;
  if (!CutChosenAt(a, l, [](const PartRec&, int*, int*) {}, &error)) {
    arredit::FailStep(error);
    return 0;
  }
  ArrRelinkOverlaps(CurArr);
  ArrCheckXfades(CurArr, 1);
  SelectFrom(a, l);
  error = MoveSelection(r - l);
  if (error != 0) {
    arredit::FailStep(error);
    return 0;
  }
  MrkShiftForInsert();
  FinishWhole();
  return 1;
}

int ArrGlobalCutAndDelete() {
  const int32_t l = Locs().LeftLoc, r = Locs().RightLoc;
  if (l >= r) return 0;
  ArrGlobalAnswers a;
  ArrAskGlobal(&a, 1);
  if (!a.Proceed) return 0;
  if (WithinHasUnsharedTakes(a, l, r)) a.ReBin = arredit::AskYesNo(IDS_ASK_DELETE_UNREF_TAKES, kMbAskYesNo);
  return ArrGlobalCutAndDeleteApply(a);
}

int ArrGlobalCutAndDeleteApply(const ArrGlobalAnswers& a) {
  const int32_t l = Locs().LeftLoc, r = Locs().RightLoc;
  if (l >= r || !a.Proceed) return 0;
  // Every Part spanning the range becomes two. The Parts inside it go, but
  // the walk may place a piece before it frees their slots: room is made
  // for every new piece.
  if (!Reserve(CountChosen(a, Spans, l, r))) return 0;
  if (!arredit::BeginStep(IDS_UNDO_GLOBAL_CUT_DELETE)) return 0;
  ClearSelection();
  if (a.ReBin) {
    arrlist::WalkAll(CurArr, [&](uint32_t track, uint32_t, PartRec& p) {
      if (Chosen(a, track) && Within(p, l, r)) p.Flags |= kPartSelected;
    });
    ArrReBinUnsharedSelTakes(CurArr, 0);
  }
  const int32_t span = r - l;
  uint32_t error = 0;
  for (const Slot& s : ChosenParts(a)) {
    PartRec* p = arrlist::UsedPart(CurArr, s.Slot);
    if (p == nullptr || !PartOverlapsRange(l, r, *p)) continue;
    const PartRec before = *p;
    if (Within(before, l, r)) {
      ArrUnlinkPart(CurArr, s.Slot, s.Track);
    } else if (Spans(before, l, r)) {
      // [start, L) stays; the piece from R on is cut off the end first.
      uint32_t right = kArrNoSlot;
      if (!arredit::CutPartAt(&CurArr, s.Slot, s.Track, r, 0, 0, &right, &error)) break;
      PartRec& left = *ArrPart(CurArr, s.Slot);
      left.Length = l - before.Start;
      if (left.SnapPoint >= left.Length) left.SnapPoint = 0;
      if (before.TakeKind == kTakeAudio) left.GainEnd = ArrPartGainAt(l - before.Start, before);
      ArrPart(CurArr, right)->XfadeInPartner = kArrNoLink;
    } else if (before.Start < l) {
      PartRec& q = *p;
      q.Length = l - before.Start;
      if (q.SnapPoint >= q.Length) q.SnapPoint = 0;
      if (before.TakeKind == kTakeAudio) q.GainEnd = ArrPartGainAt(q.Length, before);
      q.Flags |= kPartTempMark;
    } else {
      PartRec& q = *p;
      const int32_t cut = r - before.Start;
      q.Start = r;
      q.Length = before.Length - cut;
      q.Offset = before.Offset + cut;
      q.SnapPoint = before.SnapPoint - cut;
      if (q.SnapPoint < 0 || q.SnapPoint >= q.Length) q.SnapPoint = 0;
      if (before.TakeKind == kTakeAudio) q.GainStart = ArrPartGainAt(cut, before);
      q.Flags |= kPartTempMark;
      arredit::ResortPart(CurArr, s.Slot, s.Track);
    }
  }
  if (error != 0) {
    arredit::FailStep(error);
    return 0;
  }
  ArrRelinkOverlaps(CurArr);
  ArrCheckXfades(CurArr, 1);
  SelectFrom(a, r);
  error = MoveSelection(-span);
  if (error != 0) {
    arredit::FailStep(error);
    return 0;
  }
  MrkShiftForRemove();
  ArrSyncTakeRefs(CurArr, 0);
  FinishWhole();
  return 1;
}

// ---- Move or copy to the left locator ----

int ArrMoveCopySelToLeftLoc(int copy) {
  if (ArrCountSelParts(CurArr, kArrCountAll, 0) == 0) return arredit::Refuse(IDS_SELECT_PART_FIRST);
  int proceed = 1;
  if (!copy) {
    bool locked = false;
    arrlist::WalkAll(CurArr, [&](uint32_t, uint32_t, const PartRec& p) {
      locked = locked || (Sel(p) && (p.Flags & kPartTimelocked));
    });
    if (locked) proceed = arredit::AskYesNo(IDS_ASK_MOVE_TIMELOCKED, kMbWarnYesNo);
  }
  return ArrMoveCopySelToLeftLocApply(copy, proceed);
}

int ArrMoveCopySelToLeftLocApply(int copy, int proceed) {
  if (ArrCountSelParts(CurArr, kArrCountAll, 0) == 0) return arredit::Refuse(IDS_SELECT_PART_FIRST);
  if (!proceed) return 0;
  int64_t reference = INT64_MAX;
  for (uint32_t track = 0; track < kArrTracks; ++track) {
    const int32_t first = TrkFirstSelPart(CurArr, track);
    if (first < 0) continue;
    const PartRec& p = *ArrPart(CurArr, static_cast<uint32_t>(first));
    reference = std::min(reference, int64_t{p.Start} + p.SnapPoint);
  }
  if (reference == INT64_MAX) return 0;
  const int64_t offset = int64_t{Locs().LeftLoc} - reference;
  if (offset < INT32_MIN || offset > INT32_MAX) return arredit::Refuse(IDS_PARTS_OUT_OF_RANGE);
  if (!arredit::BeginStep(copy ? IDS_UNDO_COPY_TO_LEFT_LOC : IDS_UNDO_MOVE_TO_LEFT_LOC)) return 0;
  int32_t off = static_cast<int32_t>(offset);
  uint32_t error = 0;
  CurArr = ArrCopyParts(nullptr, CurArr, CurArr, &off, 0, copy, 1, 0, 0, 0, 0, &error);
  if (error != 0) {
    arredit::FailStep(error);
    return 0;
  }
  FinishWhole();
  return 1;
}

// ---- Selection commands ----

namespace {

// Applies `select` to every Part (a Part it returns true for is selected);
// redraws when a bit changed. With `groups` the link groups of the selected
// Parts are selected as well.
template <typename Fn> int SelectWhere(Fn select, bool groups) {
  bool changed = false;
  arrlist::WalkAll(CurArr, [&](uint32_t track, uint32_t slot, PartRec& p) {
    const bool now = select(track, slot, p);
    if (now != Sel(p)) changed = true;
    p.Flags = now ? (p.Flags | kPartSelected) : (p.Flags & ~kPartSelected);
  });
  if (groups && ArrExtendSelectionToLinks(nullptr, CurArr) != 0) changed = true;
  if (changed) ArrRedrawWindows();
  return changed ? 1 : 0;
}

struct SelExtent {
  int64_t First = INT64_MAX;
  int64_t Last = INT64_MIN;
  bool Any() const { return First != INT64_MAX; }
};

SelExtent Extent() {
  SelExtent e;
  arrlist::WalkAll(CurArr, [&](uint32_t, uint32_t, const PartRec& p) {
    if (!Sel(p)) return;
    e.First = std::min<int64_t>(e.First, p.Start);
    e.Last = std::max(e.Last, End(p));
  });
  return e;
}

int32_t Pos(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, 0, INT32_MAX)); }

template <typename Fn> int OnChosen(Fn fn) {
  uint8_t tracks[kArrTracks];
  AskTrksWithSelParts(tracks);
  return fn(tracks);
}

}  // namespace

int ArrSelectAllParts() {
  return SelectWhere([](uint32_t, uint32_t, const PartRec&) { return true; }, false);
}

int ArrSelectPartsInLocRangeOn(const uint8_t tracks[kArrTracks]) {
  const int32_t l = Locs().LeftLoc, r = Locs().RightLoc;
  if (l > r) return 0;
  return SelectWhere([&](uint32_t t, uint32_t, const PartRec& p) {
    return tracks[t] && PartOverlapsRange(l, r, p);
  }, false);
}

int ArrSelectPartsAfterLeftLocOn(const uint8_t tracks[kArrTracks]) {
  const int32_t l = Locs().LeftLoc;
  return SelectWhere([&](uint32_t t, uint32_t, const PartRec& p) { return tracks[t] && End(p) > l; },
                     false);
}

int ArrSelectPartsWithoutPlayChanOn(const uint8_t tracks[kArrTracks]) {
  return SelectWhere([&](uint32_t t, uint32_t, const PartRec& p) {
    return tracks[t] && (p.PlayChannel == 0 || p.PlayChannel > 192);
  }, true);
}

int ArrSelectTimelockedPartsOn(const uint8_t tracks[kArrTracks]) {
  return SelectWhere([&](uint32_t t, uint32_t, const PartRec& p) {
    return tracks[t] && (p.Flags & kPartTimelocked) != 0;
  }, true);
}

int ArrSelectPartsInLocRange() {
  if (Locs().LeftLoc > Locs().RightLoc) return 0;
  return OnChosen(ArrSelectPartsInLocRangeOn);
}
int ArrSelectPartsAfterLeftLoc() { return OnChosen(ArrSelectPartsAfterLeftLocOn); }
int ArrSelectPartsWithoutPlayChan() { return OnChosen(ArrSelectPartsWithoutPlayChanOn); }
int ArrSelectTimelockedParts() { return OnChosen(ArrSelectTimelockedPartsOn); }

int ArrSelectPartsOnSelTrks() {
  uint8_t withSel[kArrTracks] = {};
  arrlist::WalkAll(CurArr, [&](uint32_t t, uint32_t, const PartRec& p) { withSel[t] |= Sel(p); });
  return SelectWhere([&](uint32_t t, uint32_t, const PartRec& p) { return Sel(p) || withSel[t]; },
                     true);
}

int ArrSelectPartsOfSamePlayChan() {
  std::set<std::pair<uint16_t, int32_t>> keys;
  arrlist::WalkAll(CurArr, [&](uint32_t, uint32_t, const PartRec& p) {
    if (Sel(p)) keys.insert({p.TakeKind, p.PlayChannel});
  });
  return SelectWhere([&](uint32_t, uint32_t, const PartRec& p) {
    return Sel(p) || keys.count({p.TakeKind, p.PlayChannel}) != 0;
  }, true);
}

int ArrSelectPartsOfSameTake() {
  std::set<uint32_t> takes;
  arrlist::WalkAll(CurArr, [&](uint32_t, uint32_t, const PartRec& p) {
    if (Sel(p)) takes.insert(p.Take);
  });
  return SelectWhere([&](uint32_t, uint32_t, const PartRec& p) {
    return Sel(p) || takes.count(p.Take) != 0;
  }, true);
}

int ArrSelectPartsFromFirstSel() {
  const SelExtent e = Extent();
  if (!e.Any()) return 0;
  return SelectWhere([&](uint32_t, uint32_t, const PartRec& p) { return Sel(p) || p.Start >= e.First; },
                     false);
}

int ArrDeselectAllCmd() { return ArrClearSelection(CurArr, nullptr, 1) != 0 ? 1 : 0; }

int ArrInvertPartSelection() {
  return SelectWhere([](uint32_t, uint32_t, const PartRec& p) { return !Sel(p); }, false);
}

int ArrSetLocsToSelection() {
  const SelExtent e = Extent();
  if (!e.Any()) return 0;
  SetLocator(kLocLeftPrime, Pos(e.First));
  SetLocator(kLocRightPrime, Pos(e.Last));
  return 1;
}

int ArrSetLeftLocToSelEnd() {
  const SelExtent e = Extent();
  return e.Any() ? SetLocator(kLocLeftPrime, Pos(e.Last)) : 0;
}

int ArrSetRightLocToSelStart() {
  const SelExtent e = Extent();
  return e.Any() ? SetLocator(kLocRightPrime, Pos(e.First)) : 0;
}

// ---- Flatten ----

int ArrFlatten() {
  if (!ArrHasOverlaps(CurArr, 0)) return arredit::Refuse(IDS_NO_OVERLAPS);
  int proceed = 1;
  if (ArrHasXfades(CurArr, 0)) proceed = arredit::AskYesNo(IDS_ASK_REMOVE_XFADES, kMbWarnYesNo);
  return ArrFlattenApply(proceed);
}

int ArrFlattenApply(int proceed) {
  if (!proceed) return 0;
  if (!ArrHasOverlaps(CurArr, 0)) return arredit::Refuse(IDS_NO_OVERLAPS);
  // The step is recorded before the selection is cleared, so that Undo
  // brings the selection back too.
  if (!arredit::BeginStep(IDS_UNDO_FLATTEN)) return 0;
  ArrClearSelection(CurArr, nullptr, 0);
  uint32_t error = 0;
  ArrRec* flat = ArrFlattenCopy(CurArr, &error);
  if (error != 0 || flat == nullptr) {
    arredit::FailStep(error != 0 ? error : IDS_GLOBAL_ALLOC_FAILED);
    return 0;
  }
  CurArr = flat;
  ArrSyncTakeRefs(CurArr, 0);
  arredit::RebuildPlay();
  ArrEditWnd().UpdateScrollRanges();
  ArrRedrawWindows();
  ArrChangeCountRaise();
  return 1;
}

// ---- Tempo ----

int ArrRetimeMidiParts(ArrRec** arr) {
  if (arr == nullptr || *arr == nullptr) return 0;
  const bool sameMap = ArrPrevTempo.Map == TempoMap;
  const bool sameTempo = (ArrPrevTempo.Tempo == 0 || ArrPrevTempo.Tempo == Settings().Tempo) &&
                         (ArrPrevTempo.Rate == 0 || ArrPrevTempo.Rate == Settings().SampleRate);
  if (sameMap && (TempoMap != nullptr || sameTempo)) return 0;
  bool any = false;
  arrlist::WalkAll(*arr, [&](uint32_t, uint32_t, PartRec& p) {
    const bool follows = p.TakeKind == kTakeMidi &&
                         TakeGetAttr(TakeFromRef(p.Take), kTakeAttrTickResolution) != 0;
    p.Flags = follows ? (p.Flags | kPartSelected) : (p.Flags & ~kPartSelected);
    any = any || follows;
  });
  if (!any) return 0;
  int32_t offset = 0;
  uint32_t error = 0;
  *arr = ArrCopyParts(nullptr, *arr, *arr, &offset, 0, 0, 1, 0, 0, 1, 0, &error);
  if (error != 0) arredit::Refuse(error);
  return error == 0 ? 1 : 0;
}
