// The arrange window's drawing arithmetic: ruler ticks and grid ceilings
// (bars/beats through the fixed tempo and through a tempo and meter map,
// time code with drop-frame numbering) and display points from the peaks
// of a Take's samples.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "mixer/arrange/arrruler.h"
#include "mixer/arrange/wavepoints.h"
#include "mixer/model/tempomap.h"
#include "mixer/model/timecode.h"

namespace {

ArrRulerCtx Plain(uint32_t rate = 48000, uint32_t tempo = 12000, int32_t num = 4, int32_t den = 4) {
  return ArrRulerCtx{rate, tempo, num, den, kFr25, 0, nullptr};
}

ArrGridRec Grid(int32_t labelUnit, int32_t labelStep, int32_t tickUnit, int32_t tickStep) {
  ArrGridRec g{};
  g.Unit[0] = labelUnit;
  g.Step[0] = labelStep;
  g.Unit[1] = g.Unit[2] = tickUnit;
  g.Step[1] = g.Step[2] = tickStep;
  return g;
}

struct Want {
  int64_t pos;
  const char* text;
  int label;
};

void Expect(const std::vector<ArrRulerTick>& got, const std::vector<Want>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(got[i].Pos, want[i].pos);
    EXPECT_EQ(std::string(got[i].Text), want[i].text);
    EXPECT_EQ(got[i].Label, want[i].label);
  }
}

TEST(ArrRuler, FixedTempoBeatsAreLabelledOnBars) {
  // 120 BPM at 48 kHz: a quarter note is 24000 samples.
  std::vector<ArrRulerTick> t;
  ArrBbtTicks(Plain(), Grid(0, 1, 1, 1), 1, 1, 96000, &t);
  Expect(t, {{24000, "1.2", 0}, {48000, "1.3", 0}, {72000, "1.4", 0}, {96000, "2", 1}});
  // Every second bar labelled; eighth notes (beat fraction 2) as ticks.
  t.clear();
  ArrBbtTicks(Plain(), Grid(0, 2, 2, 2), 1, 84000, 192000, &t);
  Expect(t, {{84000, "1.4.480", 0}, {96000, "2", 0}, {108000, "2.1.480", 0}, {120000, "2.2", 0},
             {132000, "2.2.480", 0}, {144000, "2.3", 0}, {156000, "2.3.480", 0}, {168000, "2.4", 0},
             {180000, "2.4.480", 0}, {192000, "3", 1}});
}

TEST(ArrRuler, TempoMapMovesBeatsAndBars) {
  // Bar 1 in 4/4 at 120 BPM, then 3/4 at 60 BPM from bar 2 (tick 3840).
  TempoMapRec* map = TempoMapNew();
  ASSERT_NE(map, nullptr);
  TempoMapSetPpq(map, 960);
  TempoMapAddTempo(map, 0, 500000);
  TempoMapAddTempo(map, 3840, 1000000);
  TempoMapAddMeter(map, 0, 4, 4);
  TempoMapAddMeter(map, 3840, 3, 4);
  ASSERT_TRUE(TempoMapFinish(map, 12000, 4, 4));
  ArrRulerCtx c = Plain();
  c.Map = map;
  std::vector<ArrRulerTick> t;
  ArrBbtTicks(c, Grid(0, 1, 1, 1), 1, 60000, 300000, &t);
  Expect(t, {{72000, "1.4", 0}, {96000, "2", 1}, {144000, "2.2", 0}, {192000, "2.3", 0}, {240000, "3", 1},
             {288000, "3.2", 0}});
  // The grid ceiling follows the map too; a position on the grid stays.
  EXPECT_EQ(BbtGridCeil(c, 0, 1, 96001), 240000);
  EXPECT_EQ(BbtGridCeil(c, 1, 1, 144000), 144000);
  EXPECT_EQ(BbtGridCeil(c, 3, 480, 96001), 120000);
  TempoMapFree(map);
}

TEST(ArrRuler, GridCeilingsWithoutAMap) {
  const ArrRulerCtx c = Plain();
  const struct {
    int32_t unit, step;
    int64_t pos, want;
  } cases[] = {
      {0, 1, 0, 0},          {0, 1, 1, 96000},       {0, 2, 96000, 192000}, {1, 1, 24000, 24000},
      {1, 2, 24001, 48000},  {1, 3, 80000, 96000},   {2, 3, 1, 8000},       {3, 960, 23999, 24000},
      {3, 1, 26, 50},  // one tick is 25 samples
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.pos);
    EXPECT_EQ(BbtGridCeil(c, k.unit, k.step, k.pos), k.want);
  }
}

TEST(ArrRuler, DropFrameMinutesStartAtFrameTwo) {
  // 29.97 drop-frame at 48 kHz; positions are the time code's first sample.
  ArrRulerCtx c = Plain();
  c.FrameRate = kFr2997Df;
  auto at = [](int m, int s, int f) {
    const TcRec t{0, static_cast<uint8_t>(m), static_cast<uint8_t>(s), static_cast<uint8_t>(f), 0};
    return int64_t{TimeCodeToLoc64(t, nullptr, 48000, kFr2997Df)};
  };
  // After 00:00:59:29 comes 00:01:00:02, the first frame of minute 1.
  EXPECT_NEAR(at(1, 0, 2) - at(0, 59, 29), 1601.6, 1.0);
  std::vector<ArrRulerTick> t;
  ArrTcTicks(c, Grid(1, 1, 0, 1), 1, at(0, 59, 28), at(1, 0, 3), &t);
  Expect(t, {{at(0, 59, 28), "00:00:59:28", 0},
             {at(0, 59, 29), "00:00:59:29", 0},
             {at(1, 0, 2), "00:01:00:02", 1},
             {at(1, 0, 3), "00:01:00:03", 0}});
  // Minute ten keeps its frames 0 and 1.
  t.clear();
  ArrTcTicks(c, Grid(2, 1, 2, 1), 1, at(9, 59, 29), at(10, 0, 0), &t);
  Expect(t, {{at(10, 0, 0), "00:10:00:00", 1}});
  // Ceilings: seconds by ten and frames by five reach minute 1 at frame 2.
  EXPECT_EQ(TcGridCeil(c, 1, 10, at(0, 59, 20)), at(1, 0, 2));
  EXPECT_EQ(TcGridCeil(c, 0, 5, at(0, 59, 29) + 1), at(1, 0, 2));
  EXPECT_EQ(TcGridCeil(c, 0, 5, at(1, 0, 2) + 1), at(1, 0, 5));
}

