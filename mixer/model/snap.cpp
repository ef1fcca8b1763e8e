#include "mixer/model/snap.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "mixer/arrange/arrview.h"
#include "mixer/model/musical.h"
#include "mixer/model/settings.h"
#include "mixer/model/tempomap.h"
#include "mixer/model/timecode.h"

namespace {

constexpr uint32_t kSnapModeCount = 19;
constexpr int64_t kSnapPixels = 12;

// The grid points around a position p: prev <= p < next, either missing for
// the target modes.
struct Grid {
  bool hasPrev = false, hasNext = false;
  int64_t prev = 0, next = 0;
};

struct SnapContext {
  uint32_t mode;
  const ArrRec* arr;
  const MrkList* markers;
  int32_t exclusion;
};

Grid BothPoints(int64_t prev, int64_t next) { return {true, true, prev, next}; }

// The grid of a tempo map whose unit k begins at sample start(k), around
// the unit k estimated for p. Ticks are truncated one way and samples
// rounded the other, so the estimate may be one unit off at a unit's edge;
// it is moved until prev <= p < next holds.
template <typename Start>
Grid MapUnitGrid(int64_t p, int64_t k, Start start) {
  for (int i = 0; i < 4 && k > 0 && start(k) > p; ++i) --k;
  for (int i = 0; i < 4 && start(k + 1) <= p; ++i) ++k;
  return BothPoints(start(k), start(k + 1));
}

bool MapBarGrid(const TempoMapRec* map, int64_t p, Grid* g) {
  const uint32_t rate = Settings().SampleRate;
  if (rate == 0) return false;
  BbtRec at;
  TempoTicksToBbt(map, TempoSamplesToTicks(map, rate, static_cast<uint32_t>(p)), &at);
  *g = MapUnitGrid(p, at.Bar, [&](int64_t bar) {
    const BbtRec b{static_cast<int32_t>(std::min<int64_t>(bar, INT32_MAX)), 0, 0};
    return int64_t{TempoTicksToSamples(map, rate, TempoBbtToTicks(map, b))};
  });
  return true;
}

// Grid units of 4 x ppq / n ticks, fractions of a tick kept.
bool MapNoteGrid(const TempoMapRec* map, int64_t p, uint32_t unitsPerWhole, Grid* g) {
  const uint32_t rate = Settings().SampleRate;
  if (rate == 0 || unitsPerWhole == 0) return false;
  const double unit = 4.0 * TempoGetPpq(map) / unitsPerWhole;
  const double k = std::floor(TempoSamplesToTicksF(map, rate, p) / unit);
  *g = MapUnitGrid(p, static_cast<int64_t>(std::max(k, 0.0)),
                   [&](int64_t n) { return TempoTicksToSamplesF(map, rate, double(n) * unit); });
  return true;
}

// Modes 0..8 through the tempo map when one is loaded, else through the
// fixed tempo and meter.
bool BarGrid(int64_t p, Grid* g) {
  if (const TempoMapRec* map = TempoMap) return MapBarGrid(map, p, g);
  const ProjectSettings& s = Settings();
  const uint32_t num = s.MeterNum;
  if (num == 0 || !NoteGridValid(s.MeterDen)) return false;
  const uint64_t bar = NoteUnitAt(p, s.MeterDen) / num * num;  // in beats
  *g = BothPoints(NoteUnitStart(bar, s.MeterDen), NoteUnitStart(bar + num, s.MeterDen));
  return true;
}

bool NoteGrid(int64_t p, uint32_t unitsPerWhole, Grid* g) {
  if (const TempoMapRec* map = TempoMap) return MapNoteGrid(map, p, unitsPerWhole, g);
  if (!NoteGridValid(unitsPerWhole)) return false;
  const uint64_t k = NoteUnitAt(p, unitsPerWhole);
  *g = BothPoints(NoteUnitStart(k, unitsPerWhole), NoteUnitStart(k + 1, unitsPerWhole));
  return true;
}

// Whole seconds of time code around p. The time code circles every 24
// hours, so a point that came out a day early is moved a day on.
bool TcSecondGrid(int64_t p, Grid* g) {
  const ProjectSettings& s = Settings();
  if (s.SampleRate == 0) return false;
  TcRec tc;
  LocToTimeCode(&tc, static_cast<int32_t>(p), s.TcOffset);
  tc.Frames = 0;
  tc.SubFrames = 0;
  NormTimeCode(&tc);
  int64_t prev = TimeCodeToLoc(tc, s.TcOffset);
  ++tc.Seconds;
  NormTimeCode(&tc);
  int64_t next = TimeCodeToLoc(tc, s.TcOffset);
  const int64_t day = static_cast<int64_t>(std::ceil(FrameRateValue(24)));
  const int64_t early = p - 2 * int64_t{s.SampleRate};
  if (prev < early) prev += day;
  if (next < early) next += day;
  if (next < prev) next += day;
  *g = BothPoints(prev, next);
  return true;
}

bool TcHalfSecondGrid(int64_t p, Grid* g) {
  if (!TcSecondGrid(p, g)) return false;
  const double mid = (g->prev + g->next) * 0.5;
  if (p < mid)
    g->next = static_cast<int64_t>(mid);
  else
    g->prev = static_cast<int64_t>(mid);
  return true;
}

// Frames (or unitsPerFrame parts of a frame) of the time code, counted from
// the time code of position 0.
bool FrameGrid(int64_t p, uint32_t unitsPerFrame, Grid* g) {
  const ProjectSettings& s = Settings();
  if (s.SampleRate == 0) return false;
  const FrameRateInfo& fr = FrameRateOf(s.CurFrameRate);
  const uint64_t rateScaled = uint64_t{s.SampleRate} * fr.Scale;
  const uint64_t unitsPerSec = uint64_t{fr.Numerator} * unitsPerFrame;
  const uint64_t k = ScaleFloor(uint64_t{s.TcOffset} + static_cast<uint64_t>(p), unitsPerSec, rateScaled);
  auto point = [&](uint64_t unit) {
    const int64_t at = static_cast<int64_t>(std::min<uint64_t>(ScaleCeil(unit, rateScaled, unitsPerSec), INT64_MAX / 2));
    return std::max<int64_t>(at - int64_t{s.TcOffset}, 0);
  };
  *g = BothPoints(point(k), point(k + 1));
  return true;
}

// Narrows the grid by one target t: prev is the largest target at or before
// p, next the smallest after it.
void AddTarget(int64_t p, int64_t t, Grid* g) {
  if (t <= p) {
    if (!g->hasPrev || t > g->prev) g->prev = t;
    g->hasPrev = true;
  } else {
    if (!g->hasNext || t < g->next) g->next = t;
    g->hasNext = true;
  }
}

void PartTargets(int64_t p, const SnapContext& c, Grid* g) {
  ArrForEachPart(c.arr, [&](uint32_t, uint32_t, const PartRec& part) {
    if (c.exclusion == kSnapOnlyUnselParts && (part.Flags & kPartSelected) != 0) return;
    AddTarget(p, part.Start, g);
    if (part.SnapPoint != 0) AddTarget(p, int64_t{part.Start} + part.SnapPoint, g);
    AddTarget(p, int64_t{part.Start} + part.Length, g);
  });
}

void MarkerTargets(int64_t p, const SnapContext& c, Grid* g) {
  MrkForEach(c.markers, [&](uint32_t, const MrkRec& mrk) { AddTarget(p, mrk.Position, g); });
}

void LocatorTargets(int64_t p, const SnapContext& c, Grid* g) {
  const Locators& l = Locs();
  if (c.exclusion != kSnapExcludeNow) AddTarget(p, l.NowLoc, g);
  if (c.exclusion != kSnapExcludeLeft) AddTarget(p, l.LeftLoc, g);
  if (c.exclusion != kSnapExcludeRight) AddTarget(p, l.RightLoc, g);
}

bool TargetGrid(int64_t p, const SnapContext& c, Grid* g) {
  *g = Grid{};
  if (c.mode == kSnapPartEdges || c.mode == kSnapAllTargets) PartTargets(p, c, g);
  if (c.mode == kSnapMarkers || c.mode == kSnapAllTargets) MarkerTargets(p, c, g);
  if (c.mode == kSnapLocators || c.mode == kSnapAllTargets) LocatorTargets(p, c, g);
  return g->hasPrev || g->hasNext;
}

bool GridAround(int64_t p, const SnapContext& c, Grid* g) {
  static constexpr uint32_t kNoteUnits[8] = {4, 8, 16, 32, 6, 12, 24, 48};
  static constexpr uint32_t kFrameUnits[4] = {1, 4, 10, 100};
  if (c.mode == kSnapBar) return BarGrid(p, g);
  if (c.mode < kSnapTcSecond) return NoteGrid(p, kNoteUnits[c.mode - kSnapQuarter], g);
  if (c.mode == kSnapTcSecond) return TcSecondGrid(p, g);
  if (c.mode == kSnapTcHalfSecond) return TcHalfSecondGrid(p, g);
  if (c.mode < kSnapPartEdges) return FrameGrid(p, kFrameUnits[c.mode - kSnapFrame], g);
  return TargetGrid(p, c, g);
}

bool PickPoint(int64_t p, const Grid& g, int32_t direction, int64_t* out) {
  switch (direction) {
    case kSnapLater:
      if (g.hasPrev && g.prev == p) *out = g.prev;
      else if (g.hasNext) *out = g.next;
      else return false;
      return true;
    case kSnapEarlier:
      if (!g.hasPrev) return false;
      *out = g.prev;
      return true;
    default:
      if (!g.hasPrev && !g.hasNext) return false;
      *out = !g.hasNext || (g.hasPrev && p - g.prev < g.next - p) ? g.prev : g.next;
      return true;
  }
}

bool SnapPoint(int64_t p, const SnapContext& c, int32_t direction, int64_t* out) {
  Grid g;
  return GridAround(p, c, &g) && PickPoint(p, g, direction, out);
}

}  // namespace

