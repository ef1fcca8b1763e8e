// The arrangement's list primitives and its simple queries: creation,
// reserving, sorted insertion and unlinking of Parts, the top Part at a
// position, visibility of a span, fades, snapping of a range, extents.
#include "arr.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "arrheap.h"
#include "arrlist.h"
#include "mixer/model/util/fade.h"
#include "snap.h"
#include "mixer/model/util/strtab.h"

using namespace arrlist;

ArrRec* CurArr = nullptr;

namespace {

void SetError(uint32_t* error, uint32_t id) {
  if (error != nullptr) *error = id;
}

uint32_t CountFreeSlots(const ArrRec* arr) {
  uint32_t free = 0;
  for (uint32_t slot = 0; slot < arr->PartCount; ++slot)
    if (ArrPart(arr, slot)->Start == kPartFreeStart) ++free;
  return free;
}

uint32_t LowestFreeSlot(const ArrRec* arr) {
  for (uint32_t slot = 0; slot < arr->PartCount; ++slot)
    if (ArrPart(arr, slot)->Start == kPartFreeStart) return slot;
  return kArrNoSlot;
}

// Grows the block, when it must, to hold `slots` slots; *arr may move. False
// when the heap has no room (the block is then unchanged).
bool GrowToHold(ArrRec** arr, uint32_t slots) {
  uint32_t need = ArrBlockSize(slots);
  if (BlockHeap::Size(*arr) >= need) return true;
  void* grown = ArrHeap.Grow(*arr, need);
  if (grown == nullptr) return false;
  *arr = static_cast<ArrRec*>(grown);
  return true;
}

// The last Part of the track's list starting at or before `start`, after
// which a Part starting there is linked; kArrNoSlot for the head.
uint32_t InsertionPoint(const ArrRec* arr, uint32_t track, int32_t start) {
  uint32_t after = kArrNoSlot;
  WalkTrack(arr, track, [&](uint32_t slot, const PartRec& part) {
    if (part.Start > start) return false;
    after = slot;
    return true;
  });
  return after;
}

void LinkAfter(ArrRec* arr, uint32_t track, uint32_t slot, uint32_t after) {
  PartRec& part = *ArrPart(arr, slot);
  if (after == kArrNoSlot) {
    part.Next = arr->ListHead[track];
    arr->ListHead[track] = slot;
  } else {
    PartRec& prev = *ArrPart(arr, after);
    part.Next = prev.Next;
    prev.Next = slot;
  }
}

// Unlinks the slot from one track's list; false when the list does not hold it.
bool UnlinkFromTrack(ArrRec* arr, uint32_t slot, uint32_t track) {
  uint32_t prev = kArrNoSlot;
  bool found = false;
  WalkTrack(arr, track, [&](uint32_t s, PartRec&) {
    if (s == slot) {
      found = true;
      return false;
    }
    prev = s;
    return true;
  });
  if (!found) return false;
  PartRec& part = *ArrPart(arr, slot);
  if (prev == kArrNoSlot)
    arr->ListHead[track] = part.Next;
  else
    ArrPart(arr, prev)->Next = part.Next;
  part.Start = kPartFreeStart;
  part.Next = kArrNoSlot;
  return true;
}

void ClearFlagEverywhere(ArrRec* arr, uint32_t flag) {
  if (arr == nullptr) return;
  for (uint32_t slot = 0; slot < arr->PartCount; ++slot) ArrPart(arr, slot)->Flags &= ~flag;
}

// Snaps one position to the grid when the grid point is at most `distance` away.
template <typename SnapFn> int32_t SnapWithin(int32_t position, int32_t distance, SnapFn snap) {
  int32_t snapped = snap(position);
  int64_t moved = int64_t{snapped} - position;
  return (moved < 0 ? -moved : moved) <= distance ? snapped : position;
}

}  // namespace

// ---- List primitives ----

ArrRec* ArrNew(uint32_t* error) {
  auto* arr = static_cast<ArrRec*>(ArrHeap.Alloc(sizeof(ArrRec)));
  if (arr == nullptr) {
    SetError(error, IDS_GLOBAL_ALLOC_FAILED);
    return nullptr;
  }
  std::fill(std::begin(arr->ListHead), std::end(arr->ListHead), kArrNoSlot);
  return arr;
}