TEST(ArrRuler, TimeCodeOffsetAndNonDropLabels) {
  // 25 fps with an offset of one hour: position 0 is 01:00:00:00.
  ArrRulerCtx c = Plain();
  c.TcOffset = 3600u * 48000u;
  std::vector<ArrRulerTick> t;
  ArrTcTicks(c, Grid(1, 1, 0, 10), 1, 0, 48000, &t);
  Expect(t, {{0, "01:00:00:00", 1}, {19200, "01:00:00:10", 0}, {38400, "01:00:00:20", 0}, {48000, "01:00:01:00", 1}});
}

// Peaks of a sample array as the native layer's envelope call gives them:
// `count` pairs of `step` samples from `from` (past the end: zeros).
std::vector<WvfEntry> Peaks(const std::vector<int16_t>& s, const WavePeakFetch& f) {
  std::vector<WvfEntry> out;
  for (int64_t k = 0; k < f.count; ++k) {
    int16_t hi = INT16_MIN, lo = INT16_MAX;
    for (int64_t i = f.from + k * f.step; i < f.from + (k + 1) * f.step; ++i) {
      const int16_t v = i < static_cast<int64_t>(s.size()) ? s[static_cast<size_t>(i)] : 0;
      hi = std::max(hi, v);
      lo = std::min(lo, v);
    }
    out.push_back({hi, lo});
  }
  return out;
}

TEST(ArrWaveSamples, PointsFromSamplePeaksMatchTheColumnsPeaks) {
  // A sawtooth: sample i is (i % 1000) x 20 - 10000.
  std::vector<int16_t> s(200000);
  for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<int16_t>(static_cast<int>(i % 1000) * 20 - 10000);
  const struct {
    int64_t start;
    int32_t columns;
    int64_t length;
  } cases[] = {{3000, 100, 100 * 300}, {3000, 100, 100 * 300 + 77}, {0, 10, 5000},
               {250, 64, 64 * 1000}, {250, 64, 64 * 1000 + 999}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    const WavePeakFetch f = WavePeaksFor(c.start, c.columns, c.length);
    EXPECT_EQ(f.step, c.length / c.columns);
    const std::vector<WvfEntry> e = Peaks(s, f);
    std::vector<int16_t> pts(2 * static_cast<size_t>(c.columns));
    ASSERT_TRUE(WavePointsFromSteps(e.data(), static_cast<uint32_t>(e.size()), f.step, f.startInFetch, c.columns,
                                    c.length, pts.data()));
    for (int32_t i = 0; i < c.columns; ++i) {
      // The samples the column covers, by the same MulDiv split.
      const int64_t a = c.start + c.length * i / c.columns, b = c.start + c.length * (i + 1) / c.columns;
      int16_t hi = INT16_MIN, lo = INT16_MAX;
      for (int64_t k = a; k < b; ++k) {
        hi = std::max(hi, s[static_cast<size_t>(k)]);
        lo = std::min(lo, s[static_cast<size_t>(k)]);
      }
      // One step per column gives the column's own peaks; merged steps
      // may reach a little past its samples, never short of them.
      if (c.length == f.step * c.columns) {
        EXPECT_EQ(pts[2 * i], hi) << i;
        EXPECT_EQ(pts[2 * i + 1], lo) << i;
      }
      EXPECT_GE(pts[2 * i], hi) << i;
      EXPECT_LE(pts[2 * i + 1], lo) << i;
      EXPECT_LE(pts[2 * i] - hi, 20 * 2 * f.step) << i;
    }
  }
}

TEST(ArrWaveSamples, MoreColumnsThanSamplesInterpolate) {
  // 4 samples over 8 columns: a step of 1, the pair before the start is
  // fetched; at the Take's first sample a zero pair stands before it.
  const std::vector<int16_t> s = {1000, 3000, 5000, 7000, 9000, 11000};
  WavePeakFetch f = WavePeaksFor(2, 8, 4);
  EXPECT_EQ(f.step, 1);
  EXPECT_EQ(f.from, 1);
  std::vector<WvfEntry> e = Peaks(s, f);
  std::vector<int16_t> pts(16);
  ASSERT_TRUE(WavePointsFromSteps(e.data(), static_cast<uint32_t>(e.size()), f.step, f.startInFetch, 8, 4,
                                  pts.data()));
  // Column 0 starts on sample 2: the pair of sample 1, then halfway on.
  EXPECT_EQ(pts[0], 3000);
  EXPECT_EQ(pts[2], 3000);
  EXPECT_EQ(pts[4], 5000);
  f = WavePeaksFor(0, 4, 2);
  EXPECT_EQ(f.from, 0);
  e = Peaks(s, f);
  ASSERT_TRUE(WavePointsFromSteps(e.data(), static_cast<uint32_t>(e.size()), f.step, f.startInFetch, 4, 2,
                                  pts.data()));
  EXPECT_EQ(pts[0], 0);
  EXPECT_EQ(pts[4], 1000);
}

}  // namespace
