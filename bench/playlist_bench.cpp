// Compiling the play lists of every output track of a full arrangement:
// 16384 Parts over 192 tracks, each track on its own output, overlapping in
// random layers, with a crossfade between every pair of neighbours that
// overlap in time. The target is well under one timer tick (50 ms).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "mixer/model/arr.h"
#include "mixer/model/arrheap.h"
#include "mixer/units/playlist.h"

namespace {

uint64_t gEvents = 0;

ArrRec* FullArrangement() {
  static ArrRec* arr = [] {
    ArrRec* a = ArrNew(nullptr);
    ArrReserveParts(&a, kArrMaxParts, 1, nullptr);
    std::mt19937 rng(1);
    std::uniform_int_distribution<int32_t> start(0, 600 * 48000);
    std::uniform_int_distribution<int32_t> length(10000, 400000);
    std::uniform_int_distribution<int> layer(0, 15);
    std::uniform_int_distribution<uint32_t> gain(8192, 40000);
    PartRec part;
    std::memset(&part, 0, sizeof part);
    part.TakeKind = 3;
    part.XfadeInPartner = part.XfadeOutPartner = kArrNoLink;
    part.XfadeInWindow[1] = part.XfadeOutWindow[1] = 255;
    for (uint32_t i = 0; i < kArrMaxParts; ++i) {
      part.Start = start(rng);
      part.Length = length(rng);
      part.Layer = static_cast<int16_t>(layer(rng));
      part.Take = i + 1;
      part.GainStart = gain(rng);
      part.GainEnd = gain(rng);
      part.PlayChannel = static_cast<int32_t>(i % kPlayChannels) + 1;
      ArrInsertPart(&a, part, nullptr, i % kPlayChannels, nullptr);
    }
    ArrRelinkOverlaps(a);
    // Crossfades between list neighbours that overlap.
    for (uint32_t t = 0; t < kPlayChannels; ++t) {
      uint32_t prev = kArrNoSlot;
      ArrForEachTrackPart(a, t, [&](uint32_t slot, const PartRec& p) {
        PartRec* q = prev == kArrNoSlot ? nullptr : ArrPart(a, prev);
        if (q && q->XfadeOutPartner == kArrNoLink && q->Start < p.Start &&
            int64_t{q->Start} + q->Length > p.Start && int64_t{q->Start} + q->Length < int64_t{p.Start} + p.Length) {
          q->XfadeOutPartner = static_cast<uint16_t>(slot);
          ArrPart(a, slot)->XfadeInPartner = static_cast<uint16_t>(prev);
        }
        prev = slot;
      });
    }
    return a;
  }();
  return arr;
}

void BM_CompileEachTrack(benchmark::State& state) {
  ArrRec* arr = FullArrangement();
  gEvents = 0;
  for (auto _ : state) {
    for (int32_t channel = 1; channel <= kPlayChannels; ++channel)
      benchmark::DoNotOptimize(CompileTrackPlayList(arr, channel, -1));
  }
  state.counters["events"] = benchmark::Counter(static_cast<double>(gEvents) / state.iterations());
}
BENCHMARK(BM_CompileEachTrack)->Unit(benchmark::kMillisecond);

void BM_CompileAllTracks(benchmark::State& state) {
  ArrRec* arr = FullArrangement();
  gEvents = 0;
  for (auto _ : state) benchmark::DoNotOptimize(CompileAllPlayLists(arr));
  state.counters["events"] = benchmark::Counter(static_cast<double>(gEvents) / state.iterations());
}
BENCHMARK(BM_CompileAllTracks)->Unit(benchmark::kMillisecond);

}  // namespace

// The lists go nowhere; their events are counted.
int SendTrackPlayList(int32_t, const PlayList* list, int32_t) {
  gEvents += list->Count0 + list->Count1;
  return 1;
}