int ArrReserveParts(ArrRec** arr, uint32_t k, int grow, uint32_t* error) {
  if (arr == nullptr || *arr == nullptr) {
    SetError(error, IDS_INTERNAL_CODE_ERROR);
    return 0;
  }
  uint32_t free = CountFreeSlots(*arr);
  uint32_t rest = k > free ? k - free : 0;
  uint64_t slots = uint64_t{(*arr)->PartCount} + rest;
  if (slots > kArrMaxParts) {
    SetError(error, IDS_MAX_PARTS_REACHED);
    return 0;
  }
  if (grow && rest > 0 && !GrowToHold(arr, static_cast<uint32_t>(slots))) {
    SetError(error, IDS_GLOBAL_REALLOC_FAILED);
    return 0;
  }
  return 1;
}

int ArrInsertPart(ArrRec** arr, const PartRec& part, uint32_t* slotOut, uint32_t track,
                  uint32_t* error) {
  if (arr == nullptr || *arr == nullptr || track >= kArrTracks || part.Start == kPartFreeStart) {
    SetError(error, IDS_INTERNAL_CODE_ERROR);
    return 0;
  }
  uint32_t slot = LowestFreeSlot(*arr);
  if (slot == kArrNoSlot) {
    uint32_t count = (*arr)->PartCount;
    if (count >= kArrMaxParts) {
      SetError(error, IDS_MAX_PARTS_REACHED);
      return 0;
    }
    if (!GrowToHold(arr, count + 1)) {
      SetError(error, IDS_GLOBAL_REALLOC_FAILED);
      return 0;
    }
    slot = (*arr)->PartCount++;
  }
  ArrRec* a = *arr;
  // The place is found before the record is written, so that the walk never
  // meets the new Part in a damaged list.
  uint32_t after = InsertionPoint(a, track, part.Start);
  *ArrPart(a, slot) = part;
  LinkAfter(a, track, slot, after);
  if (slotOut != nullptr) *slotOut = slot;
  return 1;
}

int ArrUnlinkPart(ArrRec* arr, uint32_t slot, uint32_t track) {
  if (UsedPart(arr, slot) == nullptr) return 0;
  if (track != kArrNoSlot) return track < kArrTracks && UnlinkFromTrack(arr, slot, track) ? 1 : 0;
  for (uint32_t t = 0; t < kArrTracks; ++t)
    if (UnlinkFromTrack(arr, slot, t)) return 1;
  return 0;
}

// ---- Simple queries ----

int32_t ArrTopPartAtLoc(const ArrRec* arr, uint32_t track, int32_t position, int32_t* under) {
  int32_t best = -1;
  int32_t below = -1;
  int32_t prev = -1;
  int16_t bestLayer = 0;
  WalkTrack(arr, track, [&](uint32_t slot, const PartRec& part) {
    if (part.Start > position) return false;
    if (position < End64(part) && (best < 0 || part.Layer > bestLayer)) {
      below = best < 0 ? prev : best;
      best = static_cast<int32_t>(slot);
      bestLayer = part.Layer;
    }
    prev = static_cast<int32_t>(slot);
    return true;
  });
  if (under != nullptr) *under = best < 0 ? -1 : below;
  return best;
}

int32_t ArrTrackOfPart(const ArrRec* arr, uint32_t slot) {
  if (UsedPart(arr, slot) == nullptr) return -1;
  for (uint32_t track = 0; track < kArrTracks; ++track) {
    bool found = false;
    WalkTrack(arr, track, [&](uint32_t s, const PartRec&) {
      found = s == slot;
      return !found;
    });
    if (found) return static_cast<int32_t>(track);
  }
  return -1;
}

int PartOverlapsRange(int32_t from, int32_t to, const PartRec& part) {
  return SpansOverlap(part.Start, End64(part), from, to) ? 1 : 0;
}

int PartSpanIsVisible(const ArrRec* arr, uint32_t track, uint32_t slot, int32_t from, int32_t to) {
  const PartRec* part = UsedPart(arr, slot);
  if (part == nullptr || from >= to) return 0;
  // Samples before the cursor are covered by higher Parts; a higher Part
  // that starts beyond the cursor leaves a gap, since the list is in start
  // order and no later Part can fill it.
  int64_t cursor = from;
  bool gap = false;
  WalkTrack(arr, track, [&](uint32_t s, const PartRec& q) {
    if (q.Start >= to) return false;
    if (s == slot || q.Layer <= part->Layer || End64(q) <= cursor) return true;
    if (q.Start > cursor) {
      gap = true;
      return false;
    }
    cursor = End64(q);
    return cursor < to;
  });
  return gap || cursor < to ? 1 : 0;
}