int32_t SnapLoc(int32_t position, int32_t length, int32_t direction, const ArrRec* arr,
                const MrkList* markers, int32_t exclusion, int32_t noDistanceLimit) {
  const ProjectSettings& s = Settings();
  if (s.SnapEnable == 0 || s.SnapMode >= kSnapModeCount) return position;
  const SnapContext c{s.SnapMode, arr, markers, exclusion};
  if (c.mode >= kSnapPartEdges && exclusion == kSnapNoTargets) return position;

  const int64_t p = std::max(position, 0);
  int64_t startTarget = 0, result = p;
  const bool startFound = SnapPoint(p, c, direction, &startTarget);
  if (startFound) result = startTarget;
  if (length != 0) {
    const int64_t end = std::clamp<int64_t>(p + length, 0, kMaxLoc);
    int64_t endTarget = 0;
    if (SnapPoint(end, c, direction, &endTarget) &&
        (!startFound || std::llabs(endTarget - end) < std::llabs(startTarget - p)))
      result = p + (endTarget - end);
  }
  // The distance limit is 12 pixels of the arrange view.
  const int64_t limit = kSnapPixels * std::max(ArrView().Hzoom, 0);
  if (noDistanceLimit == 0 && std::llabs(result - p) > limit) return static_cast<int32_t>(p);
  return static_cast<int32_t>(std::clamp<int64_t>(result, 0, kMaxLoc));
}

int32_t SnapDragToTargets(int32_t start, int32_t length, int32_t target1, int32_t target2,
                          int32_t target3) {
  const int32_t targets[3] = {target1, target2, target3};
  const int64_t hi = std::min<int64_t>(int64_t{kMaxLoc} - length, kMaxLoc);
  const int64_t s = std::min<int64_t>(std::max(start, 0), std::max<int64_t>(hi, 0));
  const int64_t edges[2] = {s, s + length};
  bool found = false;
  int64_t best = 0;
  for (int32_t t : targets) {
    if (t == kSnapNoTarget) continue;
    for (int64_t edge : edges) {
      const int64_t shift = t - edge;
      if (!found || std::llabs(shift) < std::llabs(best)) best = shift;
      found = true;
    }
  }
  if (!found) return std::max(start, 0);
  return static_cast<int32_t>(std::clamp<int64_t>(s + best, 0, std::max<int64_t>(hi, 0)));
}
