// Arithmetic of the off-line operations' progress bar: the bar holds at most
// 1024 steps, so positions are shifted down; the stepping decides when the
// bar moves, when the operation has stalled and when it has finished. The
// Windows layer (ProgressSetRange, ProgressStep) sends what is decided here.
#pragma once

#include <cstdint>

// Most steps the bar is given.
constexpr int32_t kProgressMaxSteps = 1024;

// Calls in a row that must repeat the previous call's position before the
// operation counts as stalled.
constexpr int32_t kProgressStallCalls = 20;

// The dialog command sent once when the position stands still.
constexpr uint32_t kProgressStallCommand = 11;

struct ProgressState {
  int32_t low = 0;   // remembered range, in the caller's units
  int32_t high = 0;
  int32_t shift = 0;  // bar position = position >> shift
  int32_t shown = 0;  // the bar position last set, when hasShown
  int32_t hasShown = 0;
  int32_t previous = 0;  // the previous call's position, when hasPrevious
  int32_t hasPrevious = 0;
  int32_t repeats = 0;    // calls in a row equal to their previous call
  int32_t stallSent = 0;  // the stall command went out for this standstill
};

// The bar's range as PBM_SETRANGE32 takes it.
struct ProgressRange {
  int32_t low;
  int32_t high;
};

// Remembers low and high and the smallest shift s with (high - low) >> s <=
// 1024 (0 for an empty or reversed range); with low or high = -1 the
// remembered range is taken again. Starts a new stepping: the next step
// sets the bar. Returns (low >> s, high >> s).
ProgressRange ProgressApplyRange(ProgressState& state, int32_t low, int32_t high);

// What one step asks of the Windows layer.
struct ProgressAction {
  int32_t setPos;     // set the bar to pos
  int32_t pos;
  int32_t sendStall;  // send WM_COMMAND kProgressStallCommand to the dialog
  int32_t atEnd;      // the position reached the high end: when the native
                      // devices are all idle, send WM_COMMAND IDOK
};

// One tick's position. The bar is set only when position >> s differs from
// the last value set. Standstill: a call whose position equals the previous
// call's counts one repeat, any other call resets the count to 0; the call
// that brings the count to 20 (the 21st call in a row at one position) asks
// for the stall command, and no further one is asked for until the position
// changes.
ProgressAction ProgressDecideStep(ProgressState& state, int32_t position);
