#include "mixer/model/timecode.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <tuple>

#include "mixer/model/settings.h"

namespace {

class TimeCodeTest : public ::testing::Test {
 protected:
  void SetUp() override { Settings() = ProjectSettings{}; }
  static void Use(uint32_t rate, uint32_t code, uint32_t offset = 0) {
    Settings().SampleRate = rate;
    Settings().CurFrameRate = code;
    Settings().TcOffset = offset;
  }
};

TcRec Tc(int h, int m, int s, int f, int sub = 0) {
  return TcRec{uint8_t(h), uint8_t(m), uint8_t(s), uint8_t(f), uint16_t(sub)};
}

::testing::AssertionResult SameTc(const TcRec& got, const TcRec& want) {
  if (got.Hours == want.Hours && got.Minutes == want.Minutes && got.Seconds == want.Seconds &&
      got.Frames == want.Frames && got.SubFrames == want.SubFrames)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << int(got.Hours) << ":" << int(got.Minutes) << ":" << int(got.Seconds) << ":" << int(got.Frames)
         << "+" << got.SubFrames << " expected " << int(want.Hours) << ":" << int(want.Minutes) << ":"
         << int(want.Seconds) << ":" << int(want.Frames) << "+" << want.SubFrames;
}

TEST_F(TimeCodeTest, PositionRoundTripsThroughTimeCodeAtEveryCodeAndRate) {
  const int32_t positions[] = {0, 1, 1919, 1920, 1601, 1602, 47999, 48000, 2997 * 1000 + 17,
                               107892 * 1601 + 5, 123456789, 0x7FFF05FE, 0x7FFFFFFF};
  const uint32_t offsets[] = {0, 3600u * 48000u + 777};
  for (const FrameRateInfo& fr : kFrameRates)
    for (uint32_t rate : {44100u, 48000u, 96000u})
      for (uint32_t offset : offsets)
        for (int32_t p : positions) {
          Use(rate, fr.Code, offset);
          TcRec tc;
          LocToTimeCode(&tc, p, offset);
          EXPECT_LT(tc.Frames, fr.Nominal);
          EXPECT_EQ(TimeCodeToLoc(tc, offset), p) << "code " << fr.Code << " rate " << rate << " offset " << offset;
          // The same through the 64-bit forms.
          uint32_t high = 99;
          Loc64ToTimeCode(&tc, uint32_t(p) + offset, nullptr, rate, fr.Code, 0);
          EXPECT_EQ(int64_t{TimeCodeToLoc64(tc, &high, rate, fr.Code)}, int64_t{p} + offset);
          EXPECT_EQ(high, 0u);
        }
}

TEST_F(TimeCodeTest, SubFramesCountFromTheFramesFirstSample) {
  // 29.97 at 48000: frame 1 starts at ceil(1601.6) = 1602, frame 2 at 3204.
  Use(48000, kFr2997);
  TcRec tc;
  for (auto [p, frame, sub] : {std::tuple{1601, 0, 1601}, {1602, 1, 0}, {3203, 1, 1601}, {3204, 2, 0}}) {
    LocToTimeCode(&tc, p, 0);
    EXPECT_TRUE(SameTc(tc, Tc(0, 0, 0, frame, sub))) << p;
  }
  // A negative position counts as 0.
  LocToTimeCode(&tc, -5000, 0);
  EXPECT_TRUE(SameTc(tc, Tc(0, 0, 0, 0, 0)));
  // Sub-frames read back as signed: 10 samples before frame 2.
  EXPECT_EQ(TimeCodeToLoc(Tc(0, 0, 0, 2, uint16_t(-10)), 0), 3204 - 10);
}

TEST_F(TimeCodeTest, DropFrameNumberingSkipsTwoFramesPerMinuteButEveryTenth) {
  for (uint32_t code : {uint32_t{kFr2997Df}, uint32_t{kFr30Df}}) {
    Use(48000, code);
    const struct {
      uint32_t frames;
      TcRec tc;
    } cases[] = {
        {0, Tc(0, 0, 0, 0)},          {1799, Tc(0, 0, 59, 29)},    {1800, Tc(0, 1, 0, 2)},
        {3597, Tc(0, 1, 59, 29)},     {3598, Tc(0, 2, 0, 2)},      {17981, Tc(0, 9, 59, 29)},
        {17982, Tc(0, 10, 0, 0)},     {17982 + 1800, Tc(0, 11, 0, 2)}, {107891, Tc(0, 59, 59, 29)},
        {107892, Tc(1, 0, 0, 0)},     {24 * 107892 + 1800, Tc(0, 1, 0, 2)},
    };
    for (const auto& c : cases) {
      TcRec tc{};
      FramesToTimeCode(&tc, c.frames);
      EXPECT_TRUE(SameTc(tc, c.tc)) << "code " << code << " frame " << c.frames;
      EXPECT_EQ(TimeCodeToFrames(c.tc), c.frames % (24 * 107892)) << c.frames;
    }
  }
  // Position 0 and the first dropped minute at 29.97 drop-frame.
  Use(48000, kFr2997Df);
  TcRec tc;
  LocToTimeCode(&tc, 0, 0);
  EXPECT_TRUE(SameTc(tc, Tc(0, 0, 0, 0, 0)));
  const int32_t frame1800 = TimeCodeToLoc(Tc(0, 1, 0, 2), 0);
  LocToTimeCode(&tc, frame1800, 0);
  EXPECT_TRUE(SameTc(tc, Tc(0, 1, 0, 2, 0)));
}

TEST_F(TimeCodeTest, NonDropFramesToTimeCode) {
  Use(48000, kFr25);
  TcRec tc{};
  EXPECT_EQ(FramesToTimeCode(&tc, ((25 * 3600 + 2 * 60 + 3) * 25 + 4)), 1u);  // wraps a day
  EXPECT_TRUE(SameTc(tc, Tc(1, 2, 3, 4)));
  EXPECT_EQ(TimeCodeToFrames(Tc(1, 2, 3, 4)), uint32_t((3600 + 2 * 60 + 3) * 25 + 4));
  Use(48000, kFr2997);  // 29.97 non-drop numbers 30 frames a second
  EXPECT_EQ(TimeCodeToFrames(Tc(0, 1, 0, 0)), 1800u);
}

TEST_F(TimeCodeTest, TimeCodeBeforeTheOffsetIsTheNextDay) {
  Use(48000, kFr25, 86340u * 48000u);  // position 0 is 23:59:00:00
  EXPECT_EQ(TimeCodeToLoc(Tc(23, 59, 0, 0), Settings().TcOffset), 0);
  EXPECT_EQ(TimeCodeToLoc(Tc(0, 0, 1, 0), Settings().TcOffset), 61 * 48000);
  TcRec tc;
  EXPECT_EQ(LocToTimeCode(&tc, 61 * 48000, Settings().TcOffset), 1u);
  EXPECT_TRUE(SameTc(tc, Tc(0, 0, 1, 0)));
  // A time code so far past the offset that the position overflows clamps.
  Use(48000, kFr25, 0);
  EXPECT_EQ(TimeCodeToLoc(Tc(23, 0, 0, 0), 0), 0x7FFFFFFF);
}

TEST_F(TimeCodeTest, HoursWrapAtTwentyFourAndDaysAreCounted) {
  Use(22050, kFr25);
  TcRec tc;
  // 0xFFFFFFFF samples are 54 h 06 min 23 s, frame 2 and 381 samples.
  EXPECT_EQ(LocToTimeCode(&tc, 0, 0xFFFFFFFFu), 2u);
  EXPECT_TRUE(SameTc(tc, Tc(6, 6, 23, 2, 381)));
  // Without the wrap flag the 64-bit form keeps the hours and returns them.
  const uint32_t high = 1;  // 2^32 + 4 samples at 96000: 12 h 25 min 39 s
  EXPECT_EQ(Loc64ToTimeCode(&tc, 4, &high, 96000, kFr25, 0), 12u);
  const uint32_t bigHigh = 4;  // 2^34 samples at 96000 are 49 hours
  EXPECT_EQ(Loc64ToTimeCode(&tc, 0, &bigHigh, 96000, kFr25, 0), 49u);
  EXPECT_EQ(tc.Hours, 49);
  EXPECT_EQ(Loc64ToTimeCode(&tc, 0, &bigHigh, 96000, kFr25, 1), 49u);
  EXPECT_EQ(tc.Hours, 1);
  // A negative 64-bit position counts as 0.
  const uint32_t negative = 0xFFFFFFFF;
  Loc64ToTimeCode(&tc, 5, &negative, 96000, kFr25, 1);
  EXPECT_TRUE(SameTc(tc, Tc(0, 0, 0, 0, 0)));
}

TEST_F(TimeCodeTest, SixtyFourBitPositionsKeepTheHighWord) {
  const uint64_t p = 20ull * 3600 * 96000 + 12345;  // past 2^32
  TcRec tc;
  const uint32_t high = uint32_t(p >> 32);
  Loc64ToTimeCode(&tc, uint32_t(p), &high, 96000, kFr24, 1);
  uint32_t gotHigh = 0;
  const uint32_t low = TimeCodeToLoc64(tc, &gotHigh, 96000, kFr24);
  EXPECT_EQ((uint64_t{gotHigh} << 32) | low, p);
  // A negative sub-frame before position 0 gives 0.
  EXPECT_EQ(TimeCodeToLoc64(Tc(0, 0, 0, 0, uint16_t(-3)), nullptr, 96000, kFr24), 0u);
}

TEST_F(TimeCodeTest, OffsetAndAddFormsWrapHoursAndStopAtZero) {
  TcRec tc;
  Loc64ToTimeCodeAt(&tc, -48000, 3 * 48000, 48000, kFr25);
  EXPECT_TRUE(SameTc(tc, Tc(0, 0, 2, 0, 0)));
  Loc64ToTimeCodeAt(&tc, -48000, 100, 48000, kFr25);
  EXPECT_TRUE(SameTc(tc, Tc(0, 0, 0, 0, 0)));
  Loc64ToTimeCodeAt(&tc, 0x7FFFFFFF, 0xFFFFFFFFu, 22050, kFr25);  // 81 hours wrap to 9
  EXPECT_EQ(tc.Hours, (0x7FFFFFFFull + 0xFFFFFFFFull) / 22050 / 3600 % 24);

  Loc64AddToTimeCode(&tc, Tc(23, 59, 59, 24), 1920, 48000, kFr25);
  EXPECT_TRUE(SameTc(tc, Tc(0, 0, 0, 0, 0)));
  Loc64AddToTimeCode(&tc, Tc(0, 0, 1, 0), -1920, 48000, kFr25);
  EXPECT_TRUE(SameTc(tc, Tc(0, 0, 0, 24, 0)));
  Loc64AddToTimeCode(&tc, Tc(0, 0, 1, 0), -96000, 48000, kFr25);
  EXPECT_TRUE(SameTc(tc, Tc(0, 0, 0, 0, 0)));
}

TEST_F(TimeCodeTest, NormTimeCodeCarriesOneStep) {
  const struct {
    uint32_t code;
    TcRec in, out;
    uint32_t days;
  } cases[] = {
      {kFr25, Tc(0, 0, 0, 25), Tc(0, 0, 1, 0), 0},
      {kFr25, Tc(0, 0, 59, 25), Tc(0, 1, 0, 0), 0},
      {kFr25, Tc(23, 59, 59, 25), Tc(0, 0, 0, 0), 1},
      {kFr25, Tc(49, 0, 60, 0), Tc(1, 1, 0, 0), 2},
      {kFr24, Tc(0, 0, 0, 24), Tc(0, 0, 1, 0), 0},
      {kFr30, Tc(0, 0, 0, 29), Tc(0, 0, 0, 29), 0},
      {kFr2997Df, Tc(0, 0, 59, 30), Tc(0, 1, 0, 2), 0},
      {kFr2997Df, Tc(0, 9, 59, 30), Tc(0, 10, 0, 0), 0},
      {kFr30Df, Tc(0, 3, 0, 1), Tc(0, 3, 0, 3), 0},
  };
  for (const auto& c : cases) {
    Use(48000, c.code);
    TcRec tc = c.in;
    EXPECT_EQ(NormTimeCode(&tc), c.days);
    EXPECT_TRUE(SameTc(tc, c.out)) << "code " << c.code;
  }
}

TEST_F(TimeCodeTest, ClockDeltaGoesTheShortWayRoundMidnight) {
  Use(22050, kFr25);  // a whole day fits a position at this rate
  const int32_t second = 22050;
  const int32_t lastSecond = 86399 * second;
  EXPECT_EQ(TcClockDelta(second, lastSecond), 2 * second);
  EXPECT_EQ(TcClockDelta(lastSecond, second), -2 * second);
  EXPECT_EQ(TcClockDelta(5 * second, 2 * second), 3 * second);
  EXPECT_EQ(TcClockDelta(2 * second, 5 * second), -3 * second);
  // Drop-frame hours: 107892 frames of 1601.6 samples.
  Use(48000, kFr2997Df);
  EXPECT_DOUBLE_EQ(FrameRateValue(1), 48000.0 * 107892 * 100 / 2997);
  Use(48000, kFr2997);
  EXPECT_DOUBLE_EQ(FrameRateValue(1), 48000.0 * 3600 * 30 * 100 / 2997);
}

TEST_F(TimeCodeTest, MillisecondsAndRates) {
  EXPECT_EQ(MsToSamples(1, 44100), 45);   // 44.1 rounds up
  EXPECT_EQ(MsToSamples(10, 44100), 441);
  EXPECT_EQ(MsToSamples(-1, 44100), -44);
  EXPECT_EQ(MsToSamples(0x7FFFFFFF, 96000), 0x7FFFFFFF);
  EXPECT_EQ(SamplesToMs(44099, 44100), 999);
  EXPECT_EQ(SamplesToMs(44100, 0), 0);
  EXPECT_EQ(SamplesToMs(0x7FFFFFFF, 1), 0x7FFFFFFF);
  for (uint32_t rate : {22050u, 32000u, 44056u, 44100u, 47952u, 48000u, 64000u, 88112u, 88200u, 95904u, 96000u})
    EXPECT_EQ(ValidSampleRate(rate), rate);
  for (uint32_t rate : {0u, 44000u, 44101u, 192000u}) EXPECT_EQ(ValidSampleRate(rate), 0u);
}

TEST_F(TimeCodeTest, FrameRateTable) {
  EXPECT_EQ(FrameRateFind(27), nullptr);
  EXPECT_EQ(FrameRateOf(27).Code, uint32_t{kFr25});  // a damaged code reads as 25
  EXPECT_EQ(FrameRateOf(kFr2997Df).MenuCmd, 41605u);
  EXPECT_TRUE(FrameRateOf(kFr30Df).DropFrame);
  EXPECT_FALSE(FrameRateOf(kFr2997).DropFrame);
}

TEST_F(TimeCodeTest, ZeroRateOrUnknownCodeNeverDivides) {
  Use(0, 0, 12345);
  TcRec tc;
  EXPECT_EQ(LocToTimeCode(&tc, 1000000, 12345), 0u);
  EXPECT_TRUE(SameTc(tc, Tc(0, 0, 0, 0, 0x7FFF)));
  EXPECT_EQ(TimeCodeToLoc(Tc(1, 0, 0, 0), 12345), 0);
  EXPECT_EQ(FrameRateValue(24), 0.0);
  EXPECT_EQ(TcClockDelta(100, 50), 50);
  EXPECT_EQ(Loc64ToTimeCode(&tc, 1000, nullptr, 0, 99, 1), 0u);
  EXPECT_EQ(TimeCodeToLoc64(Tc(1, 0, 0, 0), nullptr, 0, 0), 0u);
}

TEST(ScaleTest, ExactThroughA128BitProduct) {
  constexpr uint64_t kMax = UINT64_MAX;
  EXPECT_EQ(ScaleFloor(kMax, kMax, kMax), kMax);
  EXPECT_EQ(ScaleFloor(1ull << 40, 1ull << 40, 1ull << 30), 1ull << 50);
  EXPECT_EQ(ScaleCeil((1ull << 63) + 1, 2, 4), (1ull << 62) + 1);
  EXPECT_EQ(ScaleFloor((1ull << 63) + 1, 2, 4), 1ull << 62);
  EXPECT_EQ(ScaleFloor(1ull << 63, 4, 1), kMax);  // saturates
  EXPECT_EQ(ScaleCeil(7, 3, 0), 0u);
  EXPECT_EQ(ScaleCeil(7, 3, 2), 11u);
  EXPECT_EQ(ScaleCeil(kMax, 3, 3), kMax);
}

}  // namespace
