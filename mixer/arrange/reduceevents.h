// The answer of the automation-thinning dialog REDUCE_EVENTS, as the
// automation processing driver hands it on to the thinning routine. The
// dialog itself belongs with the arrange window's tool sets.
#pragma once

#include <cstdint>

// The dialog's result record: the first word is the caller's, the dialog
// writes the second and third on OK.
struct ReduceEventsResult {
  int32_t Reserved;
  int32_t SelectedCurve;  // 1: "Selected Curve Events", 0: "All Events"
  int32_t ThinFactor;     // "Events thin factor:", as typed (hint 0..1000)
};
static_assert(sizeof(ReduceEventsResult) == 12);

// Dialog items.
enum : int {
  kReduceThinFactor = 840,
  kReduceSelectedCurve = 841,
  kReduceAllEvents = 842,
};

// Values kept for the life of the program.
inline constexpr int32_t kReduceDefaultThinFactor = 200;
inline constexpr int32_t kReduceDefaultSelectedCurve = 1;
