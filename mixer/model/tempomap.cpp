#include "mixer/model/tempomap.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#include "mixer/model/timecode.h"

TempoMapRec* TempoMap = nullptr;

namespace {

constexpr uint64_t kUsPerSecond = 1000000;
// The file header's resolution is 16-bit; with it, a meter of at most 255
// beats and any bar below 2^31 the bars-to-ticks sum stays inside 64 bits.
constexpr uint32_t kMaxPpq = 0xFFFF;
constexpr uint32_t kDefaultUsPerQuarter = 500000;  // 120 BPM
// Tempo in 1/100 BPM = kBpmScale / microseconds per quarter.
constexpr uint64_t kBpmScale = uint64_t{60000000} * 100;
constexpr int32_t kI32Max = std::numeric_limits<int32_t>::max();
constexpr uint64_t kTimeMax = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());

int32_t ClampI32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), kI32Max));
}

int64_t ClampDoubleToI64(double v) {
  if (!(v == v)) return 0;  // NaN
  constexpr double kLimit = 9.2e18;
  return static_cast<int64_t>(std::clamp(v, -kLimit, kLimit));
}

// A meter as a MIDI file can state it: a numerator byte and a power-of-two
// note value up to a 128th.
bool ValidMeter(uint32_t num, uint32_t den) { return num >= 1 && num <= 255 && den != 0 && den <= 128 && (den & (den - 1)) == 0; }

// Microseconds x ppq in one second of samples at the map's resolution.
uint64_t TimePerSecond(const TempoMapRec& m) { return kUsPerSecond * m.Ppq; }

// Inserts or replaces the event at e.Tick, keeping the list ascending.
// Events mostly arrive in order, so the search runs from the back.
template <typename Event, typename Same>
int InsertEvent(std::vector<Event>* list, const Event& e, Same replace) {
  auto it = list->end();
  while (it != list->begin() && (it - 1)->Tick >= e.Tick) --it;
  if (it != list->end() && it->Tick == e.Tick) {
    replace(&*it);
    return 1;
  }
  try {
    list->insert(it, e);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return 1;
}

// ---- Tempo walks ----

TempoWalk TempoStart(const TempoMapRec& m) { return {0, 0, m.Tempos.front().UsPerQuarter, 1}; }

// Time from the walk's segment start to tick k inside that segment.
uint64_t SegmentTime(const TempoWalk& w, int32_t k) {
  return static_cast<uint64_t>(int64_t{k} - w.SegTick) * w.Tempo;
}

void TempoStep(const TempoMapRec& m, TempoWalk* w) {
  const TempoEvent& e = m.Tempos[w->Next];
  w->Time += SegmentTime(*w, e.Tick);
  w->SegTick = e.Tick;
  w->Tempo = e.UsPerQuarter;
  ++w->Next;
}

// Moves to the segment holding time t. Ticks are below 2^31 and tempos below
// 2^32, so every time stays below 2^63 and the differences fit.
void TempoWalkToTime(const TempoMapRec& m, TempoWalk* w, uint64_t t) {
  while (w->Next < m.Tempos.size() && t - w->Time >= SegmentTime(*w, m.Tempos[w->Next].Tick)) TempoStep(m, w);
}

// Moves to the segment holding tick k.
void TempoWalkToTick(const TempoMapRec& m, TempoWalk* w, int32_t k) {
  while (w->Next < m.Tempos.size() && m.Tempos[w->Next].Tick <= k) TempoStep(m, w);
}

// The walk to time t, from the cache when it did not pass t.
TempoWalk WalkTime(const TempoMapRec& m, TempoTimeCache* c, uint64_t t) {
  TempoWalk w = c->Key <= t ? c->Walk : TempoStart(m);
  TempoWalkToTime(m, &w, t);
  *c = {t, w};
  return w;
}

TempoWalk WalkTick(const TempoMapRec& m, TempoTickCache* c, int32_t k) {
  TempoWalk w = c->Key <= k ? c->Walk : TempoStart(m);
  TempoWalkToTick(m, &w, k);
  *c = {k, w};
  return w;
}

// Target time of sample p: ceil(p x 1000000 x ppq / rate), below 2^63.
uint64_t SampleTime(const TempoMapRec& m, uint32_t rate, uint64_t p) {
  return std::min(ScaleCeil(p, TimePerSecond(m), rate), kTimeMax);
}

// ---- Meter walks ----

uint32_t TicksPerBeat(uint32_t den, uint32_t ppq) {
  const uint64_t tpb = den != 0 ? uint64_t{4} * ppq / den : 0;
  return static_cast<uint32_t>(std::clamp<uint64_t>(tpb, 1, 0xFFFFFFFFu));
}

// Adds ticks to a position and carries under the meter, in 64 bits so that
// a position near the end of the time line cannot wrap.
BbtRec AddTicks(BbtRec b, int64_t ticks, uint32_t num, uint32_t den, uint32_t ppq) {
  const int64_t tpb = TicksPerBeat(den, ppq);
  const int64_t n = std::max<uint32_t>(num, 1);
  int64_t tick = int64_t{b.Tick} + ticks, beat = b.Beat, bar = b.Bar;
  if (tick >= tpb) {
    beat += tick / tpb;
    tick %= tpb;
  }
  if (beat >= n) {
    bar += beat / n;
    beat %= n;
  }
  return {ClampI32(bar), ClampI32(beat), ClampI32(tick)};
}

bool BbtBefore(const BbtRec& a, const BbtRec& b) {
  if (a.Bar != b.Bar) return a.Bar < b.Bar;
  if (a.Beat != b.Beat) return a.Beat < b.Beat;
  return a.Tick < b.Tick;
}

MeterWalk MeterStart(const TempoMapRec& m) {
  const MeterEvent& e = m.Meters.front();
  return {{0, 0, 0}, 0, e.Num, e.Den, 1};
}

// The position of the walk's next event, counted on from the segment start.
BbtRec NextEventBbt(const TempoMapRec& m, const MeterWalk& w) {
  return AddTicks(w.Seg, int64_t{m.Meters[w.Next].Tick} - w.SegTick, w.Num, w.Den, m.Ppq);
}

void MeterStep(const TempoMapRec& m, MeterWalk* w, const BbtRec& at) {
  const MeterEvent& e = m.Meters[w->Next];
  w->Seg = at;
  w->SegTick = e.Tick;
  w->Num = e.Num;
  w->Den = e.Den;
  ++w->Next;
}

void ResetCaches(const TempoMapRec& m) {
  const TempoWalk t = TempoStart(m);
  const MeterWalk b = MeterStart(m);
  m.SamplesToTicks = {std::numeric_limits<uint64_t>::max(), t};
  m.SamplesToTicksF = m.SamplesToTicks;
  m.TicksToSamples = {kI32Max, t};
  m.TicksToSamplesF = m.TicksToSamples;
  m.TicksToBars = {kI32Max, b};
  m.BarsToTicks = {{kI32Max, 0, 0}, b};
}

bool Usable(const TempoMapRec* map) {
  return map != nullptr && map->Ppq != 0 && !map->Tempos.empty() && !map->Meters.empty();
}

}  // namespace

