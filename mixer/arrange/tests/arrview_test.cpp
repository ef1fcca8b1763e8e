// The horizontal scroll bound of the arrange view.
#include <gtest/gtest.h>

#include "mixer/arrange/arrview.h"
#include "mixer/model/timecode.h"

namespace {

TEST(ArrHScrollMax, LeavesHalfASpanOfRoomAfterTheLargerOfEndAndSpan) {
  struct Case {
    int32_t end, span, max;
  } const cases[] = {
      {0, 0, kArrTimeShift},                                   // empty arrangement, no view
      {1000000, 200000, 1000000 + 100000 + kArrTimeShift},     // arrangement longer than the view
      {100000, 200000, 200000 + 100000 + kArrTimeShift},       // view longer than the arrangement
      {EndOfTime - 10, 200000, EndOfTime + kArrTimeShift},     // room held at the end of time
      {0x7FFFFFFF, 0x7FFFFFFF, EndOfTime + kArrTimeShift},     // no 32-bit overflow on the way
  };
  for (const Case& c : cases)
    EXPECT_EQ(ArrHScrollMax(c.end, c.span), c.max) << c.end << " " << c.span;
}

}  // namespace
