#include "mixer/arrange/arrzoom.h"

#include <algorithm>
#include <cmath>

#include "mixer/model/timecode.h"

namespace {

constexpr int32_t kRows = 256;
constexpr int32_t kCloseZoomMax = 128;

int32_t Clamp32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

int32_t RowPitch(const ArrViewRec& v) { return std::max(v.Vzoom, 1) + kArrRowGap; }

void AfterHzoomChange(ArrViewRec& v) {
  v.SamplesDrawn = 0;
  v.CloseZoom = v.Hzoom <= kCloseZoomMax ? 1 : 0;
}

int32_t ClampOrigin(int64_t origin, int32_t span) {
  return static_cast<int32_t>(std::clamp<int64_t>(origin, 0, std::max(0, ArrLargestOrigin(span))));
}

// The current view as a history entry, and back.
ArrViewSnapshot Snapshot(const ArrViewRec& v) { return {v.Hzoom, v.Origin, v.Vzoom, v.FirstTrack}; }

}  // namespace

int32_t ArrXOfPos(const ArrViewRec& v, int32_t position) {
  return Clamp32((int64_t{position} + kArrTimeShift - v.Origin) / std::max(v.Hzoom, 1));
}

int32_t ArrPosOfX(const ArrViewRec& v, int32_t x) {
  return Clamp32(int64_t{std::max(v.Hzoom, 1)} * x + v.Origin - kArrTimeShift);
}

int32_t ArrRowTop(const ArrViewRec& v, int32_t row) {
  return Clamp32(int64_t{v.TopHeight} + 1 + int64_t{row} * RowPitch(v));
}

int32_t ArrTrackAtY(const ArrViewRec& v, int32_t y) {
  const int64_t d = int64_t{y} - v.TopHeight - 1;
  // Rows above the first count down: floor, not truncation.
  const int64_t pitch = RowPitch(v);
  const int64_t row = d >= 0 ? d / pitch : -((-d + pitch - 1) / pitch);
  return Clamp32(row + v.FirstTrack);
}

int32_t ArrRowsFor(int32_t height, int32_t top, int32_t h) {
  const int32_t rows = (height - top - 2) / (std::max(h, 1) + kArrRowGap) + 1;
  return std::clamp(rows, 1, kRows);
}

int32_t ArrLargestOrigin(int32_t span) { return kArrTimeLineEnd - span; }

int32_t ArrSnapRowHeight(int32_t t) {
  int32_t h;
  if (t < 13)
    h = 9 - ((12 - t) & ~3);
  else if (t == 13)
    h = 13;
  else
    h = ((t - 14) & ~3) + 17;
  return std::clamp(h, kArrMinVzoom, kArrMaxVzoom);
}

int32_t ArrRowHeightUp(int32_t h) {
  if (h < 13) return h + 4;
  return (h * 3 / 2 - 13) / 4 * 4 + 13;  // division truncates toward zero
}

int32_t ArrRowHeightDown(int32_t h) {
  if (h <= 13) return h - 4;
  return (h * 2 / 3 - 13) / 4 * 4 + 13;
}

int32_t ArrClampHzoom(int64_t value) {
  value = std::clamp<int64_t>(value, kArrMinHzoom, kArrMaxHzoom);
  int32_t p = 1;
  while (int64_t{p} * 2 <= value) p *= 2;
  return p;
}

int ArrPosVisible(const ArrViewRec& v, int32_t position) {
  const int64_t first = int64_t{v.Origin} - kArrTimeShift;
  return position >= first && position < first + v.Span ? 1 : 0;
}

int ArrZoomHCalc(ArrViewRec& v, int32_t target, int32_t anchor, int strict) {
  const bool visible = ArrPosVisible(v, anchor) != 0;
  if (strict && !visible) return 0;
  const int32_t old = std::max(v.Hzoom, 1);
  int32_t h = old;
  if (h > target)
    while (h > target && h >= 2) h /= 2;
  else
    while (h < target && h < kArrMaxHzoom) h *= 2;
  int64_t span = int64_t{v.PartAreaWidth} * h;
  int64_t origin;
  if (visible) {
    const int64_t column = (int64_t{anchor} - v.Origin + kArrTimeShift) / old;
    origin = anchor - column * h + kArrTimeShift;
    while (strict && (origin < 0 || origin + span > kArrTimeLineEnd) && h >= 2) {
      h /= 2;
      span = int64_t{v.PartAreaWidth} * h;
      origin = anchor - column * h + kArrTimeShift;
    }
  } else {
    origin = v.Origin + (v.Span - span) / 2;
  }
  if (h == old) return 0;
  v.Hzoom = h;
  v.Span = static_cast<int32_t>(span);
  v.Origin = ClampOrigin(origin, v.Span);
  AfterHzoomChange(v);
  return 1;
}