TempoMapRec* TempoMapNew() { return new (std::nothrow) TempoMapRec(); }

void TempoMapSetPpq(TempoMapRec* map, uint32_t ppq) {
  if (map != nullptr) map->Ppq = std::min<uint32_t>(ppq, kMaxPpq);
}

int TempoMapAddTempo(TempoMapRec* map, int32_t tick, uint32_t usPerQuarter) {
  if (map == nullptr) return 0;
  if (usPerQuarter == 0) return 1;
  const TempoEvent e{std::max(tick, 0), usPerQuarter};
  return InsertEvent(&map->Tempos, e, [&](TempoEvent* old) { old->UsPerQuarter = usPerQuarter; });
}

int TempoMapAddMeter(TempoMapRec* map, int32_t tick, uint32_t num, uint32_t den) {
  if (map == nullptr) return 0;
  if (!ValidMeter(num, den)) return 1;
  const MeterEvent e{std::max(tick, 0), num, den};
  return InsertEvent(&map->Meters, e, [&](MeterEvent* old) {
    old->Num = num;
    old->Den = den;
  });
}

int TempoMapFinish(TempoMapRec* map, uint32_t tempo, uint32_t meterNum, uint32_t meterDen) {
  if (map == nullptr) return 0;
  if (map->Tempos.empty() || map->Tempos.front().Tick != 0) {
    const uint32_t us = tempo != 0 ? static_cast<uint32_t>(std::min<uint64_t>(kBpmScale / tempo, 0xFFFFFFFFu))
                                   : kDefaultUsPerQuarter;
    if (TempoMapAddTempo(map, 0, std::max<uint32_t>(us, 1)) == 0) return 0;
  }
  if (map->Meters.empty() || map->Meters.front().Tick != 0) {
    const bool usable = ValidMeter(meterNum, meterDen);
    if (TempoMapAddMeter(map, 0, usable ? meterNum : 4, usable ? meterDen : 4) == 0) return 0;
  }
  ResetCaches(*map);
  return 1;
}

void TempoMapFree(TempoMapRec* map) { delete map; }

uint32_t TempoGetPpq(const TempoMapRec* map) { return map != nullptr ? map->Ppq : 0; }

