// Consistency of the record-track assignments of the Virtual Tracks: what
// a damaged or foreign arrangement file may bring in is cleared, never
// reported.
#pragma once

#include <cstdint>

#include "mixer/model/arr.h"

// Highest record-track number a Virtual Track may carry.
constexpr uint32_t kArrMaxRecTrack = 128;

// Takes the record-track assignment off a Virtual Track: number 0, kind 0,
// both link bits cleared; the selected bit stays.
void ArrTrkClearAssign(ArrRec* arr, uint32_t track);

// Clears every assignment whose links are inconsistent: a track linked to
// the next one whose next is not linked back, carries another kind or a
// number other than its own + 1, or the same seen from below; and a link
// bit on a track without a record track. Runs until no such track is left,
// so a group that loses a member loses it all. Returns the tracks cleared.
uint32_t ArrTrkCheckLinks(ArrRec* arr);

// After an arrangement was read: clears, with the rest of its link group
// below it, every assignment whose number is above 128, or whose kind is
// not Audio, Automation or Midi while it has a number; then checks the
// links (ArrTrkCheckLinks). Returns the tracks cleared.
uint32_t ArrCheckRecTrkAssign(ArrRec* arr);
