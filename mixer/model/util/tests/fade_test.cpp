#include "mixer/model/util/fade.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(FadeShape, EndsAndMiddle) {
  EXPECT_EQ(FadeShape(1, 500, 1000), 4194304);
  EXPECT_EQ(FadeShape(0, 1000, 1000), 8388608);
  EXPECT_EQ(FadeShape(0, 1, 3), 2796202);  // truncated, not rounded
  for (int shape = 0; shape < kFadeShapeCount; ++shape) {
    EXPECT_EQ(FadeShape(shape, 0, 1000), 0) << shape;
    EXPECT_EQ(FadeShape(shape, 1000, 1000), kFadeOne) << shape;
  }
  EXPECT_EQ(FadeShape(8, 500, 1000), 0);
  EXPECT_EQ(FadeShape(-1, 500, 1000), 0);
}

TEST(FadeShape, LogCurvesAndTheirMirrors) {
  // log10(k / 2 + 1) / log10(k + 1) at the middle, k = 4, 16, 128.
  const struct {
    int shape;
    double k;
  } logs[] = {{2, 4}, {4, 16}, {6, 128}};
  for (const auto& c : logs) {
    double gain = std::log10(c.k * 0.25 + 1) / std::log10(c.k + 1);
    EXPECT_EQ(FadeShape(c.shape, 250, 1000), static_cast<int32_t>(gain * kFadeOne)) << c.shape;
    // The pair's "exp" curve is the mirror: 1 - log(1 - x).
    EXPECT_EQ(FadeShape(c.shape + 1, 750, 1000), static_cast<int32_t>((1 - gain) * kFadeOne))
        << c.shape + 1;
  }
  EXPECT_EQ(FadeShape(2, 500, 1000), 5726115);  // log10(3) / log10(5)
}

TEST(FadeShape, OutsideTheFadeStaysWithinTheCurve) {
  for (int shape = 0; shape < kFadeShapeCount; ++shape) {
    EXPECT_EQ(FadeShape(shape, 5, 0), kFadeOne) << shape;  // nothing left to fade
    EXPECT_EQ(FadeShape(shape, -10, 100), 0) << shape;
    EXPECT_EQ(FadeShape(shape, 200, 100), kFadeOne) << shape;
  }
}
