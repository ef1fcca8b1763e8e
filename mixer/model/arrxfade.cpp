// Crossfade links: a Part's end crossfades into a later Part of its track
// that starts inside it and ends after it. The links come in pairs; these
// routines keep them so after edits.
#include "arr.h"
#include "arrlist.h"

using namespace arrlist;

namespace {

// True when `slot` is among the Parts after `first` in its list that start
// before first's end: its overlapping successors.
bool IsOverlappingSuccessor(const ArrRec* arr, const PartRec& first, uint32_t slot) {
  bool found = false;
  int64_t end = End64(first);
  WalkFrom(arr, first.Next, [&](uint32_t qs, const PartRec& q) {
    if (q.Start >= end) return false;
    found = qs == slot;
    return !found;
  });
  return found;
}

// a.start < b.start < a.end < b.end: b starts inside a and ends after it.
bool PairShape(const PartRec& a, const PartRec& b) {
  return a.Start < b.Start && b.Start < End64(a) && End64(a) < End64(b);
}

// True when earlier and later name each other and form a crossfade pair.
bool FormsPair(const ArrRec* arr, uint32_t earlier, uint32_t later) {
  const PartRec* a = UsedPart(arr, earlier);
  const PartRec* b = UsedPart(arr, later);
  return a != nullptr && b != nullptr && LinkSlot(a->XfadeOutPartner) == later &&
         LinkSlot(b->XfadeInPartner) == earlier && IsOverlappingSuccessor(arr, *a, later) &&
         PairShape(*a, *b);
}

// True when `earlier` may crossfade into `later`, whatever their links say.
bool CanPair(const ArrRec* arr, const PartRec& a, uint32_t later, const PartRec& b) {
  return IsOverlappingSuccessor(arr, a, later) && PairShape(a, b);
}

void Drop(uint16_t& link, PartRec& part, int mark) {
  link = kArrNoLink;
  if (mark) part.Flags |= kPartTempMark;
}

// The three repair rules for one Part; its partners are read as they are
// now, so a pass in list order leaves every kept link mutual.
void CheckPart(ArrRec* arr, uint32_t slot, PartRec& part, int mark) {
  const PartRec* in = nullptr;
  if (part.XfadeInPartner != kArrNoLink) {
    in = UsedPart(arr, part.XfadeInPartner);
    if (in == nullptr || !IsOverlappingSuccessor(arr, *in, slot) ||
        LinkSlot(in->XfadeOutPartner) != slot || !PairShape(*in, part)) {
      Drop(part.XfadeInPartner, part, mark);
      in = nullptr;
    }
  }
  if (part.XfadeOutPartner == kArrNoLink) return;
  const PartRec* out = UsedPart(arr, part.XfadeOutPartner);
  if (out == nullptr || !IsOverlappingSuccessor(arr, part, part.XfadeOutPartner) ||
      LinkSlot(out->XfadeInPartner) != slot || !PairShape(part, *out)) {
    Drop(part.XfadeOutPartner, part, mark);
    return;
  }
  // The crossfade out must start at or after the end of the crossfade in.
  if (in != nullptr && out->Start < End64(*in)) Drop(part.XfadeOutPartner, part, mark);
}

}  // namespace

int ArrHasXfades(ArrRec* arr, int remove) {
  bool found = false;
  WalkAll(arr, [&](uint32_t, uint32_t, PartRec& part) {
    found = found || part.XfadeInPartner != kArrNoLink || part.XfadeOutPartner != kArrNoLink;
    if (remove) part.XfadeInPartner = part.XfadeOutPartner = kArrNoLink;
  });
  return found ? 1 : 0;
}

void ArrCheckXfades(ArrRec* arr, int mark) {
  WalkAll(arr, [&](uint32_t, uint32_t slot, PartRec& part) { CheckPart(arr, slot, part, mark); });
}

void PartCheckXfade(ArrRec* arr, uint32_t slot) {
  PartRec* part = UsedPart(arr, slot);
  if (part == nullptr) return;
  // A partner already paired with another Part keeps that pair.
  uint32_t aSlot = LinkSlot(part->XfadeInPartner);
  if (PartRec* a = UsedPart(arr, aSlot)) {
    uint32_t other = LinkSlot(a->XfadeOutPartner);
    bool taken = other != kArrNoSlot && other != slot && FormsPair(arr, aSlot, other);
    if (!taken && CanPair(arr, *a, slot, *part)) {
      a->XfadeOutPartner = static_cast<uint16_t>(slot);
      part->XfadeInPartner = static_cast<uint16_t>(aSlot);
    }
  }
  uint32_t bSlot = LinkSlot(part->XfadeOutPartner);
  if (PartRec* b = UsedPart(arr, bSlot)) {
    uint32_t other = LinkSlot(b->XfadeInPartner);
    bool taken = other != kArrNoSlot && other != slot && FormsPair(arr, other, bSlot);
    if (!taken && CanPair(arr, *part, bSlot, *b)) {
      b->XfadeInPartner = static_cast<uint16_t>(slot);
      part->XfadeOutPartner = static_cast<uint16_t>(bSlot);
    }
  }
}

int PartsAreXfadePartners(const ArrRec* arr, uint32_t a, uint32_t b) {
  const PartRec* pa = UsedPart(arr, a);
  const PartRec* pb = UsedPart(arr, b);
  if (pa == nullptr || pb == nullptr) return 0;
  return LinkSlot(pa->XfadeInPartner) == b || LinkSlot(pa->XfadeOutPartner) == b ||
                 LinkSlot(pb->XfadeInPartner) == a || LinkSlot(pb->XfadeOutPartner) == a
             ? 1
             : 0;
}

int32_t PartCoveringLoc(const ArrRec* arr, uint32_t slot, int32_t position) {
  const PartRec* part = UsedPart(arr, slot);
  if (part == nullptr) return -1;
  if (const PartRec* in = UsedPart(arr, LinkSlot(part->XfadeInPartner)))
    if (part->Start <= position && position < End64(*in)) return part->XfadeInPartner;
  if (const PartRec* out = UsedPart(arr, LinkSlot(part->XfadeOutPartner)))
    if (out->Start <= position && position < End64(*part)) return part->XfadeOutPartner;
  return -1;
}
