#include "marker.h"

#include <algorithm>
#include <cstring>

#include "blockheap.h"
#include "host.h"
#include "mixer/arrange/services.h"
#include "mixer/shell/services.h"
#include "mixer/units/services.h"
#include "mrkdir.h"
#include "settings.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/util/strutil.h"
#include "timecode.h"

BlockHeap MrkHeap;
MrkList* CurMrkList = nullptr;

namespace {

// Slots the operations look at: the slot count, but never more than there
// are marker numbers, so that a damaged count cannot make a walk long.
uint32_t SlotLimit(const MrkList* list) {
  return list ? std::min(list->Count, kMrkMaxNumber) : 0;
}

MrkRec* SlotAt(MrkList* list, uint32_t slot) {
  return slot < SlotLimit(list) ? MrkSlot(list, slot) : nullptr;
}
const MrkRec* SlotAt(const MrkList* list, uint32_t slot) {
  return SlotAt(const_cast<MrkList*>(list), slot);
}

// Marker n's record when n is a number that has a slot; null otherwise.
MrkRec* NumberAt(MrkList* list, uint32_t n) { return n >= 1 ? SlotAt(list, n - 1) : nullptr; }
const MrkRec* NumberAt(const MrkList* list, uint32_t n) {
  return NumberAt(const_cast<MrkList*>(list), n);
}

MrkRec* UsedAt(MrkList* list, uint32_t n) {
  MrkRec* mrk = NumberAt(list, n);
  return mrk && mrk->Position != kMrkUnused ? mrk : nullptr;
}

// Calls fn(slot, marker) along the chain while fn returns true, at most one
// step per slot. Returns the slot where fn stopped, or kMrkNoSlot.
template <typename Fn> uint32_t WalkUntil(const MrkList* list, Fn fn) {
  if (list == nullptr) return kMrkNoSlot;
  uint32_t slot = list->First;
  for (uint32_t steps = 0, limit = SlotLimit(list); steps < limit; ++steps) {
    const MrkRec* mrk = SlotAt(list, slot);
    if (mrk == nullptr) break;
    if (!fn(slot, *mrk)) return slot;
    slot = mrk->Next;
  }
  return kMrkNoSlot;
}

// The link that leads to `slot`: the list's head or the Next of the marker
// before it. Null when the slot is not in the chain.
uint32_t* LinkTo(MrkList* list, uint32_t slot) {
  if (list == nullptr) return nullptr;
  uint32_t* link = &list->First;
  uint32_t found = WalkUntil(list, [&](uint32_t at, const MrkRec&) {
    if (at == slot) return false;
    link = &SlotAt(list, at)->Next;
    return true;
  });
  return found == slot ? link : nullptr;
}

bool Unlink(MrkList* list, uint32_t slot) {
  uint32_t* link = LinkTo(list, slot);
  if (link == nullptr) return false;
  *link = SlotAt(list, slot)->Next;
  SlotAt(list, slot)->Next = kMrkNoSlot;
  return true;
}

// Links `slot` after the last marker whose position is at or before its own,
// so that markers at one position keep the order in which they came. The
// marker leads on to the first later one, or ends the chain: a damaged rest
// (a cycle, a bad index) is cut off rather than joined.
void Link(MrkList* list, uint32_t slot) {
  MrkRec* mrk = SlotAt(list, slot);
  uint32_t* link = &list->First;
  uint32_t later = WalkUntil(list, [&](uint32_t at, const MrkRec& other) {
    if (other.Position > mrk->Position) return false;
    link = &SlotAt(list, at)->Next;
    return true;
  });
  mrk->Next = later;
  *link = slot;
}

// Gives the list n slots, the new ones free; 0 when it cannot grow.
bool GrowTo(MrkList** list, uint32_t n) {
  uint32_t old = (*list)->Count;
  if (n <= old) return true;
  auto* grown = static_cast<MrkList*>(MrkHeap.Grow(*list, MrkBlockSize(n)));
  if (grown == nullptr) return false;
  grown->Count = n;
  for (uint32_t slot = old; slot < n; ++slot) {
    MrkRec* mrk = MrkSlot(grown, slot);
    std::memset(mrk, 0, sizeof *mrk);
    mrk->Position = kMrkUnused;
    mrk->Next = kMrkNoSlot;
  }
  *list = grown;
  return true;
}

// The updates that follow every change of the current list.
void AfterChange(int32_t dirOp, uint32_t n) {
  ArrRedrawMarkerRuler();
  MrkDirRefresh(dirOp, static_cast<int32_t>(n));
  ArrChangeCountRaise();
}

int EditAdd(uint32_t n, int32_t position) {
  MrkRec rec{};
  rec.Position = position;
  rec.Next = kMrkNoSlot;
  uint32_t error = 0;
  if (MrkInsert(&CurMrkList, rec, n, &error)) {
    AfterChange(kMrkDirAdd, n);
    return 1;
  }
  if (error != 0) MessageBoxById(nullptr, error, kMbWarnOk);
  return 0;
}

int EditApply(uint32_t operation, uint32_t n, intptr_t value) {
  switch (operation) {
    case kMrkEditAdd:
      return EditAdd(n, static_cast<int32_t>(value));
    case kMrkEditMove:
      if (!MrkMove(CurMrkList, static_cast<int32_t>(value), n)) return 0;
      AfterChange(kMrkDirReplace, n);
      return 1;
    case kMrkEditDelete:
      if (!MrkDelete(CurMrkList, n)) return 0;
      AfterChange(kMrkDirRemove, n);
      return 1;
    case kMrkEditRename:
      if (!MrkRename(CurMrkList, reinterpret_cast<const char*>(value), n)) return 0;
      AfterChange(kMrkDirReplace, n);
      return 1;
    default:
      return 0;
  }
}

// Shifts every marker of the current list by `shift(position)`: the new
// position, or kMrkUnused to delete the marker. Positions change in place:
// the callers' shifts keep the chain's order, markers at one position
// included. The control surface hears of each marker touched.
template <typename Shift> void ShiftMarkers(Shift shift) {
  for (uint32_t n = 1; n <= kMrkMaxNumber; ++n) {
    MrkRec* mrk = UsedAt(CurMrkList, n);
    if (mrk == nullptr) continue;
    int64_t to = shift(mrk->Position);
    if (to == mrk->Position) continue;
    if (to == kMrkUnused)
      MrkDelete(CurMrkList, n);
    else
      mrk->Position = static_cast<int32_t>(to);
    ConsoleNotifyMarker(CurMrkList, n);
  }
  AfterChange(kMrkDirRebuild, 0);
}

}  // namespace

