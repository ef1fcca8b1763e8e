// The fade engine over every kind of fade segment. Every sample is 2^24, so
// that a faded sample is exactly -2 x the level applied to it and each case
// can name its levels directly.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "native/qvNatRec/fade.h"

namespace {

constexpr int32_t kOne = 1 << 24;
constexpr int32_t kUnity = -0x800000;
constexpr int32_t kHalf = -0x400000;

// The levels a segment of `length` samples applies, read back from the faded
// samples; the ring starts `ringStart` words into a ring of `ringLen`.
std::vector<int64_t> Levels(int32_t kind, int32_t a, int32_t b, uint32_t length,
                            uint32_t ringLen = 64, uint32_t ringStart = 0) {
  SegList list;
  const RecSeg entries[2] = {{100, a, b, kind, 0}, {100 + length, 0, 0, 0, kRecSegClosing}};
  SegListAssign(list, 2, entries);
  std::vector<uint32_t> ring(ringLen, static_cast<uint32_t>(kOne));
  FadeRingBlock(list, 0, 100, ring.data(), ringLen, ringStart, length);
  std::vector<int64_t> levels;
  for (uint32_t i = 0; i < length; ++i)
    levels.push_back(-int64_t{static_cast<int32_t>(ring[(ringStart + i) % ringLen])} / 2);
  return levels;
}

int64_t RampOut(uint32_t i) { return kFadeRampTable[i]; }
int64_t RampIn(uint32_t i) { return kFadeRampTable[32 + i]; }

struct FadeCase {
  const char* name;
  int32_t kind, a, b;
  uint32_t length;
  std::function<int64_t(uint32_t)> level;  // expected level at position i
};

class FadeKinds : public ::testing::TestWithParam<FadeCase> {
 protected:
  void SetUp() override {
    // Row 1 bends: point k = k^2 / 256 of the way.
    int32_t points[16];
    for (int k = 0; k < 16; ++k) points[k] = k * k * (kShapeOne / 256);
    ASSERT_TRUE(FadeCurveSetRow(1, points));
  }
  void TearDown() override { FadeCurveReset(); }
};

TEST_P(FadeKinds, AppliesTheSegmentsLevels) {
  const FadeCase& c = GetParam();
  const std::vector<int64_t> got = Levels(c.kind, c.a, c.b, c.length);
  for (uint32_t i = 0; i < c.length; ++i) EXPECT_EQ(got[i], c.level(i)) << c.name << " at " << i;
}

// a + (b - a) x shape point k / 2^23 of the bent row 1.
int64_t Bent(int64_t a, int64_t b, uint32_t k) { return a + (b - a) * (int64_t{k} * k * 32768) / 0x800000; }

INSTANTIATE_TEST_SUITE_P(
    EveryKind, FadeKinds,
    ::testing::Values(
        FadeCase{"unity", kFadeUnity, 5, 7, 20, [](uint32_t) { return kUnity; }},
        FadeCase{"level half", kFadeLevel, kHalf, 0, 20, [](uint32_t) { return kHalf; }},
        FadeCase{"level zero clears", kFadeLevel, 0, kUnity, 20, [](uint32_t) { return 0; }},
        FadeCase{"level inverted", kFadeLevel, 0x800000, 0, 4, [](uint32_t) { return 0x800000; }},
        FadeCase{"crossfade 32 out then 8 in", kFadeCross, kUnity, kHalf, 40,
                 [](uint32_t i) {
                   return i < 32 ? kUnity * RampOut(i) / 32768 : kHalf * RampIn((i - 32) * 4) / 32768;
                 }},
        FadeCase{"ramp in 32", kFadeRampIn, 0, kUnity, 32,
                 [](uint32_t i) { return kUnity * RampIn(i) / 32768; }},
        FadeCase{"ramp in 16 strides the table", kFadeRampIn, 0, kUnity, 16,
                 [](uint32_t i) { return kUnity * RampIn(i * 2) / 32768; }},
        FadeCase{"ramp in 40 holds after 32", kFadeRampIn, 0, kUnity, 40,
                 [](uint32_t i) { return i < 32 ? kUnity * RampIn(i) / 32768 : kUnity; }},
        FadeCase{"ramp out 32", kFadeRampOut, kHalf, 0, 32,
                 [](uint32_t i) { return kHalf * RampOut(i) / 32768; }},
        FadeCase{"linear", kFadeLinear, 0, kUnity, 16, [](uint32_t i) { return int64_t{kUnity} * i / 16; }},
        FadeCase{"curve of 15 is linear", kFadeLinear + 1, 0, kUnity, 15,
                 [](uint32_t i) { return int64_t{kUnity} * i / 15; }},
        FadeCase{"curve of 16 takes the curve points", kFadeLinear + 1, 0, kUnity, 16,
                 [](uint32_t i) { return Bent(0, kUnity, i); }},
        FadeCase{"curve of 32 runs between points", kFadeLinear + 1, kHalf, kUnity, 32,
                 [](uint32_t i) {
                   const int64_t lo = i / 2 * (i / 2) * 32768, hi = (i / 2 + 1) * (i / 2 + 1) * 32768;
                   const int64_t shape = lo + (hi - lo) * (i % 2) / 2;
                   return kHalf + (int64_t{kUnity} - kHalf) * shape / 0x800000;
                 }},
        FadeCase{"unknown kind leaves samples", 99, 0, 0, 8, [](uint32_t) { return kUnity; }}),
    [](const ::testing::TestParamInfo<FadeCase>& info) {
      std::string s = info.param.name;
      for (char& ch : s)
        if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return s;
    });

// The block fade steps its levels along a segment instead of computing each
// one, and multiplies in floating point where the products are exact; it
// must give exactly the level of every position and the integer product of
// every sample, for pieces that start anywhere inside long segments, rising
// and falling, both signs, over a bent curve row and a row with points far
// outside 0..1, for any sample words and for 24-bit samples (low byte 0).
TEST_F(FadeKinds, BlocksMatchTheLevelOfEveryPosition) {
  // Row 3: points up to 2^31 in size, beyond what the stepped curve takes.
  int32_t wildPoints[16];
  for (int k = 0; k < 16; ++k) wildPoints[k] = (k % 2 ? 1 : -1) * (0x7FFFFFFF - k * 0x1000000);
  ASSERT_TRUE(FadeCurveSetRow(3, wildPoints));
  // Row 4: points of +-2^29, the largest the stepped curve takes; over
  // sub-spans of 2^22 samples span x position reaches 2^52.
  int32_t steepPoints[16];
  for (int k = 0; k < 16; ++k) steepPoints[k] = (k % 2 ? 1 : -1) * (1 << 29);
  ASSERT_TRUE(FadeCurveSetRow(4, steepPoints));
  // Row 5: a point a sub-span, then a jump to the end of the curve.
  int32_t creepPoints[16];
  for (int k = 0; k < 16; ++k) creepPoints[k] = k;
  ASSERT_TRUE(FadeCurveSetRow(5, creepPoints));
  struct Seg {
    int32_t kind, a, b;
    uint32_t length;
  } segs[] = {
      {kFadeLinear, 0, kUnity, 48000},       {kFadeLinear, kUnity, 0x7FFFFFFF, 9973},
      {kFadeLinear + 1, kUnity, 0, 48000},   {kFadeLinear + 1, 0x123457, -0x7FFFFF00, 1000},
      {kFadeLinear + 2, kHalf, kUnity, 17},  {kFadeLinear + 1, kHalf, kUnity, 15},
      // Constant levels either side of the largest taken in floating point.
      {kFadeLevel, kHalf, 0, 5000},          {kFadeLevel, 0x400000, 0, 5000},
      {kFadeLevel, -0x123457, 0, 5000},      {kFadeLevel, -0x400001, 0, 5000},
      {kFadeLevel, 0x7FFFFFFF, 0, 5000},     {kFadeLevel, -0x40000001, 0, 5000},
      {kFadeLevel, 0x40000000, 0, 5000},     {kFadeLevel, -0x7FFFFF, 0, 5000},
      {kFadeLinear + 3, kUnity, 0x1000, 3000},  {kFadeLinear + 3, kUnity, 0x7FFFFFFF, 3000},
      {kFadeRampIn, 0, kUnity, 31},          {kFadeCross, kUnity, kHalf, 200},
      // (b - a) x shape either side of 2^53, and span x position at 2^52
      // and beyond it.
      {kFadeLinear + 1, -0x20000000, 0x1FFFFFFF, 4801}, {kFadeLinear + 1, -0x20000000, 0x20000001, 4801},
      {kFadeLinear + 4, kUnity, kHalf, 1u << 26},      {kFadeLinear + 4, kUnity, kHalf, (1u << 26) + 1600},
      // Sub-spans of 98 samples: at 49, 2^19 x 49 / 98 is whole but its
      // product with the rounded 1/98 falls just below it.
      {kFadeLinear + 1, 0, kUnity, 1553},
      // Span 2^30 over sub-spans of 16 samples, the largest steps of the
      // products: (b - a) x (span + 1) just below 2^53, and beyond it (taken
      // two positions at a time).
      {kFadeLinear + 4, 0, 0x7FFFFF, 256},     {kFadeLinear + 4, -0x400000, 0x800000, 256},
      {kFadeLinear + 4, 0, 0x7FFFFF, 4801},
      // Sub-spans of 8 and 9 samples, shorter than a wide step and just
      // longer; shapes that move by a point in thousands of samples (a carry
      // now and then) and by whole levels per sample; the largest levels.
      {kFadeLinear + 2, kUnity, 0, 135},       {kFadeLinear + 5, 0x7FFFFFFF, kHalf, 1000003},
      {kFadeLinear + 5, INT32_MIN, INT32_MAX, 65536}, {kFadeLinear + 2, INT32_MIN, INT32_MAX, 48000},
  };
  // 0x7F800001 x 0x7FFFFF lies one below a multiple of 2^23 and needs 54 bits.
  const int32_t anyWords[] = {kOne, -0x7FFFFF00, 0x7F800001, 0x7FFFFF00, INT32_MIN, INT32_MAX, -1, 0x1234567};
  const int32_t lowByteZero[] = {kOne, -0x7FFFFF00, 12345 << 8, 0x7FFFFF00, INT32_MIN, -256, 0x100, 0x12345600};
  for (const int32_t* samples : {anyWords, lowByteZero}) {
    for (const Seg& sg : segs) {
      SegList list;
      const RecSeg entries[2] = {{0, sg.a, sg.b, sg.kind, 0}, {sg.length, 0, 0, 0, kRecSegClosing}};
      SegListAssign(list, 2, entries);
      const uint32_t ringLen = 4096;
      for (uint32_t from : {0u, 1u, sg.length / 3, sg.length - 5 < sg.length ? sg.length - 5 : 0u}) {
        const uint32_t count = std::min<uint32_t>(ringLen - 7, sg.length - from);
        std::vector<uint32_t> ring(ringLen);
        for (uint32_t i = 0; i < ringLen; ++i) ring[i] = static_cast<uint32_t>(samples[i % 8]);
        FadeRingBlock(list, 0, from, ring.data(), ringLen, 7, count);
        for (uint32_t i = 0; i < count; ++i) {
          const int64_t level = FadeLevelAt(entries[0], sg.length, from + i);
          ASSERT_EQ(static_cast<int32_t>(ring[(7 + i) % ringLen]),
                    FadeApplyLevel(samples[(7 + i) % 8], level))
              << "kind " << sg.kind << " length " << sg.length << " at " << from + i;
        }
      }
    }
  }
}

TEST(FadeEngine, WrapsAtTheRingEnd) {
  int32_t points[16];
  for (int k = 0; k < 16; ++k) points[k] = k * k * (kShapeOne / 256);
  FadeCurveSetRow(2, points);
  // 16 samples of a curve, 5 before the ring's end and 11 from its start.
  const std::vector<int64_t> straight = Levels(kFadeLinear + 2, 0, kUnity, 16, 64, 0);
  const std::vector<int64_t> wrapped = Levels(kFadeLinear + 2, 0, kUnity, 16, 64, 59);
  EXPECT_EQ(wrapped, straight);
  EXPECT_EQ(wrapped[5], Bent(0, kUnity, 5));
  FadeCurveReset();
}

TEST(FadeEngine, LevelsClipAndGuardTheirArithmetic) {
  EXPECT_EQ(FadeApplyLevel(INT32_MAX, 2 * int64_t{kUnity}), INT32_MAX);  // gain 2 clips
  EXPECT_EQ(FadeApplyLevel(INT32_MIN, INT32_MIN), INT32_MIN);            // gain 256
  EXPECT_EQ(FadeApplyLevel(INT32_MIN, INT32_MAX), INT32_MAX);            // gain 256, inverted
  EXPECT_EQ(FadeApplyLevel(-3, kHalf), -1);                              // truncates toward 0
  RecSeg wild{0, INT32_MIN, INT32_MAX, kFadeLinear, 0};
  // Half way along the longest segment: half way between the levels, give or
  // take the coarser steps of so long a segment.
  EXPECT_NEAR(FadeLevelAt(wild, INT64_MAX, INT64_MAX / 2), -1, 4);
}

TEST(FadeEngine, CurveRowsAreBounded) {
  int32_t points[16] = {};
  EXPECT_FALSE(FadeCurveSetRow(8, points));
  EXPECT_FALSE(FadeCurveSetRow(-1, points));
  EXPECT_FALSE(FadeCurveSetRow(0, nullptr));
  EXPECT_TRUE(FadeCurveSetRow(7, points));
  EXPECT_EQ(FadeCurvePoint(7, 16), kShapeOne);  // the end of every curve stays
  FadeCurveReset();
}

TEST(SegLists, LookupAndClosing) {
  SegList list;
  const RecSeg e[4] = {{10, 0, 0, 1, 0}, {20, 0, 0, 2, 0}, {30, 0, 0, 0, kRecSegClosing}, {40, 0, 0, 3, 0}};
  ASSERT_TRUE(SegListAssign(list, 4, e));
  EXPECT_EQ(SegFind(list, 0, 5).seg, nullptr);
  EXPECT_EQ(SegFind(list, 0, 25).seg->kind, 2);
  EXPECT_EQ(SegFind(list, 0, 12).seg->kind, 1);  // walks back
  EXPECT_EQ(SegFind(list, 0, 12).end, 20);
  EXPECT_EQ(SegFind(list, 1, 45).seg, nullptr);   // nothing after the closing entry
  EXPECT_EQ(SegCountToClosing(list), 3u);
  EXPECT_FALSE(SegListAssign(list, static_cast<int32_t>(kSegCountLimit), e));
  EXPECT_TRUE(list.entries.empty());
  EXPECT_FALSE(SegListAssign(list, -1, e));
  EXPECT_FALSE(SegListAssign(list, 2, nullptr));
}

}  // namespace
