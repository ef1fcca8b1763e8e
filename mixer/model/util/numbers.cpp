#include "numbers.h"

int32_t HighestBit(int32_t x) {
  uint32_t magnitude = x < 0 ? 0u - static_cast<uint32_t>(x) : static_cast<uint32_t>(x);
  magnitude &= 0x7FFFFFFFu;
  if (magnitude == 0) return 0;
  uint32_t bit = 0x40000000u;
  while (!(magnitude & bit)) bit >>= 1;
  return x < 0 ? -static_cast<int32_t>(bit) : static_cast<int32_t>(bit);
}

uint32_t RoundUp(uint32_t x, uint32_t step) {
  if (step == 0) return x;
  uint64_t rounded = (static_cast<uint64_t>(x) + step - 1) / step * step;
  return rounded > 0xFFFFFFFFu ? 0 : static_cast<uint32_t>(rounded);
}

uint32_t HeapGrowSize(uint32_t size, uint32_t step) { return RoundUp(size, step); }

namespace {

uint32_t Saturate(uint64_t q) { return q > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(q); }

}  // namespace

uint32_t MulDiv32(uint32_t a, uint32_t b, uint32_t c) {
  if (c == 0) return 0xFFFFFFFFu;
  return Saturate(static_cast<uint64_t>(a) * b / c);
}

uint32_t MulDivRound(uint32_t a, uint32_t b, uint32_t c) {
  if (c == 0) return 0xFFFFFFFFu;
  // (2^32 - 1)^2 + 2^31 still fits in 64 bits.
  return Saturate((static_cast<uint64_t>(a) * b + c / 2) / c);
}

namespace {

// Two's-complement negation in 32 bits: INT32_MIN stays INT32_MIN.
int32_t Negate32(int32_t x) { return static_cast<int32_t>(0u - static_cast<uint32_t>(x)); }

}  // namespace

int32_t MulDivNearest(int32_t a, int32_t b, int32_t c) {
  if (c == 0) return -1;
  // The system makes the divisor positive by negating divisor and
  // multiplicand in 32 bits, then adds half the divisor to a positive product
  // (subtracts it from a negative one) and divides, truncating. For ordinary
  // values that is rounding to nearest with halves away from zero; where a
  // 32-bit negation wraps (a divisor or a multiplicand of INT32_MIN) its
  // results differ from exact rounding, and are kept so that both agree.
  if (c < 0) {
    a = Negate32(a);
    c = Negate32(c);
  }
  int64_t product = static_cast<int64_t>(a) * b;
  int64_t half = c / 2;
  bool positive = (a < 0) == (b < 0);
  // |product| <= 2^62 and |half| <= 2^30: no 64-bit overflow.
  int64_t q = (positive ? product + half : product - half) / c;
  if (q > 2147483647 || q < -2147483647) return -1;
  return static_cast<int32_t>(q);
}
