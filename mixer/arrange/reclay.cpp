#include "mixer/arrange/reclay.h"

#include <vector>

#include "mixer/arrange/editpriv.h"
#include "mixer/arrange/partlink.h"
#include "mixer/arrange/partops.h"
#include "mixer/model/arrheap.h"

namespace {

constexpr uint32_t kRefusedTimelock = 317;

struct Placed {
  uint32_t Slot, Track;
};

}  // namespace

int ArrLayRecordedPart(DcHandle dc, uint32_t* result, ArrRec** arr, uint32_t newSlot, int32_t start, int32_t end,
                       uint32_t track) {
  if (result) *result = 0;
  if (arr == nullptr || *arr == nullptr || start >= end || track >= kArrTracks) return 0;
  ArrClearSelection(*arr, dc, dc != nullptr);
  ArrForEachTrackPart(*arr, track, [&](uint32_t slot, const PartRec& q) {
    if (slot != newSlot && !(q.Flags & kPartPassMark) && PartOverlapsRange(start, end, q))
      ArrSetLinkGroupSelection(nullptr, *arr, static_cast<int32_t>(slot), track, 1, 1);
  });
  std::vector<Placed> chosen;
  uint32_t slots = 0;
  bool locked = false;
  ArrForEachPart(*arr, [&](uint32_t t, uint32_t slot, const PartRec& q) {
    if (!(q.Flags & kPartSelected)) return;
    if (slot == newSlot || (q.Flags & kPartPassMark) || !PartOverlapsRange(start, end, q)) return;
    const bool before = q.Start < start, after = arredit::End(q) > end;
    if ((q.Flags & kPartTimelocked) && !before && !after) locked = true;
    slots += static_cast<uint32_t>(before) + static_cast<uint32_t>(after);
    chosen.push_back({slot, t});
  });
  uint32_t error = 0;
  if (locked || (slots > 0 && !ArrReserveParts(arr, slots, 1, &error))) {
    ArrClearSelection(*arr, nullptr, 0);
    if (result) *result = locked ? kRefusedTimelock : error;
    return 0;
  }
  for (const Placed& c : chosen) {
    PartRec& q = *ArrPart(*arr, c.Slot);
    q.Flags &= ~kPartSelected;
    const bool before = q.Start < start, after = arredit::End(q) > end;
    uint32_t inside = c.Slot, piece = kArrNoSlot;
    // The piece before the range keeps the slot; the piece after it is a
    // new Part; what lies inside goes.
    if (before) {
      if (!arredit::CutPartAt(arr, c.Slot, c.Track, start, 0, 0, &piece, &error)) continue;
      inside = piece;
      PartCheckXfade(*arr, c.Slot);
    }
    if (after) {
      uint32_t tail = kArrNoSlot;
      if (!arredit::CutPartAt(arr, inside, c.Track, end, 0, 0, &tail, &error)) continue;
      PartCheckXfade(*arr, tail);
      if (dc) ArrPart(*arr, tail)->Flags |= kPartTempMark;
    }
    if (dc && before) ArrPart(*arr, c.Slot)->Flags |= kPartTempMark;
    ArrUnlinkPart(*arr, inside, c.Track);
  }
  ArrRelinkOverlaps(*arr);
  ArrCheckXfades(*arr, dc != nullptr);
  if (dc) ArrRedrawMarked(dc, *arr);
  return 1;
}

int ArrLayRecordedParts(DcHandle dc, uint32_t* result, ArrRec** arr, uint32_t newSlot, int32_t start, int32_t end,
                        uint32_t track) {
  if (result) *result = 0;
  if (arr == nullptr || *arr == nullptr) return 0;
  // The group's members, one per track from its head down; a Part without
  // links is a group of one.
  uint32_t head = track;
  std::vector<uint32_t> members;
  if (uint32_t* list = ArrLinkList(*arr, newSlot, track)) {
    ArrLinkCount(*arr, newSlot, track, &head);
    for (uint32_t i = 0; list[i] != kArrNoSlot; ++i) members.push_back(list[i]);
    ArrSlotListFree(list);
  }
  if (members.empty()) members.push_back(newSlot), head = track;
  uint32_t first = 0;
  for (uint32_t i = 0; i < members.size() && head + i < kArrTracks; ++i) {
    uint32_t r = 0;
    if (ArrLayRecordedPart(dc, &r, arr, members[i], start, end, head + i)) continue;
    if (first == 0) first = r;
    if (r != kRefusedTimelock) break;  // out of slots: the other tracks would fail too
  }
  if (result) *result = first;
  return first == 0 ? 1 : 0;
}
