// Overlap links and layers: which Parts of a track overlap, and which of
// them lies on top.
#include <algorithm>

#include "arr.h"
#include "arrlist.h"

using namespace arrlist;

namespace {

// The first Part from `cursor` on, other than `slot`, that overlaps `part`;
// kArrNoSlot when none. Parts starting at or after its end cannot.
uint32_t FirstOverlap(const ArrRec* arr, uint32_t cursor, uint32_t slot, const PartRec& part) {
  uint32_t found = kArrNoSlot;
  int64_t end = End64(part);
  WalkFrom(arr, cursor, [&](uint32_t qs, const PartRec& q) {
    if (q.Start >= end) return false;
    if (qs != slot && PartsOverlap(part, q)) found = qs;
    return found == kArrNoSlot;
  });
  return found;
}

// Recomputes the overlap links of one track: of every Part, or (whole
// false) of the Parts from the first overlapping [from, to) up to `to`.
void RelinkTrack(ArrRec* arr, uint32_t track, bool whole, int32_t from, int32_t to) {
  // The scan cursor: when a Part has no overlap, no Part before it can
  // overlap a later one, so later scans start after it.
  uint32_t cursor = arr->ListHead[track];
  bool write = whole;
  WalkTrack(arr, track, [&](uint32_t slot, PartRec& part) {
    if (!whole) {
      if (part.Start >= to) return false;
      write = write || PartOverlapsRange(from, to, part);
    }
    uint32_t link = FirstOverlap(arr, cursor, slot, part);
    if (write) part.OverlapLink = link < kArrNoLink ? static_cast<uint16_t>(link) : kArrNoLink;
    if (link == kArrNoSlot) cursor = part.Next;
    return true;
  });
}

// Calls fn(slot, q) for the Parts reached from the Part's overlap link that
// start before its end.
template <typename Fn> void ForEachReached(ArrRec* arr, const PartRec& part, Fn fn) {
  int64_t end = End64(part);
  WalkFrom(arr, LinkSlot(part.OverlapLink), [&](uint32_t qs, const PartRec& q) {
    if (q.Start >= end) return false;
    fn(qs, q);
    return true;
  });
}

// Lifts each selected Part that shares its layer with another selected
// Part it reaches above the highest of those; true when any moved.
bool SeparateSelectedLayers(ArrRec* arr) {
  bool changed = false;
  WalkAll(arr, [&](uint32_t, uint32_t slot, PartRec& part) {
    if (!IsSelected(part)) return;
    int32_t highest = INT16_MIN;
    bool shares = false;
    ForEachReached(arr, part, [&](uint32_t qs, const PartRec& q) {
      if (qs == slot || !IsSelected(q)) return;
      highest = std::max<int32_t>(highest, q.Layer);
      shares = shares || q.Layer == part.Layer;
    });
    if (shares && highest < INT16_MAX) {
      part.Layer = static_cast<int16_t>(highest + 1);
      changed = true;
    }
  });
  return changed;
}

}  // namespace

void ArrRelinkOverlaps(ArrRec* arr) {
  if (arr == nullptr) return;
  for (uint32_t track = 0; track < kArrTracks; ++track) RelinkTrack(arr, track, true, 0, 0);
}

void TrkFindOverlap(uint32_t track, ArrRec* arr, int32_t from, int32_t to) {
  if (arr != nullptr && track < kArrTracks) RelinkTrack(arr, track, false, from, to);
}

int32_t TrkTopLayerInRange(uint32_t track, const ArrRec* arr, int32_t from, int32_t to,
                           int onlyPlayed) {
  int32_t top = -1;
  bool any = false;
  WalkTrack(arr, track, [&](uint32_t, const PartRec& part) {
    if (part.Start > to) return false;
    if (PartOverlapsRange(from, to, part) && !(onlyPlayed && part.PlayChannel < 0)) {
      top = any ? std::max<int32_t>(top, part.Layer) : part.Layer;
      any = true;
    }
    return true;
  });
  return top;
}

int ArrHasOverlaps(const ArrRec* arr, int selectedOnly) {
  bool found = false;
  WalkAll(arr, [&](uint32_t, uint32_t, const PartRec& part) {
    found = found || (part.OverlapLink != kArrNoLink && (!selectedOnly || IsSelected(part)));
  });
  return found ? 1 : 0;
}

int ArrRaiseSelLayers(ArrRec* arr, int onlyOnConflict, int firstPass) {
  if (arr == nullptr) return 0;
  bool changed = firstPass && SeparateSelectedLayers(arr);
  // L: the lowest selected layer; H: the highest layer of the unselected
  // Parts the selection overlaps.
  int32_t lowest = INT32_MAX, highestSel = INT32_MIN, highestOther = INT32_MIN;
  bool shared = false;
  WalkAll(arr, [&](uint32_t, uint32_t, PartRec& part) {
    if (!IsSelected(part)) return;
    lowest = std::min<int32_t>(lowest, part.Layer);
    highestSel = std::max<int32_t>(highestSel, part.Layer);
    ForEachReached(arr, part, [&](uint32_t, const PartRec& q) {
      if (IsSelected(q)) return;
      highestOther = std::max<int32_t>(highestOther, q.Layer);
      shared = shared || q.Layer == part.Layer;
    });
  });
  if (highestOther == INT32_MIN || highestOther < lowest) return changed;
  if (onlyOnConflict && !shared) return changed;
  int32_t rise = highestOther - lowest + 1;
  if (highestSel + rise > INT16_MAX) return changed;  // the order could not be kept
  WalkAll(arr, [&](uint32_t, uint32_t, PartRec& part) {
    if (IsSelected(part)) part.Layer = static_cast<int16_t>(part.Layer + rise);
  });
  return 1;
}