void ArrClearTempMarks(ArrRec* arr) { ClearFlagEverywhere(arr, kPartTempMark); }
void ArrClearWriteMarks(ArrRec* arr) { ClearFlagEverywhere(arr, kPartPassMark); }

ArrRectPx ArrPartToRectCalc(int32_t track, const PartRec& part, const ArrRectView& view) {
  constexpr int64_t kAxisShift = 44100;  // the time axis starts this many samples before 0
  int64_t zoom = std::max<int64_t>(view.Hzoom, 1);
  auto column = [&](int64_t position) {
    return Clamp32((position + kAxisShift - view.Origin) / zoom, -32768, 32767);
  };
  int64_t top = (int64_t{track} - view.FirstTrack) * (int64_t{view.RowHeight} + 2) +
                view.TopMargin + 1;
  int64_t bottom = top + view.RowHeight + 1;
  return {column(part.Start), Clamp32(top, INT32_MIN, INT32_MAX), column(End64(part)),
          Clamp32(bottom, INT32_MIN, INT32_MAX)};
}

void SnapRangeToGrid(int32_t distance, int32_t* start, int32_t* end, int32_t* offset,
                     int32_t direction, const ArrRec* arr, const MrkList* markers,
                     int32_t exclusion, int32_t noDistanceLimit) {
  auto snap = [&](int32_t position) {
    return SnapLoc(position, 0, direction, arr, markers, exclusion, noDistanceLimit);
  };
  if (start != nullptr) {
    int32_t snapped = SnapWithin(*start, distance, snap);
    if (offset != nullptr)
      *offset = Clamp32(int64_t{*offset} + snapped - *start, INT32_MIN, INT32_MAX);
    *start = snapped;
  }
  if (end != nullptr) *end = SnapWithin(*end, distance, snap);
}

int32_t FadeCurveValue(int32_t position, int32_t curve, int32_t from, int32_t to, int32_t length) {
  if (position < 1 || from == to) return from;
  if (position >= length) return to;
  // A falling fade takes the curve's pair so that a fade-out mirrors the
  // fade-in of the same curve.
  if (from > to && curve >= 2 && curve <= 7) curve ^= 1;
  int64_t shape = FadeShape(curve, position, length);
  int64_t scaled = shape * (int64_t{to} - from);  // |scaled| < 2^56
  return static_cast<int32_t>(from + (scaled >> 23));  // >> floors, also below 0
}

// ---- Extent ----

int32_t ArrStartLoc(const ArrRec* arr) {
  if (arr == nullptr) return 0;
  int32_t first = 0;
  bool any = false;
  for (uint32_t track = 0; track < kArrTracks; ++track) {
    const PartRec* head = UsedPart(arr, arr->ListHead[track]);
    if (head == nullptr) continue;
    first = any ? std::min(first, head->Start) : head->Start;
    any = true;
  }
  return first;
}

int32_t ArrEndLoc(const ArrRec* arr) {
  int64_t last = 0;
  bool any = false;
  WalkAll(arr, [&](uint32_t, uint32_t, const PartRec& part) {
    last = any ? std::max(last, End64(part)) : End64(part);
    any = true;
  });
  return Clamp32(last, INT32_MIN, kMaxPos);
}

// ---- Parts at an edge ----

int32_t TrkPartStartingAt(const ArrRec* arr, uint32_t track, int32_t position) {
  int32_t found = -1;
  WalkTrack(arr, track, [&](uint32_t slot, const PartRec& part) {
    if (part.Start > position) return false;
    if (part.Start == position && position < kMaxPos &&
        PartSpanIsVisible(arr, track, slot, position, position + 1))
      found = static_cast<int32_t>(slot);
    return found < 0;
  });
  return found;
}

int32_t TrkPartEndingAt(const ArrRec* arr, uint32_t track, int32_t position) {
  int32_t found = -1;
  WalkTrack(arr, track, [&](uint32_t slot, const PartRec& part) {
    if (part.Start >= position) return false;
    if (End64(part) == position && PartSpanIsVisible(arr, track, slot, position - 1, position))
      found = static_cast<int32_t>(slot);
    return found < 0;
  });
  return found;
}
