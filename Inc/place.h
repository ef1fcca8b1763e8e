// Placing a rectangle in a monitor's area: moved inside it, or centred in it.
// Portable, so the arithmetic is checked in the native builds.
#pragma once
#include <cstdint>

struct PlaceRect {
  int32_t left, top, right, bottom;
};

// Flags of the placement.
enum : uint32_t {
  kPlaceClip = 1,         // move the rectangle inside the area
  kPlaceCenter = 2,       // centre it in the area
  kPlaceWholeMonitor = 4  // the whole monitor rather than its work area
};

// A rectangle parked off-screen (right and bottom negative) is first shifted
// back by 32768 and then centred; one that misses the area is centred when
// kPlaceCenter is given and otherwise moved in. The size never changes; a
// rectangle larger than the area keeps its left or top edge on the area's.
PlaceRect PlaceInArea(PlaceRect rect, const PlaceRect& area, uint32_t flags);
