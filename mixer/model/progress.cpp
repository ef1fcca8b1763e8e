#include "progress.h"

namespace {

int32_t ShiftFor(int32_t low, int32_t high) {
  int64_t span = static_cast<int64_t>(high) - low;
  int32_t shift = 0;
  while ((span >> shift) > kProgressMaxSteps) ++shift;
  return shift;
}

}  // namespace

ProgressRange ProgressApplyRange(ProgressState& state, int32_t low, int32_t high) {
  if (low != -1 && high != -1) {
    state.low = low;
    state.high = high;
    state.shift = ShiftFor(low, high);
  }
  state.hasShown = 0;
  state.hasPrevious = 0;
  state.repeats = 0;
  state.stallSent = 0;
  return {state.low >> state.shift, state.high >> state.shift};
}

ProgressAction ProgressDecideStep(ProgressState& state, int32_t position) {
  ProgressAction action{};
  int32_t bar = position >> state.shift;
  if (!state.hasShown || bar != state.shown) {
    action.setPos = 1;
    action.pos = bar;
    state.shown = bar;
    state.hasShown = 1;
  }
  if (state.hasPrevious && position == state.previous) {
    if (state.repeats < kProgressStallCalls) ++state.repeats;
  } else {
    state.repeats = 0;
    state.stallSent = 0;
  }
  state.previous = position;
  state.hasPrevious = 1;
  if (state.repeats == kProgressStallCalls && !state.stallSent) {
    action.sendStall = 1;
    state.stallSent = 1;
  }
  action.atEnd = position >= state.high;
  return action;
}
