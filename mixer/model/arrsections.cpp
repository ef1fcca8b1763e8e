// Visible sections: the stretches of a track where one Part is heard and
// shown, not covered by a Part of a higher layer. The play-list compiler,
// the logs, flattening and the section-edge search walk arrangements this
// way. Every walk here relies on current overlap links.
#include <algorithm>

#include "arr.h"
#include "arrlist.h"

using namespace arrlist;

namespace {

constexpr ArrSection kNoSection = {-1, 0, 0};

int NoSection(ArrSection* section) {
  *section = kNoSection;
  return 0;
}

// The section cut so that it starts at x (it contains x).
ArrSection From(const ArrSection& section, int64_t x) {
  int64_t start = std::max<int64_t>(section.Start, x);
  return {section.Part, static_cast<int32_t>(start),
          static_cast<int32_t>(int64_t{section.Start} + section.Length - start)};
}

// Steps 3 of the iteration: from `begin`, the first Part starting at or
// before x whose section contains x; past the first Part starting after x,
// x moves to that Part's start and only Parts starting there are asked.
int WalkForSection(const ArrRec* arr, uint32_t begin, int64_t x, ArrSection* section) {
  bool moved = false;
  bool found = false;
  WalkFrom(arr, begin, [&](uint32_t slot, const PartRec& part) {
    if (part.Start > x) {
      if (moved) return false;
      x = part.Start;
      moved = true;
    }
    ArrSection own;
    if (PartVisibleEnd(arr, slot, static_cast<int32_t>(x), &own)) {
      *section = From(own, x);
      found = true;
    }
    return !found;
  });
  return found ? 1 : NoSection(section);
}

// The track's sections containing or following `position`: the first that
// starts after it, and the last that starts before it.
struct EdgeSections {
  bool hasNext = false;
  int64_t next = 0;  // forward edge: the start of a later section, or the end of the containing one
  bool hasPrev = false;
  ArrSection prev = kNoSection;  // last section starting before the position
};

EdgeSections TrackEdges(const ArrRec* arr, uint32_t track, int32_t position) {
  EdgeSections edges;
  ArrSection section = kNoSection;
  while (ArrNxtVisibleSection(arr, track, &section)) {
    int64_t end = int64_t{section.Start} + section.Length;
    if (!edges.hasNext && (section.Start > position || end > position)) {
      edges.hasNext = true;
      edges.next = section.Start > position ? section.Start : end;
    }
    if (section.Start >= position) break;
    edges.hasPrev = true;
    edges.prev = section;
  }
  return edges;
}

}  // namespace

int PartVisibleEnd(const ArrRec* arr, uint32_t slot, int32_t position, ArrSection* section) {
  ArrSection scratch;
  if (section == nullptr) section = &scratch;
  const PartRec* part = UsedPart(arr, slot);
  if (part == nullptr) return NoSection(section);
  int64_t s = part->Start;
  int64_t e = EndPos(*part);
  // Higher Parts that overlap this one lie at or after its overlap link. s
  // is pushed past each one covering it until it passes the position, or a
  // higher Part starting after the position ends the section there.
  WalkFrom(arr, LinkSlot(part->OverlapLink), [&](uint32_t qs, const PartRec& q) {
    if (q.Start >= e) return false;
    if (qs == slot || q.Layer <= part->Layer) return true;
    if (q.Start > s && q.Start > position && s <= position) {
      e = q.Start;
      return false;
    }
    s = std::max(s, EndPos(q));
    return s <= position;
  });
  if (s < e && s <= position && e > position) {
    *section = {static_cast<int32_t>(slot), static_cast<int32_t>(s), static_cast<int32_t>(e - s)};
    return 1;
  }
  return NoSection(section);
}

int ArrNxtVisibleSection(const ArrRec* arr, uint32_t track, ArrSection* section) {
  if (section == nullptr) return 0;
  if (arr == nullptr || track >= kArrTracks) return NoSection(section);
  if (section->Part < 0) {
    const PartRec* head = UsedPart(arr, arr->ListHead[track]);
    if (head == nullptr) return NoSection(section);
    return WalkForSection(arr, arr->ListHead[track], head->Start, section);
  }
  uint32_t slot = static_cast<uint32_t>(section->Part);
  const PartRec* part = UsedPart(arr, slot);
  int64_t x = int64_t{section->Start} + section->Length;
  if (part == nullptr || x >= kMaxPos) return NoSection(section);
  // At the Part's end, the Parts that carry on lie at or after its overlap
  // link; inside it (a higher Part began), the Part itself may go on first.
  if (x == EndPos(*part) && part->OverlapLink != kArrNoLink)
    return WalkForSection(arr, LinkSlot(part->OverlapLink), x, section);
  ArrSection own;
  if (PartVisibleEnd(arr, slot, static_cast<int32_t>(x), &own)) {
    *section = From(own, x);
    return 1;
  }
  return WalkForSection(arr, part->Next, x, section);
}

int32_t ArrNxtSectionEdge(int32_t position, int forward) {
  bool any = false;
  int64_t best = position;
  for (uint32_t track = 0; track < kArrTracks; ++track) {
    EdgeSections edges = TrackEdges(CurArr, track, position);
    int64_t edge;
    if (forward) {
      if (!edges.hasNext) continue;
      edge = edges.next;
    } else {
      if (!edges.hasPrev) continue;
      int64_t end = int64_t{edges.prev.Start} + edges.prev.Length;
      edge = end < position ? end : edges.prev.Start;
    }
    best = !any ? edge : forward ? std::min(best, edge) : std::max(best, edge);
    any = true;
  }
  return static_cast<int32_t>(best);
}
