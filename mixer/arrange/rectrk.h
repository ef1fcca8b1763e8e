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

// Record-track assignments made in the track column. Kinds are Take kinds.
// Assigns record tracks first .. first + width - 1 of `kind` to the Virtual
// Tracks track .. track + width - 1 as one link group; each of those record
// tracks is first taken, with the whole link group carrying it, from every
// other Virtual Track. 0 when done; 185 (nothing changed) when the group
// would reach past track 255 or record track 128, or the width is not 1, 2,
// 4, 6 or 8.
uint32_t ArrTrkAssignGroup(ArrRec* arr, uint32_t track, uint32_t kind, uint32_t first, uint32_t width);
// "All": the same for the following groups of Virtual Tracks with the
// following record tracks, down to track 255 and record track 128, over at
// most 128 Virtual Tracks. Returns the groups assigned.
uint32_t ArrTrkAssignAll(ArrRec* arr, uint32_t track, uint32_t kind, uint32_t first, uint32_t width);
// Takes the assignment, with its whole link group, from every selected
// Virtual Track. Returns the tracks cleared.
uint32_t ArrTrkDeleteSelected(ArrRec* arr);
// The link group of a Virtual Track: its first track and its size.
uint32_t ArrTrkGroupExtent(const ArrRec* arr, uint32_t track, uint32_t* head);
