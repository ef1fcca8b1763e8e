// The arrangement's hot walks on a full arrangement: 16384 Parts over 192
// tracks, overlapping in random layers.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

#include "mixer/model/arr.h"
#include "mixer/model/arrheap.h"

namespace {

constexpr uint32_t kBenchTracks = 192;

// Built once: about 85 Parts a track, starts spread over 10 minutes at
// 48 kHz, lengths from 0.2 s to 8 s, so that neighbours overlap in layers
// 0..15.
ArrRec* FullArrangement() {
  static ArrRec* arr = [] {
    ArrRec* a = ArrNew(nullptr);
    ArrReserveParts(&a, kArrMaxParts, 1, nullptr);
    std::mt19937 rng(1);
    std::uniform_int_distribution<int32_t> start(0, 600 * 48000);
    std::uniform_int_distribution<int32_t> length(10000, 400000);
    std::uniform_int_distribution<int> layer(0, 15);
    PartRec part;
    std::memset(&part, 0, sizeof part);
    part.TakeKind = 3;
    part.XfadeInPartner = part.XfadeOutPartner = kArrNoLink;
    for (uint32_t i = 0; i < kArrMaxParts; ++i) {
      part.Start = start(rng);
      part.Length = length(rng);
      part.Layer = static_cast<int16_t>(layer(rng));
      part.Take = i + 1;
      ArrInsertPart(&a, part, nullptr, i % kBenchTracks, nullptr);
    }
    ArrRelinkOverlaps(a);
    return a;
  }();
  return arr;
}

// Every visible section of every track, as the play-list compiler walks them.
void BM_WalkVisibleSections(benchmark::State& state) {
  const ArrRec* arr = FullArrangement();
  for (auto _ : state) {
    int64_t sections = 0;
    for (uint32_t track = 0; track < kBenchTracks; ++track) {
      ArrSection s = {-1, 0, 0};
      while (ArrNxtVisibleSection(arr, track, &s)) ++sections;
    }
    benchmark::DoNotOptimize(sections);
  }
}
BENCHMARK(BM_WalkVisibleSections)->Unit(benchmark::kMicrosecond);

void BM_RelinkOverlaps(benchmark::State& state) {
  ArrRec* arr = FullArrangement();
  for (auto _ : state) {
    ArrRelinkOverlaps(arr);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_RelinkOverlaps)->Unit(benchmark::kMicrosecond);

}  // namespace
