// Copying and moving the selected Parts of one arrangement into another, or
// into itself, by a time and a track offset: the routine under repeat,
// global cut and insert or delete, moving to a locator, the arrangement
// file's selected-only save and merge, and the external modules' Part
// changes.
#pragma once

#include <cstdint>

#include "mixer/arrange/services.h"
#include "mixer/model/arr.h"

struct TempoMapRec;

// The tempo map, tempo (1/100 BPM) and sample rate in force before the last
// change of any of them; the code that changes them fills it before it
// retimes the Midi Parts. A tempo or rate of 0 stands for the current one.
struct ArrTempoState {
  const TempoMapRec* Map;
  uint32_t Tempo;
  uint32_t Rate;
};
extern ArrTempoState ArrPrevTempo;

// Ticks (of the current map's resolution) between position + offset and
// position under the current tempo map; 0 without a map or for offset 0.
double ArrTickShift(int32_t position, int32_t offset);

// For a Midi Part whose Take follows the tempo (a tick resolution, Take
// attribute 30): converts its start, end, snap position and Take start to
// ticks under the source map (the current one, or with `oldTempo`
// ArrPrevTempo), adds the tick shift, rescales to the current map's
// resolution and converts back to samples under the current map. Results
// are clamped to the 32-bit range. 1 with the new start, end, snap point
// (0 stays 0) and offset; 0 and nothing stored for any other Part.
int ArrRetimeMidiPart(int oldTempo, const PartRec& part, double tickShift, int32_t* start,
                      int32_t* end, int32_t* snapPoint, int32_t* offset);

// Places the selected Parts of `src` into `dest` (which may be the same
// arrangement) at their start + *timeOffset on their track + trackOffset,
// copying them (`copy`) or moving them; tempo-following Midi Parts keep
// their musical position instead while a tempo map is loaded or `oldTempo`
// is set (then retimed from ArrPrevTempo). With `snap` each new range is
// snapped to the edit grid, kept within its Take. *timeOffset comes back with the
// shifts made on overlaps. With EditOverlapMode 40892 a Part of the
// destination track that the new range overlaps blocks it (when moving,
// not the selected Parts, which move too; within one arrangement, not a
// crossfade partner); with `shiftOnOverlap` the time offset is shifted so
// that the range meets the blocker (each Part shifts it at most once).
//
// Returns the destination, which may have moved as it grew: callers store
// it back. *error (when not null) is set to 0, or to the string id of the
// failure: 186 out of range, 187 a blocking overlap, 216 too many Parts,
// 192 no memory, 145 a missing argument; after these nothing has changed.
// With `keepGoing` the Parts that cannot be placed are skipped and 238 is
// left in *error.
//
// The placed Parts are selected copies (the source Parts of a copy are
// deselected); afterwards overlap links are recomputed, layers raised
// where the copies landed on a Part of their layer, another track or came
// from another arrangement, crossfade links checked; with `channel` a
// placed Part on a track with a record track of its kind (for a link
// group: every member's track) plays on that record track; every selected
// Part's selected bit set to KeepSel, muting (EditMultiOutMode 40896) the
// Parts that share its play channel on other tracks. With a device context
// the changed Parts are redrawn.
ArrRec* ArrCopyParts(DcHandle dc, ArrRec* dest, ArrRec* src, int32_t* timeOffset,
                     int32_t trackOffset, int copy, int snap, int shiftOnOverlap, int keepGoing,
                     int oldTempo, int channel, uint32_t* error);
