// The arrange window's view arithmetic: the mapping between pixels and
// positions or tracks, horizontal and vertical zoom, the rectangular zoom
// and its history, scrolling, the ruler grids and the fader law of drawn
// gains. Everything here works on a view record and changes nothing else;
// the window applies the result (scroll bars, repaints, console).
#pragma once

#include <cstdint>

#include "mixer/arrange/arrview.h"

// The last origin the view may take leaves its span inside the time line:
// EndOfTime + kArrTimeShift - span.
constexpr int32_t kArrTimeLineEnd = 2147463747;  // EndOfTime + kArrTimeShift
constexpr int32_t kArrMinVzoom = 5;
constexpr int32_t kArrMaxVzoom = 413;
constexpr int32_t kArrColumnWidth = 44;  // track column, pixels
constexpr int32_t kArrBarSize = 16;      // scroll bars and buttons, pixels

// Pixel column of a position and the position under a column (64-bit inside,
// clamped to the 32-bit range).
int32_t ArrXOfPos(const ArrViewRec& v, int32_t position);
int32_t ArrPosOfX(const ArrViewRec& v, int32_t x);
// Top y of visible row r (0 the first track's row).
int32_t ArrRowTop(const ArrViewRec& v, int32_t row);
// The Virtual Track under y (may lie outside 0..255; rows above the first
// count down).
int32_t ArrTrackAtY(const ArrViewRec& v, int32_t y);
// Rows that fit a Part area of `height` pixels below `top` with rows of h.
int32_t ArrRowsFor(int32_t height, int32_t top, int32_t h);
// The largest origin for a span.
int32_t ArrLargestOrigin(int32_t span);

// Row heights: the ladder 5, 9, 13, 17, 21 ... 413; a target snapped onto
// it; one step up and down as the zoom buttons take it.
int32_t ArrSnapRowHeight(int32_t target);
int32_t ArrRowHeightUp(int32_t h);
int32_t ArrRowHeightDown(int32_t h);
// An Hzoom read from the ini file: 1..262144, rounded down to a power of two.
int32_t ArrClampHzoom(int64_t value);

// Horizontal zoom toward `target` samples per pixel about `anchor`; 1 when
// Hzoom changed (origin, span, close zoom and samples drawn updated).
int ArrZoomHCalc(ArrViewRec& v, int32_t target, int32_t anchor, int strict);
// Vertical zoom toward `target` pixels about Part-area row y; 1 when changed.
int ArrZoomVCalc(ArrViewRec& v, int32_t target, int32_t y, int strict);
// Rectangular zoom onto the Part-area rectangle (right, bottom exclusive).
void ArrZoomRectCalc(ArrViewRec& v, int32_t left, int32_t top, int32_t right, int32_t bottom);
// The zoom history of eight views.
void ArrZoomHistoryPushCalc(ArrViewRec& v);
// 1 when a view was restored.
int ArrZoomHistoryStepCalc(ArrViewRec& v, int back);
// A new Part-area size: rows, first-track clamp, span and origin clamp.
void ArrResizeCalc(ArrViewRec& v, int32_t width, int32_t height);
// The top rows' height follows the marker bar switch; rows and the first
// track follow it.
void ArrSetTopCalc(ArrViewRec& v, int marker);

// Scroll bar requests (SB_ codes 0..5, the scroll bar's track position for
// the thumb codes); 1 when the origin or first track changed.
int ArrHScrollCalc(ArrViewRec& v, int code, int32_t thumb);
int ArrVScrollCalc(ArrViewRec& v, int code, int32_t thumb);
// The mouse wheel: one track per notch of 120, forward upward.
int ArrWheelCalc(ArrViewRec& v, int32_t delta);
// The origin that centres `position` (clamped to the time line).
int32_t ArrCentredOrigin(const ArrViewRec& v, int32_t position);
// 1 when the position lies in the visible span.
int ArrPosVisible(const ArrViewRec& v, int32_t position);

// Ruler grids: three {unit, step} pairs (label, tick, grid). Musical units:
// 0 bars, 1 beats, 2 fractions of a beat (step n: 1/n beat), 3 ticks.
// Time-code units: 0 frames, 1 seconds, 2 minutes.
struct ArrGridRec {
  int32_t Unit[3];
  int32_t Step[3];
  int32_t DropFrame;
};
// From the pixel width of two bars (at most 65534).
ArrGridRec ArrBbtGridFor(int64_t twoBarPixels);
// From the sample rate, Hzoom and the frame-rate code.
ArrGridRec ArrTcGridFor(uint32_t rate, int32_t hzoom, uint32_t frameRateCode);
// Without a tempo map: the ticks (3840 per whole note) of one step.
int64_t ArrGridTicks(int32_t unit, int32_t step, int32_t beatsPerBar, int32_t beatUnit);
// Without a tempo map: the first multiple of `stepTicks` at or after the
// position, in samples, and the sample position of a tick count; tempo in
// 1/100 BPM. 64-bit throughout: position x tempo x 3840 passes 32 bits.
int64_t ArrTicksOfPos(int64_t position, uint32_t tempo, uint32_t rate);
int64_t ArrPosOfTicks(int64_t ticks, uint32_t tempo, uint32_t rate);
int64_t ArrBbtGridCeilPlain(int64_t position, int64_t stepTicks, uint32_t tempo, uint32_t rate);

// Fader law of drawn gains: logarithmic (WavAxis 40724) or linear.
int32_t GainToPixels(int32_t value, int32_t full, int32_t pixels, int logAxis);
int32_t PixelsToGain(int32_t y, int32_t pixels, int32_t full, int logAxis);
