#include "mixer/model/tempomap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "mixer/model/tests/tempo_fixture.h"

namespace {

constexpr uint32_t kRate = 48000;

bool operator==(const BbtRec& a, const BbtRec& b) { return a.Bar == b.Bar && a.Beat == b.Beat && a.Tick == b.Tick; }

TEST(TempoMapBuild, FillsTickZeroFromTheProject) {
  // No tempo and no meter in the file: the project's 120 BPM and 6/8.
  TempoMapPtr m = BuildTempoMap(960, {}, {}, 12000, 6, 8);
  ASSERT_EQ(m->Tempos.size(), 1u);
  EXPECT_EQ(m->Tempos[0].Tick, 0);
  EXPECT_EQ(m->Tempos[0].UsPerQuarter, 500000u);
  ASSERT_EQ(m->Meters.size(), 1u);
  EXPECT_EQ(m->Meters[0].Num, 6u);
  EXPECT_EQ(m->Meters[0].Den, 8u);

  // A first tempo at tick 960 gets one at tick 0 (90 BPM: 666666 us, truncated).
  m = BuildTempoMap(960, {{960, 400000}}, {}, 9000);
  ASSERT_EQ(m->Tempos.size(), 2u);
  EXPECT_EQ(m->Tempos[0].UsPerQuarter, 666666u);
  EXPECT_EQ(m->Tempos[1].Tick, 960);

  // A project tempo or meter of 0 cannot fill it: 120 BPM and 4/4 instead.
  m = BuildTempoMap(960, {}, {}, 0, 0, 0);
  EXPECT_EQ(m->Tempos[0].UsPerQuarter, 500000u);
  EXPECT_EQ(m->Meters[0].Num, 4u);
  EXPECT_EQ(m->Meters[0].Den, 4u);
}

TEST(TempoMapBuild, KeepsOneEventPerTickInOrderAndRefusesImpossibleOnes) {
  TempoMapPtr m(TempoMapNew());
  TempoMapSetPpq(m.get(), 480);
  for (auto [tick, us] : std::vector<std::pair<int32_t, uint32_t>>{
           {960, 1}, {0, 2}, {480, 3}, {960, 4}, {-20, 5}, {720, 0}, {1200, 0}})
    EXPECT_EQ(TempoMapAddTempo(m.get(), tick, us), 1);
  // The later event at a tick wins; a negative tick counts as 0; a zero
  // tempo is refused.
  const std::vector<std::pair<int32_t, uint32_t>> want{{0, 5}, {480, 3}, {960, 4}};
  ASSERT_EQ(m->Tempos.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(m->Tempos[i].Tick, want[i].first);
    EXPECT_EQ(m->Tempos[i].UsPerQuarter, want[i].second);
  }

  const struct {
    uint32_t num, den;
    bool kept;
  } meters[] = {{3, 4, true}, {0, 4, false}, {3, 0, false}, {3, 3, false},
                {3, 256, false}, {256, 4, false}, {255, 128, true}, {1, 1, true}};
  for (const auto& c : meters) {
    TempoMapPtr mm(TempoMapNew());
    TempoMapAddMeter(mm.get(), 0, c.num, c.den);
    EXPECT_EQ(mm->Meters.size(), c.kept ? 1u : 0u) << c.num << "/" << c.den;
  }
  TempoMapAddMeter(m.get(), 0, 3, 4);
  TempoMapAddMeter(m.get(), 0, 5, 8);  // numerator and denominator replaced together
  ASSERT_EQ(m->Meters.size(), 1u);
  EXPECT_EQ(m->Meters[0].Num, 5u);
  EXPECT_EQ(m->Meters[0].Den, 8u);
}

TEST(TempoMapConvert, TicksAndSamplesAcrossTempoChanges) {
  TempoMapPtr m = ChangingMap();
  const struct {
    int32_t tick, samples;
  } cases[] = {{0, 0},          {1, 25},         {3840, 96000},   {3841, 96013},
               {4800, 108000},  {7680, 144000},  {8640, 192000}};
  for (const auto& c : cases) {
    EXPECT_EQ(TempoTicksToSamples(m.get(), kRate, c.tick), c.samples) << c.tick;
    EXPECT_EQ(TempoSamplesToTicks(m.get(), kRate, c.samples), c.tick) << c.samples;
    // One sample early is still in the tick before.
    if (c.tick > 0) {
      EXPECT_EQ(TempoSamplesToTicks(m.get(), kRate, c.samples - 1), c.tick - 1) << c.samples;
    }
  }
  EXPECT_DOUBLE_EQ(TempoSamplesToTicksF(m.get(), kRate, 96000), 3840.0);
  EXPECT_DOUBLE_EQ(TempoSamplesToTicksF(m.get(), kRate, 96006), 3840.48);
  EXPECT_EQ(TempoTicksToSamplesF(m.get(), kRate, 3840.5), 96007);  // 96006.25 rounded up
  // At or below 0 the first tempo runs on backwards.
  EXPECT_DOUBLE_EQ(TempoSamplesToTicksF(m.get(), kRate, -48000), -1920.0);
  EXPECT_EQ(TempoTicksToSamplesF(m.get(), kRate, -960.0), -24000);
}

TEST(TempoMapConvert, BarsBeatsTicksAcrossMeterChanges) {
  TempoMapPtr m = ChangingMap();
  const struct {
    int32_t tick;
    BbtRec bbt;
  } cases[] = {{0, {0, 0, 0}},       {3839, {0, 3, 959}},  {3840, {1, 0, 0}},   {4320, {1, 1, 0}},
               {6720, {2, 0, 0}},    {9599, {2, 5, 479}},  {9600, {3, 0, 0}},   {12480, {4, 0, 0}},
               {12580, {4, 0, 100}}};
  for (const auto& c : cases) {
    BbtRec b;
    TempoTicksToBbt(m.get(), c.tick, &b);
    EXPECT_TRUE(b == c.bbt) << c.tick << ": " << b.Bar << "." << b.Beat << "." << b.Tick;
    EXPECT_EQ(TempoBbtToTicks(m.get(), c.bbt), c.tick) << c.tick;
  }
  // Under 6/8 at 960 per quarter a beat has 480 ticks and a bar 6 beats.
  TempoMapPtr six = BuildTempoMap(960, {}, {{0, 6, 8}});
  BbtRec b;
  TempoTicksToBbt(six.get(), 2880, &b);
  EXPECT_TRUE(b == (BbtRec{1, 0, 0}));

  // A meter change inside a bar carries on from where the old meter left
  // off: tick 1000 is bar 0, beat 1, tick 40 of 4/4, and 3/4 counts on.
  TempoMapPtr mid = BuildTempoMap(960, {}, {{0, 4, 4}, {1000, 3, 4}});
  TempoTicksToBbt(mid.get(), 2880, &b);
  EXPECT_TRUE(b == (BbtRec{1, 0, 0}));
  EXPECT_EQ(TempoBbtToTicks(mid.get(), {0, 1, 40}), 1000);
  EXPECT_EQ(TempoBbtToTicks(mid.get(), {1, 0, 0}), 2880);
}

TEST(TempoMapConvert, QueryOrderDoesNotChangeAnswers) {
  TempoMapPtr rising = ChangingMap(), other = ChangingMap();
  std::mt19937 rng(1234);
  std::vector<int32_t> points(300);
  for (int32_t& p : points) p = std::uniform_int_distribution<int32_t>(0, 700000)(rng);
  std::sort(points.begin(), points.end());

  struct Answer {
    int32_t ticks, samples;
    BbtRec bbt;
    int32_t back;
    double fticks;
    int64_t fsamples;
  };
  auto ask = [](const TempoMapRec* m, int32_t p) {
    Answer a;
    a.ticks = TempoSamplesToTicks(m, kRate, p);
    a.samples = TempoTicksToSamples(m, kRate, p / 20);
    TempoTicksToBbt(m, p / 20, &a.bbt);
    a.back = TempoBbtToTicks(m, a.bbt);
    a.fticks = TempoSamplesToTicksF(m, kRate, p);
    a.fsamples = TempoTicksToSamplesF(m, kRate, p / 20.0);
    return a;
  };
  std::vector<Answer> want;
  for (int32_t p : points) want.push_back(ask(rising.get(), p));

  // Falling, then shuffled, on a map whose caches the other queries left
  // anywhere.
  std::vector<size_t> order(points.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = order.size() - 1 - i;
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t i : order) {
      const Answer a = ask(other.get(), points[i]);
      EXPECT_EQ(a.ticks, want[i].ticks) << points[i];
      EXPECT_EQ(a.samples, want[i].samples) << points[i];
      EXPECT_TRUE(a.bbt == want[i].bbt) << points[i];
      EXPECT_EQ(a.back, want[i].back) << points[i];
      EXPECT_EQ(a.fticks, want[i].fticks) << points[i];
      EXPECT_EQ(a.fsamples, want[i].fsamples) << points[i];
    }
    std::shuffle(order.begin(), order.end(), rng);
  }

