// Solo play and scrub of single Parts from the arrange window: the play
// lists of the Part's channels are compiled alone and the transport is
// started in solo or scrub mode. The selection is cleared first unless
// KeepSel is set. Each returns 1 when play or scrubbing started.
#pragma once

#include <cstdint>

#include "mixer/arrange/services.h"

// Plays the Part (and its channel-link group) from the position (at least
// 0) to the end of time.
int ArrSoloPart(DcHandle dc, int32_t part, uint32_t track, int32_t position);
// Plays the stretch of an Audio or Midi Part around the position, between
// its nearest snap position or locators (see SoloSpan).
int ArrSoloPartSpan(int32_t position, DcHandle dc, int32_t part, uint32_t track);
// Scrubs the Part, or the whole arrangement, from the position.
int ArrSoloScrub(DcHandle dc, uint32_t track, int x, int y, int32_t part, int32_t position);
int ArrScrubAll(DcHandle dc, int32_t position, int x, int y);

// The stretch that ArrSoloPartSpan plays for a pointer at `position` in a
// Part [start, end) with snap position `snap`: it ends at the nearest of
// snap, left and right locator after the pointer and before the end (else
// the end), and begins at the nearest of them after the start and before
// the pointer (else the start), or at the pointer when that is closer to
// the end than to the start.
struct SoloSpan {
  int32_t Start;
  int32_t End;
};
SoloSpan ArrSoloSpanAt(int32_t position, int64_t start, int64_t end, int64_t snap, int32_t left,
                       int32_t right);

// Scrub state for the scrub drag: 1 after a plain scrub start, 4 for the
// speed scrub; the x position of the press.
extern int32_t ArrScrubState;
extern int32_t ArrScrubPressX;
// The largest position a scrub can be set to.
constexpr int32_t kArrScrubMaxLoc = 2147419646;
