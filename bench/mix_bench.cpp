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

class StillClock : public AutSystem {
 public:
  uint32_t NowMs() override { return 0; }
  bool MouseCaptured() override { return false; }
};

// The automation engine as the mixer reaches it.
class EngineAut : public MixAutLib {
 public:
  explicit EngineAut(AutEngine& e) : e_(e) {}
  int32_t SetRecordMode(uint32_t m) override { return e_.SetRecordMode(m); }
  int32_t StartPlayRec() override { return e_.StartPlayRec(); }
  int32_t StopPlayRec(uint32_t f, uint32_t l) override { return e_.StopPlayRec(f, l); }
  int32_t SetLocator(uint32_t l, uint32_t c) override { return e_.SetLocator(l, c); }
  int32_t CreateKnob(uint32_t id, const AutKnobDesc* d, AutKnobHandle* o) override { return e_.CreateKnob(id, d, o); }
  int32_t DeleteKnob(AutKnobHandle k) override { return e_.DeleteKnob(k); }
  int32_t SetKnobAutomEnableMode(AutKnobHandle k, uint32_t m) override { return e_.SetKnobAutomEnableMode(k, m); }
  int32_t SetKnobValue(AutKnobHandle k, int32_t v, uint32_t l, uint32_t c) override {
    return e_.SetKnobValue(k, v, l, c);
  }
  int32_t SetKnobTrkAndIndx(AutKnobHandle k, uint32_t t, uint32_t i) override { return e_.SetKnobTrkAndIndx(k, t, i); }
  int32_t CopyLog(AutLogHandle* o, AutLogHandle s, uint32_t a, uint32_t b) override { return e_.CopyLog(o, s, a, b); }
  int32_t ReduceLogKnobEvents(AutLogHandle l, int32_t k, uint32_t a, uint32_t b, uint32_t t) override {
    return e_.ReduceLogKnobEvents(l, k, a, b, t);
  }
  int32_t AddLogKnobEvent(AutLogHandle l, const AutLogKnobEvent* ev) override { return e_.AddLogKnobEvent(l, ev); }
  int32_t DeleteLogKnobEvent(AutLogHandle l, int32_t k, uint32_t loc) override {
    return e_.DeleteLogKnobEvent(l, k, loc);
  }
  int32_t DeleteLog(AutLogHandle l) override { return e_.DeleteLog(l); }
  int32_t DeleteRecordLogKnobMap(AutMapHandle m) override { return e_.DeleteRecordLogKnobMap(m); }
  int32_t GetRecordLogKnobMapValue(AutMapHandle m, int32_t i, int32_t* k, int32_t* w) override {
    return e_.GetRecordLogKnobMapValue(m, i, k, w);
  }
  int32_t GetPrvLogKnobEventFromLoc(AutLogHandle l, int32_t k, uint32_t loc, AutLogKnobEvent* o) override {
    return e_.GetPrvLogKnobEventFromLoc(l, k, loc, o);
  }
  int32_t GetNxtLogKnobEventFromLoc(AutLogHandle l, int32_t k, uint32_t loc, AutLogKnobEvent* o) override {
    return e_.GetNxtLogKnobEventFromLoc(l, k, loc, o);
  }

 private:
  AutEngine& e_;
};

struct FullMix {
  MixFixture fixture;
  StillClock clock;
  AutEngine engine{clock};
  EngineAut aut{engine};
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
