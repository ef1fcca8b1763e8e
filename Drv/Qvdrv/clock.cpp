#include "Drv/Qvdrv/clock.h"

namespace qvclock {

uint32_t ScaleFor(uint64_t frequency) {
  if (static_cast<uint32_t>(frequency) == 0) return 0;
  // 625000 x 2^32 needs 52 bits: the quotient fits 32 bits only above 625000 Hz.
  uint64_t q = (uint64_t{625000} << 32) / frequency;
  return q > 0xFFFFFFFFu ? 0 : static_cast<uint32_t>(q);
}

uint64_t TimeOf(uint64_t count, uint32_t scale, uint64_t frequency) {
  if (scale) {
    uint64_t low = (count & 0xFFFFFFFFu) * scale;
    uint64_t high = (count >> 32) * scale;
    return (high << 4) + (low >> 28);
  }
  if (!frequency) return 0;
  // Seconds and the remainder apart, so that the product cannot overflow.
  return count / frequency * 10000000 + count % frequency * 10000000 / frequency;
}

}  // namespace qvclock