int32_t TempoSamplesToTicks(const TempoMapRec* map, uint32_t rate, uint32_t p) {
  if (!Usable(map) || rate == 0) return 0;
  const uint64_t t = SampleTime(*map, rate, p);
  const TempoWalk w = WalkTime(*map, &map->SamplesToTicks, t);
  return ClampI32(w.SegTick + static_cast<int64_t>((t - w.Time) / w.Tempo));
}

int32_t TempoTicksToSamples(const TempoMapRec* map, uint32_t rate, int32_t ticks) {
  if (!Usable(map)) return 0;
  const int32_t k = std::max(ticks, 0);
  const TempoWalk w = WalkTick(*map, &map->TicksToSamples, k);
  const uint64_t samples = ScaleCeil(w.Time + SegmentTime(w, k), rate, TimePerSecond(*map));
  return static_cast<int32_t>(std::min<uint64_t>(samples, kI32Max));
}

double TempoSamplesToTicksF(const TempoMapRec* map, uint32_t rate, int64_t p) {
  if (!Usable(map) || rate == 0) return 0.0;
  if (p <= 0) {
    const double t = std::ceil(double(p) * double(TimePerSecond(*map)) / rate);
    return t / map->Tempos.front().UsPerQuarter;
  }
  const uint64_t t = SampleTime(*map, rate, static_cast<uint64_t>(p));
  const TempoWalk w = WalkTime(*map, &map->SamplesToTicksF, t);
  return w.SegTick + double(t - w.Time) / w.Tempo;
}

int64_t TempoTicksToSamplesF(const TempoMapRec* map, uint32_t rate, double ticks) {
  if (!Usable(map) || !(ticks == ticks)) return 0;
  const double perSecond = double(TimePerSecond(*map));
  if (ticks <= 0) return ClampDoubleToI64(std::ceil(ticks * map->Tempos.front().UsPerQuarter * rate / perSecond));
  const int32_t k = static_cast<int32_t>(std::min<double>(std::floor(ticks), kI32Max));
  const TempoWalk w = WalkTick(*map, &map->TicksToSamplesF, k);
  const double time = (ticks - w.SegTick) * w.Tempo + double(w.Time);
  return ClampDoubleToI64(std::ceil(time * rate / perSecond));
}

void TempoNormBbt(uint32_t num, uint32_t den, uint32_t ppq, BbtRec* bbt) {
  if (bbt != nullptr) *bbt = AddTicks(*bbt, 0, num, den, ppq);
}

void TempoTicksToBbt(const TempoMapRec* map, int32_t ticks, BbtRec* out) {
  if (out == nullptr) return;
  *out = {0, 0, 0};
  if (!Usable(map)) return;
  const int32_t k = std::max(ticks, 0);
  MeterTickCache* c = &map->TicksToBars;
  MeterWalk w = c->Key <= k ? c->Walk : MeterStart(*map);
  while (w.Next < map->Meters.size() && map->Meters[w.Next].Tick <= k) MeterStep(*map, &w, NextEventBbt(*map, w));
  *c = {k, w};
  *out = AddTicks(w.Seg, int64_t{k} - w.SegTick, w.Num, w.Den, map->Ppq);
}

int32_t TempoBbtToTicks(const TempoMapRec* map, const BbtRec& bbt) {
  if (!Usable(map)) return 0;
  MeterBbtCache* c = &map->BarsToTicks;
  MeterWalk w = !BbtBefore(bbt, c->Key) ? c->Walk : MeterStart(*map);
  while (w.Next < map->Meters.size()) {
    const BbtRec at = NextEventBbt(*map, w);
    if (BbtBefore(bbt, at)) break;
    MeterStep(*map, &w, at);
  }
  *c = {bbt, w};
  const int64_t tpb = TicksPerBeat(w.Den, map->Ppq);
  const int64_t beats = (int64_t{bbt.Bar} - w.Seg.Bar) * w.Num - w.Seg.Beat + bbt.Beat;
  const int64_t k = w.SegTick + beats * tpb - w.Seg.Tick + bbt.Tick;
  return static_cast<int32_t>(std::clamp<int64_t>(k, 0, kI32Max));
}

void TempoGetBpm(const TempoMapRec* map, uint32_t* bpm) {
  if (bpm == nullptr) return;
  *bpm = Usable(map) ? static_cast<uint32_t>(std::min<uint64_t>(kBpmScale / map->SamplesToTicks.Walk.Tempo, 0xFFFFFFFFu)) : 0;
}

void TempoGetMeter(const TempoMapRec* map, uint32_t* num, uint32_t* den) {
  const bool usable = Usable(map);
  if (num != nullptr) *num = usable ? map->TicksToBars.Walk.Num : 0;
  if (den != nullptr) *den = usable ? map->TicksToBars.Walk.Den : 0;
}
