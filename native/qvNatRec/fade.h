// The fade engine: gains of the fade-list segments applied in place to the
// samples of a play layer's ring.
//
// A level is a gain scaled by -2^23: -0x800000 is unity, 0 silence, and a
// positive level inverts the phase. A sample (a left-justified 32-bit word)
// times a level, divided by -0x800000 in 64-bit integer arithmetic and
// truncated, is the faded sample; a result beyond 32 bits is clipped.
#pragma once

#include <cstdint>

#include "native/qvNatRec/recorder.h"
#include "native/qvNatRec/seglist.h"

// The 64-point ramp table, gains in 1/32768: entries 0..31 ramp out (from
// just below unity to just above 0), entries 32..63 ramp in. It is a raised
// cosine sampled at 1/33 .. 32/33 of its length, so that a ramp out and a
// ramp in over the same samples always sum to unity (entry i + entry 63 - i =
// 32768) and neither ramp starts or ends with a jump.
inline constexpr int kRampHalf = 32;
extern const int32_t kFadeRampTable[2 * kRampHalf];

// Rows of the process-wide curve table: 17 shape points each, in 2^23 fixed
// point (0 = the segment's first level, 0x800000 = its second). The host
// writes the first 16 points of a row; point 16, the end of every curve,
// stays 0x800000. Rows start as straight lines.
inline constexpr int kCurveRows = 8;
inline constexpr int kCurvePoints = 17;
inline constexpr int32_t kShapeOne = 0x800000;
// Copies 16 points into the row; false for a row outside 0..7.
bool FadeCurveSetRow(int32_t row, const int32_t* points);
int32_t FadeCurvePoint(int32_t row, int32_t point);
void FadeCurveReset();

// Sample x level / -0x800000, clipped to 32 bits.
int32_t FadeApplyLevel(int32_t sample, int64_t level);

// The level at position `at` (0 .. length-1) of a fade segment of `length`
// samples; unity kinds (0 and unknown kinds) give -0x800000.
int64_t FadeLevelAt(const RecSeg& seg, int64_t length, int64_t at);

// Fades `count` samples of the time line from `location`, stored in the ring
// from index `ringStart` (wrapping at ringLen), by the fade list: each
// piece is cut at segment bounds and at the ring's end.
void FadeRingBlock(SegList& fades, uint32_t cursor, int64_t location, uint32_t* ring,
                   uint32_t ringLen, uint32_t ringStart, uint32_t count);
