// Consolidation: per play channel, every selected Audio Part is rendered
// into one new Take and re-pointed at it.
#pragma once

#include <cstdint>

#include "mixer/arrange/services.h"
#include "mixer/model/arr.h"

// One record per play channel 1..192.
struct ConsChannel {
  int32_t FirstPart;  // slot of the channel's earliest selected Part, -1 none
  int32_t Start;      // lowest start
  int32_t End;        // highest Start + Length
  uint32_t NewTake;   // the Take the channel renders into
};
static_assert(sizeof(ConsChannel) == 16);
inline constexpr int kConsChannels = 192;

// Fills the table from the selected, unmuted Parts of arr (the first met in
// track order wins a tie for the earliest Part).
void ConsBuildTable(const ArrRec* arr, ConsChannel table[kConsChannels]);

// Where a channel's render pauses, so that the play list of engine track 1
// never has to cover more than the window it was compiled for: a buffer and
// 32 samples before the window's end (at least 0), or EndOfTime when the
// track has no list (windowEnd < 0) or the window reaches past EndOfTime.
int32_t ConsHoldPosition(int64_t windowEnd, int32_t audBufSize);

// The render pass: run by the consolidation run dialog over the table;
// IDOK or IDCANCEL. Tests install their own.
using ConsRenderFn = int (*)(ConsChannel* table);
void ConsSetRenderer(ConsRenderFn fn);

// Tool 47 on the current arrangement; 1 when done.
int ArrConsolidate(DcHandle dc);

// Rebuilds the consolidated Parts of *arr: each selected Part is replaced by
// its visible sections (gains baked at their ends, no links, no crossfades),
// pieces that continue one another in the same Take are glued, the selected
// Parts raised to the top and, with EditMultiOutMode 40896, other tracks'
// Parts on the same channel muted. 0 with *error (216, or the arrangement's
// growth error) when the Parts do not fit.
int ConsCollectParts(ArrRec** arr, DcHandle dc, uint32_t* error);
