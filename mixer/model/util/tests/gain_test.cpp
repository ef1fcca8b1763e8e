#include "mixer/model/util/gain.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(GainTest, DecibelsToLinearGain) {
  const struct {
    int32_t deciDb;
    uint32_t gain;
  } deci[] = {{0, 32768}, {1, 33148}, {59, 64633}, {60, 65536}, {500, 65536},
              {-1, 32392}, {-60, 16422}, {-200, 3276}, {-5000, 0}, {INT_MIN, 0}};
  for (const auto& c : deci) EXPECT_EQ(DeciDbToGain(c.deciDb), c.gain) << c.deciDb;

  const struct {
    int32_t milliDb;
    uint32_t gain;
  } milli[] = {{0, 32768}, {5999, 65374}, {6000, 65536}, {-6000, 16422}, {-500000, 0}};
  for (const auto& c : milli) EXPECT_EQ(MilliDbToGain(c.milliDb), c.gain) << c.milliDb;
}

TEST(GainTest, LinearGainToDecibels) {
  const struct {
    uint32_t gain;
    int32_t deciDb, milliDb;
  } cases[] = {{0, -960, -96000},   {32768, 0, 0},        {65536, 60, 6020},
               {16384, -60, -6020}, {40000, 17, 1732}, {1, -903, -90308}};
  for (const auto& c : cases) {
    EXPECT_EQ(GainToDeciDb(c.gain), c.deciDb) << c.gain;
    EXPECT_EQ(GainToMilliDb(c.gain), c.milliDb) << c.gain;
  }
}

TEST(GainTest, CentiDbScalingAndRatios) {
  EXPECT_EQ(ScaleByCentiDb(0, 1000), 1000);
  EXPECT_EQ(ScaleByCentiDb(600, 1000), 1995);
  EXPECT_EQ(ScaleByCentiDb(-600, 1000), 501);
  EXPECT_EQ(ScaleByCentiDb(-600, -1000), -501);
  EXPECT_EQ(ScaleByCentiDb(20000, 2000000000), INT_MAX);
  EXPECT_EQ(ScaleByCentiDb(20000, -2000000000), INT_MIN);
  EXPECT_EQ(RatioToCentiDb(0, 5), -9600);
  EXPECT_EQ(RatioToCentiDb(5, 0), 9600);
  EXPECT_EQ(RatioToCentiDb(0, 0), -9600);
  EXPECT_EQ(RatioToCentiDb(2, 1), 602);
  EXPECT_EQ(RatioToCentiDb(1, 2), -602);
  EXPECT_EQ(RatioToCentiDb(7, 7), 0);
}

TEST(GainTest, FaderLawAtAndBetweenItsPoints) {
  for (const LawPoint& pt : FaderLawTable) {
    EXPECT_EQ(FaderPosToGain(pt.Pos, 1000, 0), uint32_t(pt.Value)) << pt.Pos;
    EXPECT_EQ(GainToFaderPos(pt.Value, 1000, 0), pt.Pos) << pt.Value;
    // Twice the travel, inverted: bottom to top.
    EXPECT_EQ(FaderPosToGain(2000 - 2 * pt.Pos, 2000, 1), uint32_t(pt.Value)) << pt.Pos;
    EXPECT_EQ(GainToFaderPos(pt.Value, 2000, 1), 2000 - 2 * pt.Pos) << pt.Value;
  }
  // Halfway between 0 dB (0) and -5 dB (120), and between -60 (908) and -70 (939).
  EXPECT_EQ(FaderPosToGain(60, 1000, 0), 25597u);
  // The inverse truncates its step toward the lower point of the pair.
  EXPECT_EQ(GainToFaderPos(25597, 1000, 0), 61);
  EXPECT_EQ(FaderPosToGain(920, 1000, 0), 24u);
  EXPECT_EQ(GainToFaderPos(24, 1000, 0), 921);
  // Beyond the ends.
  EXPECT_EQ(FaderPosToGain(-5, 1000, 0), 32768u);
  EXPECT_EQ(FaderPosToGain(1200, 1000, 0), 0u);
  EXPECT_EQ(GainToFaderPos(65536, 1000, 0), 0);
  EXPECT_EQ(GainToFaderPos(0, 1000, 0), 1000);
  EXPECT_EQ(GainToFaderPos(-3, 1000, 1), 0);
  // A fader with no travel never divides.
  EXPECT_EQ(FaderPosToGain(10, 0, 0), 32768u);
  EXPECT_EQ(GainToFaderPos(1000, 0, 0), 0);
}

TEST(GainTest, NoiseGateLaw) {
  for (const LawPoint& pt : NgLawTable) {
    EXPECT_EQ(NgPosToValue(pt.Pos, 568), pt.Value) << pt.Pos;
    EXPECT_EQ(NgValueToPos(pt.Value, 568), pt.Pos) << pt.Value;
  }
  EXPECT_EQ(NgPosToValue(225, 568), 5500);
  EXPECT_EQ(NgValueToPos(5500, 568), 225);
  EXPECT_EQ(NgPosToValue(1136, 1136), 0);
  EXPECT_EQ(NgPosToValue(-1, 568), 10000);
  EXPECT_EQ(NgValueToPos(20000, 568), 0);
  EXPECT_EQ(NgValueToPos(0, 1136), 1136);
  EXPECT_EQ(NgPosToValue(5, 0), 10000);
}

}  // namespace
