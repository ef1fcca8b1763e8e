#include "mixer/model/util/numtext.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>

namespace {

TEST(NumText, SplitDigitFields) {
  const struct {
    const char* text;
    std::array<int32_t, 3> values, zeros;
    int minus;
  } cases[] = {
      {"12:34:56", {12, 34, 56}, {0, 0, 0}, 0},
      {"007.05", {7, 5, 0}, {2, 1, 0}, 0},
      {"0", {0, 0, 0}, {1, 0, 0}, 0},
      {"1::  ..2", {1, 2, 0}, {0, 0, 0}, 0},  // runs of separators skip no field
      {"  3", {3, 0, 0}, {0, 0, 0}, 0},
      {"-3.5", {-3, 5, 0}, {0, 0, 0}, 1},
      {"3.-5", {3, -5, 0}, {0, 0, 0}, 1},
      {"1.2.3.4.5", {1, 2, 3}, {0, 0, 0}, 0},  // fields past n are dropped
      {"99999999999:1", {INT_MAX, 1, 0}, {0, 0, 0}, 0},
      {"", {0, 0, 0}, {0, 0, 0}, 0},
  };
  for (const auto& c : cases) {
    std::array<int32_t, 3> v{7, 7, 7}, z{7, 7, 7};
    EXPECT_EQ(SplitDigitFields(c.text, 3, v.data(), z.data()), c.minus) << c.text;
    EXPECT_EQ(v, c.values) << c.text;
    EXPECT_EQ(z, c.zeros) << c.text;
  }
  int32_t v[2] = {7, 7};
  EXPECT_EQ(SplitDigitFields(nullptr, 2, v, nullptr), 0);
  EXPECT_EQ(v[0], 0);
  EXPECT_EQ(v[1], 0);
}

TEST(NumText, TextToNumberScalesTheFraction) {
  const struct {
    const char* text;
    int32_t scale, value;
  } cases[] = {
      {"1.05", 1000, 1050},  {"1.5", 1000, 1500},   {"1.0", 1000, 1000},  {"-0.5", 1000, -500},
      {"-2.25", 100, -225},  {"2", 100, 200},       {"3.14159", 100, 314}, {"0.001", 1000, 1},
      {"0.0001", 1000, 0},   {"1.2345", 1, 1},      {"5.5", 0, 5},         {"99999999.9", 1000, INT_MAX},
      {"-99999999.9", 1000, INT_MIN},
  };
  for (const auto& c : cases) EXPECT_EQ(TextToNumber(c.text, c.scale), c.value) << c.text << " @" << c.scale;
}

}  // namespace
