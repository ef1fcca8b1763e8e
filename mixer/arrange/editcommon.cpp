#include "editpriv.h"
#include "editseams.h"

#include <algorithm>

#include "mixer/arrange/partedit.h"
#include "mixer/arrange/procdrv.h"
#include "mixer/arrange/partlink.h"
#include "mixer/mix/services.h"
#include "mixer/model/arrlist.h"
#include "mixer/model/host.h"
#include "mixer/model/options.h"
#include "mixer/model/settings.h"
#include "mixer/model/take.h"
#include "mixer/model/undo.h"
#include "mixer/model/util/strtab.h"
#include "mixer/shell/services.h"
#include "mixer/units/services.h"

namespace {

ArrEditWindow DefaultWindow;
ArrEditRoutines DefaultRoutines;
ArrEditWindow* Window = &DefaultWindow;
ArrEditRoutines* Routines = &DefaultRoutines;

constexpr int32_t kAutoMuteMode = 40896;

}  // namespace

ArrEditWindow& ArrEditWnd() { return *Window; }
ArrEditRoutines& ArrEditRtn() { return *Routines; }

void ArrSetEditSeams(ArrEditWindow* window, ArrEditRoutines* routines) {
  Window = window ? window : &DefaultWindow;
  Routines = routines ? routines : &DefaultRoutines;
}

namespace arredit {

int Refuse(uint32_t id) {
  MessageBoxById(nullptr, id, kMbWarnOk);
  return 0;
}

int AskYesNo(uint32_t id, uint32_t flags) {
  return MessageBoxById(nullptr, id, flags) == kIdYes ? 1 : 0;
}

int BeginStep(uint32_t undoName) {
  // No edit records a step while an off-line run holds the arrangement.
  if (ArrOfflineRunActive()) return 0;
  return UndoRecord(undoName);
}

void FailStep(uint32_t id) {
  UndoApply(0);
  if (id != 0) Refuse(id);
}

int CutPartAt(ArrRec** arr, uint32_t slot, uint32_t track, int32_t p, int leftSel, int rightSel,
              uint32_t* right, uint32_t* error) {
  PartRec* part = arrlist::UsedPart(*arr, slot);
  if (part == nullptr || !(part->Start < p && p < End(*part))) {
    if (error) *error = IDS_INTERNAL_CODE_ERROR;
    return 0;
  }
  const PartRec whole = *part;
  const int32_t cut = p - whole.Start;
  PartRec r = whole;
  r.Start = p;
  r.Offset = static_cast<int32_t>(std::min<int64_t>(int64_t{whole.Offset} + cut, INT32_MAX));
  r.Length = whole.Length - cut;
  r.SnapPoint = whole.SnapPoint - cut;
  if (r.SnapPoint < 0 || r.SnapPoint >= r.Length) r.SnapPoint = 0;
  r.Next = kArrNoSlot;
  if (whole.TakeKind == kTakeAudio) r.GainStart = ArrPartGainAt(cut, whole);
  r.Flags = (r.Flags & ~kPartSelected) | kPartTempMark | (rightSel ? uint32_t{kPartSelected} : 0u);
  uint32_t newSlot = kArrNoSlot;
  if (!ArrInsertPart(arr, r, &newSlot, track, error)) return 0;
  PartRec& l = *ArrPart(*arr, slot);
  l.Length = cut;
  if (l.SnapPoint >= cut) l.SnapPoint = 0;
  if (whole.TakeKind == kTakeAudio) l.GainEnd = r.GainStart;
  l.Flags = (l.Flags & ~kPartSelected) | kPartTempMark | (leftSel ? uint32_t{kPartSelected} : 0u);
  PartCheckXfade(*arr, newSlot);
  if (right) *right = newSlot;
  return 1;
}

void ResortPart(ArrRec* arr, uint32_t slot, uint32_t track) {
  if (arrlist::UsedPart(arr, slot) == nullptr || track >= kArrTracks) return;
  // Take the slot out of the list by hand (ArrUnlinkPart would free it),
  // then link it in again after the last Part starting at or before it.
  uint32_t prev = kArrNoSlot;
  bool found = false;
  arrlist::WalkTrack(arr, track, [&](uint32_t s, PartRec&) {
    if (s == slot) return !(found = true);
    prev = s;
    return true;
  });
  if (!found) return;
  PartRec& part = *ArrPart(arr, slot);
  if (prev == kArrNoSlot)
    arr->ListHead[track] = part.Next;
  else
    ArrPart(arr, prev)->Next = part.Next;
  part.Next = kArrNoSlot;
  uint32_t after = kArrNoSlot;
  arrlist::WalkTrack(arr, track, [&](uint32_t s, PartRec& other) {
    if (other.Start > part.Start) return false;
    after = s;
    return true;
  });
  if (after == kArrNoSlot) {
    part.Next = arr->ListHead[track];
    arr->ListHead[track] = slot;
  } else {
    PartRec& a = *ArrPart(arr, after);
    part.Next = a.Next;
    a.Next = slot;
  }
}

void SelectionToKeepSel(ArrRec* arr) {
  arrlist::WalkAll(arr, [](uint32_t, uint32_t, PartRec& part) {
    if (Sel(part) && !KeepSel) part.Flags &= ~kPartSelected;
  });
}

void MuteSelectedOverlaps(ArrRec* arr, DcHandle dc) {
  if (EditMultiOutMode != kAutoMuteMode) return;
  arrlist::WalkAll(arr, [&](uint32_t track, uint32_t slot, PartRec& part) {
    if (Sel(part)) ArrMuteSameOutputOverlaps(arr, slot, track, dc, 0);
  });
}

void RebuildPlay() {
  const int32_t now = Locs().NowLoc;
  RebuildAndPrepPlayLists(CurArr, now);
  MidiRebuildAndPrep(CurArr, now);
  MxaRefreshAfterEdit(CurArr, CurMixDoc(), now);
}

void Finish(DcHandle dc) {
  ArrRelinkOverlaps(CurArr);
  ArrCheckXfades(CurArr, 1);
  ArrRedrawMarked(dc, CurArr);
  ArrClearTempMarks(CurArr);
  SelectionToKeepSel(CurArr);
  RebuildPlay();
  ArrChangeCountRaise();
}

std::vector<std::pair<uint32_t, uint32_t>> LinkGroup(const ArrRec* arr, uint32_t slot) {
  std::vector<std::pair<uint32_t, uint32_t>> out;  // (track, slot) from the head down
  const int32_t t = ArrTrackOfPart(arr, slot);
  const PartRec* p = arrlist::UsedPart(arr, slot);
  if (t < 0 || p == nullptr) return out;
  uint32_t track = static_cast<uint32_t>(t);
  int32_t s = static_cast<int32_t>(slot);
  if (PartIsChannelLinked(*p)) {
    uint32_t head = track;
    s = ArrLinkHead(arr, slot, track, &head);
    track = head;
  }
  for (int guard = 0; s >= 0 && guard < static_cast<int>(kArrTracks); ++guard) {
    out.push_back({track, static_cast<uint32_t>(s)});
    uint32_t next = track;
    s = ArrLinkNxt(arr, static_cast<uint32_t>(s), track, &next);
    track = next;
  }
  return out;
}

}  // namespace arredit
