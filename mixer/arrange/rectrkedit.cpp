#include "mixer/arrange/rectrk.h"

#include <algorithm>

namespace {

constexpr uint32_t kRefused = 185;

bool LinkedDown(const ArrRec* arr, uint32_t t) {
  return t + 1 < kArrTracks && (arr->Trk[t].Flags & kTrkLinkNext) && (arr->Trk[t + 1].Flags & kTrkLinkPrev);
}

void ClearGroupOf(ArrRec* arr, uint32_t track) {
  uint32_t head = track;
  const uint32_t n = ArrTrkGroupExtent(arr, track, &head);
  for (uint32_t i = 0; i < n; ++i) ArrTrkClearAssign(arr, head + i);
}

}  // namespace

uint32_t ArrTrkGroupExtent(const ArrRec* arr, uint32_t track, uint32_t* head) {
  if (arr == nullptr || track >= kArrTracks) return 0;
  uint32_t h = track;
  while (h > 0 && LinkedDown(arr, h - 1)) --h;
  uint32_t n = 1;
  while (LinkedDown(arr, h + n - 1)) ++n;
  if (head) *head = h;
  return n;
}

uint32_t ArrTrkAssignGroup(ArrRec* arr, uint32_t track, uint32_t kind, uint32_t first, uint32_t width) {
  const bool widthOk = width == 1 || width == 2 || width == 4 || width == 6 || width == 8;
  if (arr == nullptr || !widthOk || first < 1 || track + width > kArrTracks || first + width - 1 > kArrMaxRecTrack)
    return kRefused;
  // The record tracks leave every Virtual Track that carries them now.
  for (uint32_t t = 0; t < kArrTracks; ++t) {
    const TrkRec& r = arr->Trk[t];
    if (r.RecKind == kind && r.RecTrack >= first && r.RecTrack < first + width) ClearGroupOf(arr, t);
  }
  // What the destination tracks carried goes with its group.
  for (uint32_t i = 0; i < width; ++i)
    if (arr->Trk[track + i].RecTrack != 0) ClearGroupOf(arr, track + i);
  for (uint32_t i = 0; i < width; ++i) {
    TrkRec& r = arr->Trk[track + i];
    r.RecTrack = first + i;
    r.RecKind = kind;
    r.Flags &= ~(kTrkLinkNext | kTrkLinkPrev);
    if (i + 1 < width) r.Flags |= kTrkLinkNext;
    if (i > 0) r.Flags |= kTrkLinkPrev;
  }
  ArrTrkCheckLinks(arr);
  return 0;
}

uint32_t ArrTrkAssignAll(ArrRec* arr, uint32_t track, uint32_t kind, uint32_t first, uint32_t width) {
  uint32_t groups = 0;
  for (uint32_t k = 0; width > 0 && k * width < kArrMaxRecTrack; ++k) {
    if (ArrTrkAssignGroup(arr, track + k * width, kind, first + k * width, width) != 0) break;
    ++groups;
  }
  return groups;
}

uint32_t ArrTrkDeleteSelected(ArrRec* arr) {
  if (arr == nullptr) return 0;
  uint32_t cleared = 0;
  for (uint32_t t = 0; t < kArrTracks; ++t) {
    if (!(arr->Trk[t].Flags & kTrkSelected) || arr->Trk[t].RecTrack == 0) continue;
    uint32_t head = t;
    const uint32_t n = ArrTrkGroupExtent(arr, t, &head);
    for (uint32_t i = 0; i < n; ++i) ArrTrkClearAssign(arr, head + i);
    cleared += n;
  }
  return cleared;
}

uint32_t ArrTrkGetRecTrk(const ArrRec* arr, uint32_t track, uint32_t* kind) {
  if (kind) *kind = 0;
  if (arr == nullptr || track >= kArrTracks) return 0;
  if (kind) *kind = arr->Trk[track].RecKind;
  return arr->Trk[track].RecTrack;
}

int ArrTrkIsGroupHead(const ArrRec* arr, uint32_t track) {
  if (arr == nullptr || track >= kArrTracks) return 0;
  return track == 0 || !LinkedDown(arr, track - 1) ? 1 : 0;
}

uint32_t ArrTrkGroupHead(const ArrRec* arr, uint32_t track) {
  uint32_t head = track;
  ArrTrkGroupExtent(arr, track, &head);
  return head;
}

