// The controls' arithmetic: spin steps and texts, pot angles, fader
// clamps, the meters' LED logic, the EQ curve and surround positions.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "elements/controls/ctldata.h"

namespace {

SpinBox8Data Spin(int32_t v, int32_t lo, int32_t hi, int32_t steps, uint32_t flags = 0, int32_t div = 1) {
  SpinBox8Data d{};
  d.Value = v;
  d.Minimum = lo;
  d.Maximum = hi;
  d.StepCount = steps;
  d.Flags = flags;
  d.Divisor = div;
  return d;
}

TEST(SpinBox8, StepsLinearlyAndLogarithmicallyWithinTheRange) {
  struct Case {
    SpinBox8Data d;
    int down, divisor;
    int32_t want;
  } cases[] = {
      {Spin(0, -240, 140, 380), 0, 1, 1},         // one unit per click over 380 steps
      {Spin(140, -240, 140, 380), 0, 1, 140},     // held at the maximum
      {Spin(-235, -240, 140, 380), 1, 10, -240},  // repeat: ten units, held at the minimum
      {Spin(0, 0, 100, 1), 0, 30, 100},           // fewer steps than the divisor: one step over all
      {Spin(20, 20, 22049, 100, kSpinLog), 0, 1, 22},      // one point of 100 on the log scale
      {Spin(5, 0, 10, 100, kSpinLog), 0, 1, 6},            // a step rounding back onto 5: one more
      {Spin(5, 0, 10, 100, kSpinLog), 1, 1, 4},
      {Spin(1000, 20, 22049, 100, kSpinLog), 0, 1, 1073},
      {Spin(1000, 20, 22049, 100, kSpinLog), 1, 1, 932},
      {Spin(22049, 20, 22049, 100, kSpinLog), 0, 1, 22049},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SpinBox8Step(&c.d, c.down, c.divisor), c.want) << c.d.Value << (c.down ? " down" : " up");
  }
}

TEST(SpinBox8, ShowsAndReadsValuesInItsDivisor) {
  struct Case {
    int32_t v, div;
    const char* text;
  } cases[] = {{150, 10, "15.0"}, {-5, 100, "-0.05"}, {-240, 10, "-24.0"}, {7, 1, "7"}, {205, 100, "2.05"}};
  for (const Case& c : cases) {
    char buf[32];
    SpinBox8FormatValue(c.v, c.div, buf, sizeof buf);
    EXPECT_EQ(std::string(buf), c.text);
    SpinBox8Data d = Spin(0, -1000, 1000, 10, 0, c.div);
    EXPECT_EQ(SpinBox8ParseValue(&d, c.text), c.v);
  }
  SpinBox8Data d = Spin(0, -240, 140, 10, 0, 10);
  EXPECT_EQ(SpinBox8ParseValue(&d, "99"), 140);  // clamped to the range
  EXPECT_EQ(SpinBox8ParseValue(&d, "-30.5"), -240);
}

TEST(RotPot8, PointsMapOnto270DegreesWithADeadZoneBelow) {
  // Diameter 21: centre 10; maximum 128.
  struct Case {
    int32_t x, y, want;
  } cases[] = {
      {0, 20, 0},     // lower left: the start of the sweep
      {10, 0, 64},    // straight up: half
      {20, 20, 128},  // lower right: the end
      {20, 10, 107},  // right: 225 of 270 degrees
      {8, 20, 0},     // dead zone, left of the bottom: 0
      {12, 20, 128},  // dead zone, right of the bottom: the maximum
  };
  for (const Case& c : cases) EXPECT_EQ(RotPot8PointToValue(c.x, c.y, 21, 128), c.want) << c.x << "," << c.y;
}

TEST(RotPot8, PointerEndsOnTheSweep) {
  RotPot8Data d{};
  d.Diameter = 21;
  d.Maximum = 128;
  int32_t x, y;
  d.Value = 64;
  RotPot8PointerEnd(&d, &x, &y);
  EXPECT_EQ(x, 10);
  EXPECT_EQ(y, 1);
  d.Value = 0;
  RotPot8PointerEnd(&d, &x, &y);
  EXPECT_LT(x, 10);
  EXPECT_GT(y, 10);
  EXPECT_TRUE(RotPot8AtDetent(&d));
}

