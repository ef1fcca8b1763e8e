// Ruler and grid tick positions: a walk over bars/beats/ticks or over
// time-code fields, one grid step at a time, each step converted back to a
// sample position. Walking the fields (rather than adding samples) keeps
// every tick on its musical or time-code boundary across tempo and meter
// changes and across the dropped frame numbers.
#include "mixer/arrange/arrruler.h"

#include <algorithm>
#include <cstdio>

#include "mixer/model/musical.h"
#include "mixer/model/settings.h"
#include "mixer/model/tempomap.h"
#include "mixer/model/timecode.h"

namespace {

constexpr int64_t kEnd = EndOfTime;

int64_t RoundUp(int64_t v, int64_t step) {
  step = std::max<int64_t>(step, 1);
  return (v + step - 1) / step * step;
}

// Bars/beats/ticks, in the map's ticks per quarter (960 without a map).
class Musical {
 public:
  explicit Musical(const ArrRulerCtx& c) : c_(c) {
    ppq_ = c.Map ? TempoGetPpq(c.Map) : kTicksPerQuarter;
    if (ppq_ == 0) ppq_ = kTicksPerQuarter;
  }
  bool Usable() const { return c_.Rate != 0 && (c_.Map != nullptr || c_.Tempo != 0); }

  int64_t TicksOf(int64_t pos) const {
    pos = std::clamp<int64_t>(pos, 0, INT32_MAX);
    if (c_.Map) return TempoSamplesToTicks(c_.Map, c_.Rate, static_cast<uint32_t>(pos));
    return ArrTicksOfPos(pos, c_.Tempo, c_.Rate);
  }
  // The first sample at or after the tick.
  int64_t PosOf(int64_t ticks) const {
    if (c_.Map) return TempoTicksToSamples(c_.Map, c_.Rate, static_cast<int32_t>(std::clamp<int64_t>(ticks, 0, INT32_MAX)));
    const int64_t den = int64_t{c_.Tempo} * 3840;
    return (std::max<int64_t>(ticks, 0) * c_.Rate * 24000 + den - 1) / den;
  }
  // Beats of the bar and ticks of one of its beats.
  void Meter(int32_t bar, int32_t* num, int64_t* beatTicks) const {
    uint32_t n = static_cast<uint32_t>(std::max(c_.MeterNum, 1)), d = static_cast<uint32_t>(std::max(c_.MeterDen, 1));
    if (c_.Map) {
      BbtRec at{};
      TempoTicksToBbt(c_.Map, TempoBbtToTicks(c_.Map, BbtRec{bar, 0, 0}), &at);
      TempoGetMeter(c_.Map, &n, &d);
    }
    *num = static_cast<int32_t>(std::max<uint32_t>(n, 1));
    *beatTicks = std::max<int64_t>(int64_t{ppq_} * 4 / std::max<uint32_t>(d, 1), 1);
  }
  BbtRec BbtOf(int64_t ticks) const {
    BbtRec b{};
    if (c_.Map) {
      TempoTicksToBbt(c_.Map, static_cast<int32_t>(std::clamp<int64_t>(ticks, 0, INT32_MAX)), &b);
      return b;
    }
    int32_t num;
    int64_t bt;
    Meter(0, &num, &bt);
    const int64_t bar = bt * num;
    b.Bar = static_cast<int32_t>(std::min<int64_t>(ticks / bar, INT32_MAX));
    b.Beat = static_cast<int32_t>(ticks % bar / bt);
    b.Tick = static_cast<int32_t>(ticks % bt);
    return b;
  }
  int64_t TicksOfBbt(const BbtRec& b) const {
    if (c_.Map) return TempoBbtToTicks(c_.Map, b);
    int32_t num;
    int64_t bt;
    Meter(0, &num, &bt);
    return (int64_t{b.Bar} * num + b.Beat) * bt + b.Tick;
  }
  // Ticks of one step of a fraction (unit 2) or tick (unit 3) grid.
  int64_t StepTicks(int32_t unit, int32_t step, int64_t beatTicks) const {
    step = std::max(step, 1);
    if (unit == 2) {
      // 1/n of a beat, or the first of n/2, n/4 ... that divides the beat
      // evenly.
      int64_t d = step;
      while (d > 1 && beatTicks % d != 0) d /= 2;
      return std::max<int64_t>(beatTicks / d, 1);
    }
    return std::max<int64_t>(int64_t{step} * ppq_ / kTicksPerQuarter, 1);
  }

