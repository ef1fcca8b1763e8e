// Element modules' hot paths: the simulated DSP's writes and meter reads,
// the skin number parser and the fader and log scalings a window redraw runs.
#include <benchmark/benchmark.h>

#include <vector>

#include "elements/elemscale.h"
#include "elements/skin.h"
#include "sim/dsp/simdsp.h"

static void BM_SimDspProgram(benchmark::State& state) {
  SimDsp dsp;
  ELEMTYPEPROPINFO t{};
  t.AreaType[5] = kAreaProgram;
  t.AreaSize[5] = 1024;
  SimDspElement* e = dsp.Place(t);
  std::vector<uint32_t> words(1024, 0x123456);
  for (auto _ : state) {
    benchmark::DoNotOptimize(DspCommandBlock(e, kDspProgram, 5, 0, 1024, words.data()));
    dsp.ClearTrace();
  }
  state.SetItemsProcessed(state.iterations() * 1024);
}
BENCHMARK(BM_SimDspProgram);

static void BM_ParseSkinNumber(benchmark::State& state) {
  const char* texts[] = {"#FF8000", "0x10", "-5", "12abc", "b1010", "o777"};
  for (auto _ : state)
    for (const char* t : texts) {
      const char* c = t;
      benchmark::DoNotOptimize(ParseSkinNumber(&c));
    }
}
BENCHMARK(BM_ParseSkinNumber);

static void BM_FaderAndLogScale(benchmark::State& state) {
  for (auto _ : state)
    for (int32_t p = 0; p < 180; ++p) {
      benchmark::DoNotOptimize(FaderGainFromPos6(p, 180, 0));
      benchmark::DoNotOptimize(ScaleLogInv(p, 23979, 180, 0));
    }
}
BENCHMARK(BM_FaderAndLogScale);
