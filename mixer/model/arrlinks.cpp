// Channel-link groups: stereo and multi-channel Parts on consecutive
// tracks, each linked down by flag bit 1 and up by bit 2.
#include "arr.h"
#include "arrheap.h"
#include "arrlist.h"
#include "mixer/model/take.h"
#include "mixer/model/takes.h"
#include "mixer/model/taketime.h"

using namespace arrlist;

namespace {

// A Part on `track` with flag `need` that is a channel partner of `part`;
// the search stops once Parts start after it.
int32_t FindPartner(const ArrRec* arr, uint32_t track, const PartRec& part, uint32_t need) {
  int32_t found = -1;
  WalkTrack(arr, track, [&](uint32_t slot, const PartRec& q) {
    if (q.Start > part.Start) return false;
    if ((q.Flags & need) && PartsAreChannelPartners(part, q)) found = static_cast<int32_t>(slot);
    return found < 0;
  });
  return found;
}

struct GroupMember {
  uint32_t slot;
  uint32_t track;
};

// The group from its head down; at most one member per track. 0 members
// when the head cannot be found.
uint32_t CollectGroup(const ArrRec* arr, uint32_t slot, uint32_t track,
                      GroupMember (&members)[kArrTracks]) {
  uint32_t t;
  int32_t s = ArrLinkHead(arr, slot, track, &t);
  uint32_t n = 0;
  while (s >= 0 && n < kArrTracks) {
    members[n++] = {static_cast<uint32_t>(s), t};
    s = ArrLinkNxt(arr, static_cast<uint32_t>(s), t, &t);
  }
  return n;
}

// Clears the link between group members i and i + 1; true when one was set.
bool Unlink(ArrRec* arr, const GroupMember& upper, const GroupMember& lower) {
  PartRec* up = ArrPart(arr, upper.slot);
  PartRec* down = ArrPart(arr, lower.slot);
  bool was = (up->Flags & kPartLinkNext) || (down->Flags & kPartLinkPrev);
  up->Flags &= ~kPartLinkNext;
  down->Flags &= ~kPartLinkPrev;
  return was;
}

}  // namespace

int PartsAreChannelPartners(const PartRec& a, const PartRec& b) {
  return a.Start == b.Start && a.Length == b.Length && a.Layer == b.Layer &&
                 a.TakeKind == kTakeAudio && b.TakeKind == kTakeAudio &&
                 TakeGetAttr(TakeFromRef(a.Take), kTakeAttrBytesPerSample) ==
                     TakeGetAttr(TakeFromRef(b.Take), kTakeAttrBytesPerSample)
             ? 1
             : 0;
}

int PartIsChannelLinked(const PartRec& part) {
  return (part.Flags & (kPartLinkNext | kPartLinkPrev)) ? 1 : 0;
}

int PartIsLinkHead(const PartRec& part) { return (part.Flags & kPartLinkPrev) ? 0 : 1; }

int32_t ArrLinkHead(const ArrRec* arr, uint32_t slot, uint32_t track, uint32_t* headTrack) {
  const PartRec* part = UsedPart(arr, slot);
  if (part == nullptr || track >= kArrTracks) return -1;
  int32_t current = static_cast<int32_t>(slot);
  // Each step goes one track up, so the walk ends by track 0.
  while (part->Flags & kPartLinkPrev) {
    if (track == 0) return -1;
    current = FindPartner(arr, --track, *part, kPartLinkNext);
    if (current < 0) return -1;
    part = ArrPart(arr, static_cast<uint32_t>(current));
  }
  if (headTrack != nullptr) *headTrack = track;
  return current;
}

int32_t ArrLinkNxt(const ArrRec* arr, uint32_t slot, uint32_t track, uint32_t* outTrack) {
  const PartRec* part = UsedPart(arr, slot);
  if (part == nullptr || !(part->Flags & kPartLinkNext) || track + 1 >= kArrTracks) return -1;
  int32_t next = FindPartner(arr, track + 1, *part, kPartLinkPrev);
  if (next >= 0 && outTrack != nullptr) *outTrack = track + 1;
  return next;
}

