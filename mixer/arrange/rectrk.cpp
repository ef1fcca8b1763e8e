#include "rectrk.h"

#include "mixer/model/take.h"

namespace {

constexpr uint32_t kTrkLinks = kTrkLinkNext | kTrkLinkPrev;

bool IsAssigned(const TrkRec& trk) { return trk.RecTrack != 0 || trk.RecKind != 0 || (trk.Flags & kTrkLinks); }

// Upper and lower track form a valid pair of one link group.
bool PairIsValid(const TrkRec& upper, const TrkRec& lower) {
  return (upper.Flags & kTrkLinkNext) && (lower.Flags & kTrkLinkPrev) && upper.RecTrack != 0 &&
         lower.RecTrack == upper.RecTrack + 1 && lower.RecKind == upper.RecKind;
}

bool LinksAreValid(const ArrRec* arr, uint32_t track) {
  const TrkRec& trk = arr->Trk[track];
  if ((trk.Flags & kTrkLinks) && trk.RecTrack == 0) return false;
  if ((trk.Flags & kTrkLinkNext) &&
      (track + 1 >= kArrTracks || !PairIsValid(trk, arr->Trk[track + 1])))
    return false;
  if ((trk.Flags & kTrkLinkPrev) && (track == 0 || !PairIsValid(arr->Trk[track - 1], trk)))
    return false;
  return true;
}

bool AssignIsDamaged(const TrkRec& trk) {
  if (trk.RecTrack > kArrMaxRecTrack) return true;
  const bool knownKind =
      trk.RecKind == kTakeAudio || trk.RecKind == kTakeAutom || trk.RecKind == kTakeMidi;
  return trk.RecTrack >= 1 && !knownKind;
}

}  // namespace

void ArrTrkClearAssign(ArrRec* arr, uint32_t track) {
  if (arr == nullptr || track >= kArrTracks) return;
  TrkRec& trk = arr->Trk[track];
  trk.RecTrack = 0;
  trk.RecKind = 0;
  trk.Flags &= ~kTrkLinks;
}

uint32_t ArrTrkCheckLinks(ArrRec* arr) {
  if (arr == nullptr) return 0;
  uint32_t cleared = 0;
  // Clearing a track can only break the links of its two neighbours, so
  // each pass that changes something is followed by one more; at most one
  // pass per track.
  for (bool changed = true; changed;) {
    changed = false;
    for (uint32_t track = 0; track < kArrTracks; ++track) {
      if (LinksAreValid(arr, track)) continue;
      ArrTrkClearAssign(arr, track);
      ++cleared;
      changed = true;
    }
  }
  return cleared;
}

uint32_t ArrCheckRecTrkAssign(ArrRec* arr) {
  if (arr == nullptr) return 0;
  uint32_t cleared = 0;
  for (uint32_t track = 0; track < kArrTracks; ++track) {
    if (!AssignIsDamaged(arr->Trk[track])) continue;
    // The damaged track and the members of its group below it.
    uint32_t last = track;
    while (last + 1 < kArrTracks && (arr->Trk[last].Flags & kTrkLinkNext) &&
           (arr->Trk[last + 1].Flags & kTrkLinkPrev))
      ++last;
    for (uint32_t t = track; t <= last; ++t) {
      if (IsAssigned(arr->Trk[t])) ++cleared;
      ArrTrkClearAssign(arr, t);
    }
    track = last;
  }
  return cleared + ArrTrkCheckLinks(arr);
}