  void Carry(BbtRec* b, int32_t num, int64_t bt) const {
    if (b->Tick >= bt) {
      b->Tick = 0;
      ++b->Beat;
    }
    if (b->Beat >= num) {
      b->Beat = 0;
      ++b->Bar;
    }
  }
  // The first grid point at or after b.
  BbtRec Ceil(BbtRec b, int32_t unit, int32_t step) const {
    int32_t num;
    int64_t bt;
    Meter(b.Bar, &num, &bt);
    step = std::max(step, 1);
    if (unit == 0) {
      if (b.Beat != 0 || b.Tick != 0) ++b.Bar;
      b.Bar = static_cast<int32_t>(RoundUp(b.Bar, step));
      b.Beat = b.Tick = 0;
    } else if (unit == 1) {
      if (b.Tick != 0) ++b.Beat;
      b.Tick = 0;
      b.Beat = static_cast<int32_t>(RoundUp(b.Beat, step));
      Carry(&b, num, bt);
    } else {
      b.Tick = static_cast<int32_t>(RoundUp(b.Tick, StepTicks(unit, step, bt)));
      Carry(&b, num, bt);
    }
    return b;
  }
  BbtRec Next(BbtRec b, int32_t unit, int32_t step) const {
    int32_t num;
    int64_t bt;
    Meter(b.Bar, &num, &bt);
    step = std::max(step, 1);
    if (unit == 0) {
      b.Bar += step;
    } else if (unit == 1) {
      b.Beat += step;
      b.Tick = 0;
      if (b.Beat >= num) b.Beat = num;
    } else {
      b.Tick = static_cast<int32_t>(b.Tick + StepTicks(unit, step, bt));
    }
    Carry(&b, num, bt);
    return b;
  }
  bool OnStep(const BbtRec& b, int32_t unit, int32_t step) const {
    int32_t num;
    int64_t bt;
    Meter(b.Bar, &num, &bt);
    step = std::max(step, 1);
    switch (unit) {
      case 0: return b.Beat == 0 && b.Tick == 0 && b.Bar % step == 0;
      case 1: return b.Tick == 0 && b.Beat % step == 0;
      default: return b.Tick % StepTicks(unit, step, bt) == 0;
    }
  }

  // What the tick walk asks of a scale (see WalkTicks).
  BbtRec AtOrAfter(int64_t pos) const {
    int64_t t = TicksOf(pos);
    if (PosOf(t) < pos) ++t;
    return BbtOf(t);
  }
  int64_t Order(const BbtRec& b) const { return TicksOfBbt(b); }
  // Past the end of the time line from the last tick that fits on.
  int64_t PosOf(const BbtRec& b) const {
    const int64_t ticks = TicksOfBbt(b);
    return ticks >= INT32_MAX ? kEnd + 1 : PosOf(ticks);
  }
  static void Text(const BbtRec& b, char* out, size_t size) {
    if (b.Tick != 0)
      std::snprintf(out, size, "%ld.%d.%d", static_cast<long>(b.Bar) + 1, b.Beat + 1, b.Tick);
    else if (b.Beat > 0)
      std::snprintf(out, size, "%ld.%d", static_cast<long>(b.Bar) + 1, b.Beat + 1);
    else
      std::snprintf(out, size, "%ld", static_cast<long>(b.Bar) + 1);
  }

 private:
  const ArrRulerCtx& c_;
  uint32_t ppq_;
};

// Time code as fields, hours not wrapped, of position + offset.
struct Tc {
  int32_t h, m, s, f;
};

class TimeCode {
 public:
  explicit TimeCode(const ArrRulerCtx& c) : c_(c), fr_(FrameRateOf(c.FrameRate)) {}
  bool Usable() const { return c_.Rate != 0; }

  Tc Of(int64_t pos) const {
    const uint64_t p = static_cast<uint64_t>(std::max<int64_t>(pos, 0) + c_.TcOffset);
    const uint32_t high = static_cast<uint32_t>(p >> 32);
    TcRec r{};
    const uint32_t hours = Loc64ToTimeCode(&r, static_cast<uint32_t>(p), &high, c_.Rate, c_.FrameRate, 0);
    return Tc{static_cast<int32_t>(hours), r.Minutes, r.Seconds, r.Frames};
  }
  // The first sample of the time code, less the offset; past the end of
  // the time line when the hours do not fit.
  int64_t PosOf(const Tc& t) const {
    if (t.h > 255) return kEnd + 1;
    const TcRec r{static_cast<uint8_t>(t.h), static_cast<uint8_t>(t.m), static_cast<uint8_t>(t.s),
                  static_cast<uint8_t>(t.f), 0};
    uint32_t high = 0;
    const uint32_t low = TimeCodeToLoc64(r, &high, c_.Rate, c_.FrameRate);
    return static_cast<int64_t>((uint64_t{high} << 32) | low) - c_.TcOffset;
  }
  // The first frame number of a second: 2 in the first second of a minute
  // not divisible by 10 under drop-frame numbering, else 0.
  int32_t First(const Tc& t) const { return fr_.DropFrame && t.s == 0 && t.m % 10 != 0 ? 2 : 0; }
  void Norm(Tc* t) const {
    if (t->f >= static_cast<int32_t>(fr_.Nominal)) {
      t->f = 0;
      ++t->s;
    }
    if (t->s >= 60) {
      t->s = 0;
      t->f = 0;
      ++t->m;
    }
    if (t->m >= 60) {
      t->m = 0;
      t->s = 0;
      t->f = 0;
      ++t->h;
    }
    t->f = std::max(t->f, First(*t));
  }
  Tc Ceil(Tc t, int32_t unit, int32_t step) const {
    step = std::max(step, 1);
    if (unit == 0) {
      if (t.f != First(t)) t.f = static_cast<int32_t>(RoundUp(t.f, step));
    } else if (unit == 1) {
      if (t.f > First(t)) ++t.s;
      t.f = 0;
      t.s = static_cast<int32_t>(RoundUp(t.s, step));
    } else {
      if (t.f > First(t) || t.s > 0) ++t.m;
      t.s = t.f = 0;
      t.m = static_cast<int32_t>(RoundUp(t.m, step));
    }
    Norm(&t);
    return t;
  }
  Tc Next(Tc t, int32_t unit, int32_t step) const {
    step = std::max(step, 1);
    if (unit == 0) {
      const int32_t from = t.f == First(t) ? 0 : t.f;
      t.f = std::max(from + step, t.f + 1);
    } else if (unit == 1) {
      t.s += step;
      t.f = 0;
    } else {
      t.m += step;
      t.s = t.f = 0;
    }
    Norm(&t);
    return t;
  }
  bool OnStep(const Tc& t, int32_t unit, int32_t step) const {
    step = std::max(step, 1);
    const bool first = t.f == First(t);
    switch (unit) {
      case 0: return first || t.f % step == 0;
      case 1: return first && t.s % step == 0;
      default: return first && t.s == 0 && t.m % step == 0;
    }
  }