MrkList* MrkListNew(uint32_t* error) {
  auto* list = static_cast<MrkList*>(MrkHeap.Alloc(MrkBlockSize(0)));
  if (list == nullptr) {
    if (error) *error = IDS_GLOBAL_ALLOC_FAILED;
    return nullptr;
  }
  list->Count = 0;
  list->First = kMrkNoSlot;
  return list;
}

int MrkInsert(MrkList** list, const MrkRec& rec, uint32_t n, uint32_t* error) {
  if (list == nullptr || *list == nullptr) return 0;
  if (n < 1 || n > kMrkMaxNumber || rec.Position == kMrkUnused) return 0;
  if (MrkIsValid(*list, n)) return 0;
  if (!GrowTo(list, n)) {
    if (error) *error = IDS_GLOBAL_REALLOC_FAILED;
    return 0;
  }
  uint32_t slot = n - 1;
  Unlink(*list, slot);  // a free slot left in a damaged chain would make a cycle
  MrkRec* mrk = SlotAt(*list, slot);
  *mrk = rec;
  mrk->Name[sizeof mrk->Name - 1] = '\0';
  Link(*list, slot);
  return 1;
}

int MrkDelete(MrkList* list, uint32_t n) {
  if (NumberAt(list, n) == nullptr || !Unlink(list, n - 1)) return 0;
  NumberAt(list, n)->Position = kMrkUnused;
  return 1;
}

int32_t MrkNxtLoc(const MrkList* list, int32_t position) {
  uint32_t slot = WalkUntil(list, [=](uint32_t, const MrkRec& mrk) { return mrk.Position <= position; });
  const MrkRec* mrk = SlotAt(list, slot);
  return mrk ? mrk->Position : EndOfTime;
}

uint32_t MrkAtOrAfterLoc(const MrkList* list, int32_t position) {
  uint32_t slot = WalkUntil(list, [=](uint32_t, const MrkRec& mrk) { return mrk.Position < position; });
  return slot == kMrkNoSlot ? 0 : slot + 1;
}

uint32_t MrkFirstFree(const MrkList* list, uint32_t n) {
  for (uint32_t k = std::max(n, 1u); k <= kMrkMaxNumber; ++k)
    if (!MrkIsValid(list, k)) return k;
  return 0;
}

uint32_t MrkFirstUsed(const MrkList* list, uint32_t n) {
  for (uint32_t k = std::max(n, 1u); k <= kMrkMaxNumber; ++k)
    if (MrkIsValid(list, k)) return k;
  return 0;
}

int MrkIsValid(const MrkList* list, uint32_t n) {
  const MrkRec* mrk = NumberAt(list, n);
  return mrk && mrk->Position != kMrkUnused ? 1 : 0;
}

int MrkMove(MrkList* list, int32_t position, uint32_t n) {
  if (!MrkIsValid(list, n) || position == kMrkUnused) return 0;
  MrkRec rec = *NumberAt(list, n);
  if (!MrkDelete(list, n)) return 0;
  rec.Position = position;
  *NumberAt(list, n) = rec;
  Link(list, n - 1);
  return 1;
}

int MrkRename(MrkList* list, const char* name, uint32_t n) {
  MrkRec* mrk = UsedAt(list, n);
  if (mrk == nullptr || name == nullptr) return 0;
  StrCopyN(mrk->Name, name, sizeof mrk->Name);
  return 1;
}

int32_t MrkGetLoc(const MrkList* list, uint32_t n) {
  return MrkIsValid(list, n) ? NumberAt(list, n)->Position : Locs().NowLoc;
}

int MrkEdit(uint32_t operation, uint32_t n, intptr_t value) {
  int changed = EditApply(operation, n, value);
  ConsoleNotifyMarker(CurMrkList, n);
  return changed;
}

void MrkShiftForInsert() {
  int64_t left = Locs().LeftLoc, right = Locs().RightLoc;
  if (left >= right) return;
  ShiftMarkers([=](int64_t pos) -> int64_t {
    if (pos < left) return pos;
    return pos + (right - left) < kTimeLineLimit ? pos + (right - left) : kMrkUnused;
  });
}

void MrkShiftForRemove() {
  int64_t left = Locs().LeftLoc, right = Locs().RightLoc;
  if (left >= right) return;
  ShiftMarkers([=](int64_t pos) -> int64_t {
    if (pos < left) return pos;
    return pos < right ? kMrkUnused : pos - (right - left);
  });
}
