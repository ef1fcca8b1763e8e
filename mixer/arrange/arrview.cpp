#include "mixer/arrange/arrview.h"

#include <algorithm>

#include "mixer/model/timecode.h"

ArrViewRec& ArrView() {
  static ArrViewRec view;
  return view;
}

int32_t ArrHScrollMax(int32_t arrEnd, int32_t span) {
  // 64-bit: end + span / 2 may pass the 32-bit range before it is held at
  // EndOfTime.
  const int64_t end = std::max<int64_t>(arrEnd, span) + std::max<int32_t>(span, 0) / 2;
  return static_cast<int32_t>(std::min<int64_t>(end, EndOfTime) + kArrTimeShift);
}
