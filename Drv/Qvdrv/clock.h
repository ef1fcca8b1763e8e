// The library's high-resolution clock in 100-ns units, portable: a 32-bit
// scale word from the counter's frequency, the time from a counter value,
// and the difference of two low words across their wrap.
#pragma once
#include <cstdint>

namespace qvclock {

// (625000 x 2^32) / frequency, or 0 when the low 32 bits of the frequency
// are 0 or the quotient does not fit 32 bits (a counter at 625000 Hz or
// slower).
uint32_t ScaleFor(uint64_t frequency);
// count x scale as a 96-bit product, shifted right by 28, taken as 64 bits:
// count x 10^7 / frequency. With scale 0 the time is computed from the
// frequency directly (slow counters).
uint64_t TimeOf(uint64_t count, uint32_t scale, uint64_t frequency);
inline uint32_t Delta(uint64_t now, uint32_t stamp) { return static_cast<uint32_t>(now) - stamp; }

}  // namespace qvclock
