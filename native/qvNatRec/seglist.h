// A track channel's copy of one segment list and the lookup of the segment
// that covers a location. Entry i covers [start i, start i+1); the closing
// entry marks where the list ends, and from there on a disk list plays
// silence and a fade list leaves the samples as they are. Locations before
// the first entry are outside the list in the same way. A last entry without
// the closing mark covers the rest of the time line.
#pragma once

#include <cstdint>
#include <vector>

#include "native/qvNatRec/recorder.h"

// Counts at or above this make count x 24 pass 32 bits; they are refused.
inline constexpr int64_t kSegCountLimit = 178956971;

struct SegList {
  std::vector<RecSeg> entries;
  // Forward and backward read cursors (the fill and the scrub's back-fill
  // walk the list from different ends of the buffered window).
  uint32_t cursor[2] = {0, 0};
};

// The piece of a list covering one location: `seg` is null outside the list
// (before its first entry, from its closing entry on, or an empty list).
struct SegSpan {
  const RecSeg* seg;
  int64_t start;  // first location the span covers
  int64_t end;    // first location after it
};

// Replaces the entries with a copy of `count` entries; false (list empty)
// when the count is refused or the copy cannot be allocated.
bool SegListAssign(SegList& list, int32_t count, const RecSeg* entries);
void SegListClear(SegList& list);
// The span covering `location`, walking from cursor `which`, which is left on
// the entry found so that a walk in order costs a step per segment.
SegSpan SegFind(SegList& list, uint32_t which, int64_t location);
// The number of entries up to and including the first closing entry.
uint32_t SegCountToClosing(const SegList& list);
