// Private helpers of the arrangement's code: bounded walks along the Part
// lists, checked slot lookups and span arithmetic. Ends are computed in 64
// bits, since start + length of a damaged record may pass 32 bits.
#pragma once

#include <algorithm>
#include <cstdint>

#include "arr.h"

namespace arrlist {

constexpr int64_t kMaxPos = 0x7FFFFFFF;

inline int64_t End64(const PartRec& part) { return int64_t{part.Start} + part.Length; }

// The end as a position: sections and extents never reach past 0x7FFFFFFF,
// so that an iteration over them always moves forward.
inline int64_t EndPos(const PartRec& part) { return std::min(End64(part), kMaxPos); }

inline int32_t Clamp32(int64_t v, int64_t lo, int64_t hi) {
  return static_cast<int32_t>(std::clamp(v, lo, hi));
}

// The Part in `slot`, or null when the slot does not exist or is free.
template <typename A> auto* UsedPart(A* arr, uint32_t slot) {
  auto* part = ArrPart(arr, slot);
  return part != nullptr && part->Start != kPartFreeStart ? part : nullptr;
}

// A 16-bit link as a slot index.
inline uint32_t LinkSlot(uint16_t link) { return link == kArrNoLink ? kArrNoSlot : link; }

// Calls fn(slot, part) along the list from `first` while fn returns true,
// by the one list rule of ArrWalkList.
template <typename A, typename Fn> void WalkFrom(A* arr, uint32_t first, Fn fn) {
  ArrWalkList(arr, first, fn);
}

template <typename A, typename Fn> void WalkTrack(A* arr, uint32_t track, Fn fn) {
  if (arr != nullptr && track < kArrTracks) WalkFrom(arr, arr->ListHead[track], fn);
}

// Calls fn(track, slot, part) for every Part of every list.
template <typename A, typename Fn> void WalkAll(A* arr, Fn fn) {
  for (uint32_t track = 0; track < kArrTracks; ++track)
    WalkTrack(arr, track, [&](uint32_t slot, auto& part) {
      fn(track, slot, part);
      return true;
    });
}

// As WalkAll, each next link read before the call, so that fn may take the
// Part out of its list (ArrUnlinkPart frees the slot and clears its link).
template <typename Fn> void WalkAllTakingOut(ArrRec* arr, Fn fn) {
  if (arr == nullptr) return;
  for (uint32_t track = 0; track < kArrTracks; ++track)
    ArrWalkList<true>(arr, arr->ListHead[track], [&](uint32_t slot, PartRec& part) {
      fn(track, slot, part);
      return true;
    });
}

// The overlap rule of two spans [s1, e1) and [s2, e2): a start lies in the
// other span, or an end lies in (start, end] of the other, or one contains
// the other.
inline bool SpansOverlap(int64_t s1, int64_t e1, int64_t s2, int64_t e2) {
  auto in = [](int64_t x, int64_t lo, int64_t hi) { return lo <= x && x < hi; };
  auto inEnd = [](int64_t x, int64_t lo, int64_t hi) { return lo < x && x <= hi; };
  return in(s1, s2, e2) || in(s2, s1, e1) || inEnd(e1, s2, e2) || inEnd(e2, s1, e1) ||
         (s1 <= s2 && e2 <= e1) || (s2 <= s1 && e1 <= e2);
}

inline bool PartsOverlap(const PartRec& a, const PartRec& b) {
  return SpansOverlap(a.Start, End64(a), b.Start, End64(b));
}

inline bool IsSelected(const PartRec& part) { return (part.Flags & kPartSelected) != 0; }

}  // namespace arrlist
