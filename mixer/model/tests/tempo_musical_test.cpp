// The position conversions and the edit grid while a tempo map is loaded.
#include <gtest/gtest.h>

#include "mixer/model/musical.h"
#include "mixer/model/settings.h"
#include "mixer/model/snap.h"
#include "mixer/model/tempomap.h"
#include "mixer/model/tests/tempo_fixture.h"
#include "mixer/model/textfields.h"

namespace {

class TempoMapLoaded : public ::testing::Test {
 protected:
  void SetUp() override {
    Settings() = ProjectSettings{};
    Settings().SampleRate = 48000;
    Settings().SnapEnable = 1;
    TempoMap = map_.get();
  }
  void TearDown() override { TempoMap = nullptr; }
  TempoMapPtr map_ = ChangingMap();
};

TEST_F(TempoMapLoaded, PositionsGoThroughTheMap) {
  const struct {
    int32_t p;
    BbtRec bbt;  // counted from 1
  } cases[] = {{0, {1, 1, 0}}, {96000, {2, 1, 0}}, {102000, {2, 2, 0}}, {240000, {4, 1, 0}}, {240050, {4, 1, 1}}};
  for (const auto& c : cases) {
    BbtRec b;
    LocToBbt(&b, c.p, 1);
    EXPECT_EQ(b.Bar, c.bbt.Bar) << c.p;
    EXPECT_EQ(b.Beat, c.bbt.Beat) << c.p;
    EXPECT_EQ(b.Tick, c.bbt.Tick) << c.p;
    EXPECT_EQ(BbtToLoc(c.bbt, 1), c.p);
  }
  BbtRec b;
  LocToBbt(&b, -100, 1);  // a negative position counts as 0
  EXPECT_EQ(b.Bar, 1);
  EXPECT_EQ(b.Beat, 1);
  EXPECT_EQ(BbtToLoc({0, 1, 0}, 1), 0);  // before bar 1 is not before position 0

  // The forms with a map argument use the map and its resolution, not the tempo.
  EXPECT_DOUBLE_EQ(LocToTicks(map_.get(), 7, 48000, 96000), 3840.0);
  EXPECT_EQ(TicksToLoc(map_.get(), 7, 48000, 3840.0), 96000);
  TempoMapPtr coarse = BuildTempoMap(480, {}, {});
  EXPECT_EQ(RescaleTicks(coarse.get(), nullptr, 960), 480);
  EXPECT_EQ(RescaleTicks(nullptr, coarse.get(), 960), 1920);
  // A quarter at 240 BPM in a Take's 480 ticks per quarter.
  EXPECT_EQ(LocSpanToMidiTicks(96000, 480, 108000), 480);
  EXPECT_EQ(MidiTicksToLocEnd(96000, 480, 480), 108000);
}

TEST_F(TempoMapLoaded, TypedBeatsAndTicksAreNotLimitedByTheProjectMeter) {
  BbtRec b;
  TextToBbt("3.9.2000", &b, 1);
  EXPECT_EQ(b.Beat, 9);
  EXPECT_EQ(b.Tick, 2000);
  TextToBbt("3.-2.-5", &b, 1);
  EXPECT_EQ(b.Beat, 1);
  EXPECT_EQ(b.Tick, 0);
  TempoMap = nullptr;
  TextToBbt("3.9.2000", &b, 1);
  EXPECT_EQ(b.Beat, 4);
  EXPECT_EQ(b.Tick, 959);
}

TEST_F(TempoMapLoaded, GridFollowsTheMap) {
  // Bars at 0, 96000 (tempo doubles, 6/8 begins), 132000, 240000 (3/4 at
  // 60 BPM); quarters of 960 ticks, triplet eighths of 640, 32nds of 120.
  const struct {
    uint32_t mode;
    int32_t p, nearest, later, earlier;
  } cases[] = {
      {kSnapBar, 100000, 96000, 132000, 96000},
      {kSnapBar, 131999, 132000, 132000, 96000},
      {kSnapBar, 132000, 132000, 132000, 132000},
      {kSnapBar, 140000, 132000, 240000, 132000},
      {kSnapQuarter, 100000, 96000, 108000, 96000},
      {kSnapQuarterTriplet, 100000, 104000, 104000, 96000},  // equal distance: the later point
      {4, 145000, 144000, 150000, 144000},
      {kSnapQuarter, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    Settings().SnapMode = c.mode;
    EXPECT_EQ(SnapLoc(c.p, 0, kSnapNearest, nullptr, nullptr, 0, 1), c.nearest) << c.mode << " " << c.p;
    EXPECT_EQ(SnapLoc(c.p, 0, kSnapLater, nullptr, nullptr, 0, 1), c.later) << c.mode << " " << c.p;
    EXPECT_EQ(SnapLoc(c.p, 0, kSnapEarlier, nullptr, nullptr, 0, 1), c.earlier) << c.mode << " " << c.p;
  }
  // Every position lies between the grid points around it, whatever the
  // rounding at a bar's first sample.
  Settings().SnapMode = kSnapBar;
  for (int32_t p = 95990; p <= 96010; ++p) {
    const int32_t e = SnapLoc(p, 0, kSnapEarlier, nullptr, nullptr, 0, 1);
    const int32_t l = SnapLoc(p, 0, kSnapLater, nullptr, nullptr, 0, 1);
    EXPECT_LE(e, p);
    EXPECT_GE(l, p);
  }
}

}  // namespace
