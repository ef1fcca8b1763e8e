// Integer helpers: highest bit, rounding up, scaled products.
#pragma once

#include <cstdint>

// The highest set bit of |x| below bit 31, as a value, negated for negative
// x: HighestBit(-12) = -8. 0 for 0 (and for INT32_MIN, which has no bit
// below 31).
int32_t HighestBit(int32_t x);

// x rounded up to a multiple of step; x when step is 0. A result beyond
// 32 bits gives 0.
uint32_t RoundUp(uint32_t x, uint32_t step);

// Step in which the program grows its blocks.
constexpr uint32_t kHeapGrowStep = 65536;

// The size a growable block is re-allocated to: size rounded up to the
// step; 0 when that exceeds 32 bits (the block cannot grow).
uint32_t HeapGrowSize(uint32_t size, uint32_t step);

// Unsigned a x b / c with a 64-bit intermediate, truncated. 0xFFFFFFFF when
// c is 0 or the quotient exceeds 32 bits.
uint32_t MulDiv32(uint32_t a, uint32_t b, uint32_t c);

// Unsigned (a x b + c / 2) / c with a 64-bit intermediate. 0xFFFFFFFF when
// c is 0 or the quotient exceeds 32 bits.
uint32_t MulDivRound(uint32_t a, uint32_t b, uint32_t c);

// The system's MulDiv: a x b / c with a 64-bit intermediate, rounded to
// nearest with halves away from zero; -1 when c is 0 or the result lies
// outside -2147483647..2147483647. With a divisor of INT32_MIN, or a
// multiplicand of INT32_MIN and a negative divisor, it gives what the system
// gives (its 32-bit negation wraps), not the exactly rounded value.
int32_t MulDivNearest(int32_t a, int32_t b, int32_t c);