int ArrZoomVCalc(ArrViewRec& v, int32_t target, int32_t y, int strict) {
  const bool valid = y >= v.TopHeight + 1 && y < v.PartAreaHeight;
  if (strict && !valid) return 0;
  const int32_t old = v.Vzoom;
  int32_t h = ArrSnapRowHeight(target);
  int32_t rows = ArrRowsFor(v.PartAreaHeight, v.TopHeight, h);
  int32_t first = v.FirstTrack;
  if (valid) {
    const int32_t d = y - v.TopHeight - 1;
    const int32_t under = d / (old + kArrRowGap) + v.FirstTrack;
    first = under - d / (h + kArrRowGap);
    while (strict && (first < 0 || first + rows > kRows) && h + kArrRowGap < kArrMaxVzoom + kArrRowGap) {
      h += 4;
      rows = ArrRowsFor(v.PartAreaHeight, v.TopHeight, h);
      first = under - d / (h + kArrRowGap);
    }
  }
  if (h == old) return 0;
  v.Vzoom = h;
  v.SamplesDrawn = 0;
  v.VisibleRows = rows;
  v.FirstTrack = std::clamp(first, 0, kRows - rows);
  return 1;
}

void ArrZoomRectCalc(ArrViewRec& v, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  ArrZoomHistoryPushCalc(v);
  // The rows under the band's edges: the row division truncates, so an
  // edge in the ruler counts as the first visible row (the band covers no
  // row above it); an edge above the window, one row further up.
  const auto bandRow = [&v](int32_t y) {
    const int64_t row = (int64_t{y} - v.TopHeight - 1) / RowPitch(v) + v.FirstTrack - (y < 0 ? 1 : 0);
    return Clamp32(row);
  };
  int32_t t0 = bandRow(top), t1 = bandRow(bottom);
  if (t0 > t1) std::swap(t0, t1);
  t0 = std::max(t0, 0);
  t1 = std::clamp(t1, t0, kRows - 1);
  int64_t p0 = std::max(0, ArrPosOfX(v, left)), p1 = std::max(0, ArrPosOfX(v, right));
  if (p0 > p1) std::swap(p0, p1);
  const int64_t range = p1 - p0;
  const int32_t width = std::max(v.PartAreaWidth, 1);
  int64_t h = 1;
  while (h * 2 <= range / width) h *= 2;
  if (h != v.Hzoom) h *= 2;
  h = std::clamp<int64_t>(h, kArrMinHzoom, kArrMaxHzoom);
  v.Hzoom = static_cast<int32_t>(h);
  const int64_t span = int64_t{v.PartAreaWidth} * h;
  v.Span = static_cast<int32_t>(span);
  int64_t origin = std::min<int64_t>(p0 - (span - range) / 2, EndOfTime - span) + kArrTimeShift;
  v.Origin = static_cast<int32_t>(std::max<int64_t>(origin, 0));
  const int32_t count = t1 - t0 + 1;
  const int32_t rh = ArrSnapRowHeight((v.PartAreaHeight - v.TopHeight) / count - kArrRowGap);
  v.Vzoom = rh;
  v.VisibleRows = ArrRowsFor(v.PartAreaHeight, v.TopHeight, rh);
  v.FirstTrack = std::clamp(t0 - (v.VisibleRows - count) / 2, 0, kRows - v.VisibleRows);
  AfterHzoomChange(v);
}

void ArrZoomHistoryPushCalc(ArrViewRec& v) {
  if (v.HistoryIndex >= kArrZoomHistory - 1) {
    std::copy(v.History + 1, v.History + kArrZoomHistory, v.History);
    v.HistoryIndex = kArrZoomHistory - 2;
  }
  v.History[std::max(v.HistoryIndex, 0)] = Snapshot(v);
  v.HistoryIndex = std::max(v.HistoryIndex, 0) + 1;
}

int ArrZoomHistoryStepCalc(ArrViewRec& v, int back) {
  v.HistoryIndex = std::clamp(v.HistoryIndex, 0, kArrZoomHistory - 1);
  v.History[v.HistoryIndex] = Snapshot(v);
  if (back ? v.HistoryIndex == 0 : v.HistoryIndex == kArrZoomHistory - 1) return 0;
  v.HistoryIndex += back ? -1 : 1;
  const ArrViewSnapshot& s = v.History[v.HistoryIndex];
  v.Hzoom = ArrClampHzoom(s.Hzoom);
  v.Vzoom = std::clamp(s.Vzoom, kArrMinVzoom, kArrMaxVzoom);
  v.Span = static_cast<int32_t>(int64_t{v.PartAreaWidth} * v.Hzoom);
  v.Origin = ClampOrigin(s.Origin, v.Span);
  v.VisibleRows = ArrRowsFor(v.PartAreaHeight, v.TopHeight, v.Vzoom);
  v.FirstTrack = std::clamp(s.FirstTrack, 0, kRows - v.VisibleRows);
  AfterHzoomChange(v);
  return 1;
}

