// Laying a recorded Part into the arrangement: the range it covers is
// cleared of the Parts that lay there, on its track or on every track of its
// channel-link group.
#pragma once

#include <cstdint>

#include "mixer/arrange/services.h"
#include "mixer/model/arr.h"

// Clears [start, end) of `track` for the new Part in `newSlot`: the Parts of
// the track that overlap the range, with their channel-link groups, are cut
// back to the range's edges or removed. Parts carrying the pass mark (the
// Parts of the recording being laid, the new one among them) stay. With a
// context the changed Parts are redrawn. 1 when done; 0 with *result 317
// (nothing changed) when a timelocked Part lies wholly inside the range, or
// with the error of a failed slot reservation. The block may move (*arr).
int ArrLayRecordedPart(DcHandle dc, uint32_t* result, ArrRec** arr, uint32_t newSlot, int32_t start, int32_t end,
                       uint32_t track);
// The same on every track of the new Part's channel-link group. A refusal
// (317) on one track leaves the others cleared; 0 when any track refused.
int ArrLayRecordedParts(DcHandle dc, uint32_t* result, ArrRec** arr, uint32_t newSlot, int32_t start, int32_t end,
                        uint32_t track);