int32_t ArrLinkPrv(const ArrRec* arr, uint32_t slot, uint32_t track, uint32_t* outTrack) {
  const PartRec* part = UsedPart(arr, slot);
  if (part == nullptr || !(part->Flags & kPartLinkPrev) || track < 1 || track >= kArrTracks)
    return -1;
  int32_t prev = FindPartner(arr, track - 1, *part, kPartLinkNext);
  if (prev >= 0 && outTrack != nullptr) *outTrack = track - 1;
  return prev;
}

uint32_t ArrLinkCount(const ArrRec* arr, uint32_t slot, uint32_t track, uint32_t* headTrack) {
  GroupMember members[kArrTracks];
  uint32_t n = CollectGroup(arr, slot, track, members);
  if (n > 0 && headTrack != nullptr) *headTrack = members[0].track;
  return n;
}

uint32_t* ArrLinkList(const ArrRec* arr, uint32_t slot, uint32_t track) {
  GroupMember members[kArrTracks];
  uint32_t n = CollectGroup(arr, slot, track, members);
  if (n == 0) return nullptr;
  uint32_t* list = ArrSlotListAlloc(n + 1);
  if (list == nullptr) return nullptr;
  for (uint32_t i = 0; i < n; ++i) list[i] = members[i].slot;
  list[n] = kArrNoSlot;
  return list;
}

void ArrLinkListFree(uint32_t* list) { ArrSlotListFree(list); }

int ArrBreakChannelLink(ArrRec* arr, uint32_t slot, uint32_t track) {
  GroupMember members[kArrTracks];
  uint32_t n = CollectGroup(arr, slot, track, members);
  if (n < 3) return 0;
  uint32_t k = 0;
  while (k < n && members[k].slot != slot) ++k;
  if (k == n) return 0;
  // The pair {2j, 2j + 1} holding the Part leaves the group: its links to
  // the member above and below it are cleared.
  uint32_t top = k & ~1u;
  uint32_t bottom = top + 1 < n ? top + 1 : top;
  bool cleared = false;
  if (top > 0) cleared = Unlink(arr, members[top - 1], members[top]) || cleared;
  if (bottom + 1 < n) cleared = Unlink(arr, members[bottom], members[bottom + 1]) || cleared;
  return cleared ? 1 : 0;
}

int ArrHasMultiChanLinks(const ArrRec* arr) {
  if (arr == nullptr) return 0;
  constexpr uint32_t kBoth = kPartLinkNext | kPartLinkPrev;
  static_assert(kBoth == (kTrkLinkNext | kTrkLinkPrev));
  for (const TrkRec& trk : arr->Trk)
    if (trk.RecTrack != 0 && (trk.Flags & kBoth) == kBoth) return 1;
  bool found = false;
  WalkAll(arr, [&](uint32_t, uint32_t, const PartRec& part) {
    found = found || (part.Flags & kBoth) == kBoth;
  });
  return found ? 1 : 0;
}

int ArrHasMidi(const ArrRec* arr) {
  if (arr == nullptr) return 0;
  for (const TrkRec& trk : arr->Trk)
    if (trk.RecTrack != 0 && trk.RecKind == kTakeMidi) return 1;
  bool found = false;
  WalkAll(arr, [&](uint32_t, uint32_t, const PartRec& part) {
    found = found || part.TakeKind == kTakeMidi;
  });
  return found ? 1 : 0;
}

int ArrHasTempoMidiParts(const ArrRec* arr) {
  bool found = false;
  WalkAll(arr, [&](uint32_t, uint32_t, const PartRec& part) {
    found = found || TakeTickResolution(TakeFromRef(part.Take), part.TakeKind) != 0;
  });
  return found ? 1 : 0;
}