void ArrResizeCalc(ArrViewRec& v, int32_t width, int32_t height) {
  v.PartAreaWidth = std::max(width, 0);
  v.PartAreaHeight = std::max(height, 0);
  v.VisibleRows = ArrRowsFor(v.PartAreaHeight, v.TopHeight, v.Vzoom);
  v.FirstTrack = std::clamp(v.FirstTrack, 0, kRows - v.VisibleRows);
  v.Span = static_cast<int32_t>(std::min<int64_t>(int64_t{v.Hzoom} * v.PartAreaWidth, INT32_MAX));
  v.Origin = ClampOrigin(v.Origin, v.Span);
}

void ArrSetTopCalc(ArrViewRec& v, int marker) {
  v.MrkBar = marker ? 1 : 0;
  v.TopHeight = marker ? kArrRulerHeight + kArrMarkerRowHeight : kArrRulerHeight;
  v.VisibleRows = ArrRowsFor(v.PartAreaHeight, v.TopHeight, v.Vzoom);
  v.FirstTrack = std::clamp(v.FirstTrack, 0, kRows - v.VisibleRows);
}

int ArrHScrollCalc(ArrViewRec& v, int code, int32_t thumb) {
  int64_t o = v.Origin;
  const int64_t max = std::max(v.HScrollMax, 0);
  switch (code) {
    case 0: o = std::max<int64_t>(o - 4 * int64_t{v.Hzoom}, 0); break;
    case 1: o = std::min<int64_t>(o + 4 * int64_t{v.Hzoom}, std::max(max, o)); break;
    case 2: o = std::max<int64_t>(o - v.Span / 2, 0); break;
    case 3: o = std::min<int64_t>(o + v.Span / 2, std::max(max, o)); break;
    case 5:
      if (v.Vzoom >= 14 && v.CloseZoom) return 0;
      [[fallthrough]];
    case 4: o = std::clamp<int64_t>(thumb, 0, max); break;
    default: return 0;
  }
  if (o == v.Origin) return 0;
  v.Origin = static_cast<int32_t>(o);
  return 1;
}

int ArrVScrollCalc(ArrViewRec& v, int code, int32_t thumb) {
  const int32_t last = kRows - v.VisibleRows;
  const int32_t page = std::max(v.VisibleRows / 2, 1);
  int32_t f = v.FirstTrack;
  switch (code) {
    case 0: f = std::max(f - 1, 0); break;
    case 1: f = std::min(f + 1, last); break;
    case 2: f = std::max(f - page, 0); break;
    case 3: f = std::min(f + page, last); break;
    case 5:
      if (v.Vzoom >= 14 && v.CloseZoom) return 0;
      [[fallthrough]];
    case 4: f = std::clamp(thumb, 0, last); break;
    default: return 0;
  }
  if (f == v.FirstTrack) return 0;
  v.FirstTrack = f;
  return 1;
}

int ArrWheelCalc(ArrViewRec& v, int32_t delta) {
  const int32_t f = std::clamp(v.FirstTrack - delta / 120, 0, kRows - v.VisibleRows);
  if (f == v.FirstTrack) return 0;
  v.FirstTrack = f;
  return 1;
}

int32_t ArrCentredOrigin(const ArrViewRec& v, int32_t position) {
  const int64_t o = std::min<int64_t>(int64_t{position} - v.Span / 2, int64_t{EndOfTime} - v.Span) + kArrTimeShift;
  return static_cast<int32_t>(std::max<int64_t>(o, 0));
}

// ---- Ruler grids ----