int32_t ArrTrkGroupNext(const ArrRec* arr, uint32_t track) {
  if (arr == nullptr || track >= kArrTracks || !LinkedDown(arr, track)) return -1;
  return static_cast<int32_t>(track + 1);
}

uint32_t ArrCountRecTrks(const ArrRec* arr, uint32_t kind, uint32_t number) {
  uint32_t n = 0;
  if (arr != nullptr && number != 0)
    for (const TrkRec& t : arr->Trk) n += t.RecTrack == number && t.RecKind == kind;
  return n > 0 ? n : 1;
}

int32_t ArrFindRecTrkGroup(const ArrRec* arr, uint32_t kind, uint32_t number, uint32_t* last) {
  if (arr == nullptr || number == 0) return -1;
  for (uint32_t t = 0; t < kArrTracks; ++t) {
    if (arr->Trk[t].RecTrack != number || arr->Trk[t].RecKind != kind) continue;
    uint32_t head = t;
    const uint32_t n = ArrTrkGroupExtent(arr, t, &head);
    if (last) *last = head + n - 1;
    return static_cast<int32_t>(t);
  }
  return -1;
}

namespace {

void SetSelected(TrkRec& t, bool on) { t.Flags = on ? (t.Flags | kTrkSelected) : (t.Flags & ~kTrkSelected); }

// The same record track (number and kind) on two Virtual Tracks.
bool SameRecTrack(const TrkRec& a, const TrkRec& b) {
  return a.RecTrack != 0 && a.RecTrack == b.RecTrack && a.RecKind == b.RecKind;
}

// The groups of `width` tracks from `head` down carry the record tracks
// `first`.. of `kind` with the links of one group each.
bool GroupIsCopy(const ArrRec* arr, uint32_t head, uint32_t width, uint32_t kind, uint32_t first) {
  if (head + width > kArrTracks) return false;
  uint32_t h = head;
  if (ArrTrkGroupExtent(arr, head, &h) != width || h != head) return false;
  for (uint32_t i = 0; i < width; ++i)
    if (arr->Trk[head + i].RecTrack != first + i || arr->Trk[head + i].RecKind != kind) return false;
  return true;
}

}  // namespace

void ArrTrkSelect(ArrRec* arr, uint32_t track, int mode) {
  if (arr == nullptr || track >= kArrTracks) return;
  const TrkRec given = arr->Trk[track];
  const bool on = mode == 2 ? !(given.Flags & kTrkSelected) : mode != 0;
  if (given.RecTrack == 0) {
    SetSelected(arr->Trk[track], on);
    return;
  }
  for (uint32_t t = 0; t < kArrTracks; ++t) {
    if (!SameRecTrack(arr->Trk[t], given)) continue;
    uint32_t head = t;
    const uint32_t n = ArrTrkGroupExtent(arr, t, &head);
    for (uint32_t i = 0; i < n; ++i) SetSelected(arr->Trk[head + i], on);
  }
}

void ArrTrkSelectRange(ArrRec* arr, uint32_t track) {
  if (arr == nullptr || track >= kArrTracks) return;
  ArrTrkSelect(arr, track, 1);
  uint32_t lo = kArrTracks, hi = 0;
  for (uint32_t t = 0; t < kArrTracks; ++t)
    if (arr->Trk[t].Flags & kTrkSelected) lo = std::min(lo, t), hi = t;
  for (uint32_t t = lo; t <= hi && t < kArrTracks; ++t)
    if (arr->Trk[t].RecTrack != 0) ArrTrkSelect(arr, t, 1);
}

void ArrTrkDeselectAll(ArrRec* arr) {
  if (arr == nullptr) return;
  for (TrkRec& t : arr->Trk) t.Flags &= ~kTrkSelected;
}

void ArrTrkAssign(ArrRec* arr, uint32_t track, uint32_t kind, uint32_t number, int linkNext, int linkPrev) {
  if (arr == nullptr || track >= kArrTracks) return;
  TrkRec& r = arr->Trk[track];
  r.RecTrack = number;
  r.RecKind = kind;
  r.Flags &= ~(kTrkLinkNext | kTrkLinkPrev);
  if (linkNext) r.Flags |= kTrkLinkNext;
  if (linkPrev) r.Flags |= kTrkLinkPrev;
}

