// The arrange view state: how the arrangement is laid out in the arrange
// window's Part area. There is one arrange window, so one view; it outlives
// the window (closing the window keeps zoom and origin).
#pragma once

#include <cstdint>

#include "mixer/model/host.h"

// The time axis of the arrange view starts this many samples before
// position 0, whatever the sample rate: the view origin is held as
// position + kArrTimeShift, so that it is never negative.
constexpr int32_t kArrTimeShift = 44100;

constexpr int32_t kArrMinHzoom = 1;
constexpr int32_t kArrMaxHzoom = 0x40000;
constexpr int32_t kArrRulerHeight = 16;     // time ruler row, pixels
constexpr int32_t kArrMarkerRowHeight = 17; // marker bar row, pixels
constexpr int32_t kArrRowGap = 2;           // pixels between track rows

// One view of the rectangular-zoom history.
struct ArrViewSnapshot {
  int32_t Hzoom;
  int32_t Origin;
  int32_t Vzoom;
  int32_t FirstTrack;
};
constexpr int kArrZoomHistory = 8;

struct ArrViewRec {
  int32_t Hzoom = 1024;      // samples per pixel, a power of two 1..kArrMaxHzoom
  int32_t Origin = 0;        // shifted time-line coordinate of the Part area's left column
  int32_t Span = 0;          // Hzoom x PartAreaWidth: samples the Part area shows
  int32_t HScrollMax = 0;    // upper bound of the horizontal scroll range
  int32_t Vzoom = 13;        // track row height in pixels; a row takes Vzoom + kArrRowGap
  int32_t FirstTrack = 0;    // Virtual Track in the top row, 0..255
  int32_t VisibleRows = 1;   // 1..256
  int32_t TopHeight = kArrRulerHeight;  // rows above the first track: ruler, and marker bar when shown
  int32_t PartAreaWidth = 0;   // client size of the Part area, pixels
  int32_t PartAreaHeight = 0;
  int32_t WaveZoom = 0;      // waveform amplitude magnification, 0..8 (powers of two)
  // Hzoom <= 128: closer than the overviews' blocks, the view's waveforms
  // come from the Takes' samples while the transport stands.
  int32_t CloseZoom = 0;
  int32_t SamplesDrawn = 0;  // a waveform was drawn from Take samples since the last zoom
  // A waveform was drawn from its overview: at close zoom the view is
  // repainted from the samples once the transport allows it.
  int32_t WavesDeferred = 0;
  int32_t MrkBar = 0;        // the marker bar row is shown
  int32_t Grid = 0;          // grid lines are drawn
  uint32_t Color[3] = {0xFFFFFF, 0xE0E0E0, 0xFFFFFF};  // background, grid, third view colour
  int32_t Follow = 0;        // the view follows the now position
  ArrViewSnapshot History[kArrZoomHistory] = {};
  int32_t HistoryIndex = 0;  // 0..7
  // The arrange frame, its Part area and its two scroll bars; null while
  // the frame does not exist.
  WndHandle Frame = nullptr;
  WndHandle PartArea = nullptr;
  WndHandle HScrollBar = nullptr;
  WndHandle VScrollBar = nullptr;
};

// The program's arrange view.
ArrViewRec& ArrView();

// Upper bound of the horizontal scroll range for an arrangement ending at
// arrEnd and a view showing `span` samples: the larger of the two, plus half
// a span of room, kept at EndOfTime, then shifted onto the view's axis.
int32_t ArrHScrollMax(int32_t arrEnd, int32_t span);
