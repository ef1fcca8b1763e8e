#include "mixer/model/textfields.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>

#include "mixer/model/settings.h"

namespace {

class TextFieldsTest : public ::testing::Test {
 protected:
  void SetUp() override { Settings() = ProjectSettings{}; }
};

TEST_F(TextFieldsTest, SplitDigitFields) {
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

TEST_F(TextFieldsTest, TextToNumberScalesTheFraction) {
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

TEST_F(TextFieldsTest, TextToTimeCodeClampsEachField) {
  Settings().SampleRate = 48000;
  TcRec tc;
  TextToTimeCode("25:61:70:40:9999", &tc, 1);
  EXPECT_EQ(tc.Hours, 23);
  EXPECT_EQ(tc.Minutes, 59);
  EXPECT_EQ(tc.Seconds, 59);
  EXPECT_EQ(tc.Frames, 24);
  EXPECT_EQ(tc.SubFrames, 1919);  // a 25 fps frame at 48000 holds 1920 samples
  TextToTimeCode("-1:2:-3:4:100", &tc, 0);
  EXPECT_EQ(tc.Hours, 0);
  EXPECT_EQ(tc.Minutes, 2);
  EXPECT_EQ(tc.Seconds, 0);
  EXPECT_EQ(tc.Frames, 4);
  EXPECT_EQ(tc.SubFrames, 0);  // not read without the flag
}

TEST_F(TextFieldsTest, TextToTimeCodeSkipsDroppedFrames) {
  Settings().CurFrameRate = kFr2997Df;
  const struct {
    const char* text;
    int frames;
  } cases[] = {{"00:01:00:00", 2}, {"00:01:00:01", 3}, {"00:01:00:02", 2},
               {"00:10:00:00", 0}, {"00:01:01:00", 0}, {"00:01:00:35", 29}};
  for (const auto& c : cases) {
    TcRec tc;
    TextToTimeCode(c.text, &tc, 0);
    EXPECT_EQ(tc.Frames, c.frames) << c.text;
  }
}

TEST_F(TextFieldsTest, TextToBbtClampsToTheMeter) {
  BbtRec b;
  TextToBbt("0.0.0", &b, 1);
  EXPECT_EQ(b.Bar, 1);
  EXPECT_EQ(b.Beat, 1);
  EXPECT_EQ(b.Tick, 0);
  TextToBbt("40000.9.5000", &b, 1);
  EXPECT_EQ(b.Bar, 32767);
  EXPECT_EQ(b.Beat, 4);
  EXPECT_EQ(b.Tick, 959);
  Settings().MeterNum = 6;
  Settings().MeterDen = 8;
  TextToBbt("3.5.-2", &b, 0);
  EXPECT_EQ(b.Bar, 3);
  EXPECT_EQ(b.Beat, 5);
  EXPECT_EQ(b.Tick, 0);
  TextToBbt("3.7.999", &b, 0);
  EXPECT_EQ(b.Beat, 6);
  EXPECT_EQ(b.Tick, 479);
}

TEST_F(TextFieldsTest, TextToMeter) {
  const struct {
    const char* text;
    int32_t num, den;
  } cases[] = {{"7/3", 7, 4}, {"20/12", 15, 16}, {"0/5", 1, 8}, {"1/8", 1, 8}, {"3", 3, 4}, {"15/16", 15, 16}};
  for (const auto& c : cases) {
    MeterValue m;
    TextToMeter(c.text, &m);
    EXPECT_EQ(m.Num, c.num) << c.text;
    EXPECT_EQ(m.Den, c.den) << c.text;
  }
}

TEST_F(TextFieldsTest, ZeroRateAndMeterNeverDivide) {
  Settings() = ProjectSettings{};
  Settings().SampleRate = 0;
  Settings().MeterNum = 0;
  Settings().MeterDen = 0;
  Settings().CurFrameRate = 0;
  TcRec tc;
  TextToTimeCode("1:2:3:4:5", &tc, 1);
  EXPECT_EQ(tc.SubFrames, 0);
  BbtRec b;
  TextToBbt("5.5.5", &b, 1);
  EXPECT_EQ(b.Beat, 0);
  EXPECT_EQ(b.Tick, 0);
}

}  // namespace
