// The ends of the Part area's drags that change the arrangement: the
// move/copy drag's release and the trim drag (its start, which collects the
// edges and their allowed range, and its release).
#pragma once

#include <cstdint>
#include <vector>

#include "mixer/arrange/partcmds.h"
#include "mixer/arrange/services.h"

// Releases a move/copy drag pressed at (pressX, pressY) at (x, y): the
// offsets from the pointer's movement, snapped (to the locators for tools 5
// and 8), then one undo step "Move" or "Copy" and the copy itself. A release
// outside the Part area (`inside` 0) cancels. Frees the record. 1 when the
// arrangement changed.
int ArrMoveCopyDragEnd(DcHandle dc, ArrMoveDragRec* rec, int pressX, int pressY, int x, int y, int inside,
                       int transportState);
// Where a move/copy drag pressed at pressX puts its first Part for pointer
// x, as its release does: the pointer's distance on from that Part's start,
// snapped (mode 0) or put on a locator (mode 2), never before 0; mode 1
// keeps the time. *first receives that Part's start now. INT64_MIN when no
// dragged Part is left.
int64_t ArrMoveDragTarget(const ArrMoveDragRec& rec, int pressX, int x, int64_t* first);
// The slip drag's shift in pixels for pointer x: its distance from the
// press, at most the drag's largest slip to that side, sign kept.
int ArrSlipDragShift(const ArrSlipDragRec& rec, int x);
// The same end with the offsets given: `timeOffset` samples (already
// snapped) and `trackOffset` tracks, as the arrow keys leave a move drag.
int ArrMoveCopyDragEndBy(DcHandle dc, ArrMoveDragRec* rec, int32_t timeOffset, int32_t trackOffset,
                         int transportState);

struct ArrTrimEdge {
  uint32_t Slot;
  uint32_t Track;
  int End;  // 0 the start edge, 1 the end edge
};
struct ArrTrimDragRec {
  int32_t PressX = 0;
  int32_t PressY = 0;
  int32_t Edge = 0;  // the edge's position at the press
  int32_t Low = 0;   // allowed range of the new edge
  int32_t High = 0;
  int32_t Nudged = INT32_MIN;  // the edge the arrow keys moved it to; INT32_MIN none
  std::vector<ArrTrimEdge> Parts;
};
// One arrow key on a trim drag: the first press starts at the edge; Left a
// sample earlier, Right a sample later, snapped, within the allowed range.
// Returns the new edge.
int32_t ArrTrimDragKey(ArrTrimDragRec& rec, int right);
// One arrow key on a slip drag: the signed distance one sample smaller
// (Left) or larger (Right), snapped with its sign kept, within the limits
// (leftRoom samples leftward, rightRoom rightward).
int32_t ArrSlipDragKey(int32_t distance, int right, int32_t leftRoom, int32_t rightRoom);
// Collects the selected Parts with an edge at `position` (with
// includeAdjacent, first selects on every track the Part touching that
// edge); null when none has it.
ArrTrimDragRec* ArrTrimDragStart(DcHandle dc, int x, int y, int32_t position, int includeAdjacent);
// The new edge under x (snapped, within the allowed range, at least 0).
int32_t ArrTrimDragTarget(const ArrTrimDragRec& rec, int x);
// Applies the trim with undo step "Trim"; frees the record. 1 when changed.
int ArrTrimDragEnd(DcHandle dc, ArrTrimDragRec* rec, int x);

// The volume drag (tool 27): the Parts whose gain follows the pointer.
struct ArrVolEdge {
  uint32_t Slot;
  uint32_t Track;
  int Which;  // 0 the start gain, 1 the end gain, 2 both
};
struct ArrVolDragRec {
  int32_t PressY = 0;
  uint32_t AnchorGain = 32768;
  std::vector<ArrVolEdge> Parts;
};
// From the Part under the pointer (its zone chooses the gain: near the
// start, near the end, else both) and every selected Part with the same
// start and length; null when the Part does not exist.
ArrVolDragRec* ArrVolDragStart(int y, int32_t part, int zone);
// The change in 0.1 dB that the pointer at y gives (rows of the current
// view, the fader law of `logAxis`).
int32_t ArrVolDragChange(const ArrVolDragRec& rec, int y, int logAxis);
// Applies the change, each gain held at 0 dB, with undo step "Volume
// Change"; frees the record. 1 when a gain changed.
int ArrVolDragEnd(DcHandle dc, ArrVolDragRec* rec, int y, int logAxis);
