// Visible sections, section edges and visibility of spans, checked on small
// fixtures and against a per-sample brute force on random arrangements.
#include <algorithm>
#include <numeric>
#include <random>

#include "arr_fixture.h"
#include "mixer/model/util/fade.h"

namespace {

struct Spec {
  int32_t start, length;
  int16_t layer;
};

class SectionTest : public ArrTest {
 protected:
  std::vector<uint32_t> Build(uint32_t track, std::initializer_list<Spec> parts) {
    std::vector<uint32_t> slots;
    for (const Spec& p : parts) slots.push_back(Add(track, p.start, p.length, p.layer));
    ArrRelinkOverlaps(arr);
    return slots;
  }
};

TEST_F(SectionTest, CoveredAndSplitParts) {
  // 0: [0, 100) under 1: [40, 60); 2: [200, 220) under 3: [190, 230).
  auto s = Build(0, {{0, 100, 0}, {40, 20, 1}, {200, 20, 0}, {190, 40, 5}});
  std::vector<ArrSection> expected = {{int32_t(s[0]), 0, 40},
                                      {int32_t(s[1]), 40, 20},
                                      {int32_t(s[0]), 60, 40},
                                      {int32_t(s[3]), 190, 40}};
  EXPECT_EQ(Sections(0), expected);

  ArrSection sec;
  EXPECT_EQ(PartVisibleEnd(arr, s[2], 205, &sec), 0);  // fully covered
  EXPECT_EQ(sec, (ArrSection{-1, 0, 0}));
  EXPECT_EQ(PartVisibleEnd(arr, s[0], 70, &sec), 1);
  EXPECT_EQ(sec, (ArrSection{int32_t(s[0]), 60, 40}));
  EXPECT_EQ(PartVisibleEnd(arr, s[0], 50, &sec), 0);
  EXPECT_EQ(PartVisibleEnd(arr, s[0], 100, &sec), 0);  // past the end
}

TEST_F(SectionTest, LowerPartShowsAroundAHigherOneThatStartsFirst) {
  // A higher Part starting first; the lower one shows after it ends.
  auto s = Build(1, {{0, 50, 3}, {20, 100, 1}, {130, 10, 0}});
  std::vector<ArrSection> expected = {
      {int32_t(s[0]), 0, 50}, {int32_t(s[1]), 50, 70}, {int32_t(s[2]), 130, 10}};
  EXPECT_EQ(Sections(1), expected);
  EXPECT_TRUE(Sections(2).empty());
}

TEST_F(SectionTest, SpanVisibilityAndPartsAtEdges) {
  // 0: [0, 100) layer 0; 1: [20, 40) layer 2; 2: [40, 60) layer 1; 3: [100, 150).
  auto s = Build(0, {{0, 100, 0}, {20, 20, 2}, {40, 20, 1}, {100, 50, 0}});
  struct Case {
    uint32_t part;
    int32_t from, to;
    int visible;
  } cases[] = {
      {s[0], 0, 20, 1},   {s[0], 20, 60, 0},  {s[0], 20, 61, 1}, {s[0], 10, 30, 1},
      {s[2], 40, 60, 1},  {s[2], 30, 45, 1},  {s[1], 20, 40, 1}, {s[0], 30, 30, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PartSpanIsVisible(arr, 0, c.part, c.from, c.to), c.visible)
        << c.part << " [" << c.from << ", " << c.to << ")";

  EXPECT_EQ(TrkPartStartingAt(arr, 0, 0), int32_t(s[0]));
  EXPECT_EQ(TrkPartStartingAt(arr, 0, 40), int32_t(s[2]));
  EXPECT_EQ(TrkPartStartingAt(arr, 0, 41), -1);
  EXPECT_EQ(TrkPartEndingAt(arr, 0, 40), int32_t(s[1]));
  EXPECT_EQ(TrkPartEndingAt(arr, 0, 100), int32_t(s[0]));
  EXPECT_EQ(TrkPartEndingAt(arr, 0, 150), int32_t(s[3]));
  // s[2] ends at 60 under nothing; a Part ending under a higher one is not visible there.
  Add(0, 50, 20, 5);
  ArrRelinkOverlaps(arr);
  EXPECT_EQ(TrkPartEndingAt(arr, 0, 60), -1);
}

TEST_F(SectionTest, SectionEdgesOverTracks) {
  Build(0, {{100, 50, 0}});
  Build(1, {{120, 100, 0}, {150, 10, 1}});
  CurArr = arr;
  struct Case {
    int32_t position;
    int forward;
    int32_t edge;
  } cases[] = {
      {0, 1, 100},    {110, 1, 120},  {125, 1, 150},  {150, 1, 160},  {230, 1, 230},
      {230, 0, 220},  {155, 0, 150},  {100, 0, 100},  {130, 0, 120},  {0, 0, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ArrNxtSectionEdge(c.position, c.forward), c.edge)
        << c.position << (c.forward ? " forward" : " back");
  CurArr = nullptr;
  EXPECT_EQ(ArrNxtSectionEdge(77, 1), 77);
}

// The nearest edge by brute force over the oracle's sections of all tracks.
int32_t OracleEdge(const std::vector<std::vector<ArrSection>>& tracks, int32_t position,
                   bool forward) {
  bool any = false;
  int32_t best = position;
  for (const auto& sections : tracks) {
    int32_t edge = 0;
    bool has = false;
    for (const ArrSection& s : sections) {
      int32_t end = s.Start + s.Length;
      if (forward && (s.Start > position || end > position)) {
        edge = s.Start > position ? s.Start : end;
        has = true;
        break;
      }
      if (!forward && s.Start < position) {
        edge = end < position ? end : s.Start;
        has = true;
      }
    }
    if (!has) continue;
    best = !any ? edge : forward ? std::min(best, edge) : std::max(best, edge);
    any = true;
  }
  return best;
}

TEST_F(SectionTest, RandomArrangementsMatchTheBruteForce) {
  constexpr int32_t kLimit = 400;
  constexpr uint32_t kTracks = 3;
  std::mt19937 rng(7);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int round = 0; round < 300; ++round) {
    ArrHeap.Free(arr);
    arr = ArrNew(nullptr);
    for (uint32_t t = 0; t < kTracks; ++t) {
      int n = pick(0, 12);
      std::vector<int16_t> layers(n);
      std::iota(layers.begin(), layers.end(), int16_t{-3});
      std::shuffle(layers.begin(), layers.end(), rng);
      for (int i = 0; i < n; ++i) Add(t, pick(0, 300), pick(1, 99), layers[i]);
    }
    ArrRelinkOverlaps(arr);

    std::vector<std::vector<ArrSection>> oracle;
    for (uint32_t t = 0; t < kTracks; ++t) {
      oracle.push_back(OracleSections(arr, t, kLimit));
      ASSERT_EQ(Sections(t), oracle.back()) << "round " << round << " track " << t;
      for (uint32_t s : List(t))
        ASSERT_EQ(P(s).OverlapLink, OracleLink(arr, t, s)) << "round " << round;
    }
    // Every Part's own section at every sample.
    for (uint32_t t = 0; t < kTracks; ++t)
      for (uint32_t s : List(t))
        for (int32_t x = P(s).Start - 1; x <= P(s).Start + P(s).Length; ++x) {
          ArrSection got;
          int found = PartVisibleEnd(arr, s, x, &got);
          auto it = std::find_if(oracle[t].begin(), oracle[t].end(), [&](const ArrSection& o) {
            return o.Part == int32_t(s) && o.Start <= x && x < o.Start + o.Length;
          });
          ASSERT_EQ(found, it != oracle[t].end() ? 1 : 0) << "round " << round << " x " << x;
          if (found) {
            ASSERT_EQ(got, *it);
          }
        }
    CurArr = arr;
    for (int32_t x = -1; x <= kLimit; x += 3) {
      ASSERT_EQ(ArrNxtSectionEdge(x, 1), OracleEdge(oracle, x, true)) << "round " << round << " x " << x;
      ASSERT_EQ(ArrNxtSectionEdge(x, 0), OracleEdge(oracle, x, false)) << "round " << round << " x " << x;
    }
    CurArr = nullptr;
  }
}

TEST(FadeCurveValue, EndsPairsAndDirection) {
  struct Case {
    int32_t position, curve, from, to, length, value;
  } cases[] = {
      {0, 0, 1000, 3000, 100, 1000},    // before the first sample
      {-5, 3, 1000, 3000, 100, 1000},
      {100, 0, 1000, 3000, 100, 3000},  // at the length
      {50, 0, 1000, 3000, 100, 2000},   // linear half way
      {50, 0, 3000, 1000, 100, 2000},
      {50, 7, 500, 500, 100, 500},      // flat
      {25, 0, 0, 1, 100, 0},            // floor
      {25, 0, 1, 0, 100, 0},            // floor below: 1 - 0.25 -> 0
  };
  for (const Case& c : cases)
    EXPECT_EQ(FadeCurveValue(c.position, c.curve, c.from, c.to, c.length), c.value)
        << c.position << " curve " << c.curve;

  // A falling fade with curve 2 follows curve 3's shape, and the other way.
  for (int32_t curve : {2, 3, 4, 5, 6, 7}) {
    int32_t pair = curve ^ 1;
    int64_t shape = FadeShape(pair, 30, 100);
    int32_t expected = 65536 + static_cast<int32_t>((shape * -65536) >> 23);
    EXPECT_EQ(FadeCurveValue(30, curve, 65536, 0, 100), expected) << curve;
    int32_t rising = static_cast<int32_t>((int64_t{FadeShape(curve, 30, 100)} * 65536) >> 23);
    EXPECT_EQ(FadeCurveValue(30, curve, 0, 65536, 100), rising) << curve;
  }
  // Cosine and linear have no pair.
  EXPECT_EQ(FadeCurveValue(30, 1, 65536, 0, 100),
            65536 + static_cast<int32_t>((int64_t{FadeShape(1, 30, 100)} * -65536) >> 23));
}

}  // namespace
