// Gain conversions, the two fader laws, the linear, log and pan scalings.
#include <gtest/gtest.h>

#include "elements/elemscale.h"
#include "mixer/model/util/gain.h"
#include "mixer/model/util/numtext.h"

TEST(ElemGain, TenthsOfDbAndBack) {
  EXPECT_EQ(GainFromTenthsDb(60), 65536u);
  EXPECT_EQ(GainFromTenthsDb(0), 32768u);
  EXPECT_EQ(GainFromTenthsDb(100), 65536u);    // never above +6 dB
  EXPECT_EQ(GainFromTenthsDb(-60), 16422u);    // floor(0.501187 x 32768)
  EXPECT_EQ(GainFromTenthsDb(30), 46287u);     // ceil(1.412538 x 32768)
  EXPECT_EQ(TenthsDbFromGain(0), -960);
  EXPECT_EQ(TenthsDbFromGain(32768), 0);
  EXPECT_EQ(TenthsDbFromGain(65536), 60);
  EXPECT_EQ(TenthsDbFromGain(16384), -60);     // -6.02 dB truncated
}

struct LawCase {
  uint32_t (*gain)(int32_t, int32_t, int);
  int32_t (*pos)(int32_t, int32_t, int);
  const LawPoint* table;
  int count;
};

class FaderLaw : public ::testing::TestWithParam<LawCase> {};

// On a travel as long as the law's own, every table point is hit exactly,
// both ways; the travel's end is silence; reversed mirrors the position.
TEST_P(FaderLaw, HitsEveryTablePointBothWays) {
  const LawCase& c = GetParam();
  const int32_t travel = c.table[c.count - 1].Pos;
  for (int i = 0; i < c.count; ++i) {
    EXPECT_EQ(c.gain(c.table[i].Pos, travel, 0), uint32_t(c.table[i].Value)) << i;
    EXPECT_EQ(c.gain(travel - c.table[i].Pos, travel, 1), uint32_t(c.table[i].Value)) << i;
    if (i + 1 < c.count) {
      EXPECT_EQ(c.pos(c.table[i].Value, travel, 0), c.table[i].Pos) << i;
    }
  }
  EXPECT_EQ(c.gain(travel + 50, travel, 0), 0u);
  EXPECT_EQ(c.pos(0, travel, 0), travel);
  EXPECT_EQ(c.pos(0, 200, 1), 0);
  // A range of 0 is no travel at all: the top's gain, position 0.
  EXPECT_EQ(c.gain(5, 0, 0), uint32_t(c.table[0].Value));
  EXPECT_EQ(c.pos(1000, 0, 0), 0);
}