namespace {

struct GridRow {
  int64_t bound;
  int32_t unit[3];
  int32_t step[3];
};

// Label, tick and grid pairs by the pixel width of two bars.
constexpr GridRow kBbtRows[] = {
    {1, {0, 0, 0}, {256, 32, 64}},    {2, {0, 0, 0}, {64, 8, 16}},   {4, {0, 0, 0}, {32, 4, 8}},
    {8, {0, 0, 0}, {16, 2, 8}},       {40, {0, 0, 0}, {8, 1, 2}},    {80, {0, 0, 0}, {4, 1, 1}},
    {160, {0, 0, 0}, {2, 1, 1}},      {1280, {0, 1, 1}, {1, 1, 1}},  {2560, {1, 2, 2}, {1, 2, 2}},
    {5120, {2, 2, 2}, {2, 4, 4}},     {10240, {2, 2, 2}, {4, 8, 8}}, {40960, {2, 2, 2}, {8, 16, 16}},
    {65534, {3, 3, 3}, {8, 4, 4}},
};

// By pixels per minute; step 0 stands for F frames (6 at 24 fps, else 5).
constexpr GridRow kTcRows[] = {
    {30, {2, 2, 2}, {10, 1, 2}},     {60, {2, 1, 2}, {2, 30, 1}},   {240, {2, 1, 1}, {1, 10, 30}},
    {480, {1, 1, 1}, {30, 5, 10}},   {1200, {1, 1, 1}, {10, 1, 2}}, {2400, {1, 1, 1}, {5, 1, 1}},
    {4800, {1, 1, 1}, {2, 1, 1}},    {9600, {1, 1, 1}, {1, 1, 1}},  {36000, {1, 0, 0}, {1, 1, 0}},
    {120000, {0, 0, 0}, {0, 1, 1}},  {1966020, {0, 0, 0}, {1, 1, 1}},
};

template <size_t N> ArrGridRec Pick(const GridRow (&rows)[N], int64_t measure) {
  const GridRow* row = &rows[N - 1];
  for (const GridRow& r : rows)
    if (r.bound >= measure) {
      row = &r;
      break;
    }
  ArrGridRec g{};
  for (int i = 0; i < 3; ++i) {
    g.Unit[i] = row->unit[i];
    g.Step[i] = row->step[i];
  }
  return g;
}

}  // namespace

ArrGridRec ArrBbtGridFor(int64_t twoBarPixels) {
  return Pick(kBbtRows, std::clamp<int64_t>(twoBarPixels, 0, 65534));
}

ArrGridRec ArrTcGridFor(uint32_t rate, int32_t hzoom, uint32_t code) {
  const int64_t perMinute = std::min<int64_t>(int64_t{rate} * 60 / std::max(hzoom, 1), 1966020);
  ArrGridRec g = Pick(kTcRows, perMinute);
  const int32_t f = code == kFr24 ? 6 : 5;
  for (int32_t& s : g.Step)
    if (s == 0) s = f;
  g.DropFrame = code == kFr2997Df || code == kFr30Df ? 1 : 0;
  return g;
}

int64_t ArrGridTicks(int32_t unit, int32_t step, int32_t beatsPerBar, int32_t beatUnit) {
  const int64_t beat = 3840 / std::max(beatUnit, 1);
  switch (unit) {
    case 0: return int64_t{step} * std::max(beatsPerBar, 1) * beat;
    case 1: return int64_t{step} * beat;
    case 2: return std::max<int64_t>(beat / std::max(step, 1), 1);
    default: return std::max(step, 1);
  }
}

int64_t ArrTicksOfPos(int64_t position, uint32_t tempo, uint32_t rate) {
  const int64_t den = int64_t{rate} * 6000 * 4;
  return den == 0 ? 0 : position * int64_t{tempo} * 3840 / den;
}

int64_t ArrPosOfTicks(int64_t ticks, uint32_t tempo, uint32_t rate) {
  const int64_t den = int64_t{tempo} * 3840;
  if (den == 0) return 0;
  return (ticks * int64_t{rate} * 24000 + den / 2) / den;
}

int64_t ArrBbtGridCeilPlain(int64_t position, int64_t stepTicks, uint32_t tempo, uint32_t rate) {
  const int64_t num = int64_t{tempo} * 3840, den = int64_t{rate} * 24000;
  if (num == 0 || den == 0 || stepTicks <= 0) return position;
  // Ticks rounded up, to the next multiple of the step, back with rounding up.
  int64_t ticks = (std::max<int64_t>(position, 0) * num + den - 1) / den;
  ticks = (ticks + stepTicks - 1) / stepTicks * stepTicks;
  int64_t at = (ticks * den + num - 1) / num;
  if (at < position) at = ((ticks + stepTicks) * den + num - 1) / num;
  return at;
}

// ---- Fader law ----

namespace {
constexpr double kLog17 = 1.230448921378;
}

int32_t GainToPixels(int32_t value, int32_t full, int32_t pixels, int logAxis) {
  if (full <= 0) return 0;
  double x;
  if (logAxis)
    x = (16.0 - (std::pow(10.0, double(full - value) * kLog17 / full) - 1.0)) * pixels / 16.0;
  else
    x = double(value) * pixels / full;
  return static_cast<int32_t>(std::floor(x + 0.5));
}

int32_t PixelsToGain(int32_t y, int32_t pixels, int32_t full, int logAxis) {
  if (pixels <= 0) return 0;
  double x;
  if (logAxis) {
    const double inner = double(pixels - y) * 16.0 / pixels + 1.0;
    if (inner <= 0) return full;
    x = full - std::trunc(std::log10(inner) * full / kLog17);
  } else {
    x = double(y) * full / pixels;
  }
  return static_cast<int32_t>(std::floor(x + 0.5));
}