  // Every conversion inverts: a tick is longer than a sample here, so a
  // tick's first sample converts back to the tick, and a musical position
  // back to its tick.
  for (size_t i = 0; i < points.size(); ++i) {
    const int32_t k = points[i] / 20;
    EXPECT_EQ(TempoSamplesToTicks(other.get(), kRate, TempoTicksToSamples(other.get(), kRate, k)), k);
    EXPECT_EQ(want[i].back, k);
    const double f = TempoSamplesToTicksF(other.get(), kRate, TempoTicksToSamplesF(other.get(), kRate, k + 0.25));
    EXPECT_GE(f, k + 0.25);
    EXPECT_LT(f, k + 0.25 + 0.09);  // within a sample: at most 1/12.5 tick
  }
}

TEST(TempoMapConvert, ReportsTempoAndMeterOfTheLastConversion) {
  TempoMapPtr m = ChangingMap();
  uint32_t bpm = 0, num = 0, den = 0;
  TempoGetBpm(m.get(), &bpm);
  TempoGetMeter(m.get(), &num, &den);
  EXPECT_EQ(bpm, 12000u);
  EXPECT_EQ(num, 4u);
  EXPECT_EQ(den, 4u);

  TempoSamplesToTicks(m.get(), kRate, 100000);
  BbtRec b;
  TempoTicksToBbt(m.get(), 4000, &b);
  TempoGetBpm(m.get(), &bpm);
  TempoGetMeter(m.get(), &num, &den);
  EXPECT_EQ(bpm, 24000u);
  EXPECT_EQ(num, 6u);
  EXPECT_EQ(den, 8u);

  TempoSamplesToTicks(m.get(), kRate, 200000);  // past tick 7680: 60 BPM
  TempoGetBpm(m.get(), &bpm);
  EXPECT_EQ(bpm, 6000u);
}