namespace {

// The top group of the stack a track belongs to, its width and depth.
struct StackShape {
  uint32_t top = 0, width = 0, depth = 0, kind = 0, first = 0;
};

StackShape StackOf(const ArrRec* arr, uint32_t track) {
  StackShape s;
  if (arr == nullptr || track >= kArrTracks || arr->Trk[track].RecTrack == 0) return s;
  uint32_t head = track;
  s.width = ArrTrkGroupExtent(arr, track, &head);
  s.kind = arr->Trk[head].RecKind;
  s.first = arr->Trk[head].RecTrack;
  s.top = head;
  while (s.top >= s.width && GroupIsCopy(arr, s.top - s.width, s.width, s.kind, s.first)) s.top -= s.width;
  while (GroupIsCopy(arr, s.top + s.depth * s.width, s.width, s.kind, s.first)) ++s.depth;
  return s;
}

}  // namespace

uint32_t ArrTrkLoopStackDepth(const ArrRec* arr, uint32_t track) { return StackOf(arr, track).depth; }

uint32_t ArrTrkSetLoopStack(ArrRec* arr, uint32_t track, uint32_t depth) {
  const StackShape s = StackOf(arr, track);
  if (s.depth == 0 || depth < 1 || depth > kArrMaxLoopStack || s.top + depth * s.width > kArrTracks)
    return kRefused;
  for (uint32_t t = 0; t < kArrTracks; ++t) {
    const TrkRec& r = arr->Trk[t];
    if (r.RecKind == s.kind && r.RecTrack >= s.first && r.RecTrack < s.first + s.width) ClearGroupOf(arr, t);
  }
  const uint32_t end = s.top + depth * s.width;
  for (uint32_t t = s.top; t < end; ++t)
    if (arr->Trk[t].RecTrack != 0) ClearGroupOf(arr, t);
  for (uint32_t t = s.top; t < end; ++t) {
    const uint32_t i = (t - s.top) % s.width;
    ArrTrkAssign(arr, t, s.kind, s.first + i, i + 1 < s.width, i > 0);
  }
  ArrTrkCheckLinks(arr);
  return 0;
}

uint32_t ArrTrkDragCollect(const ArrRec* arr, ArrTrkDragItem* items) {
  if (arr == nullptr || items == nullptr) return 0;
  uint32_t n = 0;
  for (uint32_t t = 0; t < kArrTracks; ++t) {
    const TrkRec& r = arr->Trk[t];
    if ((r.Flags & kTrkSelected) && r.RecTrack != 0)
      items[n++] = {t, r.RecTrack, r.Flags & (kTrkLinkNext | kTrkLinkPrev), r.RecKind};
  }
  return n;
}

int32_t ArrTrkDropOffset(uint32_t firstTrack, int32_t dy, int32_t pitch) {
  if (pitch <= 0 || firstTrack >= kArrTracks) return 0;
  const int64_t half = pitch / 2;
  const int64_t rows = dy >= 0 ? (int64_t{dy} + half) / pitch : -((-int64_t{dy} + half) / pitch);
  const int64_t target = std::clamp<int64_t>(int64_t{firstTrack} + rows, 0, kArrTracks - 1);
  return static_cast<int32_t>(target - firstTrack);
}

uint32_t ArrTrkDrop(ArrRec* arr, const ArrTrkDragItem* items, uint32_t count, int32_t offset) {
  if (arr == nullptr || items == nullptr || count == 0 || count > kArrTracks) return 0;
  for (uint32_t i = 0; i < count; ++i) {
    const int64_t to = int64_t{items[i].Track} + offset;
    if (items[i].Track >= kArrTracks || to < 0 || to >= kArrTracks) return kRefused;
  }
  if (offset == 0) return 0;
  for (uint32_t i = 0; i < count; ++i) {
    ArrTrkClearAssign(arr, items[i].Track);
    arr->Trk[items[i].Track].Flags &= ~kTrkSelected;
  }
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t to = static_cast<uint32_t>(int64_t{items[i].Track} + offset);
    if (arr->Trk[to].RecTrack != 0) ClearGroupOf(arr, to);
  }
  for (uint32_t i = 0; i < count; ++i) {
    const ArrTrkDragItem& d = items[i];
    const uint32_t to = static_cast<uint32_t>(int64_t{d.Track} + offset);
    ArrTrkAssign(arr, to, d.Kind, d.RecTrack, (d.Links & kTrkLinkNext) != 0, (d.Links & kTrkLinkPrev) != 0);
    arr->Trk[to].Flags |= kTrkSelected;
  }
  ArrTrkCheckLinks(arr);
  return 0;
}
