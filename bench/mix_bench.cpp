// Writing and reading a mix of 127 columns, each a full chain of elements
// (input, three effects, send, output), against in-process element modules
// and the automation engine behind the knobs.
#include <benchmark/benchmark.h>

#include <vector>

#include "logs/qvMxAut/autlog.h"
#include "mixer/mix/mixaut.h"
#include "mixer/mix/mixfile.h"
#include "mixer/mix/tests/mixfake.h"

namespace {

struct FullMix {
  MixFixture fixture;
  EngineAutLib aut;
  MixDoc* doc = nullptr;
  FullMix() {
    fixture.host.units = 1;
    MixSetAutLib(&aut);
    doc = MixDocCreate(0);
    const uint32_t chain[] = {kFakeInput, kFakeEffect, kFakeEffect, kFakeEffect, kFakeSend, kFakeOutput};
    for (int c = 0; c <= kMixMaxColumn; ++c) {
      MixColumn* col = MixColumnCreate(doc, c, "Strip", 0, 0);
      int y = 0;
      for (uint32_t type : chain) {
        MixElem* e = MixElemCreate(type, col, y, 0, 0, 0);
        e->Routing = MixEncodeRouting(0, 1, c % 28);
        y += 25;
      }
    }
  }
  ~FullMix() {
    MixDocDestroy(doc);
    MixSetAutLib(&fixture.aut);
  }
};

void BM_WriteMix127(benchmark::State& state) {
  FullMix mix;
  std::vector<uint8_t> image;
  uint32_t length = 0;
  for (auto _ : state) {
    MixBuildImage(mix.doc, &image, &length);
    benchmark::DoNotOptimize(image.data());
  }
  state.counters["bytes"] = length;
}
BENCHMARK(BM_WriteMix127)->Unit(benchmark::kMillisecond);

void BM_ReadMix127(benchmark::State& state) {
  FullMix mix;
  std::vector<uint8_t> image;
  uint32_t length = 0;
  MixBuildImage(mix.doc, &image, &length);
  for (auto _ : state) {
    std::vector<uint8_t> copy(image.begin(), image.begin() + length);
    MixDoc* doc = MixOpenImage(copy.data(), length, 0);
    benchmark::DoNotOptimize(doc);
    state.PauseTiming();
    MixDocDestroy(doc);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ReadMix127)->Unit(benchmark::kMillisecond);

}  // namespace