TEST(TempoMapConvert, ClampsInsteadOfWrappingOrDividingByZero) {
  TempoMapPtr m = ChangingMap();
  EXPECT_EQ(TempoSamplesToTicks(m.get(), 0, 1000), 0);
  EXPECT_EQ(TempoSamplesToTicksF(m.get(), 0, 1000), 0.0);
  EXPECT_EQ(TempoTicksToSamples(m.get(), kRate, -5), 0);
  EXPECT_EQ(TempoTicksToSamples(m.get(), kRate, INT32_MAX), INT32_MAX);
  EXPECT_EQ(TempoSamplesToTicks(m.get(), 1, UINT32_MAX), INT32_MAX);
  BbtRec b{9, 9, 9};
  TempoTicksToBbt(m.get(), -5, &b);
  EXPECT_TRUE(b == (BbtRec{0, 0, 0}));
  EXPECT_EQ(TempoBbtToTicks(m.get(), {-1, 0, 0}), 0);
  TempoTicksToBbt(m.get(), INT32_MAX, &b);
  EXPECT_GT(b.Bar, 0);
  EXPECT_GE(b.Beat, 0);
  EXPECT_GE(b.Tick, 0);
  EXPECT_EQ(TempoBbtToTicks(m.get(), {INT32_MAX, 2, 0}), INT32_MAX);

  // A 128th-note beat at 24 ticks per quarter would have no ticks: it counts
  // as one tick per beat.
  BbtRec n{0, 0, 5};
  TempoNormBbt(3, 128, 24, &n);
  EXPECT_TRUE(n == (BbtRec{1, 2, 0}));
  TempoMapPtr tiny = BuildTempoMap(24, {}, {{0, 3, 128}});
  TempoTicksToBbt(tiny.get(), 7, &b);
  EXPECT_TRUE(b == (BbtRec{2, 1, 0}));

  // A map without a resolution converts nothing.
  TempoMapPtr none = BuildTempoMap(0, {}, {});
  EXPECT_EQ(TempoTicksToSamples(none.get(), kRate, 100), 0);
  EXPECT_EQ(TempoSamplesToTicks(none.get(), kRate, 100), 0);
}

}  // namespace