TEST(Faders, CapStaysOnTheTravel) {
  EXPECT_EQ(FaderClampPos(50, 100, 10), 50);
  EXPECT_EQ(FaderClampPos(95, 100, 10), 90);
  EXPECT_EQ(FaderClampPos(-3, 100, 10), 0);
  EXPECT_EQ(FaderClampPos(5, 8, 10), 0);  // a cap longer than its travel stays at 0
  EXPECT_EQ(WheelStep(120, 1), 1);
  EXPECT_EQ(WheelStep(-240, 0), -8);
}

struct LedLog {
  std::vector<std::vector<Peak8LedColor>> Leds;
  static void Draw(void* ctx, const Peak8Data*, int m, int led, Peak8LedColor c) {
    static_cast<LedLog*>(ctx)->Leds[m][led] = c;
  }
};

TEST(Peak8, ChoosesTheThresholdTableByLedCount) {
  EXPECT_EQ(Peak8Thresholds(28)[0], 104);
  EXPECT_EQ(Peak8Thresholds(28)[1], 155);
  EXPECT_EQ(Peak8Thresholds(26)[0], 232);  // the last 26 of 28
  EXPECT_EQ(Peak8Thresholds(25)[1], 232);
  EXPECT_EQ(Peak8Thresholds(20)[0], 1680);
  EXPECT_EQ(Peak8Thresholds(14)[1], 490);
  EXPECT_EQ(Peak8Thresholds(10)[0], 3277);
}

TEST(Peak8, BarRisesAtOnceFallsSlowlyAndPeakHolds) {
  Peak8Data d{};
  d.Meters = 1;
  d.Leds = 14;
  LedLog log{{std::vector<Peak8LedColor>(14, kLedOff)}};
  Peak8Clear(&d, LedLog::Draw, &log);
  d.Level[0] = 40000;  // above full scale: cut to 32767, the overload LED
  Peak8Update(&d, LedLog::Draw, &log);
  EXPECT_EQ(d.Level[0], 32767);
  EXPECT_EQ(d.Peak[0], 13);
  EXPECT_EQ(log.Leds[0][13], kLedOverload);
  EXPECT_EQ(log.Leds[0][1], kLedOn);
  EXPECT_EQ(log.Leds[0][12], kLedOn);
  EXPECT_EQ(d.Top[0], 12);

  // Silence: the bar falls one LED every second update; the peak holds.
  for (int i = 0; i < 4; ++i) {
    d.Level[0] = 0;
    Peak8Update(&d, LedLog::Draw, &log);
  }
  EXPECT_EQ(d.Top[0], 10);
  EXPECT_EQ(log.Leds[0][12], kLedOff);
  EXPECT_EQ(log.Leds[0][10], kLedOn);
  EXPECT_EQ(d.Peak[0], 13);
  for (int i = 0; i < 50; ++i) Peak8Update(&d, LedLog::Draw, &log);
  // After its hold the peak comes down to the bar's top.
  EXPECT_LT(d.Peak[0], 13);
  EXPECT_EQ(log.Leds[0][13], kLedOff);
}

TEST(BpEqFs8, CurveFollowsTheBands) {
  std::vector<int32_t> cur(181), prev(181);
  BpEqFs8Data d{};
  d.Points = 181;
  d.Height = 120;
  d.SampleRate = 44100;
  d.Current = cur.data();
  d.Previous = prev.data();
  BpEqFs8ComputeCurve(&d);
  for (int32_t v : cur) EXPECT_EQ(v, 0);  // no bands: flat

  d.Bands = 1;
  d.Freq[0] = 1000;
  d.Width[0] = 100;
  d.Gain[0] = 120;  // +12 dB
  BpEqFs8ComputeCurve(&d);
  const int32_t x = LogFreqToX(181, 1000, 20, 22050);
  // At the centre the band's full gain: log10(10^0.6) x 120 / 3 = 24 pixels.
  EXPECT_NEAR(cur[x], 24, 1);
  EXPECT_LE(cur[0], 2);
  EXPECT_LE(cur[180], 2);
  d.Gain[0] = -120;
  BpEqFs8ComputeCurve(&d);
  EXPECT_NEAR(cur[x], -24, 1);
}

TEST(SurPanner8, PositionsRunInOppositeSenses) {
  // Inner width 50, inset 3.
  EXPECT_EQ(SurPannerPixel(0x7FFFFFFF, 50, 3), 3);
  EXPECT_EQ(SurPannerPixel(INT32_MIN, 50, 3), 52);
  EXPECT_EQ(SurPannerValue(3, 50, 3), INT32_MIN);
  EXPECT_EQ(SurPannerValue(52, 50, 3), INT32_MAX);
}

}  // namespace
