#include "mixer/arrange/rectrk.h"

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
