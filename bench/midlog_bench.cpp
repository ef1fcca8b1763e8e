// MIDI logs: a million events inserted, read back and turned into a play
// list. Items are events; Google Benchmark reports them per second.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "logs/qvMidRec/midlog.h"

namespace {

constexpr int64_t kEvents = 1000000;

MidiLogEvent EventAt(int64_t i) {
  MidiLogEvent e{};
  e.position = static_cast<uint32_t>(i * 4);
  e.kind = static_cast<uint8_t>(i % 3 == 0 ? kMidiNote : kMidiControl);
  e.data1 = static_cast<uint8_t>(i % 128);
  e.data2 = 100;
  e.value = e.kind == kMidiNote ? 8 : 0;
  return e;
}

MidiLogHandle FilledLog() {
  MidiLogHandle log = 0;
  MidiCreateLog(&log, 0);
  for (int64_t i = 0; i < kEvents; ++i) {
    const MidiLogEvent e = EventAt(i);
    MidiAddLogEvent(log, &e);
  }
  return log;
}

// Recorded order: each event after the last.
void BM_MidiLogInsertInOrder(benchmark::State& state) {
  for (auto _ : state) {
    const MidiLogHandle log = FilledLog();
    state.PauseTiming();
    MidiDeleteLog(log);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kEvents);
}
BENCHMARK(BM_MidiLogInsertInOrder)->Unit(benchmark::kMillisecond);

// Editing order: each event a little before or after the one added before
// it, so the cursor walks a few steps either way.
void BM_MidiLogInsertNearCursor(benchmark::State& state) {
  for (auto _ : state) {
    MidiLogHandle log = 0;
    MidiCreateLog(&log, 0);
    for (int64_t i = 0; i < kEvents; ++i) {
      MidiLogEvent e = EventAt(i);
      e.position = static_cast<uint32_t>(i * 4 + (i % 2 == 0 ? 9 : -3));
      MidiAddLogEvent(log, &e);
    }
    state.PauseTiming();
    MidiDeleteLog(log);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kEvents);
}
BENCHMARK(BM_MidiLogInsertNearCursor)->Unit(benchmark::kMillisecond);

// Reading back for drawing: first event from a position, then each next one.
void BM_MidiLogReadBackByWalk(benchmark::State& state) {
  const MidiLogHandle log = FilledLog();
  for (auto _ : state) {
    MidiLogEvent e{};
    MidiEventHandle node = 0;
    int64_t n = MidiGetLogFirstEqualOrNxtEventFromTickPos(log, 0, 0, &e, &node);
    while (MidiGetLogNxtEvent(node, 0, &e, &node) == 1) ++n;
    benchmark::DoNotOptimize(n);
  }
  state.SetItemsProcessed(state.iterations() * kEvents);
  MidiDeleteLog(log);
}
BENCHMARK(BM_MidiLogReadBackByWalk)->Unit(benchmark::kMillisecond);

// Reading back for saving: the whole log in one copy.
void BM_MidiLogReadBackAll(benchmark::State& state) {
  const MidiLogHandle log = FilledLog();
  std::vector<MidiLogEvent> out(kEvents);
  for (auto _ : state) {
    int32_t n = static_cast<int32_t>(kEvents);
    MidiGetAllLogEvents(log, &n, out.data());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * kEvents);
  MidiDeleteLog(log);
}
BENCHMARK(BM_MidiLogReadBackAll)->Unit(benchmark::kMillisecond);

// The play list of a track whose view shows the whole log.
void BM_MidiLogBuildPlayList(benchmark::State& state) {
  const MidiLogHandle log = FilledLog();
  MidiViewListHandle list = 0;
  MidiCreateViewList(0, 0, &list);
  const MidiView view{0, UINT32_MAX, 0, log};
  MidiAddView(list, &view);
  for (auto _ : state) {
    const MidiPlayList play = BuildPlayList(0, 0, 1);
    state.PauseTiming();
    FreePlayList(play);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kEvents);
  MidiDeleteViewList(list);
  MidiDeleteLog(log);
}
BENCHMARK(BM_MidiLogBuildPlayList)->Unit(benchmark::kMillisecond);

}  // namespace
