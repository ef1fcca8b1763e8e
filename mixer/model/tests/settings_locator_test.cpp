#include <cstdint>
#include <limits>

#include "mixer/model/settings.h"
#include "mixer/model/timecode.h"
#include "settings_fixture.h"

namespace {

using SettingsLocatorTest = SettingsTest;

int32_t Locator(int32_t index) {
  const Locators& l = Locs();
  return index <= 1 ? l.NowLoc : index <= 3 ? l.LeftLoc : l.RightLoc;
}

TEST_F(SettingsLocatorTest, LeftAndRightAreIgnoredWhileRecording) {
  SetTransport(kTransportRecording);
  for (int32_t index = 2; index <= 5; ++index) {
    EXPECT_EQ(SetLocator(index, 5000), 0) << index;
    EXPECT_EQ(Locator(index), 0) << index;
  }
  EXPECT_TRUE(Log().log.empty()) << Log().Joined();

  SetTransport(kTransportPlaying);
  EXPECT_EQ(SetLocator(3, 5000), 1);
  EXPECT_EQ(Locs().LeftLoc, 5000);
}

TEST_F(SettingsLocatorTest, LocatingTheNowPositionNeedsTheTransportStopped) {
  SetTransport(kTransportPlaying);
  EXPECT_EQ(SetLocator(1, 700), 0);
  EXPECT_EQ(Locs().NowLoc, 0);
  EXPECT_TRUE(Log().log.empty());

  SetTransport(kTransportStopped);
  EXPECT_EQ(SetLocator(1, 700), 1);
  EXPECT_EQ(Locs().NowLoc, 700);
  for (const char* call : {"UnitsLocate(700)", "RefreshPlayLists(700)", "CardsSyncCommand(44100, 0, 700, 0, 0, 0)",
                           "UnitsPrepPlayBufs(700)", "VideoPrepPlay(700)", "MxaSetNowLoc(700)",
                           "QVMIV_PrepPlayBufs(700)", "NinePinTransportEvent(0, 700)",
                           "TransportShowNowBars()", "TransportShowNowTimecode()"})
    EXPECT_TRUE(Log().Called(call)) << call << "\n" << Log().Joined();
  EXPECT_EQ(Log().Count("ArrChangeCountRaise"), 0);
}

TEST_F(SettingsLocatorTest, FollowingTheNowPositionOnlyMovesTheDisplays) {
  SetTransport(kTransportPlaying);
  EXPECT_EQ(SetLocator(0, 900), 1);
  EXPECT_EQ(Locs().NowLoc, 900);
  EXPECT_TRUE(Log().Called("VideoSetScrubLoc(900)"));
  EXPECT_TRUE(Log().Called("NinePinTransportEvent(0, 900)"));
  EXPECT_EQ(Log().Count("UnitsLocate"), 0);
  EXPECT_EQ(Log().Count("ArrChangeCountRaise"), 0);
}

TEST_F(SettingsLocatorTest, RangeEndsNotifyAndRecomputeTheEndLocation) {
  Settings().PlayRecMode = kModeLoop;
  EXPECT_EQ(SetLocator(4, 8000), 1);
  EXPECT_EQ(Locs().RightLoc, 8000);
  for (const char* call : {"TransportShowRightLoc()", "ConsoleNotifyLocator(2, 8000)",
                           "NinePinTransportEvent(2, 8000)", "UnitsSetLoop(1, 1, 0)", "MidiSetLoop(1, 0)",
                           "TransportUpdateEndLoc()", "ArrChangeCountRaise()"})
    EXPECT_TRUE(Log().Called(call)) << call << "\n" << Log().Joined();
}

TEST_F(SettingsLocatorTest, PrimingIndexesPrepareThePlayBuffersUnderASeamlessLoop) {
  struct Case {
    int32_t index;
    uint32_t mode;
    int transport;
    int dragging;
    bool primes;
    bool sendsRange;
  };
  const uint32_t seamless = kModeLoop | kModeSeamless;
  const Case cases[] = {
      {3, seamless, kTransportStopped, 0, true, true},
      {5, seamless, kTransportStopped, 0, true, true},
      {2, seamless, kTransportStopped, 0, false, true},
      {4, seamless, kTransportStopped, 0, false, true},
      {3, kModeLoop, kTransportStopped, 0, false, true},
      {3, seamless, kTransportPlaying, 0, false, true},
      {3, seamless, kTransportStopped, 1, false, false},
  };
  for (const Case& c : cases) {
    SetUp();
    Locs().NowLoc = 321;
    Settings().PlayRecMode = c.mode;
    SetTransport(c.transport);
    Services().draggingRange = c.dragging;
    EXPECT_EQ(SetLocator(c.index, 1000), 1);
    EXPECT_EQ(Log().Called("UnitsPrepPlayBufs(321)"), c.primes) << c.index << "\n" << Log().Joined();
    EXPECT_EQ(Log().Called("QVMIV_PrepPlayBufs(321)"), c.primes) << c.index;
    EXPECT_EQ(Log().Count("UnitsSetLoop") == 1, c.sendsRange) << c.index;
    EXPECT_TRUE(Log().Called("TransportUpdateEndLoc()"));
  }
}

TEST_F(SettingsLocatorTest, PositionsOffTheTimeLineAndUnknownIndexesAreRefused) {
  const int32_t bad[] = {-1, kMaxSettableLoc + 1, EndOfTime, std::numeric_limits<int32_t>::max(),
                         std::numeric_limits<int32_t>::min()};
  for (int32_t index = 0; index <= 5; ++index) {
    for (int32_t p : bad) {
      SetUp();
      EXPECT_EQ(SetLocator(index, p), 0) << index << " " << p;
      EXPECT_EQ(Locator(index), 0);
      EXPECT_TRUE(Log().log.empty()) << Log().Joined();
    }
    SetUp();
    EXPECT_EQ(SetLocator(index, kMaxSettableLoc), 1) << index;
    EXPECT_EQ(Locator(index), kMaxSettableLoc);
  }
  for (int32_t index : {-1, 6}) {
    SetUp();
    const Locators before = Locs();
    EXPECT_EQ(SetLocator(index, 10), 0);
    EXPECT_EQ(Locs().NowLoc, before.NowLoc);
    EXPECT_TRUE(Log().log.empty());
  }
}

}  // namespace
