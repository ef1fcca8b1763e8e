// Display points of a stretch of an Audio Take: one {maximum, minimum} pair
// per pixel column, from the Take's waveform overview (one pair per 512
// samples) or from peaks of its samples.
#pragma once

#include <cstdint>
#include <vector>

#include "mixer/model/wvf.h"

// From overview entries e[0..n): columns pairs for `length` samples from
// `start` (both >= 0). length = columns x 512 takes the entries as they are;
// longer merges the blocks each column covers by peak; shorter interpolates
// between the block before and the block of each column's first sample by
// its place inside the block (a zero pair before the first block). Entries
// past n read as zero pairs. Returns 0 for no columns.
int WvfPointsFromEntries(const WvfEntry* e, uint32_t n, int64_t start, int32_t columns,
                         int64_t length, int16_t* out);

// The same from entries of `step` samples each (entry b covering samples
// [b x step, (b + 1) x step)).
int WavePointsFromSteps(const WvfEntry* e, uint32_t n, int64_t step, int64_t start, int32_t columns,
                        int64_t length, int16_t* out);

// The peaks of the Take's samples to fetch for a stretch: `count` pairs of
// `step` samples each from sample `from`, and where the stretch starts
// among them. step = max(1, length / columns); with more columns than
// steps one step before the start is fetched for interpolation (none at
// the Take's first step, which reads a zero pair before it), else the steps
// start at `start`.
struct WavePeakFetch {
  int64_t step;
  int64_t from;
  int64_t count;
  int64_t startInFetch;  // the stretch's start, in samples from `from`
};
WavePeakFetch WavePeaksFor(int64_t start, int32_t columns, int64_t length);

// The same shape from step peaks (one {max, min} per `step` samples from
// the stretch's start, as the native layer's envelope call returns them):
// length = step x columns takes them directly; longer merges them by peak.
// The entries needed: WvfBlocksFor.
struct WvfSpan {
  int64_t first;  // first entry
  int64_t count;  // entries
};
WvfSpan WvfBlocksFor(int64_t start, int32_t columns, int64_t length);
