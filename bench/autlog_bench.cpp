// The automation log read by location: a million events looked up one after
// another from the log's cursor, and played through a view by locator steps.
#include <benchmark/benchmark.h>

#include "logs/qvMxAut/autlog.h"

namespace {

constexpr uint32_t kEvents = 1000000;
constexpr uint32_t kSpacing = 10;  // samples between events

class StillClock : public AutSystem {
 public:
  uint32_t NowMs() override { return ++now; }
  bool MouseCaptured() override { return false; }
  uint32_t now = 100000;
};

void Ignore(void*, uint32_t, int32_t) {}

AutLogHandle FillLog(AutEngine& eng) {
  AutLogHandle log = 0;
  eng.CreateLog(&log);
  for (uint32_t i = 0; i < kEvents; ++i) {
    AutLogKnobEvent e{0, i * kSpacing, static_cast<int32_t>(i % 1000), 0};
    eng.AddLogKnobEvent(log, &e);
  }
  return log;
}

void BM_AutNextEventByLocation(benchmark::State& state) {
  StillClock clock;
  AutEngine eng(clock);
  const AutLogHandle log = FillLog(eng);
  AutLogKnobEvent out{};
  for (auto _ : state) {
    for (uint32_t at = 0; at < kEvents * kSpacing; at += kSpacing) {
      benchmark::DoNotOptimize(eng.GetNxtLogKnobEventFromLoc(log, 0, at, &out));
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kEvents);
}
BENCHMARK(BM_AutNextEventByLocation)->Unit(benchmark::kMillisecond);

// Locator steps of `range(0)` samples over a glide knob's log: every event
// is passed once, and the knob glides between them.
void BM_AutPlayByLocator(benchmark::State& state) {
  StillClock clock;
  AutEngine eng(clock);
  eng.Init(&Ignore, nullptr);
  const AutLogHandle log = FillLog(eng);
  AutKnobDesc desc{1, {0, 0, 0}};
  AutKnobHandle knob = 0;
  eng.CreateKnob(1, &desc, &knob);
  eng.SetKnobTrkAndIndx(knob, 0, 0);
  eng.SetKnobAutomEnableMode(knob, 1);
  AutMapHandle map = 0;
  eng.CreatePlayLogKnobMap(1, &map);
  eng.SetPlayLogKnobMapValue(map, 0, knob);
  AutViewListHandle list = 0;
  eng.CreateViewList(0, 0, &list);
  AutView view{0, kEvents * kSpacing, 0, log, map};
  eng.AddView(list, &view);
  const uint32_t step = static_cast<uint32_t>(state.range(0));
  for (auto _ : state) {
    eng.SetLocator(0, 1);
    for (uint32_t at = step; at < kEvents * kSpacing; at += step) eng.SetLocator(at, 0);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kEvents);
}
BENCHMARK(BM_AutPlayByLocator)->Arg(7)->Arg(960)->Unit(benchmark::kMillisecond);

}  // namespace
