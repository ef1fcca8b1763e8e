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

// The record track of a Virtual Track, its kind through `kind` (when not
// null); 0 for none or a track out of range.
uint32_t ArrTrkGetRecTrk(const ArrRec* arr, uint32_t track, uint32_t* kind);
// 1 when the track is not linked to the one above it.
int ArrTrkIsGroupHead(const ArrRec* arr, uint32_t track);
// The first track of the track's link group.
uint32_t ArrTrkGroupHead(const ArrRec* arr, uint32_t track);
// The next track of the link group, -1 at its end.
int32_t ArrTrkGroupNext(const ArrRec* arr, uint32_t track);
// Virtual Tracks carrying the record track; at least 1 (also for number 0).
uint32_t ArrCountRecTrks(const ArrRec* arr, uint32_t kind, uint32_t number);
// The first Virtual Track carrying the record track, the last track of its
// link group through `last`; -1 when none carries it.
int32_t ArrFindRecTrkGroup(const ArrRec* arr, uint32_t kind, uint32_t number, uint32_t* last);

// Selection in the track column. A track with a record track is selected
// together with every track of every link group that carries the same
// record track; mode 0 off, 1 on, 2 toggle (the given track's state
// decides).
void ArrTrkSelect(ArrRec* arr, uint32_t track, int mode);
// Selects the track, then every track with a record track between the
// lowest and the highest selected track.
void ArrTrkSelectRange(ArrRec* arr, uint32_t track);
void ArrTrkDeselectAll(ArrRec* arr);
// Writes an assignment: number, kind and the two link bits.
void ArrTrkAssign(ArrRec* arr, uint32_t track, uint32_t kind, uint32_t number, int linkNext, int linkPrev);

// Record loop stacks: the link group of a record track repeated on the
// groups of Virtual Tracks right below it; loop pass c records onto copy
// c mod the number of stacks. The depth of the stack the track belongs to
// (1 for a lone group, 0 for a track without a record track).
constexpr uint32_t kArrMaxLoopStack = 9;
uint32_t ArrTrkLoopStackDepth(const ArrRec* arr, uint32_t track);
// Makes the stack of the track's group `depth` copies deep (1..9), from the
// top of its stack down: the record tracks leave every other Virtual Track,
// and the groups the new copies cover are taken off. 0 when done, 185
// (nothing changed) when the stack would reach past track 255.
uint32_t ArrTrkSetLoopStack(ArrRec* arr, uint32_t track, uint32_t depth);

// A track drag: the assignments of the selected tracks that carry one.
struct ArrTrkDragItem {
  uint32_t Track;
  uint32_t RecTrack;
  uint32_t Links;  // kTrkLinkNext | kTrkLinkPrev bits
  uint32_t Kind;
};
// Fills `items` (room for kArrTracks) and returns their count.
uint32_t ArrTrkDragCollect(const ArrRec* arr, ArrTrkDragItem* items);
// The track offset of a drop: the pointer moved `dy` pixels over rows of
// `pitch` pixels; the nearest row (half a row rounds away from the press),
// clamped so that the first dragged track lands on 0..255.
int32_t ArrTrkDropOffset(uint32_t firstTrack, int32_t dy, int32_t pitch);
// Drops the dragged assignments `offset` tracks away: the dragged tracks
// are unassigned, the link groups at the destinations taken off, and each
// assignment written at its destination, which takes over the selection.
// 0 when done (also for an offset of 0), 185 (nothing changed) when a
// destination lies outside 0..255.
uint32_t ArrTrkDrop(ArrRec* arr, const ArrTrkDragItem* items, uint32_t count, int32_t offset);
