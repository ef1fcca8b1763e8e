#include "mixer/model/musical.h"

#include <gtest/gtest.h>

#include "mixer/model/settings.h"
#include "mixer/model/timecode.h"

namespace {

// 120 BPM at 48000: a quarter note is 24000 samples, 960 ticks.
class MusicalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Settings() = ProjectSettings{};
    Settings().SampleRate = 48000;
    Settings().Tempo = 12000;
  }
};

TEST_F(MusicalTest, PositionsToBarsBeatsTicksAndBack) {
  const struct {
    uint16_t num, den;
    int32_t p;
    BbtRec bbt;
  } cases[] = {
      {4, 4, 0, {1, 1, 0}},           {4, 4, 24000, {1, 2, 0}},        {4, 4, 96000, {2, 1, 0}},
      {4, 4, 12000, {1, 1, 480}},     {4, 4, 95999 - 24, {1, 4, 959}}, {6, 8, 12000, {1, 2, 0}},
      {6, 8, 72000, {2, 1, 0}},       {6, 8, 78000, {2, 1, 240}},      {3, 16, 18000, {2, 1, 0}},
  };
  for (const auto& c : cases) {
    Settings().MeterNum = c.num;
    Settings().MeterDen = c.den;
    BbtRec b;
    LocToBbt(&b, c.p, 1);
    EXPECT_EQ(b.Bar, c.bbt.Bar) << c.p;
    EXPECT_EQ(b.Beat, c.bbt.Beat) << c.p;
    EXPECT_EQ(b.Tick, c.bbt.Tick) << c.p;
    // The tick's first sample lies at or just before the position.
    const int32_t back = BbtToLoc(b, 1);
    EXPECT_LE(back, c.p);
    EXPECT_GT(back + 25, c.p);  // a tick is 25 samples here
  }
}

TEST_F(MusicalTest, BbtToLocRoundsUpAndClamps) {
  Settings().SampleRate = 44100;  // a tick is 22.96875 samples
  EXPECT_EQ(BbtToLoc({1, 1, 1}, 1), 23);
  EXPECT_EQ(BbtToLoc({1, 2, 0}, 1), 22050);
  EXPECT_EQ(BbtToLoc({0, 0, 0}, 0), 0);
  EXPECT_EQ(BbtToLoc({0, 3, 0}, 1), 0);  // before base: not before position 0
  EXPECT_EQ(BbtToLoc({2000000000, 1, 0}, 1), 0x7FFFFFFF);
  // A negative position counts as 0.
  BbtRec b;
  LocToBbt(&b, -100, 1);
  EXPECT_EQ(b.Bar, 1);
  EXPECT_EQ(b.Beat, 1);
  EXPECT_EQ(b.Tick, 0);
}

TEST_F(MusicalTest, TicksAndSamples) {
  EXPECT_DOUBLE_EQ(LocToTicks(nullptr, 12000, 48000, 24000), 960.0);
  EXPECT_DOUBLE_EQ(LocToTicks(nullptr, 12000, 48000, -12000), -480.0);
  EXPECT_DOUBLE_EQ(LocToTicks(nullptr, 12000, 48000, 1ll << 40), double(1ll << 40) / 25.0);
  EXPECT_EQ(TicksToLoc(nullptr, 12000, 48000, 960.0), 24000);
  EXPECT_EQ(TicksToLoc(nullptr, 12000, 44100, 1.0), 23);  // 22.97 rounds up
  EXPECT_EQ(TicksToLoc(nullptr, 12000, 48000, 1e30), int64_t{9200000000000000000});
  EXPECT_EQ(RescaleTicks(nullptr, nullptr, 12345), 12345);
}

TEST_F(MusicalTest, MidiTakeSpansAtTheirOwnResolution) {
  // One second at 120 BPM is two quarters: 960 ticks at 480 per quarter.
  EXPECT_EQ(LocSpanToMidiTicks(1000, 480, 49000), 960);
  EXPECT_EQ(LocSpanToMidiTicks(49000, 480, 1000), -960);
  EXPECT_EQ(LocSpanToMidiTicks(0, 96, 23999), 95);  // floors
  EXPECT_EQ(MidiTicksToLocEnd(1000, 480, 960), 49000);
  EXPECT_EQ(MidiTicksToLocEnd(0, 96, 1), 250);
  EXPECT_EQ(MidiTicksToLocEnd(1000, 0, 960), 1000);  // no resolution: an empty span
  EXPECT_EQ(MidiTicksToLocEnd(1000, 1, 1ll << 40), 0x7FFFFFFF);
}

TEST_F(MusicalTest, ZeroRateTempoOrMeterNeverDivides) {
  for (int which = 0; which < 4; ++which) {
    SetUp();
    Settings().MeterNum = 4;
    Settings().MeterDen = 4;
    if (which == 0) Settings().SampleRate = 0;
    if (which == 1) Settings().Tempo = 0;
    if (which == 2) Settings().MeterNum = 0;
    if (which == 3) Settings().MeterDen = 0;
    BbtRec b;
    LocToBbt(&b, 123456, 1);
    EXPECT_GE(b.Bar, 1) << which;
    EXPECT_GE(b.Tick, 0) << which;
    BbtToLoc({3, 2, 1}, 1);
    LocSpanToMidiTicks(0, 480, 48000);
    MidiTicksToLocEnd(0, 480, 960);
  }
  EXPECT_EQ(BbtToLoc({3, 2, 1}, 1), 0);  // zero denominator
  EXPECT_EQ(LocToTicks(nullptr, 12000, 0, 1000), 0.0);
  EXPECT_EQ(TicksToLoc(nullptr, 0, 48000, 960.0), 0);
}

}  // namespace
