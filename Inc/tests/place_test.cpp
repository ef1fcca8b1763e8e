// Placing rectangles in a monitor's area: moved in, centred, parked windows.
#include "Inc/place.h"

#include <gtest/gtest.h>

namespace {

bool operator==(const PlaceRect& a, const PlaceRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(Place, RectanglesMoveInOrCentreByFlag) {
  const PlaceRect area{0, 0, 1000, 800};
  struct Case {
    const char* what;
    PlaceRect in;
    uint32_t flags;
    PlaceRect out;
  };
  const Case cases[] = {
      {"inside, clip: unchanged", {10, 20, 110, 70}, kPlaceClip, {10, 20, 110, 70}},
      {"over right and bottom edges, clip", {950, 780, 1050, 830}, kPlaceClip, {900, 750, 1000, 800}},
      {"over left and top edges, clip", {-30, -5, 70, 45}, kPlaceClip, {0, 0, 100, 50}},
      {"inside, centre", {10, 20, 110, 70}, kPlaceCenter, {450, 375, 550, 425}},
      {"inside, no flags: unchanged", {950, 780, 1050, 830}, 0, {950, 780, 1050, 830}},
      {"missing the area, no flags: moved in", {2000, 10, 2100, 60}, 0, {900, 10, 1000, 60}},
      {"missing the area, centre", {2000, 10, 2100, 60}, kPlaceCenter | kPlaceClip, {450, 375, 550, 425}},
      {"larger than the area keeps its left and top", {-50, -50, 1150, 850}, kPlaceClip, {0, 0, 1200, 900}},
      {"parked off-screen: centred whatever the flags", {-32000, -32000, -31900, -31950}, kPlaceClip,
       {450, 375, 550, 425}},
  };
  for (const Case& c : cases) EXPECT_TRUE(PlaceInArea(c.in, area, c.flags) == c.out) << c.what;
}

TEST(Place, AnAreaAwayFromTheOriginIsHonoured) {
  // A second monitor to the left of the first, with a task bar at its top.
  const PlaceRect area{-1280, 40, 0, 1024};
  PlaceRect r = PlaceInArea({-100, 0, 100, 100}, area, kPlaceClip);
  EXPECT_TRUE(r == (PlaceRect{-200, 40, 0, 140}));
  r = PlaceInArea({0, 0, 200, 100}, area, kPlaceCenter);
  EXPECT_TRUE(r == (PlaceRect{-740, 482, -540, 582}));
}

}  // namespace
