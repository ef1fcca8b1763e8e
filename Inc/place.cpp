#include "Inc/place.h"

namespace {

// One axis: the start of a span of the given length placed in [lo, hi).
int32_t Centre(int32_t lo, int32_t hi, int32_t length) { return lo + (hi - lo - length) / 2; }

int32_t Clip(int32_t start, int32_t lo, int32_t hi, int32_t length) {
  if (start + length > hi) start = hi - length;
  if (start < lo) start = lo;
  return start;
}

}  // namespace

PlaceRect PlaceInArea(PlaceRect rect, const PlaceRect& area, uint32_t flags) {
  const int32_t w = rect.right - rect.left, h = rect.bottom - rect.top;
  bool centre = (flags & kPlaceCenter) != 0;
  bool clip = (flags & kPlaceClip) != 0;
  if (rect.right < 0 && rect.bottom < 0) {
    rect.left += 32768;
    rect.top += 32768;
    centre = true;
  }
  const bool meets = rect.left < area.right && rect.right > area.left && rect.top < area.bottom &&
                     rect.bottom > area.top;
  if (!meets && !centre) clip = true;
  int32_t x = rect.left, y = rect.top;
  if (centre) {
    x = Centre(area.left, area.right, w);
    y = Centre(area.top, area.bottom, h);
  } else if (clip) {
    x = Clip(x, area.left, area.right, w);
    y = Clip(y, area.top, area.bottom, h);
  }
  return PlaceRect{x, y, x + w, y + h};
}
