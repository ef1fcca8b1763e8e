// Interpolation of knob values between two points.
#pragma once

#include <cstdint>

// from + (to - from) x num / den, rounded to nearest with halves away from
// zero as the system's MulDiv rounds, for num <= den. Exact over the whole
// range: |to - from| < 2^32 and num < 2^32, so the product fits 64 unsigned
// bits with room for the rounding half. A zero span gives the end value.
inline int32_t AutLerp(int32_t from, int32_t to, uint32_t num, uint32_t den) {
  if (den == 0 || num >= den) return to;
  const int64_t diff = static_cast<int64_t>(to) - from;
  const uint64_t mag = diff < 0 ? static_cast<uint64_t>(-diff) : static_cast<uint64_t>(diff);
  const uint64_t q = (mag * num + den / 2) / den;
  return static_cast<int32_t>(diff < 0 ? from - static_cast<int64_t>(q) : from + static_cast<int64_t>(q));
}
