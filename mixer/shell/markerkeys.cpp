#include "mixer/shell/markerkeys.h"

int32_t MarkerKeyDigit(int32_t acc, int d) {
  if (acc >= 1 && acc <= 99) return acc * 10 + d;
  return d;
}

uint32_t MarkerKeySearchFrom(int32_t acc) {
  int32_t n = acc < 0 ? -acc : acc;
  if (n < 1) return 1;
  return static_cast<uint32_t>(n > kMarkerKeyMax ? kMarkerKeyMax : n);
}

int32_t MarkerKeyAfterUse(uint32_t number) {
  if (number >= static_cast<uint32_t>(kMarkerKeyMax)) return -kMarkerKeyMax;
  return -static_cast<int32_t>(number + 1);
}