  // What the tick walk asks of a scale (see WalkTicks).
  Tc AtOrAfter(int64_t pos) const {
    const Tc t = Of(pos);
    return PosOf(t) < pos ? Next(t, 0, 1) : t;
  }
  int64_t Order(const Tc& t) const { return PosOf(t); }
  static void Text(const Tc& t, char* out, size_t size) {
    std::snprintf(out, size, "%02d:%02d:%02d:%02d", t.h % 24, t.m, t.s, t.f);
  }

 private:
  const ArrRulerCtx& c_;
  const FrameRateInfo& fr_;
};

int32_t PairIndex(int pair) { return std::clamp(pair, 0, 2); }

// The ticks of grid pair `pair` over [from, to] on a scale (Musical or
// TimeCode): from the first grid point at or after `from`, one grid step at
// a time while the points move on along the scale, at most `limit` of them;
// labelled where they fall on the label step (pair 0).
template <typename Scale>
void WalkTicks(const Scale& s, const ArrGridRec& g, int pair, int64_t from, int64_t to,
               std::vector<ArrRulerTick>* out, size_t limit) {
  if (!s.Usable() || out == nullptr) return;
  const int32_t k = PairIndex(pair);
  from = std::max<int64_t>(from, 0);
  to = std::min<int64_t>(to, kEnd);
  auto t = s.Ceil(s.AtOrAfter(from), g.Unit[k], g.Step[k]);
  int64_t last = INT64_MIN;
  for (size_t n = 0; n < limit; ++n) {
    const int64_t order = s.Order(t), pos = s.PosOf(t);
    if (order <= last || pos > to) break;
    last = order;
    if (pos >= from) {
      ArrRulerTick tick{};
      tick.Pos = pos;
      tick.Label = s.OnStep(t, g.Unit[0], g.Step[0]) ? 1 : 0;
      s.Text(t, tick.Text, sizeof tick.Text);
      out->push_back(tick);
    }
    t = s.Next(t, g.Unit[k], g.Step[k]);
  }
}

// The first grid point at or after the position, on a scale; the end of
// the time line when there is none.
template <typename Scale> int64_t GridCeil(const Scale& s, int32_t unit, int32_t step, int64_t position) {
  ArrGridRec g{};
  g.Unit[1] = g.Unit[0] = unit;
  g.Step[1] = g.Step[0] = step;
  std::vector<ArrRulerTick> one;
  WalkTicks(s, g, 1, position, kEnd, &one, 1);
  return one.empty() ? kEnd : one[0].Pos;
}

}  // namespace

ArrRulerCtx ArrRulerCtxNow() {
  const ProjectSettings& s = Settings();
  return ArrRulerCtx{s.SampleRate, s.Tempo, s.MeterNum, s.MeterDen, s.CurFrameRate, s.TcOffset, TempoMap};
}

void ArrBbtTicks(const ArrRulerCtx& c, const ArrGridRec& g, int pair, int64_t from, int64_t to,
                 std::vector<ArrRulerTick>* out, size_t limit) {
  WalkTicks(Musical(c), g, pair, from, to, out, limit);
}

void ArrTcTicks(const ArrRulerCtx& c, const ArrGridRec& g, int pair, int64_t from, int64_t to,
                std::vector<ArrRulerTick>* out, size_t limit) {
  WalkTicks(TimeCode(c), g, pair, from, to, out, limit);
}

int64_t BbtGridCeil(const ArrRulerCtx& c, int32_t unit, int32_t step, int64_t position) {
  return GridCeil(Musical(c), unit, step, position);
}

int64_t TcGridCeil(const ArrRulerCtx& c, int32_t unit, int32_t step, int64_t position) {
  return GridCeil(TimeCode(c), unit, step, position);
}