// Gain falls along the travel, and the position of a gain moves down the
// travel as the gain falls.
TEST_P(FaderLaw, BothDirectionsAreMonotonic) {
  const LawCase& c = GetParam();
  for (int32_t range : {100, 250, 1190}) {
    uint32_t lastGain = c.gain(0, range, 0);
    for (int32_t p = 1; p <= range; ++p) {
      const uint32_t g = c.gain(p, range, 0);
      EXPECT_LE(g, lastGain) << "range " << range << " pos " << p;
      lastGain = g;
    }
    int32_t lastPos = 0;
    for (int32_t g = c.table[0].Value; g >= 0; g -= 97) {
      const int32_t p = c.pos(g, range, 0);
      EXPECT_GE(p, lastPos) << "range " << range << " gain " << g;
      EXPECT_LE(p, range);
      lastPos = p;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Laws, FaderLaw,
                         ::testing::Values(LawCase{FaderGainFromPos, FaderPosFromGain, FaderLawTable, kFaderLawCount},
                                           LawCase{FaderGainFromPos6, FaderPosFromGain6, Fader6LawTable,
                                                   kFader6LawCount}));

TEST(ElemFaderLaw, TopOfEachFaderAndBetweenPoints) {
  // Halfway between (0, 32768) and (120, 18427), truncated both ways.
  EXPECT_EQ(FaderGainFromPos(60, 1000, 0), 25597u);
  EXPECT_EQ(FaderPosFromGain(25597, 1000, 0), 61);
  EXPECT_EQ(FaderGainFromPos(0, 180, 0), 32768u);
  EXPECT_EQ(FaderGainFromPos6(0, 180, 0), 65536u);
  EXPECT_EQ(FaderGainFromPos(180, 180, 0), 0u);
  EXPECT_EQ(FaderGainFromPos6(180, 180, 0), 0u);
  EXPECT_EQ(FaderGainFromPos6(190, 1190, 0), 32768u);
}

TEST(ElemScale, LinearAndPan) {
  EXPECT_EQ(ScaleLinear(50, 100, 180, 0), 90);
  EXPECT_EQ(ScaleLinear(50, 100, 180, 1), 90);
  EXPECT_EQ(ScaleLinear(10, 100, 180, 1), 162);
  EXPECT_EQ(ScaleLinear(1, 3, 10, 0), 3);      // 3.33 rounds to 3
  EXPECT_EQ(ScaleLinear(2, 3, 10, 0), 7);      // 6.67 rounds to 7
  EXPECT_EQ(ScaleLinear(5, 0, 180, 0), 0);
  EXPECT_EQ(ScaleLinearInv(90, 100, 180, 0), 50);
  EXPECT_EQ(ScaleLinearInv(162, 100, 180, 1), 10);
  EXPECT_EQ(ScaleLinearInv(7, 0, 180, 0), 180);
  EXPECT_EQ(ScaleLinearInv(7, 100, 0, 0), 0);
  EXPECT_EQ(PanToPos(64, 128, 0), 64);
  EXPECT_EQ(PanToPos(0, 128, 1), 128);
  EXPECT_EQ(PanToPos(3, 0, 0), 64);
  EXPECT_EQ(PosToPan(64, 200, 0), 100);
  EXPECT_EQ(PosToPan(32, 200, 1), 150);
}

TEST(ElemScale, LogEndsAndRoundTrip) {
  const int32_t range = 23979;  // a frequency fader: 20..23999 Hz less 20
  EXPECT_EQ(ScaleLog(0, range, 180, 0), 0);
  EXPECT_EQ(ScaleLog(range, range, 180, 0), 180);
  EXPECT_EQ(ScaleLog(0, range, 180, 1), 180);
  EXPECT_EQ(ScaleLog(range, range, 180, 1), 0);
  EXPECT_EQ(ScaleLog(99, 9999, 100, 0), 50);   // log10(100) / log10(10000)
  EXPECT_EQ(ScaleLog(-5, range, 180, 0), 0);
  EXPECT_EQ(ScaleLog(7, 0, 180, 0), 0);
  EXPECT_EQ(ScaleLog(7, 0, 180, 1), 180);
  EXPECT_EQ(ScaleLogInv(50, 9999, 100, 0), 99);
  EXPECT_EQ(ScaleLogInv(0, range, 180, 0), 0);
  EXPECT_EQ(ScaleLogInv(180, range, 180, 0), range);
  EXPECT_EQ(ScaleLogInv(0, range, 180, 1), range);
  EXPECT_EQ(ScaleLogInv(3, range, 0, 0), 0);
  // Both directions truncate: a round trip never comes back further along.
  for (int32_t p = 0; p <= 180; ++p) EXPECT_LE(ScaleLog(ScaleLogInv(p, range, 180, 0), range, 180, 0), p) << p;
  for (int32_t v = 0; v <= range; v += 37) EXPECT_LE(ScaleLogInv(ScaleLog(v, range, 180, 0), range, 180, 0), v) << v;
}

TEST(ElemScale, ClampAndText) {
  EXPECT_EQ(ClampToInt32(int64_t{1} << 40), 0x7FFFFFFF);
  EXPECT_EQ(ClampToInt32(-(int64_t{1} << 40)), INT32_MIN);
  EXPECT_EQ(ClampToInt32(-5), -5);
  EXPECT_EQ(TextToNumber("1.5", 100), 150);
  EXPECT_EQ(TextToNumber("-0.05", 100), -5);
  EXPECT_EQ(TextToNumber("1.239", 100), 123);
}
