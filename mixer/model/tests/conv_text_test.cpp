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
